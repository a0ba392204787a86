// Reading the settings file: defaults, clamps, the locale's unit, and what shutdown writes back.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "feed/source.h"
#include "plugin/settings.h"
#include "provider/provider.h"
#include "base/air_scales.h"
#include "base/state.h"
#include "support/sandbox.h"

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("settings");
        path = sandbox::Join(folder, "wx.ini");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    std::string Read(const char *section, const char *key) {
        char value[PATH_CAPACITY];
        OsProfileGetString(path.c_str(), section, key, "(missing)", value, sizeof value);
        return value;
    }

    std::string folder, path;
};

static std::string LocaleUnit() {
    char measure[2];
    OsLocaleMeasure(measure, sizeof measure);
    return strchr(measure, '0') ? "Metric" : "English";
}

TEST_F(SettingsFile, MissingFileGivesEveryDefault) {
    ReadSettings(path.c_str());
    EXPECT_EQ(1, Plugin.showMoonPhase);
    EXPECT_EQ(5, Plugin.maxDays);
    EXPECT_EQ(12, Plugin.maxHours);
    EXPECT_EQ(OS_SHORT_DAY_NAMES, Plugin.dayNames);
    EXPECT_EQ(OS_SHORT_MONTH_NAMES, Plugin.monthNames);
    EXPECT_STREQ("90210", Plugin.defaultLocationId);
    EXPECT_EQ(LocaleUnit(), Plugin.defaultUnit);
    EXPECT_EQ(1, Plugin.unitFromAuto);
    EXPECT_STREQ("None", Plugin.customLanguage);
    EXPECT_STREQ(DEFAULT_ICON_PATH, Plugin.defaultIconPath);
    EXPECT_STREQ(DEFAULT_FEED_HOST, Plugin.feedHost);
    // Real weather out of the box, and the connectivity test asks the service that gives it.
    // Open-Meteo first, MET Norway whenever Open-Meteo fails.
    EXPECT_STREQ("open-meteo,met-norway", Plugin.source->name);
    EXPECT_EQ(Plugin.userAgent, Plugin.source->userAgent);
    EXPECT_STREQ("https://api.open-meteo.com/v1/forecast", Plugin.forecastApi);
    EXPECT_STREQ("https://api.met.no/weatherapi/locationforecast/2.0/complete",
                 Plugin.metNorwayApi);
    EXPECT_STREQ("https://geocoding-api.open-meteo.com/v1/search", Plugin.geocodingApi);
    EXPECT_STREQ("https://api.open-meteo.com/", Plugin.connectivityUrl);
    EXPECT_STREQ("https://api.weather.gc.ca/collections/weather-alerts/items",
                 Plugin.canadaAlertsApi);
    EXPECT_STREQ("https://api.brightsky.dev/alerts", Plugin.germanyAlertsApi);
    EXPECT_STREQ("https://api.met.no/weatherapi/metalerts/2.0/current.json",
                 Plugin.norwayAlertsApi);
    EXPECT_STREQ("https://feeds.meteoalarm.org/feeds/meteoalarm-legacy-atom-",
                 Plugin.meteoAlarmApi);
}

TEST_F(SettingsFile, EachAlertServiceHasItsOwnAddress) {
    sandbox::WriteFile(path, "[Service]\nAlertsApi=http://127.0.0.1:1/us\n"
                             "CanadaAlertsApi=http://127.0.0.1:1/ca\n"
                             "GermanyAlertsApi=http://127.0.0.1:1/de\n"
                             "NorwayAlertsApi=http://127.0.0.1:1/no\n"
                             "MeteoAlarmApi=http://127.0.0.1:1/feeds/atom-\n");
    ReadSettings(path.c_str());
    EXPECT_STREQ("http://127.0.0.1:1/us", Plugin.alertsApi);
    EXPECT_STREQ("http://127.0.0.1:1/ca", Plugin.canadaAlertsApi);
    EXPECT_STREQ("http://127.0.0.1:1/de", Plugin.germanyAlertsApi);
    EXPECT_STREQ("http://127.0.0.1:1/no", Plugin.norwayAlertsApi);
    EXPECT_STREQ("http://127.0.0.1:1/feeds/atom-", Plugin.meteoAlarmApi);
}

TEST_F(SettingsFile, TheProviderListItsSourcesAndItsConnectivityTest) {
    const WeatherSource *const openMeteo = &OpenMeteoSource, *const met = &MetNorwaySource,
                               *const feed = &FeedSource;
    const struct {
        const char *service;
        std::vector<const WeatherSource *> members;
        const char *connectivity, *writtenBack;
    } cases[] = {
        {"Provider=feed\n", {feed}, DEFAULT_CONNECTIVITY_URL, "feed"},
        {"Provider=FEED\n", {feed}, DEFAULT_CONNECTIVITY_URL, "feed"},
        {"Provider=open-meteo\nForecastApi=http://127.0.0.1:8470/v1/forecast?x=1\n",
         {openMeteo},
         "http://127.0.0.1:8470/",
         "open-meteo"},
        {"Provider=met-norway\nMetNorwayApi=http://127.0.0.1:8470/weatherapi/x\n",
         {met},
         "http://127.0.0.1:8470/",
         "met-norway"},
        // A list in any case, with blanks; a name given twice is asked once.
        {"Provider= Met-Norway , open-meteo,met-norway\n",
         {met, openMeteo},
         "https://api.met.no/",
         "met-norway,open-meteo"},
        {"Provider=feed,open-meteo\n",
         {feed, openMeteo},
         DEFAULT_CONNECTIVITY_URL,
         "feed,open-meteo"},
        // Names the plugin does not know are left out; with none left, the default list, shown
        // as such in the file.
        {"Provider=metno,open-meteo\n", {openMeteo}, "https://api.open-meteo.com/", "open-meteo"},
        {"Provider=metno\n",
         {openMeteo, met},
         "https://api.open-meteo.com/",
         "open-meteo,met-norway"},
        {"Provider=,\n", {openMeteo, met}, "https://api.open-meteo.com/", "open-meteo,met-norway"},
        {"ConnectivityUrl=http://own.example/\n",
         {openMeteo, met},
         "http://own.example/",
         "open-meteo,met-norway"},
        {"Provider=feed\nConnectivityUrl=http://own.example/\n",
         {feed},
         "http://own.example/",
         "feed"},
        // An address without a host gives the test nothing to ask but the built-in address.
        {"ForecastApi=nonsense\n",
         {openMeteo, met},
         DEFAULT_CONNECTIVITY_URL,
         "open-meteo,met-norway"},
    };
    for (const auto &c : cases) {
        sandbox::WriteFile(path, std::string("[Service]\n") + c.service);
        ReadSettings(path.c_str());
        const WeatherSource *members[SOURCE_CHAIN_CAPACITY] = {};
        size_t count = Plugin.source->members(Plugin.source, members, SOURCE_CHAIN_CAPACITY);
        EXPECT_EQ(c.members, std::vector<const WeatherSource *>(members, members + count))
            << c.service;
        if (c.members.size() == 1) {
            EXPECT_EQ(c.members[0], Plugin.source) << c.service; // no chain around one source
        }
        EXPECT_EQ(c.members[0]->userAgent, Plugin.source->userAgent) << c.service;
        EXPECT_STREQ(c.connectivity, Plugin.connectivityUrl) << c.service;
        WriteSettings(path.c_str());
        EXPECT_EQ(c.writtenBack, Read("Service", "Provider")) << c.service;
    }
}

TEST_F(SettingsFile, DayAndHourCountsOutOfRangeBecomeTheMaximum) {
    const struct {
        const char *days, *hours;
        int wantDays, wantHours;
    } cases[] = {{"11", "25", 10, 24},
                 {"0", "-3", 10, 24},
                 {"10", "1", 10, 1},
                 {"x", "", 10, 12},
                 {"7days", "24", 7, 24}};
    for (const auto &c : cases) {
        sandbox::WriteFile(path, std::string("[Forecast]\nMaxDays=") + c.days +
                                     "\n[Hourly]\nMaxHours=" + c.hours + "\n");
        ReadSettings(path.c_str());
        EXPECT_EQ(c.wantDays, Plugin.maxDays) << c.days;
        EXPECT_EQ(c.wantHours, Plugin.maxHours) << c.hours;
    }
}

TEST_F(SettingsFile, ValuesAsWrittenAndAsWrittenBack) {
    sandbox::WriteFile(path, "[general]\nshortdaynames=2\nShortMonthNames=0\nShowMoonPhase=0\n"
                             "CustomLanguage=German\nDefaultIconPath=  D:\\Icons  \n"
                             "[UNIT]\nDefaultUnit=auto\n[LocationID]\nDefaultLocationID=abc12\n"
                             "[Forecast]\nMaxDays=11\n[Hourly]\nMaxHours=-3\n"
                             "[Service]\nFeedHost=127.0.0.1:8470\n");
    ReadSettings(path.c_str());
    EXPECT_EQ(OS_SHORT_DAY_NAMES, Plugin.dayNames);
    EXPECT_EQ(OS_LONG_MONTH_NAMES, Plugin.monthNames);
    EXPECT_EQ(0, Plugin.showMoonPhase);
    EXPECT_STREQ("German", Plugin.customLanguage);
    EXPECT_STREQ("D:\\Icons", Plugin.defaultIconPath);
    EXPECT_STREQ("auto", Plugin.defaultUnit); // only "Auto" itself asks the locale
    EXPECT_EQ(0, Plugin.unitFromAuto);
    EXPECT_STREQ("ABC12", Plugin.defaultLocationId);
    EXPECT_STREQ("127.0.0.1:8470", Plugin.feedHost);

    WriteSettings(path.c_str());
    EXPECT_EQ("1", Read("General", "ShortDayNames"));
    EXPECT_EQ("0", Read("General", "ShortMonthNames"));
    EXPECT_EQ("0", Read("General", "ShowMoonPhase"));
    EXPECT_EQ("10", Read("Forecast", "MaxDays"));
    EXPECT_EQ("24", Read("Hourly", "MaxHours"));
    EXPECT_EQ("auto", Read("Unit", "DefaultUnit"));
    EXPECT_EQ("ABC12", Read("LocationID", "DefaultLocationID"));
    EXPECT_EQ("D:\\Icons", Read("General", "DefaultIconPath"));
    // Never written: the language, and the service hosts.
    EXPECT_EQ("German", Read("General", "CustomLanguage"));
    EXPECT_EQ("127.0.0.1:8470", Read("Service", "FeedHost"));
}

TEST_F(SettingsFile, AutoIsWrittenBackAsAuto) {
    sandbox::WriteFile(path, "[Unit]\nDefaultUnit=Auto\n");
    ReadSettings(path.c_str());
    EXPECT_EQ(LocaleUnit(), Plugin.defaultUnit);
    WriteSettings(path.c_str());
    EXPECT_EQ("Auto", Read("Unit", "DefaultUnit"));

    sandbox::WriteFile(path, "[Unit]\nDefaultUnit=Both\n");
    ReadSettings(path.c_str());
    EXPECT_STREQ("Both", Plugin.defaultUnit);
    WriteSettings(path.c_str());
    EXPECT_EQ("Both", Read("Unit", "DefaultUnit"));
}

TEST_F(SettingsFile, TheAirQualityIndexIsReadWithoutCaseAndWrittenBackByItsWord) {
    const struct {
        const char *written;
        int scale;
        const char *back;
    } cases[] = {{"european", AIR_SCALE_EUROPEAN, "European"},
                 {"US", AIR_SCALE_US, "US"},
                 {"Auto", AIR_SCALE_AUTO, "Auto"},
                 {"EAQI", AIR_SCALE_AUTO, "Auto"}, // unknown: Auto
                 {NULL, AIR_SCALE_AUTO, "Auto"}};  // missing: Auto
    for (const auto &c : cases) {
        sandbox::WriteFile(path, c.written ? std::string("[Unit]\nAirQualityIndex=") + c.written
                                           : std::string("[Unit]\nDefaultUnit=Metric\n"));
        ReadSettings(path.c_str());
        EXPECT_EQ(c.scale, Plugin.airQualityScale) << (c.written ? c.written : "(none)");
        WriteSettings(path.c_str());
        EXPECT_EQ(c.back, Read("Unit", "AirQualityIndex"));
    }
}

TEST_F(SettingsFile, LongValuesAreCutToTheirFields) {
    sandbox::WriteFile(path, "[LocationID]\nDefaultLocationID=abcdefghijklmnopqrstuvwxyz\n"
                             "[General]\nCustomLanguage=" +
                                 std::string(100, 'L') + "\n");
    ReadSettings(path.c_str());
    // As long as a call's Location ID may be: coordinates such as -33.8688,151.2093 fit whole.
    EXPECT_STREQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ", Plugin.defaultLocationId);
    EXPECT_EQ(std::string(63, 'L'), Plugin.customLanguage);
    sandbox::WriteFile(path, "[LocationID]\nDefaultLocationID=" + std::string(40, 'x') + "\n");
    ReadSettings(path.c_str());
    EXPECT_EQ(std::string(31, 'X'), Plugin.defaultLocationId);
}

#if !defined(_WIN32)
TEST_F(SettingsFile, AutoFollowsTheLocaleMeasurementSystem) {
    sandbox::SetEnv("LC_ALL", "de_DE.UTF-8");
    ReadSettings(path.c_str());
    EXPECT_STREQ("Metric", Plugin.defaultUnit);
    sandbox::SetEnv("LC_ALL", "en_US.UTF-8");
    ReadSettings(path.c_str());
    EXPECT_STREQ("English", Plugin.defaultUnit);
    sandbox::UnsetEnv("LC_ALL");
}
#endif
