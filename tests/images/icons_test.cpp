// Condition, alert and moon pictures: which file of the image folder each period finds, over
// feed files cached beforehand (nothing is downloaded), and the icon exports end to end.
#include <gtest/gtest.h>
#include <limits.h>

#include <string>
#include <vector>

#include "images/icons.h"
#include "moon/moon.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/plugin_copy.h"
#include "support/sandbox.h"
#include "support/services.h"

// A closed loopback port: anything not in the cache fails at once and stays on the machine.
static const char kNoService[] = "127.0.0.1:9";

class Icons : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("icons");
        cache = sandbox::Join(folder, "Nimbrel");
        images = sandbox::Join(folder, "pictures");
        sandbox::MakeFolderAt(images);
        ResetCoreState(cache, kNoService);
        CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, "");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    std::string Picture(const std::string &name) { return sandbox::Join(images, name); }
    void Put(const std::string &name) { sandbox::WriteFile(Picture(name), "picture"); }
    void Remove(const std::string &name) { sandbox::RemoveTree(Picture(name)); }

    static std::string IconElements(const std::vector<std::string> &codes) {
        std::string text;
        for (const std::string &code : codes) {
            text += "<icon>" + code + "</icon>";
        }
        return text;
    }
    // Fresh feed files of the default unit type, as the queries name them.
    void Current(const std::string &id, const std::string &body) {
        sandbox::WriteFile(sandbox::Join(cache, "Weather.Current." + id + ".English.xml"), body);
    }
    void CurrentCode(const std::string &id, const std::string &code) {
        Current(id, "<cc>" + IconElements({code}) + "</cc>");
    }
    void ForecastCodes(const std::string &id, const std::vector<std::string> &codes) {
        sandbox::WriteFile(sandbox::Join(cache, "Weather.Forecast." + id + ".English.5.Days.xml"),
                           IconElements(codes));
    }
    void HourlyCodes(const std::string &id, const std::vector<std::string> &codes) {
        sandbox::WriteFile(sandbox::Join(cache, "Weather.Hourly." + id + ".English.12.Hours.xml"),
                           IconElements(codes));
    }

    std::string Resolve(const std::string &id, int period = 0, int dayNight = 0) {
        return ResolveIcon(id.c_str(), images.c_str(), period, dayNight);
    }

    std::string folder, cache, images;
};

TEST_F(Icons, EachExtensionIsTriedInItsOrder) {
    CurrentCode("IC01", "26");
    const char *order[] = {"png", "gif", "jpg", "jpeg", "bmp", "ico"};
    for (const char *extension : order) {
        Put(std::string("26.") + extension);
    }
    for (const char *extension : order) {
        EXPECT_EQ(Picture(std::string("26.") + extension), Resolve("IC01"));
        Remove(std::string("26.") + extension);
    }
    // None left: the last path tried, in a folder that exists.
    EXPECT_EQ(Picture("26.ico"), Resolve("IC01"));
}

TEST_F(Icons, NightCodesCarryTheMoonPhaseWhenItIsShown) {
    CurrentCode("IC02", "31");
    std::string moon = "31_" + std::to_string(MoonPhaseIndex(0));
    Put(moon + ".png");
    Put("31.png");
    Put(moon + ".gif");
    Plugin.showMoonPhase = 1;
    EXPECT_EQ(Picture(moon + ".png"), Resolve("IC02"));
    Remove(moon + ".png");
    EXPECT_EQ(Picture("31.png"), Resolve("IC02"));
    Remove("31.png");
    EXPECT_EQ(Picture(moon + ".gif"), Resolve("IC02"));

    // Off: the variant is never tried.
    Put("31.bmp");
    Plugin.showMoonPhase = 0;
    EXPECT_EQ(Picture("31.bmp"), Resolve("IC02"));

    // A day code has no variant.
    Plugin.showMoonPhase = 1;
    CurrentCode("IC03", "32");
    Put("32_" + std::to_string(MoonPhaseIndex(0)) + ".png");
    Put("32.gif");
    EXPECT_EQ(Picture("32.gif"), Resolve("IC03"));

    // A forecast night takes the phase of its own day.
    ForecastCodes("IC04", {"30", "30", "30", "47"});
    std::string tonight = "47_" + std::to_string(MoonPhaseIndex(2));
    Put(tonight + ".png");
    EXPECT_EQ(Picture(tonight + ".png"), Resolve("IC04", 2, 0));
}

TEST_F(Icons, ADashFindsTheNAPicture) {
    CurrentCode("IC05", "-");
    Put("NA.png");
    Put("-.png");
    EXPECT_EQ(Picture("NA.png"), Resolve("IC05"));
    Remove("NA.png");
    Put("NA.gif");
    EXPECT_EQ(Picture("-.png"), Resolve("IC05")); // each extension tries both names
}

TEST_F(Icons, TheFolderComesFromTheArgumentOrTheSetting) {
    CurrentCode("IC06", "12");
    Put("12.jpg");
    CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, images.c_str());
    EXPECT_EQ(Picture("12.jpg"), std::string(ResolveIcon("IC06", "", 0, 0)));

    std::string nowhere = sandbox::Join(folder, "nowhere");
    EXPECT_EQ("ERROR: Specified path (" + nowhere + ") does not exist.",
              std::string(ResolveIcon("IC06", nowhere.c_str(), 0, 0)));
    // A file is no folder, though it can be opened.
    std::string file = Picture("12.jpg");
    EXPECT_EQ("ERROR: Specified path (" + file + ") does not exist.",
              std::string(ResolveIcon("IC06", file.c_str(), 0, 0)));
    CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, "");
    EXPECT_EQ("ERROR: Specified path () does not exist.",
              std::string(ResolveIcon("IC06", "", 0, 0)));
}

TEST_F(Icons, ThePeriodSelectsTheFeedAndTheOccurrence) {
    CurrentCode("IC07", "10");
    ForecastCodes("IC07", {"11", "12", "13", "14", "15", "16"});
    HourlyCodes("IC07", {"21", "22", "23"});
    for (const char *code : {"10", "11", "12", "13", "14", "21", "22", "23"}) {
        Put(std::string(code) + ".png");
    }
    EXPECT_EQ(Picture("10.png"), Resolve("IC07", 0, 0));
    EXPECT_EQ(Picture("11.png"), Resolve("IC07", 1, 1));  // day 1, day part
    EXPECT_EQ(Picture("13.png"), Resolve("IC07", 2, 1));  // day 2, day part
    EXPECT_EQ(Picture("14.png"), Resolve("IC07", 2, 0));  // day 2, night part
    EXPECT_EQ(Picture("22.png"), Resolve("IC07", -2, 0)); // hour 2
    EXPECT_EQ(Picture("23.png"), Resolve("IC07", -3, 0));
    // A missing occurrence gives the query's error text as the code: no data, no picture.
    EXPECT_EQ(Picture("NA.ico"), Resolve("IC07", 4, 1));
}

TEST_F(Icons, NoConditionCodeFindsTheNAPicture) {
    // "N/A" and error texts in every feed, and an empty code: each period finds NA by the
    // extensions' order, never a file named after the text.
    CurrentCode("IC30", "N/A");
    ForecastCodes("IC30", {"N/A", "ERROR: Invalid location provided."});
    HourlyCodes("IC30", {""});
    Put("N_A.png");
    Put("NA.gif");
    Put("NA.bmp");
    const struct {
        int period, dayNight;
    } periods[] = {{0, 0}, {1, 1}, {1, 0}, {-1, 0}, {2, 1}, {-5, 0}};
    for (const auto &p : periods) {
        EXPECT_EQ(Picture("NA.gif"), Resolve("IC30", p.period, p.dayNight))
            << p.period << " " << p.dayNight;
    }
    Plugin.showMoonPhase = 1;
    EXPECT_EQ(Picture("NA.gif"), Resolve("IC30"));
    Remove("NA.gif");
    EXPECT_EQ(Picture("NA.bmp"), Resolve("IC30", 1, 0));
    // No NA picture at all: the last path tried is NA's, in a folder that exists.
    Remove("NA.bmp");
    EXPECT_EQ(Picture("NA.ico"), Resolve("IC30", -1, 0));
    // No feed at all (nothing cached, no service): NA as well.
    Put("NA.png");
    EXPECT_EQ(Picture("NA.png"), Resolve("IC31"));
}

TEST_F(Icons, AFolderEndingInASeparatorIsJoinedWithOne) {
    CurrentCode("IC32", "26");
    Put("26.png");
    Put("WEATHERALERT.gif");
    Current("IC33", "<swa><a><t>Storm</t><l>http://alerts.test/1</l></a></swa>");
    std::string endings[] = {std::string(1, OsPathSeparator), "/", std::string(2, OsPathSeparator)};
    for (const std::string &ending : endings) {
        std::string slashed = images + ending;
        EXPECT_EQ(Picture("26.png"), std::string(ResolveIcon("IC32", slashed.c_str(), 0, 0)))
            << ending;
        EXPECT_EQ(Picture("WEATHERALERT.gif") + "%lhttp://alerts.test/1",
                  std::string(AlertIconLink("IC33", slashed.c_str())))
            << ending;
        EXPECT_EQ(Picture("31_" + std::to_string(MoonPhaseIndex(0)) + ".png"),
                  std::string(MoonIconPath(slashed.c_str(), 0)))
            << ending;
        CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, slashed.c_str());
        EXPECT_EQ(Picture("26.png"), std::string(ResolveIcon("IC32", "", 0, 0))) << ending;
        CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, "");
    }
    // The root folder keeps its one separator.
    std::string root(1, OsPathSeparator);
    EXPECT_EQ(root + "31_" + std::to_string(MoonPhaseIndex(0)) + ".png",
              std::string(MoonIconPath(root.c_str(), 0)));
}

TEST_F(Icons, TheClockChoosesTheDayPart) {
    struct Case {
        int hour, nowDay, nowPart, laterDay, laterPart;
    } cases[] = {
        {9, 1, 1, 1, 0},  {13, 1, 1, 1, 0},                  // 13:59 still today
        {14, 1, 0, 2, 1}, {21, 1, 0, 2, 1}, {0, 1, 0, 2, 1}, // 00:30: tonight, then tomorrow
        {1, 1, 1, 1, 0},
    };
    for (const Case &c : cases) {
        DayPart now = NowDayPart(c.hour);
        DayPart later = LaterDayPart(c.hour);
        EXPECT_EQ(c.nowDay, now.day) << c.hour;
        EXPECT_EQ(c.nowPart, now.dayNight) << c.hour;
        EXPECT_EQ(c.laterDay, later.day) << c.hour;
        EXPECT_EQ(c.laterPart, later.dayNight) << c.hour;
    }
}

TEST_F(Icons, CodesAndFoldersNeverLeadOutOfTheirBuffersOrTheFolder) {
    // A code with separators stays inside the folder.
    sandbox::WriteFile(sandbox::Join(folder, "outside.png"), "picture");
    CurrentCode("IC08", "../outside");
    EXPECT_EQ(Picture(".._outside.ico"), Resolve("IC08"));
    CurrentCode("IC09", "N/A");
    EXPECT_EQ(Picture("NA.ico"), Resolve("IC09"));

    // Periods at the ends of the int range select missing occurrences.
    ForecastCodes("IC10", {"11"});
    HourlyCodes("IC10", {"21"});
    for (int period : {INT_MAX, INT_MIN, -INT_MAX}) {
        for (int dayNight : {INT_MIN, 0, INT_MAX}) {
            std::string result = Resolve("IC10", period, dayNight);
            EXPECT_EQ(0u, result.find(images)) << period << " " << dayNight;
        }
    }

    // A folder near the path limit: short names fit, a long code does not.
    size_t pad = 240 - images.size() - 1;
    std::string deep = sandbox::Join(images, std::string(pad, 'd'));
    sandbox::MakeFolderAt(deep);
    ASSERT_TRUE(sandbox::IsFolder(deep));
    sandbox::WriteFile(sandbox::Join(deep, "26.png"), "picture");
    CurrentCode("IC11", "26");
    EXPECT_EQ(sandbox::Join(deep, "26.png"), std::string(ResolveIcon("IC11", deep.c_str(), 0, 0)));
    CurrentCode("IC12", std::string(30, '7'));
    EXPECT_STREQ(TEXT_PATH_TOO_LONG, ResolveIcon("IC12", deep.c_str(), 0, 0));
    EXPECT_STREQ(TEXT_PATH_TOO_LONG, MoonIconPath((deep + std::string(30, 'x')).c_str(), 0));

    // A folder far beyond the limit that does not exist: the message is cut, nothing overruns.
    std::string huge = sandbox::Join(folder, std::string(600, 'h'));
    std::string message = ResolveIcon("IC11", huge.c_str(), 0, 0);
    EXPECT_EQ(0u, message.find("ERROR: Specified path ("));
    EXPECT_EQ(size_t(PATH_CAPACITY - 1), message.size());
}

TEST_F(Icons, TheAlertPictureCarriesTheRewrittenLink) {
    Current("IC20", "<swa><a><t>Storm</t><l>http://www.example.test/a?from=www.b&amp;x=zzz.c</l>"
                    "</a></swa><cc><icon>4</icon></cc>");
    Put("WEATHERALERT.gif");
    Put("WEATHERALERT.bmp");
    EXPECT_EQ(Picture("WEATHERALERT.gif") +
                  "%lhttp://www.alerts.example.test/a?from=www.alerts.b&amp;x=www.alerts.c",
              std::string(AlertIconLink("IC20", images.c_str())));

    // Without the picture: the path of the last extension, with the link all the same.
    Remove("WEATHERALERT.gif");
    Remove("WEATHERALERT.bmp");
    EXPECT_EQ(Picture("WEATHERALERT.ico") +
                  "%lhttp://www.alerts.example.test/a?from=www.alerts.b&amp;x=www.alerts.c",
              std::string(AlertIconLink("IC20", images.c_str())));

    // A long link in a long folder is kept whole; one with "www." everywhere ends.
    std::string tail(700, 'q');
    Current("IC21", "<swa><l>http://www.example.test/" + tail + "</l></swa>");
    std::string deep = sandbox::Join(images, std::string(200 - images.size(), 'd'));
    std::string expected =
        sandbox::Join(deep, "WEATHERALERT.ico") + "%lhttp://www.alerts.example.test/" + tail;
    EXPECT_EQ(expected, std::string(AlertIconLink("IC21", deep.c_str())));
    std::string many;
    for (int i = 0; i < 240; i++) {
        many += "www.";
    }
    Current("IC22", "<swa><l>" + many + "</l></swa>");
    std::string result = AlertIconLink("IC22", images.c_str());
    EXPECT_EQ(Picture("WEATHERALERT.ico"), result); // the link would not fit: the picture alone

    // No alert, a service error, no feed: no picture at all.
    Current("IC23", "<cc><icon>4</icon></cc>");
    EXPECT_STREQ("", AlertIconLink("IC23", images.c_str()));
    Current("IC24", "<error><err type=\"2\">Invalid location provided.</err></error>");
    EXPECT_STREQ("", AlertIconLink("IC24", images.c_str()));
    EXPECT_STREQ("", AlertIconLink("IC25", images.c_str()));
}

TEST_F(Icons, TheMoonPictureFollowsTheDays) {
    EXPECT_EQ(Picture("31_" + std::to_string(MoonPhaseIndex(0)) + ".png"),
              std::string(MoonIconPath(images.c_str(), 0)));
    EXPECT_EQ(Picture("31_" + std::to_string(MoonPhaseIndex(1)) + ".png"),
              std::string(MoonIconPath(images.c_str(), 1)));
    CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, images.c_str());
    EXPECT_EQ(Picture("31_" + std::to_string(MoonPhaseIndex(5)) + ".png"),
              std::string(MoonIconPath("", 5)));
}

// The exports as the host calls them, against the local weather service.
class IconExports : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        images = sandbox::Join(plugin.folder, "pictures");
        sandbox::MakeFolderAt(images);
        for (int code = 0; code <= 47; code++) {
            sandbox::WriteFile(sandbox::Join(images, std::to_string(code) + ".png"), "picture");
        }
        sandbox::WriteFile(sandbox::Join(images, "NA.png"), "picture");
        sandbox::WriteFile(sandbox::Join(images, "WEATHERALERT.png"), "picture");
        plugin.UseServiceAt(services::SimHost(), "[General]\nDefaultIconPath=" + images + "\n");
        ASSERT_TRUE(plugin.Load());
    }
    Export2 Get2(const char *name) { return plugin.loaded.Get<Export2>(name); }
    bool InFolder(const std::string &path) {
        return path.find(images) == 0 && sandbox::Exists(path);
    }
    PluginCopy plugin{"icon-exports"};
    std::string images;
};

TEST_F(IconExports, EveryExportFindsAPictureOfTheFolder) {
    std::string current = Get2("IconCC")("ICE01", images.c_str());
    EXPECT_TRUE(InFolder(current)) << current;
    EXPECT_EQ(current, std::string(plugin.loaded.Get<Export3>("IconHourly")("ICE01", "0", "")));
    auto forecast = plugin.loaded.Get<Export4>("IconForecast");
    EXPECT_EQ(current, std::string(forecast("ICE01", "0", "1", "")));
    std::string night = forecast("ICE01", "2", "0", "");
    EXPECT_TRUE(InFolder(night)) << night;
    EXPECT_EQ(night, std::string(plugin.loaded.Get<Export3>("IconHourly")("ICE01", "-2", "")));
    for (const char *name : {"IconNow", "IconLater"}) {
        std::string path = Get2(name)("ICE01", NULL);
        EXPECT_TRUE(InFolder(path)) << name << ": " << path;
    }
    EXPECT_TRUE(InFolder(Get2("IconCC")(NULL, NULL))); // the default Location ID

    std::string alert = Get2("AlertIcon")("SIMALERT", NULL);
    EXPECT_EQ(sandbox::Join(images, "WEATHERALERT.png") + "%l",
              alert.substr(0, alert.find("%l") + 2));
    EXPECT_NE(std::string::npos, alert.find("/alerts/SIMALERT/1?source=www.alerts.feed")) << alert;
    EXPECT_STREQ("", Get2("AlertIcon")("ICE01", ""));

    std::string moon = Get2("MoonIcon")(NULL, NULL);
    EXPECT_EQ(0u, moon.find(sandbox::Join(images, "31_"))) << moon;
}

TEST_F(IconExports, AFeedWithoutDataShowsTheNAPicture) {
    std::string na = sandbox::Join(images, "NA.png");
    EXPECT_EQ(na, std::string(Get2("IconCC")("SIMNA", NULL)));
    EXPECT_EQ(na, std::string(plugin.loaded.Get<Export4>("IconForecast")("SIMNA", "1", "0", "")));
    EXPECT_EQ(na, std::string(plugin.loaded.Get<Export3>("IconHourly")("SIMNA", "3", "")));
    EXPECT_EQ(na, std::string(Get2("IconNow")("SIMNA", "")));
    EXPECT_EQ(na, std::string(Get2("IconLater")("SIMNA", "")));
}
