// The POSIX INI module reads and writes as the Windows profile functions do.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"
#include "platform/ini_text.h"
#include "support/sandbox.h"

static std::string Find(const std::string &text, const char *section, const char *key) {
    const char *value;
    size_t length;
    if (!IniFind(text.data(), text.size(), section, key, &value, &length)) {
        return "(absent)";
    }
    return std::string(value, length);
}

static std::string With(const std::string &text, const char *section, const char *key,
                        const char *value) {
    size_t length = 0;
    char *updated = IniWithValue(text.data(), text.size(), section, key, value, &length);
    std::string result(updated, length);
    free(updated);
    return result;
}

TEST(IniFind, MatchesNamesWithoutRegardToCaseAndTrimsValues) {
    std::string text = "top=1\n[ General ]\n  ShowMoonPhase =  0  \r\nquoted=\" a b \"\n"
                       "single='x'\nbare\nempty=\n[Other]\nShowMoonPhase=9\n";
    EXPECT_EQ("0", Find(text, "general", "showmoonphase"));
    EXPECT_EQ(" a b ", Find(text, "GENERAL", "quoted"));
    EXPECT_EQ("x", Find(text, "General", "single"));
    EXPECT_EQ("", Find(text, "General", "bare"));
    EXPECT_EQ("", Find(text, "General", "empty"));
    EXPECT_EQ("9", Find(text, "other", "ShowMoonPhase"));
    EXPECT_EQ("(absent)", Find(text, "General", "top"));
    EXPECT_EQ("(absent)", Find(text, "Missing", "ShowMoonPhase"));
    EXPECT_EQ("(absent)", Find(text, "General", "Missing"));
}

TEST(IniFind, SurvivesMalformedText) {
    EXPECT_EQ("(absent)", Find("", "a", "b"));
    EXPECT_EQ("v", Find("[unclosed\nk=v", "unclosed", "k"));
    EXPECT_EQ("(absent)", Find("[a]\n=v\n", "a", "b"));
    EXPECT_EQ("\"", Find("[a]\nk=\"\n", "a", "k"));
}

TEST(IniWithValue, ReplacesAddsAndKeepsEveryOtherLine) {
    std::string text =
        "; settings\n[General]\nShowMoonPhase=1\nother = x\n\n[Unit]\nDefaultUnit=Auto\n";
    EXPECT_EQ("; settings\n[General]\nShowMoonPhase=0\nother = x\n\n[Unit]\nDefaultUnit=Auto\n",
              With(text, "general", "SHOWMOONPHASE", "0"));
    EXPECT_EQ(
        "; settings\n[General]\nShowMoonPhase=1\nother = x\nNew=v\n\n[Unit]\nDefaultUnit=Auto\n",
        With(text, "General", "New", "v"));
    EXPECT_EQ(text + "\n[Hourly]\nMaxHours=24\n", With(text, "Hourly", "MaxHours", "24"));
    EXPECT_EQ("[Unit]\nDefaultUnit=Auto\nK=1\n",
              With("[Unit]\nDefaultUnit=Auto", "Unit", "K", "1"));
    EXPECT_EQ("[S]\nK=1\n", With("", "S", "K", "1"));
}

TEST(IniWithValue, KeepsWindowsLineEndings) {
    std::string text = "[General]\r\nA=1\r\n";
    EXPECT_EQ("[General]\r\nA=2\r\n", With(text, "General", "A", "2"));
    EXPECT_EQ("[General]\r\nA=1\r\nB=3\r\n", With(text, "General", "B", "3"));
    EXPECT_EQ("[General]\r\nA=1\r\n\r\n[X]\r\nY=z\r\n", With(text, "X", "Y", "z"));
}

TEST(IniWithValue, CompletesALastLineThatEndsInABareCarriageReturn) {
    // Another "\r\n" after the "\r" would make the header read "a \r": the key written to
    // section "a" would be lost, and every later write would add another section.
    std::string written = With(" \r\n[a \r", "a", "k2", "y");
    EXPECT_EQ(" \r\n[a \r\nk2=y\r\n", written);
    EXPECT_EQ("y", Find(written, "a", "k2"));
    EXPECT_EQ(written, With(written, "a", "k2", "y"));
    EXPECT_EQ("[a]\r\nk=1\r\n\r\n[b]\r\nk=2\r\n", With("[a]\r\nk=1\r", "b", "k", "2"));
}

class IniFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("ini");
        path = sandbox::Join(folder, "wx.ini");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }
    std::string folder, path;
};

TEST_F(IniFile, ReadsLikeTheProfileFunctions) {
    char out[8];
    EXPECT_EQ(4u, OsProfileGetString(path.c_str(), "S", "K", "dflt   ", out, sizeof out));
    EXPECT_STREQ("dflt", out); // the default loses its trailing blanks
    EXPECT_EQ(7, OsProfileGetInt(path.c_str(), "S", "K", 7));

    sandbox::WriteFile(path, "[S]\nlong=abcdefghijk\nnum= -12x\nword=abc\nempty=\n");
    EXPECT_EQ(7u, OsProfileGetString(path.c_str(), "s", "LONG", "", out, sizeof out));
    EXPECT_STREQ("abcdefg", out);
    EXPECT_EQ(-12, OsProfileGetInt(path.c_str(), "S", "num", 5));
    EXPECT_EQ(0, OsProfileGetInt(path.c_str(), "S", "word", 5));
    EXPECT_EQ(5, OsProfileGetInt(path.c_str(), "S", "empty", 5));
    EXPECT_EQ(5, OsProfileGetInt(path.c_str(), "S", "missing", 5));
}

TEST_F(IniFile, AZeroByteIsAByteOfItsLineAndTheLinesAfterItAreReadAndKept) {
    // Inside a value it ends the text read; a line of its own is a line not understood.
    static const char kText[] = "[a]\nk=1\0tail\n\0\0\n[b]\nk=2\n";
    const std::string text(kText, sizeof kText - 1);
    sandbox::WriteFile(path, text);
    char out[16];
    OsProfileGetString(path.c_str(), "a", "k", "", out, sizeof out);
    EXPECT_STREQ("1", out);
    EXPECT_EQ(2, OsProfileGetInt(path.c_str(), "b", "k", 5));

    // The write-back changes its own line and nothing else.
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "b", "k", "3"));
    std::string expected = text;
    expected.replace(expected.size() - 2, 1, "3");
    EXPECT_EQ(expected, sandbox::ReadFile(path));
}

TEST_F(IniFile, SettingsAfterAMegabyteOfRandomBytesAreReadAndNeverErased) {
    std::string junk(1u << 20, '\0');
    unsigned seed = 12345;
    for (char &c : junk) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(seed >> 16);
    }
    const std::string settings =
        "\n[LocationID]\nDefaultLocationID=LC1001\n[Unit]\nDefaultUnit=Metric\n";
    sandbox::WriteFile(path, junk + settings);
    char out[16];
    OsProfileGetString(path.c_str(), "LocationID", "DefaultLocationID", "90210", out, sizeof out);
    EXPECT_STREQ("LC1001", out);
    OsProfileGetString(path.c_str(), "Unit", "DefaultUnit", "Auto", out, sizeof out);
    EXPECT_STREQ("Metric", out);

    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "Unit", "DefaultUnit", "Both"));
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "LocationID", "DefaultLocationID", "LC1001"));
    std::string written = sandbox::ReadFile(path);
    ASSERT_GE(written.size(), junk.size());
    EXPECT_TRUE(written.compare(0, junk.size(), junk) == 0) << "the random bytes were changed";
    OsProfileGetString(path.c_str(), "Unit", "DefaultUnit", "Auto", out, sizeof out);
    EXPECT_STREQ("Both", out);
    OsProfileGetString(path.c_str(), "LocationID", "DefaultLocationID", "90210", out, sizeof out);
    EXPECT_STREQ("LC1001", out);
}

TEST_F(IniFile, AByteOrderMarkIsSkippedWhenReadingAndKeptWhenWriting) {
    const std::string mark = "\xEF\xBB\xBF";
    sandbox::WriteFile(path, mark + "[Unit]\r\nDefaultUnit=Metric\r\n[General]\r\nX=1\r\n");
    char out[16];
    OsProfileGetString(path.c_str(), "Unit", "DefaultUnit", "Auto", out, sizeof out);
    EXPECT_STREQ("Metric", out);

    // The first section's key is replaced in place: no second [Unit], the mark stays first.
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "Unit", "DefaultUnit", "Both"));
    EXPECT_EQ(mark + "[Unit]\r\nDefaultUnit=Both\r\n[General]\r\nX=1\r\n", sandbox::ReadFile(path));

    // A file holding the mark alone gets its first section right after it.
    sandbox::WriteFile(path, mark);
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "Unit", "DefaultUnit", "Both"));
    EXPECT_EQ(mark + "[Unit]\nDefaultUnit=Both\n", sandbox::ReadFile(path));
    // Only a mark at the very start is one: elsewhere the bytes belong to their line.
    EXPECT_EQ("(absent)", Find("\n" + mark + "[Unit]\nDefaultUnit=Both\n", "Unit", "DefaultUnit"));
}

TEST_F(IniFile, EveryLookupReadsTheFileAsItIsNow) {
    // A plain file, then the same file saved with a byte-order mark, then plain again, and a
    // file whose NUL byte appears: each lookup reads the file as it is at that moment.
    const std::string mark = "\xEF\xBB\xBF";
    char out[16];
    sandbox::WriteFile(path, "[Unit]\nDefaultUnit=Metric\n");
    OsProfileGetString(path.c_str(), "Unit", "DefaultUnit", "Auto", out, sizeof out);
    EXPECT_STREQ("Metric", out);
    sandbox::WriteFile(path, mark + "[Unit]\nDefaultUnit=Both\n");
    OsProfileGetString(path.c_str(), "Unit", "DefaultUnit", "Auto", out, sizeof out);
    EXPECT_STREQ("Both", out);
    sandbox::WriteFile(path, "[Unit]\nDefaultUnit=English\n");
    OsProfileGetString(path.c_str(), "Unit", "DefaultUnit", "Auto", out, sizeof out);
    EXPECT_STREQ("English", out);
    EXPECT_EQ(3, OsProfileGetInt(path.c_str(), "Unit", "Missing", 3));
    sandbox::WriteFile(path, std::string("[Unit]\nDefaultUnit=Metric\0\n[Day]\nN=4\n", 37));
    EXPECT_EQ(4, OsProfileGetInt(path.c_str(), "Day", "N", 3));
    sandbox::WriteFile(path, mark + "[Day]\nN=5\n");
    EXPECT_EQ(5, OsProfileGetInt(path.c_str(), "Day", "N", 3));
}

TEST_F(IniFile, WriteCreatesTheFileAndKeepsOtherContent) {
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "General", "ShowMoonPhase", "1"));
    EXPECT_EQ("[General]\nShowMoonPhase=1\n", sandbox::ReadFile(path));
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "Forecast", "MaxDays", "5"));
    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "general", "showmoonphase", "0"));
    EXPECT_EQ("[General]\nShowMoonPhase=0\n\n[Forecast]\nMaxDays=5\n", sandbox::ReadFile(path));

    std::string missingFolder = sandbox::Join(sandbox::Join(folder, "nope"), "wx.ini");
    EXPECT_EQ(0, OsProfileWriteString(missingFolder.c_str(), "S", "K", "V"));
}

TEST_F(IniFile, WriteGoesThroughSymbolicLinksAndKeepsTheMode) {
    // The settings beside the module are a link into a folder of their own, as a packaged or
    // shared configuration is; the link stays, its target changes, and keeps its permissions.
    std::string shared = sandbox::Join(folder, "shared");
    sandbox::MakeFolderAt(shared);
    std::string target = sandbox::Join(shared, "settings.ini");
    sandbox::WriteFile(target, "[General]\nShowMoonPhase=1\n");
    ASSERT_EQ(0, chmod(target.c_str(), 0640));
    ASSERT_EQ(0, symlink("shared/settings.ini", path.c_str())); // relative to the link's folder

    EXPECT_EQ(1, OsProfileWriteString(path.c_str(), "General", "ShowMoonPhase", "0"));
    struct stat status;
    ASSERT_EQ(0, lstat(path.c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ("[General]\nShowMoonPhase=0\n", sandbox::ReadFile(target));
    ASSERT_EQ(0, stat(target.c_str(), &status));
    EXPECT_EQ(0640u, status.st_mode & 07777u);

    // A chain of links, the last with an absolute target that does not exist yet.
    std::string fresh = sandbox::Join(shared, "fresh.ini");
    std::string middle = sandbox::Join(folder, "middle.ini");
    ASSERT_EQ(0, symlink(fresh.c_str(), middle.c_str()));
    std::string first = sandbox::Join(folder, "first.ini");
    ASSERT_EQ(0, symlink("middle.ini", first.c_str()));
    EXPECT_EQ(1, OsProfileWriteString(first.c_str(), "S", "K", "V"));
    EXPECT_EQ("[S]\nK=V\n", sandbox::ReadFile(fresh));
    ASSERT_EQ(0, lstat(first.c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(0, lstat(middle.c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));

    // Links that loop name no file: nothing is written, and nothing is left behind.
    std::string loop = sandbox::Join(folder, "loop.ini");
    ASSERT_EQ(0, symlink("loop.ini", loop.c_str()));
    EXPECT_EQ(0, OsProfileWriteString(loop.c_str(), "S", "K", "V"));
    ASSERT_EQ(0, lstat(loop.c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));

    // A plain file keeps its mode too, and its owner where the writer may give it away; no
    // temporary file stays beside it.
    std::string plain = sandbox::Join(folder, "plain.ini");
    sandbox::WriteFile(plain, "");
    ASSERT_EQ(0, chmod(plain.c_str(), 0604));
    bool mayGiveAway = geteuid() == 0 && chown(plain.c_str(), 4321, 4321) == 0;
    EXPECT_EQ(1, OsProfileWriteString(plain.c_str(), "S", "K", "V"));
    ASSERT_EQ(0, stat(plain.c_str(), &status));
    EXPECT_EQ(0604u, status.st_mode & 07777u);
    if (mayGiveAway) {
        EXPECT_EQ(4321u, status.st_uid);
        EXPECT_EQ(4321u, status.st_gid);
    }
    for (const std::string &place : {folder, shared}) {
        DIR *listing = opendir(place.c_str());
        ASSERT_NE(nullptr, listing);
        for (struct dirent *entry = readdir(listing); entry != NULL; entry = readdir(listing)) {
            EXPECT_EQ(nullptr, strstr(entry->d_name, ".tmp")) << entry->d_name;
        }
        closedir(listing);
    }
}
