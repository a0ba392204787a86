// Start-up and shutdown seen from outside: the files the module creates beside itself and in
// TEMP, and the values it writes back.
#include <gtest/gtest.h>

#include <string>

#include "support/plugin_copy.h"
#include "support/services.h"

#if defined(_WIN32)
#include <windows.h>
static std::string Setting(const std::string &path, const char *section, const char *key) {
    char value[512];
    GetPrivateProfileStringA(section, key, "(missing)", value, sizeof value, path.c_str());
    return value;
}
#else
#include "platform/platform.h"
static std::string Setting(const std::string &path, const char *section, const char *key) {
    char value[512];
    OsProfileGetString(path.c_str(), section, key, "(missing)", value, sizeof value);
    return value;
}
#endif

TEST(Lifecycle, FirstRunCreatesTheCacheFolderAndTheSettingsFile) {
    PluginCopy plugin("fresh");
    ASSERT_FALSE(sandbox::Exists(plugin.settings));
    ASSERT_TRUE(plugin.Load());
    EXPECT_TRUE(sandbox::IsFolder(sandbox::Join(plugin.temp, "Nimbrel")));
    EXPECT_FALSE(sandbox::Exists(plugin.settings)); // written at shutdown, not before
    plugin.Unload();

    const std::string &ini = plugin.settings;
    ASSERT_TRUE(sandbox::Exists(ini));
    EXPECT_EQ("1", Setting(ini, "General", "ShowMoonPhase"));
    EXPECT_EQ("5", Setting(ini, "Forecast", "MaxDays"));
    EXPECT_EQ("12", Setting(ini, "Hourly", "MaxHours"));
    EXPECT_EQ("1", Setting(ini, "General", "ShortDayNames"));
    EXPECT_EQ("1", Setting(ini, "General", "ShortMonthNames"));
    EXPECT_EQ("Auto", Setting(ini, "Unit", "DefaultUnit"));
    EXPECT_EQ("90210", Setting(ini, "LocationID", "DefaultLocationID"));
    EXPECT_EQ("C:\\Program Files\\Orvane\\weather.images",
              Setting(ini, "General", "DefaultIconPath"));
    EXPECT_EQ("(missing)", Setting(ini, "General", "CustomLanguage"));
    EXPECT_EQ("(missing)", Setting(ini, "Service", "FeedHost"));
    // The weather source is shown, so that a user finds where to switch it; its addresses are
    // not written.
    EXPECT_EQ("open-meteo,met-norway", Setting(ini, "Service", "Provider"));
    EXPECT_EQ("(missing)", Setting(ini, "Service", "ForecastApi"));
    EXPECT_EQ("(missing)", Setting(ini, "Service", "MetNorwayApi"));
}

TEST(Lifecycle, ClampedAndNormalisedValuesAreWhatShutdownWrites) {
    PluginCopy plugin("clamp");
    plugin.WriteSettings("[Forecast]\nMaxDays=11\n[Hourly]\nMaxHours=-3\n[General]\n"
                         "ShortDayNames=2\nCustomLanguage=German\n[LocationID]\n"
                         "DefaultLocationID=abc12\n[Unit]\nDefaultUnit=Both\n");
    ASSERT_TRUE(plugin.Load());
    std::string prompts = plugin.Call1("getparam", "Forecast");
    EXPECT_NE(std::string::npos, prompts.find("day number (1 to 10)")) << prompts;
    prompts = plugin.Call1("getparam", "Hourly");
    EXPECT_NE(std::string::npos, prompts.find("hour number (1 to 24)")) << prompts;
    plugin.Unload();

    EXPECT_EQ("10", Setting(plugin.settings, "Forecast", "MaxDays"));
    EXPECT_EQ("24", Setting(plugin.settings, "Hourly", "MaxHours"));
    EXPECT_EQ("1", Setting(plugin.settings, "General", "ShortDayNames"));
    EXPECT_EQ("ABC12", Setting(plugin.settings, "LocationID", "DefaultLocationID"));
    EXPECT_EQ("Both", Setting(plugin.settings, "Unit", "DefaultUnit"));
    EXPECT_EQ("German", Setting(plugin.settings, "General", "CustomLanguage"));
}

TEST(Lifecycle, PromptsShowTheConfiguredCounts) {
    PluginCopy plugin("counts");
    plugin.WriteSettings("[Forecast]\nMaxDays=7\n[Hourly]\nMaxHours=24\n");
    ASSERT_TRUE(plugin.Load());
    EXPECT_NE(std::string::npos,
              std::string(plugin.Call1("getparam", "Forecast")).find("|day number (1 to 7)|"));
    EXPECT_NE(std::string::npos,
              std::string(plugin.Call1("getparam", "Hourly")).find("|hour number (1 to 24)|"));
}

TEST(Lifecycle, AModuleExtensionInCapitalsNeverReceivesTheSettings) {
    std::string upper = sandbox::kModuleExtension;
    for (char &c : upper) {
        c = (char)toupper((unsigned char)c);
    }
    PluginCopy plugin("upper", "WX", upper);
    std::string original = sandbox::ReadFile(plugin.module);
    ASSERT_TRUE(plugin.Load());
    plugin.Unload();
    EXPECT_EQ(original, sandbox::ReadFile(plugin.module));
    EXPECT_EQ("5", Setting(sandbox::Join(plugin.folder, "WX.ini"), "Forecast", "MaxDays"));
}

TEST(Lifecycle, AnUnusableTempCreatesNoCacheFolderAnywhere) {
    PluginCopy plugin("longtemp");
    // A TEMP whose cache folder would not fit its 260-byte field.
    plugin.temp = sandbox::Join(plugin.folder, std::string(250, 't'));
    sandbox::MakeFolderAt(plugin.temp);
    ASSERT_TRUE(plugin.Load());
    EXPECT_STREQ("Nimbrel", plugin.Info(0));
    plugin.Unload();
    EXPECT_FALSE(sandbox::Exists(sandbox::Join(plugin.temp, "Nimbrel")));
    EXPECT_TRUE(sandbox::Exists(plugin.settings));
}

// Settings after bytes the reader does not understand: a megabyte of random bytes, NUL bytes
// among them, before the sections. They are read, and the write-back keeps every byte it does
// not own.
TEST(Lifecycle, SettingsAfterRandomAndNulBytesAreReadAndTheBytesKept) {
    PluginCopy plugin("junk");
    std::string junk(1u << 20, '\0');
    unsigned seed = 2024;
    for (size_t i = 0; i < junk.size(); i++) {
        seed = seed * 1103515245u + 12345u;
        // Every byte value, and a NUL in every few hundred bytes, but no line that could pass
        // for a section of the settings: no '[' at all.
        char c = (char)(seed >> 16);
        junk[i] = c == '[' ? '\0' : c;
    }
    plugin.WriteSettings(junk + "\r\n[Forecast]\r\nMaxDays=7\r\n[LocationID]\r\n"
                                "DefaultLocationID=abc12\r\n[Unit]\r\nDefaultUnit=Both\r\n");
    ASSERT_TRUE(plugin.Load());
    EXPECT_NE(std::string::npos,
              std::string(plugin.Call1("getparam", "Forecast")).find("|day number (1 to 7)|"));
    plugin.Unload();

    std::string written = sandbox::ReadFile(plugin.settings);
    ASSERT_GE(written.size(), junk.size());
    EXPECT_TRUE(written.compare(0, junk.size(), junk) == 0) << "the bytes before were changed";
    // The keys are set in their own sections, once each (read as text: a profile reader of the
    // system need not read past the bytes before them).
    std::string sections = written.substr(junk.size());
    EXPECT_EQ(0u, sections.find("\r\n[Forecast]\r\nMaxDays=7\r\n[LocationID]\r\n"
                                "DefaultLocationID=ABC12\r\n[Unit]\r\nDefaultUnit=Both\r\n"))
        << sections;
    EXPECT_EQ(std::string::npos, sections.find("MaxDays", sections.find("MaxDays") + 1));

    // Loaded again, the module still reads them.
    ASSERT_TRUE(plugin.Load());
    EXPECT_NE(std::string::npos,
              std::string(plugin.Call1("getparam", "Forecast")).find("|day number (1 to 7)|"));
}

static size_t Occurrences(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        count++;
    }
    return count;
}

// A file an editor saved as "UTF-8 with BOM": its first section counts, and the write-back
// keeps the mark and adds no second section of that name.
TEST(Lifecycle, AByteOrderMarkBeforeTheFirstSectionIsSkippedAndKept) {
    PluginCopy plugin("bom");
    const std::string mark = "\xEF\xBB\xBF";
    plugin.WriteSettings(mark + "[Forecast]\r\nMaxDays=7\r\n[Unit]\r\nDefaultUnit=Both\r\n");
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(plugin.Load());
        EXPECT_NE(std::string::npos,
                  std::string(plugin.Call1("getparam", "Forecast")).find("|day number (1 to 7)|"));
        plugin.Unload();
        std::string written = sandbox::ReadFile(plugin.settings);
        EXPECT_EQ(0u, written.find(mark + "[Forecast]\r\nMaxDays=7\r\n")) << written;
        EXPECT_EQ(1u, Occurrences(written, "[Forecast]")) << written;
        EXPECT_EQ(1u, Occurrences(written, "MaxDays")) << written;
        EXPECT_EQ("Both", Setting(plugin.settings, "Unit", "DefaultUnit"));
    }
}

// The user edits the settings while the module is loaded and no call comes before the unload:
// the values in memory are older than the file, and the write-back leaves the file alone.
TEST(Lifecycle, AnEditWhileLoadedIsNeverOverwrittenAtShutdown) {
    PluginCopy plugin("edit");
    plugin.WriteSettings("[Forecast]\nMaxDays=7\n[Unit]\nDefaultUnit=English\n");
    ASSERT_TRUE(plugin.Load());
    const std::string edited =
        "; changed by hand\n[Forecast]\nMaxDays=3\n[Unit]\nDefaultUnit=Metric\n";
    plugin.WriteSettings(edited);
    plugin.Unload();
    EXPECT_EQ(edited, sandbox::ReadFile(plugin.settings));

    // Unchanged since the last reading, the file gets the effective values as ever.
    ASSERT_TRUE(plugin.Load());
    plugin.Unload();
    EXPECT_EQ("3", Setting(plugin.settings, "Forecast", "MaxDays"));
    EXPECT_EQ("90210", Setting(plugin.settings, "LocationID", "DefaultLocationID"));
    EXPECT_EQ(0u, sandbox::ReadFile(plugin.settings).find("; changed by hand"));
}

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

TEST(Lifecycle, ACacheFolderPlantedAsALinkIsPassedByForThePrivateOne) {
    if (services::SimHost().empty()) {
        GTEST_SKIP() << "the local weather service is not running";
    }
    PluginCopy plugin("planted");
    plugin.UseServiceAt(services::SimHost(), "[Unit]\nDefaultUnit=English\n");
    std::string planted = sandbox::Join(plugin.folder, "planted");
    sandbox::MakeFolderAt(planted);
    ASSERT_EQ(0, symlink(planted.c_str(), sandbox::Join(plugin.temp, "Nimbrel").c_str()));
    std::string xdg = sandbox::Join(plugin.folder, "xdg");
    const char *savedXdg = getenv("XDG_CACHE_HOME");
    std::string saved = savedXdg ? savedXdg : "";
    sandbox::SetEnv("XDG_CACHE_HOME", xdg);
    bool loaded = plugin.Load();
    std::string temperature =
        loaded ? plugin.loaded.Get<Export4>("CurrentConditions")("<temp>", "LC1001", "", "1") : "";
    plugin.Unload();
    if (savedXdg) {
        sandbox::SetEnv("XDG_CACHE_HOME", saved);
    } else {
        sandbox::UnsetEnv("XDG_CACHE_HOME");
    }
    ASSERT_TRUE(loaded);

    EXPECT_NE(std::string::npos, temperature.find_first_of("0123456789")) << temperature;
    EXPECT_TRUE(sandbox::Exists(sandbox::Join(xdg, "nimbrel/Weather.Current.LC1001.English.xml")));
    struct stat status;
    ASSERT_EQ(0, stat(sandbox::Join(xdg, "nimbrel").c_str(), &status));
    EXPECT_EQ(0700u, status.st_mode & 0777u);
    // Nothing reached the folder the link points at.
    EXPECT_EQ(0, rmdir(planted.c_str()));
}
#endif
