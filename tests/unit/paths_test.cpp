// How the settings and language file paths derive from the module's own path.
#include <gtest/gtest.h>

#include <string>

#include "plugin/lifecycle.h"
#include "base/state.h"

static std::string Ext() {
    return OsModuleExtension;
}
static std::string Sep() {
    return std::string(1, OsPathSeparator);
}

static std::string SettingsFor(const std::string &module) {
    char out[PATH_CAPACITY];
    EXPECT_EQ(1, SettingsPathFromModule(module.c_str(), out, sizeof out));
    return out;
}

TEST(SettingsPath, ReplacesEveryModuleExtension) {
    EXPECT_EQ(Sep() + "Tools" + Sep() + "wx.ini",
              SettingsFor(Sep() + "Tools" + Sep() + "wx" + Ext()));
    EXPECT_EQ(Sep() + "a.ini.d" + Sep() + "wx.ini",
              SettingsFor(Sep() + "a" + Ext() + ".d" + Sep() + "wx" + Ext()));
}

TEST(SettingsPath, NeverNamesTheModuleItself) {
    std::string upper = Ext();
    for (char &c : upper) {
        c = (char)toupper((unsigned char)c);
    }
    EXPECT_EQ(Sep() + "T" + Sep() + "WX.ini", SettingsFor(Sep() + "T" + Sep() + "WX" + upper));
    EXPECT_EQ(Sep() + "T" + Sep() + "wx.ini", SettingsFor(Sep() + "T" + Sep() + "wx"));
}

TEST(SettingsPath, FailsRatherThanCutting) {
    std::string deep = Sep() + std::string(PATH_CAPACITY - 6, 'd') + Sep() + "wx";
    char out[PATH_CAPACITY];
    EXPECT_EQ(0, SettingsPathFromModule(deep.c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(LanguagePath, DropsEveryIniAndAddsTheLanguageFolder) {
    char out[PATH_CAPACITY];
    std::string settings = Sep() + "Tools" + Sep() + "wx.ini";
    EXPECT_EQ(1, LanguagePathFromSettings(settings.c_str(), "German", out, sizeof out));
    EXPECT_EQ(Sep() + "Tools" + Sep() + "wx.Languages" + Sep() + "German.ini", std::string(out));

    settings = Sep() + "a.ini.d" + Sep() + "wx.ini";
    EXPECT_EQ(1, LanguagePathFromSettings(settings.c_str(), "None", out, sizeof out));
    EXPECT_EQ(Sep() + "a.d" + Sep() + "wx.Languages" + Sep() + "None.ini", std::string(out));
}

TEST(LanguagePath, IsEmptyWhenItWouldNotFit) {
    char out[PATH_CAPACITY];
    std::string settings = Sep() + std::string(200, 'p') + Sep() + "wx.ini";
    std::string language(63, 'L');
    EXPECT_EQ(0, LanguagePathFromSettings(settings.c_str(), language.c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
}
