// Alerts and radar pictures of the provider, offline: the national service's answers read in
// order of severity, the regions that have alerts, the alert section as the feed queries read it,
// and the radar index read for its newest frame.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "expr/current.h"
#include "feed/cache.h"
#include "images/icons.h"
#include "base/state.h"
#include "provider/alerts.h"
#include "provider/rainviewer.h"
#include "provider/render.h"
#include "tests/expr/expr_fixture.h"
#include "tests/provider/answer_fixture.h"

static const PlaceInfo kDenver = {39.7392, -104.9903, "Stormhaven, Westmark", "US"};

// A feature of the service's answer.
static std::string Feature(const char *severity, const char *event, const char *headline) {
    std::string headlineJson = headline ? std::string("\"") + headline + "\"" : "null";
    return std::string("{\"id\":\"https://api.weather.gov/alerts/urn:oid:1\",\"type\":\"Feature\","
                       "\"geometry\":null,\"properties\":{\"severity\":\"") +
           severity + "\",\"event\":\"" + event + "\",\"headline\":" + headlineJson + "}}";
}

static enum AnswerKind ReadAlerts(const std::string &json, AlertList *alerts) {
    return NwsAlertSource.read(json.data(), json.size(), &kDenver, alerts);
}

TEST(Alerts, TheMostSevereComeFirstEachWithItsHeadlineOrEvent) {
    AlertList alerts;
    std::string json = "{\"type\":\"FeatureCollection\",\"features\":[" +
                       Feature("Moderate", "Wind Advisory", "Wind Advisory until 6 PM") + "," +
                       Feature("Severe", "Winter Storm Warning", nullptr) + "," +
                       Feature("Unknown", "Special Statement", "") + "," +
                       Feature("Moderate", "Frost Advisory", nullptr) + "," +
                       Feature("Extreme", "Blizzard Warning", "Blizzard <b>now</b>") + "]}";
    ASSERT_EQ(ANSWER_WEATHER, ReadAlerts(json, &alerts));
    const char *const titles[] = {"Blizzard bnow/b", "Winter Storm Warning",
                                  "Wind Advisory until 6 PM", "Frost Advisory",
                                  "Special Statement"};
    ASSERT_EQ(5, alerts.count);
    for (int i = 0; i < 5; i++) {
        EXPECT_STREQ(titles[i], alerts.alerts[i].title) << i;
    }
    // A page a person opens, for the point: not an address of the API.
    EXPECT_STREQ("https://forecast.weather.gov/MapClick.php?lat=39.7392&lon=-104.9903",
                 alerts.link);

    // More than are shown: the most severe stay, in the service's order among equals.
    json = "{\"features\":[";
    for (int i = 0; i < 12; i++) {
        json += Feature(i % 3 == 0 ? "Severe" : "Minor", ("Event " + std::to_string(i)).c_str(),
                        nullptr) +
                ",";
    }
    json += Feature("Extreme", "Last", nullptr) + "]}";
    ASSERT_EQ(ANSWER_WEATHER, ReadAlerts(json, &alerts));
    ASSERT_EQ(ALERT_CAPACITY, alerts.count);
    const char *const kept[] = {"Last",    "Event 0", "Event 3", "Event 6",
                                "Event 9", "Event 1", "Event 2", "Event 4"};
    for (int i = 0; i < ALERT_CAPACITY; i++) {
        EXPECT_STREQ(kept[i], alerts.alerts[i].title) << i;
    }

    // No alert, and answers that are no list of alerts.
    ASSERT_EQ(ANSWER_WEATHER, ReadAlerts("{\"features\":[]}", &alerts));
    EXPECT_EQ(0, alerts.count);
    ASSERT_EQ(ANSWER_WEATHER,
              ReadAlerts("{\"features\":[1,{\"properties\":{\"event\":5}},{}]}", &alerts));
    EXPECT_EQ(0, alerts.count);
    EXPECT_EQ(ANSWER_UNREADABLE, ReadAlerts("{\"features\":{}}", &alerts));
    EXPECT_EQ(ANSWER_UNREADABLE, ReadAlerts("{\"title\":\"x\"}", &alerts));
    EXPECT_EQ(ANSWER_UNREADABLE, ReadAlerts("{\"features\":[", &alerts));
}

TEST(Alerts, OnlyTheUnitedStatesHaveASourceAndItIsAskedForThePointAlone) {
    const struct {
        PlaceInfo place;
        bool covered;
    } cases[] = {
        {{51.5074, -0.1278, "London, GB", "GB"}, false},
        {{18.4655, -66.1057, "San Juan", "PR"}, true},
        {{48.0, -100.0, "", "CA"}, false},    // a country known outside, whatever the point
        {{39.7392, -104.9903, "", ""}, true}, // coordinates inside the area
        {{61.2181, -149.9003, "", ""}, true},
        {{21.3069, -157.8583, "", ""}, true},
        {{51.5074, -0.1278, "", ""}, false},
        {{-33.8688, 151.2093, "", ""}, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.covered, AlertSourceFor(&c.place) == &NwsAlertSource)
            << c.place.latitude << "," << c.place.longitude;
    }
    CopyText(Plugin.alertsApi, sizeof Plugin.alertsApi, NWS_ALERTS_API);
    char address[256];
    ASSERT_TRUE(NwsAlertSource.address(&kDenver, address, sizeof address));
    EXPECT_STREQ("https://api.weather.gov/alerts/active?point=39.7392,-104.9903", address);
    PlaceInfo precise = {39.739236, -104.990251, "", ""};
    ASSERT_TRUE(NwsAlertSource.address(&precise, address, sizeof address));
    EXPECT_STREQ("https://api.weather.gov/alerts/active?point=39.7392,-104.9903", address);
}

class AlertDocuments : public ExprTest {};

TEST_F(AlertDocuments, TheSectionIsReadAsTheFeedsAlerts) {
    static ModelWeather model;
    std::string json = answer::Build();
    char reason[256];
    ASSERT_EQ(ANSWER_WEATHER,
              ReadForecastAnswer(json.data(), json.size(), &model, reason, sizeof reason));
    AlertList alerts = {2,
                        {{3, "Winter Storm Warning"}, {2, "Wind Advisory until 6 PM"}},
                        "https://forecast.weather.gov/MapClick.php?lat=39.7392&lon=-104.9903"};
    RenderContext context = {&model, &kDenver, "AL1", 0, 5, 12, 0, &alerts};
    GrowText text;
    GrowTextInit(&text, 0);
    ASSERT_EQ(1, RenderFeedDocument("Current", &context, &text));
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, "AL1");
    CopyText(Plugin.callUnit, sizeof Plugin.callUnit, "English");
    sandbox::WriteFile(CacheFilePath("Current"), std::string(text.bytes, text.length));
    GrowTextFree(&text);

    // The first title is the alert; every other term counts its occurrences after the section.
    EXPECT_EQ("Winter Storm Warning|Partly Cloudy|SW|Moderate",
              std::string(CurrentConditionsText("<alert>|<cond>|<winddir>|<uv>", "AL1", "", "1")));

    // The alert picture links the service's page as it stands.
    Plugin.provider = PROVIDER_OPEN_METEO;
    std::string link = AlertIconLink("AL1", folder.c_str());
    EXPECT_EQ("%lhttps://forecast.weather.gov/MapClick.php?lat=39.7392&lon=-104.9903",
              link.substr(link.find("%l")));
}

TEST_F(AlertDocuments, OnlyTheFeedsLinksAreRewritten) {
    Place("Current", "AL2", "English",
          "<weather><swa><a><t>Heat Advisory</t><l>http://www.example/alert</l></a></swa>"
          "<cc><t>Sunny</t></cc></weather>");
    Plugin.provider = PROVIDER_OPEN_METEO;
    std::string link = AlertIconLink("AL2", folder.c_str());
    EXPECT_EQ("%lhttp://www.example/alert", link.substr(link.find("%l")));
    Plugin.provider = PROVIDER_FEED;
    link = AlertIconLink("AL2", folder.c_str());
    EXPECT_EQ(std::string("%lhttp://") + ALERT_HOST_PREFIX + "example/alert",
              link.substr(link.find("%l")));
}

TEST(Radar, ThePageNamesThePointAndTheNewestFrameIsChosenLater) {
    char address[128];
    ASSERT_TRUE(RadarPointAddress(&kDenver, address, sizeof address));
    EXPECT_STREQ("nimbrel-radar:39.7392,-104.9903", address);
    // The cut of the local page ends at the next "Radar" and splits at "','": neither is in it.
    EXPECT_EQ(nullptr, strstr(address, "Radar"));
    EXPECT_EQ(nullptr, strstr(address, "','"));
    double latitude = 0, longitude = 0;
    ASSERT_TRUE(ParseRadarPointAddress(address, &latitude, &longitude));
    EXPECT_DOUBLE_EQ(39.7392, latitude);
    EXPECT_DOUBLE_EQ(-104.9903, longitude);
    for (const char *other : {"http://127.0.0.1/images/radar/X.png", "nimbrel-radar:95,1",
                              "nimbrel-radar:", "nimbrel-radar:1,2,3"}) {
        EXPECT_FALSE(ParseRadarPointAddress(other, &latitude, &longitude)) << other;
    }

    char picture[512];
    // The frames in any order: the newest by its time.
    std::string index = "{\"version\":\"2.0\",\"host\":\"https://tilecache.rainviewer.com\","
                        "\"radar\":{\"past\":[{\"time\":1796767200,\"path\":\"/v2/radar/b\"},"
                        "{\"time\":1796767800,\"path\":\"/v2/radar/c\"},{\"time\":1796766600,"
                        "\"path\":\"/v2/radar/a\"},{\"time\":\"1796769999\",\"path\":\"/x\"}]}}";
    ASSERT_EQ(ANSWER_WEATHER, ReadRadarIndex(index.data(), index.size(), RAINVIEWER_MAPS_API,
                                             39.7392, -104.9903, picture, sizeof picture));
    EXPECT_STREQ("https://tilecache.rainviewer.com/v2/radar/c/256/7/39.7392/-104.9903/2/1_1.png",
                 picture);
    // Coordinates always carry a dot, even whole ones.
    ASSERT_EQ(ANSWER_WEATHER, ReadRadarIndex(index.data(), index.size(), RAINVIEWER_MAPS_API, 40,
                                             -105, picture, sizeof picture));
    EXPECT_NE(nullptr, strstr(picture, "/40.0000/-105.0000/"));

    // An index that names no frame, or a host or path that is no plain address.
    for (const char *bad :
         {"{\"host\":\"https://h\",\"radar\":{\"past\":[]}}",
          "{\"host\":\"https://h\",\"radar\":{\"past\":[{\"time\":1,\"path\":\"v2\"}]}}",
          "{\"host\":\"javascript:alert(1)\",\"radar\":{\"past\":[{\"time\":1,\"path\":\"/a\"}]}}",
          "{\"host\":\"https://h\\\" x\",\"radar\":{\"past\":[{\"time\":1,\"path\":\"/a\"}]}}",
          "{\"host\":\"https://h\",\"radar\":{\"past\":[{\"time\":1,\"path\":\"/a?b=c\"}]}}",
          "{\"radar\":{\"past\":[{\"time\":1,\"path\":\"/a\"}]}}", "[]", "{"}) {
        EXPECT_EQ(ANSWER_UNREADABLE, ReadRadarIndex(bad, strlen(bad), RAINVIEWER_MAPS_API, 39.7,
                                                    -104.9, picture, sizeof picture))
            << bad;
        EXPECT_STREQ("", picture);
    }
}

TEST(Radar, AnIndexThatCameOverHttpsNeverNamesAPlainHost) {
    const std::string plain = "{\"host\":\"http://tiles.example\",\"radar\":{\"past\":"
                              "[{\"time\":1,\"path\":\"/v2/radar/a\"}]}}";
    char picture[512];
    for (const char *secure : {"https://api.example/maps.json", "HTTPS://api.example/m.json"}) {
        EXPECT_EQ(ANSWER_UNREADABLE, ReadRadarIndex(plain.data(), plain.size(), secure, 39.7,
                                                    -104.9, picture, sizeof picture))
            << secure;
        EXPECT_STREQ("", picture);
    }
    // An index that came over plain http may name either; https stays allowed after http.
    ASSERT_EQ(ANSWER_WEATHER, ReadRadarIndex(plain.data(), plain.size(), "http://127.0.0.1:1/m",
                                             39.7, -104.9, picture, sizeof picture));
    EXPECT_EQ(0, strncmp(picture, "http://tiles.example/v2/radar/a/", 32)) << picture;
}
