// Where the POSIX module keeps its cache: a folder only this user can change, inside TEMP when
// that one is private, else inside the user's XDG cache folder.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "base/state.h"
#include "support/sandbox.h"

class CacheFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *name : kVariables) {
            const char *value = getenv(name);
            saved.push_back(value ? std::make_pair(true, std::string(value))
                                  : std::make_pair(false, std::string()));
        }
        folder = sandbox::MakeFolder("cache-folder");
        temp = sandbox::Join(folder, "T");
        xdg = sandbox::Join(folder, "xdg");
        sandbox::MakeFolderAt(temp);
        chmod(temp.c_str(), 0755);
        sandbox::SetEnv("TEMP", temp);
        sandbox::UnsetEnv("TMPDIR");
        sandbox::SetEnv("XDG_CACHE_HOME", xdg);
        sandbox::SetEnv("HOME", sandbox::Join(folder, "home"));
    }
    void TearDown() override {
        for (size_t i = 0; i < saved.size(); i++) {
            if (saved[i].first) {
                sandbox::SetEnv(kVariables[i], saved[i].second);
            } else {
                sandbox::UnsetEnv(kVariables[i]);
            }
        }
        sandbox::RemoveTree(folder);
    }

    // The folder OsCacheFolder chooses, or "(none)".
    static std::string Chosen() {
        char out[PATH_CAPACITY];
        if (!OsCacheFolder("Nimbrel", out, sizeof out)) {
            EXPECT_STREQ("", out);
            return "(none)";
        }
        return out;
    }

    // The permission bits of a folder that is no link, or -1.
    static int PrivateMode(const std::string &path) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            return -1;
        }
        return (int)(status.st_mode & 07777);
    }

    static constexpr const char *kVariables[] = {"TEMP", "TMPDIR", "XDG_CACHE_HOME", "HOME"};
    std::vector<std::pair<bool, std::string>> saved;
    std::string folder, temp, xdg;
};

TEST_F(CacheFolder, APrivateTempFolderIsMadeOrKept) {
    std::string cache = sandbox::Join(temp, "Nimbrel");
    EXPECT_EQ(cache, Chosen());
    EXPECT_EQ(0700, PrivateMode(cache));
    // Made again it is the same folder, with what it holds; a trailing separator changes nothing.
    sandbox::WriteFile(sandbox::Join(cache, "kept"), "x");
    sandbox::SetEnv("TEMP", temp + "//");
    EXPECT_EQ(cache, Chosen());
    EXPECT_EQ("x", sandbox::ReadFile(sandbox::Join(cache, "kept")));
    EXPECT_FALSE(sandbox::Exists(xdg));

    // A parent that everybody may write is fine with the sticky bit (/tmp), not without it.
    chmod(temp.c_str(), 01777);
    EXPECT_EQ(cache, Chosen());
    chmod(temp.c_str(), 0777);
    EXPECT_EQ(sandbox::Join(xdg, "nimbrel"), Chosen());
}

TEST_F(CacheFolder, AFolderOthersCouldChangeIsNeverUsed) {
    std::string cache = sandbox::Join(temp, "Nimbrel");
    std::string fallback = sandbox::Join(xdg, "nimbrel");

    // A link planted in TEMP: nothing is made through it.
    std::string elsewhere = sandbox::Join(folder, "elsewhere");
    sandbox::MakeFolderAt(elsewhere);
    chmod(elsewhere.c_str(), 0700);
    ASSERT_EQ(0, symlink(elsewhere.c_str(), cache.c_str()));
    EXPECT_EQ(fallback, Chosen());
    EXPECT_EQ(0700, PrivateMode(fallback));
    unlink(cache.c_str());

    // Writable by others or by the group, or a file of that name.
    for (mode_t mode : {0707, 0770, 0777}) {
        rmdir(cache.c_str());
        ASSERT_EQ(0, mkdir(cache.c_str(), 0700));
        chmod(cache.c_str(), mode);
        EXPECT_EQ(fallback, Chosen()) << std::oct << mode;
        EXPECT_EQ((int)mode, PrivateMode(cache)) << "the folder is left as it was";
    }
    rmdir(cache.c_str());
    sandbox::WriteFile(cache, "");
    EXPECT_EQ(fallback, Chosen());
}

TEST_F(CacheFolder, AFolderOfAnotherUserIsNeverUsed) {
    struct passwd *nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "needs root to give a folder to nobody";
    }
    std::string cache = sandbox::Join(temp, "Nimbrel");
    ASSERT_EQ(0, mkdir(cache.c_str(), 0700));
    ASSERT_EQ(0, chown(cache.c_str(), nobody->pw_uid, nobody->pw_gid));
    EXPECT_EQ(sandbox::Join(xdg, "nimbrel"), Chosen());
}

TEST_F(CacheFolder, WithoutTempTheXdgCacheFolderIsUsed) {
    sandbox::UnsetEnv("TEMP");
    EXPECT_EQ(sandbox::Join(xdg, "nimbrel"), Chosen());
    EXPECT_EQ(0700, PrivateMode(xdg));
    EXPECT_EQ(0700, PrivateMode(sandbox::Join(xdg, "nimbrel")));

    // TMPDIR stands in for TEMP; a relative TEMP or XDG_CACHE_HOME counts as none.
    sandbox::SetEnv("TEMP", "relative");
    sandbox::SetEnv("TMPDIR", temp);
    EXPECT_EQ(sandbox::Join(temp, "Nimbrel"), Chosen());
    sandbox::UnsetEnv("TMPDIR");
    sandbox::SetEnv("XDG_CACHE_HOME", "cache");
    std::string home = sandbox::Join(folder, "home");
    sandbox::MakeFolderAt(home);
    EXPECT_EQ(sandbox::Join(home, ".cache/nimbrel"), Chosen());
    EXPECT_EQ(0700, PrivateMode(sandbox::Join(home, ".cache")));
    EXPECT_FALSE(sandbox::Exists("relative"));
    EXPECT_FALSE(sandbox::Exists("cache"));
}

TEST_F(CacheFolder, NoPrivateFolderMeansNoCache) {
    // The XDG folder itself a link, TEMP's folder unsafe: there is no cache at all.
    std::string elsewhere = sandbox::Join(folder, "elsewhere");
    sandbox::MakeFolderAt(xdg);
    sandbox::MakeFolderAt(elsewhere);
    ASSERT_EQ(0, symlink(elsewhere.c_str(), sandbox::Join(xdg, "nimbrel").c_str()));
    ASSERT_EQ(0, mkdir(sandbox::Join(temp, "Nimbrel").c_str(), 0777));
    chmod(sandbox::Join(temp, "Nimbrel").c_str(), 0777);
    EXPECT_EQ("(none)", Chosen());

    // A TEMP whose folder would not fit its field: no cache, and nothing made elsewhere.
    sandbox::RemoveTree(xdg);
    sandbox::SetEnv("TEMP", "/" + std::string(PATH_CAPACITY, 't'));
    EXPECT_EQ("(none)", Chosen());
    EXPECT_FALSE(sandbox::Exists(xdg));
}
