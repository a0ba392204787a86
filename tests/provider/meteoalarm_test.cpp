// Europe's warnings from MeteoAlarm's country feeds, offline: which entries apply to a place (by
// polygon, by code, by an alias), which show (status, message type, severity, end), each warning
// once, in order of severity, with its English name and its page; and which source a place gets.
#include <gtest/gtest.h>

#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "feed/query.h"
#include "feed/source.h"
#include "images/icons.h"
#include "plugin/expr_frame.h"
#include "provider/alert_sources.h"
#include "provider/alerts.h"
#include "provider/meteoalarm.h"
#include "provider/provider.h"
#include "provider/warning_regions.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

namespace {

// 2026-12-10 12:00 UTC.
const AlertClock kNow = 1796904000;

const PlaceInfo kWarsaw = {52.23, 21.01, "Warszawa", "PL", ""};

struct Entry {
    std::string title;
    std::string severity = "Severe";
    std::string identifier = "2.49.0.0.616.0.PL.1";
    std::string area; // a <cap:geocode> or <cap:polygon>, written whole
    std::string expires = "2026-12-10T20:00:00+00:00";
    std::string status = "Actual";
    std::string type = "Alert";
    std::string related = "https://meteoalarm.org?region=PL";
    std::string event = "Silny wiatr";
};

std::string Geocode(const char *scheme, const char *value) {
    return std::string("<cap:geocode>\n      <valueName>") + scheme +
           "</valueName>\n      <value>" + value + "</value>\n    </cap:geocode>";
}

std::string Polygon(const char *points) {
    return std::string("<cap:polygon>") + points + "</cap:polygon>";
}

std::string Feed(const std::vector<Entry> &entries) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<feed xmlns=\"http://www.w3.org/2005/Atom\" "
        "xmlns:cap=\"urn:oasis:names:tc:emergency:cap:1.2\">\n"
        "  <id>https://feeds.meteoalarm.org/feeds/meteoalarm-legacy-atom-poland</id>\n"
        "  <title>MeteoAlarm Poland</title>\n"
        "  <link rel=\"hub\" href=\"https://pubsubhubbub.appspot.com/\"/>\n";
    for (const Entry &entry : entries) {
        feed += "  <entry>\n    " + entry.area +
                "\n    <link title=\"area\" href=\"https://meteoalarm.org?geocode=EMMA_ID:X\" "
                "hreflang=\"en\"/>\n    <cap:areaDesc>area</cap:areaDesc>\n    <cap:event>" +
                entry.event + "</cap:event>\n    <cap:expires>" + entry.expires +
                "</cap:expires>\n    <cap:severity>" + entry.severity +
                "</cap:severity>\n    <cap:message_type>" + entry.type +
                "</cap:message_type>\n    <cap:status>" + entry.status +
                "</cap:status>\n    <cap:identifier>" + entry.identifier +
                "</cap:identifier>\n    <link type=\"application/cap+xml\" "
                "href=\"https://feeds.meteoalarm.org/api/v1/warnings/feeds-poland/1\"/>\n"
                "    <link title=\"Poland\" rel=\"related\" href=\"" +
                entry.related + "\" hreflang=\"en\"/>\n    <title>" + entry.title +
                "</title>\n  </entry>\n";
    }
    return feed + "</feed>\n";
}

AlertList Read(const std::string &feed, const char *codes, const PlaceInfo &place = kWarsaw) {
    AlertList alerts;
    memset(&alerts, 0x5A, sizeof alerts);
    EXPECT_EQ(ANSWER_WEATHER,
              ReadMeteoAlarmFeed(feed.data(), feed.size(), &place, codes, kNow, &alerts));
    return alerts;
}

std::vector<std::string> Titles(const AlertList &alerts) {
    std::vector<std::string> titles;
    for (int i = 0; i < alerts.count; i++) {
        titles.push_back(alerts.alerts[i].title);
    }
    return titles;
}

Entry Warning(const char *title, const char *severity, const char *identifier,
              const std::string &area) {
    Entry entry;
    entry.title = title;
    entry.severity = severity;
    entry.identifier = identifier;
    entry.area = area;
    return entry;
}

const char kWarsawCodes[] = " EMMA_ID:PL1465 ";

} // namespace

TEST(MeteoAlarm, AWarningAppliesByItsPolygonOrByACodeOfThePlace) {
    // CAP writes latitude first: the same square with the pairs turned lies in the Indian Ocean.
    std::string square = "52.0,20.8 52.0,21.2 52.4,21.2 52.4,20.8 52.0,20.8";
    std::string turned = "20.8,52.0 21.2,52.0 21.2,52.4 20.8,52.4 20.8,52.0";
    std::vector<Entry> entries = {
        Warning("Orange Wind Warning issued for Poland - Mazowsze", "Severe", "a",
                Polygon(square.c_str())),
        Warning("Red Heat Warning issued for Poland - Nowhere", "Extreme", "b",
                Polygon(turned.c_str())),
        Warning("Yellow Rain Warning issued for Poland - Warszawa", "Moderate", "c",
                Geocode("EMMA_ID", "PL1465")),
        Warning("Orange Fog Warning issued for Poland - Gdańsk", "Severe", "d",
                Geocode("EMMA_ID", "PL2261")),
        // A code of another scheme that stands for the same region.
        Warning("Yellow Frost Warning issued for Poland - Warszawa", "Moderate", "e",
                Geocode("NUTS3", "PL911")),
        // Some services file their EMMA_IDs under another scheme's name.
        Warning("Yellow Snow Warning issued for Poland - Warszawa", "Moderate", "f",
                Geocode("NUTS3", "PL1465")),
        // A code that only begins like the place's.
        Warning("Yellow Ice Warning issued for Poland - Elsewhere", "Moderate", "g",
                Geocode("EMMA_ID", "PL146")),
        // An unclosed polygon counts as closed; one of two points holds nothing.
        Warning("Yellow Dust Warning issued for Poland - Open", "Moderate", "h",
                Polygon("52.0,20.8 52.0,21.2 52.4,21.2 52.4,20.8")),
        Warning("Yellow Hail Warning issued for Poland - Line", "Moderate", "i",
                Polygon("52.0,20.8 52.4,21.2")),
    };
    AlertList alerts = Read(Feed(entries), " EMMA_ID:PL1465 NUTS3:PL911 ");
    EXPECT_EQ((std::vector<std::string>{"Orange Wind Warning", "Yellow Rain Warning",
                                        "Yellow Frost Warning", "Yellow Snow Warning",
                                        "Yellow Dust Warning"}),
              Titles(alerts));

    // Without the regions file the place has no codes: only the polygons place a warning.
    alerts = Read(Feed(entries), " ");
    EXPECT_EQ((std::vector<std::string>{"Orange Wind Warning", "Yellow Dust Warning"}),
              Titles(alerts));
}

TEST(MeteoAlarm, OnlyActualWarningsThatStillHoldShowEachOnceMostSevereFirst) {
    std::string warsaw = Geocode("EMMA_ID", "PL1465");
    std::vector<Entry> entries;
    // The same warning in two languages and for a second area: one warning.
    entries.push_back(
        Warning("Orange Wind\n Warning issued for Poland - Warszawa", "Severe", "W1", warsaw));
    entries.push_back(
        Warning("Orange Wind Warning issued for Poland - Warszawa", "Severe", "W1", warsaw));
    entries.push_back(Warning("Orange Wind Warning issued for Poland - Otwock", "Severe", "W1",
                              Geocode("EMMA_ID", "PL1466")));
    entries.push_back(Warning("Yellow Thunderstorm Warning issued for Poland - Warszawa",
                              "Moderate", "T1", warsaw));
    entries.push_back(Warning("Green Warning issued for Poland - Warszawa", "Minor", "G1", warsaw));
    Entry ended =
        Warning("Red Snow-ice Warning issued for Poland - Warszawa", "Extreme", "S1", warsaw);
    ended.expires = "2026-12-10T11:59:00+00:00";
    entries.push_back(ended);
    Entry cancel =
        Warning("Orange Fog Warning issued for Poland - Warszawa", "Severe", "C1", warsaw);
    cancel.type = "Cancel";
    entries.push_back(cancel);
    Entry exercise =
        Warning("Red Flood Warning issued for Poland - Warszawa", "Extreme", "X1", warsaw);
    exercise.status = "Exercise";
    entries.push_back(exercise);
    Entry update =
        Warning("Orange Rain Warning issued for Poland - Warszawa", "Severe", "U1", warsaw);
    update.type = "Update";
    update.expires = "2026-12-10T13:00:00+01:00"; // 12:00 UTC: ended now
    entries.push_back(update);
    update.identifier = "U2";
    update.expires = "2026-12-10T14:00:00+01:00";
    entries.push_back(update);
    Entry extreme =
        Warning("Red Wind Warning issued for Poland - Warszawa", "Extreme", "R1", warsaw);
    extreme.expires = "whenever"; // an end that cannot be read is the service's to end
    entries.push_back(extreme);

    AlertList alerts = Read(Feed(entries), kWarsawCodes);
    EXPECT_EQ((std::vector<std::string>{"Red Wind Warning", "Orange Wind Warning",
                                        "Orange Rain Warning", "Yellow Thunderstorm Warning"}),
              Titles(alerts));
    EXPECT_EQ(4, alerts.alerts[0].severity);
    EXPECT_EQ(3, alerts.alerts[1].severity);
    EXPECT_EQ(2, alerts.alerts[3].severity);

    // At most eight, the most severe, the feed's order among equals.
    entries.clear();
    for (int i = 0; i < 12; i++) {
        std::string title = "Warning " + std::to_string(i) + " issued for Poland - Warszawa";
        entries.push_back(Warning(title.c_str(), i % 4 == 3 ? "Extreme" : "Moderate",
                                  ("N" + std::to_string(i)).c_str(), warsaw));
    }
    alerts = Read(Feed(entries), kWarsawCodes);
    EXPECT_EQ((std::vector<std::string>{"Warning 3", "Warning 7", "Warning 11", "Warning 0",
                                        "Warning 1", "Warning 2", "Warning 4", "Warning 5"}),
              Titles(alerts));
}

TEST(MeteoAlarm, TheNameIsTheTitlesInEnglishAndTheLinkTheEntrysOwnPage) {
    std::string warsaw = Geocode("EMMA_ID", "PL1465");
    Entry entry = Warning("Orange Thunderstorm Warning issued for Switzerland - Z&#252;rich &amp; "
                          "Umgebung",
                          "Severe", "Z1", warsaw);
    entry.related = "https://meteoalarm.org?region=CH&amp;lang=en";
    Entry untitled = Warning("", "Moderate", "Z2", warsaw);
    untitled.event = "Gelbe Warnung &lt;Wind&gt;";
    untitled.related = "javascript:alert(1)";
    Entry unnamed = Warning("   ", "Moderate", "Z3", warsaw);
    unnamed.event = "";
    AlertList alerts = Read(Feed({entry, untitled, unnamed}), kWarsawCodes);
    ASSERT_EQ(2, alerts.count);
    EXPECT_STREQ("Orange Thunderstorm Warning", alerts.alerts[0].title);
    EXPECT_STREQ("https://meteoalarm.org?region=CH&lang=en", alerts.alerts[0].link);
    // Without a title, the event as the national service words it, made safe to show.
    EXPECT_STREQ("Gelbe Warnung Wind", alerts.alerts[1].title);
    EXPECT_STREQ("", alerts.alerts[1].link);
    EXPECT_STREQ("https://meteoalarm.org?region=CH&lang=en", alerts.link);

    // A title that names no "issued for" stays whole; no warning, the site's front page.
    entry.title = "Orange Wind Warning for Poland";
    alerts = Read(Feed({entry}), kWarsawCodes);
    EXPECT_STREQ("Orange Wind Warning for Poland", alerts.alerts[0].title);
    alerts = Read(Feed({}), kWarsawCodes);
    EXPECT_EQ(0, alerts.count);
    EXPECT_STREQ("https://meteoalarm.org", alerts.link);
}

TEST(MeteoAlarm, WhatIsNoWholeFeedIsUnreadable) {
    AlertList alerts;
    for (const char *text :
         {"", "{\"warnings\":[]}", "<html><body>busy</body></html>", "<feed", "<feeds></feeds>"}) {
        EXPECT_EQ(ANSWER_UNREADABLE,
                  ReadMeteoAlarmFeed(text, strlen(text), &kWarsaw, kWarsawCodes, kNow, &alerts))
            << text;
        EXPECT_EQ(0, alerts.count);
    }
    // A feed cut anywhere before its end is no feed (and is read without reading past the cut):
    // the copy kept before serves on.
    std::string feed = Feed({Warning("Orange Wind Warning issued for Poland - Warszawa", "Severe",
                                     "W1", Geocode("EMMA_ID", "PL1465")),
                             Warning("Red Wind Warning issued for Poland - Warszawa", "Extreme",
                                     "W2", Polygon("52,21 53,21 53,22 52,21"))});
    for (size_t cut = 0; cut < feed.size(); cut++) {
        std::vector<char> piece(feed.begin(), feed.begin() + (long)cut);
        enum AnswerKind kind =
            ReadMeteoAlarmFeed(piece.data(), piece.size(), &kWarsaw, kWarsawCodes, kNow, &alerts);
        if (cut < feed.size() - 8) {
            EXPECT_EQ(ANSWER_UNREADABLE, kind) << cut;
        }
    }
}

TEST(MeteoAlarm, APlaceGetsTheSourceOfItsCountry) {
    struct Case {
        PlaceInfo place;
        const AlertSource *source;
    } cases[] = {
        {{52.23, 21.01, "", "PL", ""}, &MeteoAlarmAlertSource},
        {{48.86, 2.35, "", "FR", ""}, &MeteoAlarmAlertSource},
        {{51.51, -0.13, "", "GB", ""}, &MeteoAlarmAlertSource},
        {{47.37, 8.55, "", "CH", ""}, &MeteoAlarmAlertSource},
        {{38.72, -9.14, "", "PT", ""}, &MeteoAlarmAlertSource},
        {{52.52, 13.40, "", "DE", ""}, &GermanyAlertSource},
        {{59.91, 10.75, "", "NO", ""}, &NorwayAlertSource},
        {{41.33, 19.82, "", "AL", ""}, nullptr}, // no member
        {{35.68, 139.69, "", "JP", ""}, nullptr},
        // Coordinates outside Germany's box, by the countries' boxes.
        {{52.23, 21.01, "", "", ""}, &MeteoAlarmBoxesSource},
        {{48.86, 2.35, "", "", ""}, &MeteoAlarmBoxesSource},
        {{40.42, -3.70, "", "", ""}, &MeteoAlarmBoxesSource},
        {{28.12, -15.43, "", "", ""}, &MeteoAlarmBoxesSource}, // Las Palmas
        {{35.90, 14.51, "", "", ""}, &MeteoAlarmBoxesSource},  // Valletta
        {{0.0, -30.0, "", "", ""}, nullptr},
    };
    for (const Case &c : cases) {
        // Without a regions file: the module's own settings path is empty in this test.
        EXPECT_EQ(c.source, AlertSourceFor(&c.place))
            << c.place.latitude << "," << c.place.longitude << " " << c.place.country;
    }
    EXPECT_EQ(&MeteoAlarmAlertSource, AlertSourceFor(&cases[0].place));
    // Both rows keep one answer per country, under the country's name in the address.
    EXPECT_STREQ("poland", MeteoAlarmAlertSource.countryKey(&cases[0].place));
    EXPECT_STREQ("united-kingdom", MeteoAlarmAlertSource.countryKey(&cases[2].place));
    EXPECT_STREQ("spain", MeteoAlarmBoxesSource.countryKey(&cases[11].place));
    char address[256];
    CopyText(Plugin.meteoAlarmApi, sizeof Plugin.meteoAlarmApi, METEOALARM_API);
    ASSERT_TRUE(MeteoAlarmAlertSource.address(&cases[1].place, address, sizeof address));
    EXPECT_STREQ("https://feeds.meteoalarm.org/feeds/meteoalarm-legacy-atom-france", address);
    EXPECT_FALSE(MeteoAlarmAlertSource.address(&cases[1].place, address, 20));
    EXPECT_STREQ("", address);
}

// ---- Against the local service -------------------------------------------------------------

class Warnings : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("warnings");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
        Plugin.source = &OpenMeteoSource;
        std::string base = "http://" + services::SimHost();
        CopyText(Plugin.forecastApi, sizeof Plugin.forecastApi, (base + "/v1/forecast").c_str());
        CopyText(Plugin.geocodingApi, sizeof Plugin.geocodingApi, (base + "/v1/search").c_str());
        CopyText(Plugin.alertsApi, sizeof Plugin.alertsApi, (base + "/alerts/active").c_str());
        CopyText(Plugin.norwayAlertsApi, sizeof Plugin.norwayAlertsApi,
                 (base + "/weatherapi/metalerts/2.0/current.json").c_str());
        // The module reads the regions from beside itself: here, the build's.
        std::string settings = sandbox::Join(sandbox::BuildFolder(), "nimbrel.ini");
        CopyText(Plugin.settingsPath, sizeof Plugin.settingsPath, settings.c_str());
        Plugin.settingsWritable = 1; // a module path was found
        haveRegions = sandbox::Exists(sandbox::Join(sandbox::BuildFolder(), "nimbrel.Regions"));
        FreeWarningRegions();
        memset(Plugin.regionCodes, 0, sizeof Plugin.regionCodes);
        services::SimReset();
    }
    void TearDown() override {
        if (!folder.empty()) {
            services::SimGet("/_control/reset");
            Plugin.settingsPath[0] = '\0';
            Plugin.settingsWritable = 0;
            FreeWarningRegions();
            sandbox::RemoveTree(folder);
        }
    }

    // The place's warnings after its documents were refreshed, as the alert section lists them.
    std::vector<std::string> Shown(const std::string &id) {
        QueryCurrent(id.c_str(), "", "<tmp>", "</tmp>", 1);
        std::string current =
            sandbox::ReadFile(sandbox::Join(cache, "Weather.Current." + id + ".English.xml"));
        std::vector<std::string> titles;
        size_t end = current.find("</swa>");
        for (size_t at = current.find("<swa>") != std::string::npos ? current.find("<t>")
                                                                    : std::string::npos;
             at != std::string::npos && at < end; at = current.find("<t>", at + 1)) {
            titles.push_back(current.substr(at + 3, current.find("</t>", at) - at - 3));
        }
        return titles;
    }
    // Ages every file of the cache by `minutes`, as that much time going by would.
    void Age(int minutes) {
        for (const auto &entry : std::filesystem::recursive_directory_iterator(cache)) {
            if (entry.is_regular_file()) {
                uint64_t time = FileTime(entry.path().string());
                SetFileAge(entry.path().string(),
                           (long long)((OsUtcNow() - time) / 10000000ull) + minutes * 60LL);
            }
        }
        ForgetFeedDocuments();
    }
    int Feeds(const char *slug) {
        return services::SimRequests(std::string("/feeds/meteoalarm-legacy-atom-") + slug);
    }

    std::string folder, cache;
    bool haveRegions = false;
};

TEST_F(Warnings, APanelInEachCountryShowsItsOwnWarnings) {
    // Drawn as polygons: whatever the regions file.
    EXPECT_EQ(std::vector<std::string>{"Yellow Rain Warning"}, Shown("LONDON"));
    EXPECT_EQ(std::vector<std::string>{"Orange Thunderstorm Warning"}, Shown("ZURICH"));
    std::string link = AlertIconLink("LONDON", folder.c_str());
    EXPECT_EQ("%lhttps://meteoalarm.org?region=UK", link.substr(link.find("%l"))) << link;
    EXPECT_EQ(std::vector<std::string>{}, Shown("ATHENS"));
    EXPECT_EQ("None", std::string(CurrentConditionsText("<alert>", "ATHENS", "", "1")));
    if (!haveRegions) {
        // By codes only: without the regions, the place cannot be matched.
        EXPECT_EQ(std::vector<std::string>{}, Shown("WARSAW"));
        GTEST_SKIP() << "no nimbrel.Regions beside the module: the build had no regions";
    }
    // Warsaw: the wind warning once of its three entries, the Update; not the green one, the
    // ended one, the cancelled one, the exercise or Gdańsk's.
    EXPECT_EQ((std::vector<std::string>{"Orange Wind Warning", "Orange Rain Warning",
                                        "Yellow Thunderstorm Warning"}),
              Shown("WARSAW"));
    EXPECT_EQ("Orange Wind Warning",
              std::string(CurrentConditionsText("<alert>", "WARSAW", "", "1")));
    // Paris by the NUTS3 code that stands for its region; Madrid by its EMMA_ID.
    EXPECT_EQ(std::vector<std::string>{"Orange Flooding Warning"}, Shown("PARIS"));
    EXPECT_EQ(std::vector<std::string>{"Yellow High-temperature Warning"}, Shown("MADRID"));
    // Zaragoza's coordinates: the country and the code both from the regions file.
    EXPECT_EQ(std::vector<std::string>{"Orange High-temperature Warning"}, Shown("41.65,-0.89"));
}

TEST_F(Warnings, OneRequestPerCountryFeedWhateverTheNumberOfPlaces) {
    for (const char *id : {"WARSAW", "52.25,21.00", "50.06,19.94"}) {
        Shown(id);
    }
    EXPECT_EQ(1, Feeds("poland"));
    EXPECT_TRUE(sandbox::Exists(
        sandbox::Join(cache, OsNamesIgnoreCase ? "Warnings.poland.xml" : "Warnings.POLAND.xml")));
    EXPECT_FALSE(sandbox::Exists(sandbox::Join(cache, "Alerts.WARSAW.json")));
    // Calls between refreshes ask nothing.
    CurrentConditionsText("<alert>", "WARSAW", "Metric", "1");
    EXPECT_EQ(1, Feeds("poland"));
    // Half an hour on, the next new forecast asks again, and the other places of the country
    // find that answer fresh.
    Age(32);
    Shown("WARSAW");
    Shown("52.25,21.00");
    EXPECT_EQ(2, Feeds("poland"));
    EXPECT_EQ(0, Feeds("germany") + Feeds("czechia"));
}

TEST_F(Warnings, AFailedFeedKeepsTheWarningsKeptBefore) {
    std::vector<std::string> before = Shown("LONDON");
    ASSERT_EQ(std::vector<std::string>{"Yellow Rain Warning"}, before);
    for (const char *scenario : {"error", "badjson", "ratelimit"}) {
        SCOPED_TRACE(scenario);
        services::SimGet(std::string("/_control/meteoalarm?name=") + scenario);
        Age(32);
        int asked = Feeds("united-kingdom");
        EXPECT_EQ(before, Shown("LONDON"));
        EXPECT_EQ(asked + 1, Feeds("united-kingdom"));
        services::SimGet("/_control/meteoalarm?name=normal");
        sandbox::RemoveTree(sandbox::Join(cache, "Refresh")); // the failure forgotten
    }
    // The service back: answered again.
    Age(32);
    EXPECT_EQ(before, Shown("LONDON"));
}

TEST_F(Warnings, PlacesOutsideTheMembersAskNoFeed) {
    for (const char *id : {"TOKYORAIN", "OSLORAIN", "90210", "0.00,-30.00"}) {
        Shown(id);
    }
    EXPECT_EQ(0, services::SimRequests("/feeds/meteoalarm-legacy-atom-"));
}
