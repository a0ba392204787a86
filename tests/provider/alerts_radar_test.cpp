// Alerts and radar pictures of the provider, offline: the national service's answers read in
// order of severity, the regions that have alerts, the alert section as the feed queries read it,
// and the radar index read for its newest frame.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "expr/current.h"
#include "plugin/expr_frame.h"
#include "feed/cache.h"
#include "feed/source.h"
#include "images/icons.h"
#include "base/state.h"
#include "provider/alert_sources.h"
#include "provider/alerts.h"
#include "provider/meteoalarm.h"
#include "provider/provider.h"
#include "provider/rainviewer.h"
#include "provider/render.h"
#include "tests/expr/expr_fixture.h"
#include "tests/provider/answer_fixture.h"

static const PlaceInfo kDenver = {39.7392, -104.9903, "Stormhaven, Westmark", "US", ""};

// A feature of the service's answer.
static std::string Feature(const char *severity, const char *event, const char *headline) {
    std::string headlineJson = headline ? std::string("\"") + headline + "\"" : "null";
    return std::string("{\"id\":\"https://api.weather.gov/alerts/urn:oid:1\",\"type\":\"Feature\","
                       "\"geometry\":null,\"properties\":{\"severity\":\"") +
           severity + "\",\"event\":\"" + event + "\",\"headline\":" + headlineJson + "}}";
}

static enum AnswerKind ReadAlerts(const std::string &json, AlertList *alerts) {
    return NwsAlertSource.read(json.data(), json.size(), &kDenver, 0, alerts);
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

TEST(Alerts, TheUnitedStatesCoverTheirPlacesAndAreAskedForThePointAlone) {
    const struct {
        PlaceInfo place;
        bool covered;
    } cases[] = {
        {{51.5074, -0.1278, "London, GB", "GB", ""}, false},
        {{18.4655, -66.1057, "San Juan", "PR", ""}, true},
        {{48.0, -100.0, "", "CA", ""}, false},    // a country known outside, whatever the point
        {{39.7392, -104.9903, "", "", ""}, true}, // coordinates inside the area
        {{61.2181, -149.9003, "", "", ""}, true},
        {{21.3069, -157.8583, "", "", ""}, true},
        {{51.5074, -0.1278, "", "", ""}, false},
        {{-33.8688, 151.2093, "", "", ""}, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.covered, AlertSourceFor(&c.place) == &NwsAlertSource)
            << c.place.latitude << "," << c.place.longitude;
    }
    CopyText(Plugin.alertsApi, sizeof Plugin.alertsApi, NWS_ALERTS_API);
    char address[256];
    ASSERT_TRUE(NwsAlertSource.address(&kDenver, address, sizeof address));
    EXPECT_STREQ("https://api.weather.gov/alerts/active?point=39.7392,-104.9903", address);
    PlaceInfo precise = {39.739236, -104.990251, "", "", ""};
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
                        {{3, "Winter Storm Warning", ""}, {2, "Wind Advisory until 6 PM", ""}},
                        "https://forecast.weather.gov/MapClick.php?lat=39.7392&lon=-104.9903"};
    RenderContext context = {&model, &kDenver, "AL1", 0, 5, 12, 0, &alerts, nullptr, nullptr};
    GrowText text;
    GrowTextInit(&text, 0);
    ASSERT_EQ(1, RenderFeedDocument(KIND_CURRENT, &context, &text));
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, "AL1");
    CopyText(Plugin.callUnit, sizeof Plugin.callUnit, "English");
    sandbox::WriteFile(CacheFilePath(KIND_CURRENT), std::string(text.bytes, text.length));
    GrowTextFree(&text);

    // The first title is the alert; every other term counts its occurrences after the section.
    EXPECT_EQ("Winter Storm Warning|Partly Cloudy|SW|Moderate",
              std::string(CurrentConditionsText("<alert>|<cond>|<winddir>|<uv>", "AL1", "", "1")));

    // The alert picture links the service's page as it stands.
    Plugin.source = &OpenMeteoSource;
    std::string link = AlertIconLink("AL1", folder.c_str());
    EXPECT_EQ("%lhttps://forecast.weather.gov/MapClick.php?lat=39.7392&lon=-104.9903",
              link.substr(link.find("%l")));
}

TEST_F(AlertDocuments, OnlyTheFeedsLinksAreRewritten) {
    Place("Current", "AL2", "English",
          "<weather><swa><a><t>Heat Advisory</t><l>http://www.example/alert</l></a></swa>"
          "<cc><t>Sunny</t></cc></weather>");
    Plugin.source = &OpenMeteoSource;
    std::string link = AlertIconLink("AL2", folder.c_str());
    EXPECT_EQ("%lhttp://www.example/alert", link.substr(link.find("%l")));
    Plugin.source = &FeedSource;
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

// ---- Canada, Germany, Norway ---------------------------------------------------------------

#include "provider/geojson.h"
#include "provider/service_text.h"

static bool Contains(const char *geometry, double latitude, double longitude) {
    rapidjson::Document document;
    document.Parse(geometry);
    return GeoJsonContains(&document, latitude, longitude) != 0;
}

TEST(AlertAreas, APointIsInsideAnOuterRingAndOutsideItsHoles) {
    // A square from 45 to 46 north and 76 to 75 west, with a hole in its north-east.
    const char *square = "{\"type\":\"Polygon\",\"coordinates\":[[[-76,45],[-75,45],[-75,46],"
                         "[-76,46],[-76,45]],[[-75.5,45.5],[-75.2,45.5],[-75.2,45.8],"
                         "[-75.5,45.8],[-75.5,45.5]]]}";
    EXPECT_TRUE(Contains(square, 45.2, -75.8));
    EXPECT_FALSE(Contains(square, 45.6, -75.3)); // in the hole
    EXPECT_TRUE(Contains(square, 45.9, -75.3));  // beside it, north
    EXPECT_FALSE(Contains(square, 46.2, -75.8));
    EXPECT_FALSE(Contains(square, 45.2, -74.8));
    // A ring need not be closed, nor convex: a U whose gap is outside.
    const char *u = "{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[3,0],[3,3],[2,3],[2,1],"
                    "[1,1],[1,3],[0,3]]]}";
    EXPECT_TRUE(Contains(u, 2.5, 0.5));
    EXPECT_FALSE(Contains(u, 2.5, 1.5));
    EXPECT_TRUE(Contains(u, 0.5, 1.5));
    // A multipolygon holds the point in any of its parts, each with its own holes.
    const char *parts = "{\"type\":\"MultiPolygon\",\"coordinates\":[[[[10,10],[11,10],[11,11],"
                        "[10,11],[10,10]]],[[[-1,-1],[1,-1],[1,1],[-1,1],[-1,-1]],[[-0.5,-0.5],"
                        "[0.5,-0.5],[0.5,0.5],[-0.5,0.5],[-0.5,-0.5]]]]}";
    EXPECT_TRUE(Contains(parts, 10.5, 10.5));
    EXPECT_TRUE(Contains(parts, 0.8, 0.8));
    EXPECT_FALSE(Contains(parts, 0.0, 0.0));
    EXPECT_FALSE(Contains(parts, 5.0, 5.0));
    // Areas that cannot be read cover nothing.
    for (const char *bad :
         {"{\"type\":\"Point\",\"coordinates\":[0.5,0.5]}",
          "{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[1,0]]]}",
          "{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[1,0],[1,\"1\"],[0,1]]]}",
          "{\"type\":\"Polygon\",\"coordinates\":[]}",
          "{\"type\":\"Polygon\",\"coordinates\":[[[0,0],[1,0],[1,1],[0,1]],7]}",
          "{\"type\":\"MultiPolygon\",\"coordinates\":[1,[2]]}", "null", "[]"}) {
        EXPECT_FALSE(Contains(bad, 0.5, 0.5)) << bad;
    }
}

TEST(AlertAreas, ServiceTimesWithTheirZones) {
    AlertClock seconds = 0;
    ASSERT_TRUE(ParseServiceTime("2026-12-09T06:00:00Z", &seconds));
    EXPECT_EQ(1796796000, seconds);
    const char *const same[] = {"2026-12-09T07:00:00+01:00", "2026-12-09T07:00+0100",
                                "2026-12-09T01:30:00.123456-04:30", "2026-12-09 06:00:00+00:00"};
    for (const char *text : same) {
        AlertClock other = 0;
        EXPECT_TRUE(ParseServiceTime(text, &other)) << text;
        EXPECT_EQ(seconds, other) << text;
    }
    for (const char *bad : {"", "2026-12-09", "2026-12-09T06:00:00", "2026-13-45T25:61:00+99:00",
                            "2026-12-09T06:00:00+1", "2026-12-09T06:00:00Zulu", "yesterday"}) {
        EXPECT_FALSE(ParseServiceTime(bad, &seconds)) << bad;
    }
}

TEST(AlertAreas, EachRegionHasItsSourceByCountryOrByBox) {
    const struct {
        PlaceInfo place;
        const AlertSource *source;
    } cases[] = {
        {{43.65, -79.38, "", "CA", ""}, &CanadaAlertSource},
        {{53.55, 9.99, "", "DE", ""}, &GermanyAlertSource},
        {{59.91, 10.75, "", "NO", ""}, &NorwayAlertSource},
        {{78.22, 15.65, "", "SJ", ""}, &NorwayAlertSource},
        {{47.37, 8.55, "", "CH", ""}, &MeteoAlarmAlertSource},
        {{-33.87, 151.21, "", "AU", ""}, nullptr},
        {{48.0, -100.0, "", "US", ""}, &NwsAlertSource},
        // Coordinates: Canada's cities near the border go to Canada, the neighbours' to the
        // United States.
        {{43.65, -79.38, "", "", ""}, &CanadaAlertSource}, // Toronto
        {{45.50, -73.57, "", "", ""}, &CanadaAlertSource}, // Montreal
        {{49.28, -123.12, "", "", ""}, &CanadaAlertSource},
        {{48.43, -123.37, "", "", ""}, &CanadaAlertSource}, // Victoria
        {{44.65, -63.57, "", "", ""}, &CanadaAlertSource},  // Halifax
        {{42.33, -83.05, "", "", ""}, &NwsAlertSource},     // Detroit
        {{42.89, -78.88, "", "", ""}, &NwsAlertSource},     // Buffalo
        {{47.61, -122.33, "", "", ""}, &NwsAlertSource},    // Seattle
        {{46.49, -84.35, "", "", ""}, &NwsAlertSource},     // Sault Ste. Marie, Michigan
        {{58.30, -134.42, "", "", ""}, &NwsAlertSource},    // Juneau
        {{61.22, -149.90, "", "", ""}, &NwsAlertSource},
        {{52.52, 13.40, "", "", ""}, &GermanyAlertSource},
        {{69.65, 18.96, "", "", ""}, &NorwayAlertSource},
        {{78.22, 15.65, "", "", ""}, &NorwayAlertSource},
        {{51.51, -0.13, "", "", ""}, &MeteoAlarmBoxesSource}, // by its box, without the regions
        {{-33.87, 151.21, "", "", ""}, nullptr},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.source, AlertSourceFor(&c.place))
            << c.place.country << " " << c.place.latitude << "," << c.place.longitude;
    }

    // Canada's regions are asked for a box around the point, Germany's and Norway's warnings for
    // the point with four decimals at most.
    CopyText(Plugin.canadaAlertsApi, sizeof Plugin.canadaAlertsApi, CANADA_ALERTS_API);
    CopyText(Plugin.germanyAlertsApi, sizeof Plugin.germanyAlertsApi, GERMANY_ALERTS_API);
    CopyText(Plugin.norwayAlertsApi, sizeof Plugin.norwayAlertsApi, NORWAY_ALERTS_API);
    PlaceInfo place = {45.4, -75.7, "", "", ""};
    char address[512];
    ASSERT_TRUE(CanadaAlertSource.address(&place, address, sizeof address));
    EXPECT_STREQ("https://api.weather.gc.ca/collections/weather-alerts/items?f=json&lang=en"
                 "&limit=100&bbox=-76.7000,44.4000,-74.7000,46.4000",
                 address);
    place = {89.5, 179.6, "", "", ""};
    ASSERT_TRUE(CanadaAlertSource.address(&place, address, sizeof address));
    EXPECT_NE(nullptr, strstr(address, "&bbox=178.6000,88.5000,180.0000,90.0000")) << address;
    place = {59.913868, 10.752245, "", "", ""};
    ASSERT_TRUE(NorwayAlertSource.address(&place, address, sizeof address));
    EXPECT_STREQ("https://api.met.no/weatherapi/metalerts/2.0/current.json?lat=59.9139&lon=10.7522",
                 address);
    ASSERT_TRUE(GermanyAlertSource.address(&place, address, sizeof address));
    EXPECT_STREQ("https://api.brightsky.dev/alerts?lat=59.9139&lon=10.7522", address);
    EXPECT_EQ(10, NorwayAlertSource.requestMinutes);
}

static const AlertClock kNow = 1796796000; // 2026-12-09 06:00 UTC

static std::string Square(double south, double west, double north, double east) {
    char text[256];
    snprintf(text, sizeof text,
             "{\"type\":\"Polygon\",\"coordinates\":[[[%g,%g],[%g,%g],[%g,%g],[%g,%g],[%g,%g]]]}",
             west, south, east, south, east, north, west, north, west, south);
    return text;
}

static std::string CanadaFeature(const std::string &geometry, const char *name,
                                 const char *shortName, const char *colour, const char *expires) {
    auto text = [](const char *value) {
        return value ? std::string("\"") + value + "\"" : std::string("null");
    };
    return "{\"type\":\"Feature\",\"geometry\":" + geometry +
           ",\"properties\":{\"alert_name_en\":" + text(name) +
           ",\"alert_short_name_en\":" + text(shortName) + ",\"risk_colour_en\":" + text(colour) +
           ",\"expiration_datetime\":" + text(expires) + ",\"province\":\"QC\"}}";
}

TEST(AlertAreas, CanadaKeepsTheRegionsThatHoldThePointAndHaveNotEnded) {
    PlaceInfo place = {45.4, -75.7, "", "CA", ""};
    std::string here = Square(45.0, -76.0, 45.8, -75.0), there = Square(46.0, -76.0, 46.5, -75.0);
    std::string json =
        "{\"type\":\"FeatureCollection\",\"features\":[" +
        CanadaFeature(here, "freezing rain advisory", "freezing rain", "yellow",
                      "2026-12-09T09:00:00Z") +
        "," + CanadaFeature(there, "tornado warning", "tornado", "red", "2026-12-09T09:00:00Z") +
        "," + CanadaFeature(here, "blizzard warning", "blizzard", "red", "2026-12-09T05:59:00Z") +
        "," + CanadaFeature(here, "", "snowfall", "ORANGE", "2026-12-09T10:00:00-05:00") + "," +
        CanadaFeature(here, "special weather statement", nullptr, "grey", nullptr) + "," +
        CanadaFeature(here, "fog advisory", nullptr, "yellow", "not a time") + "]}";
    AlertList alerts;
    ASSERT_EQ(ANSWER_WEATHER,
              CanadaAlertSource.read(json.data(), json.size(), &place, kNow, &alerts));
    // The tornado warning's region lies north, the blizzard has ended; the short name stands in
    // for a missing name, the statement's grey after every colour.
    const char *const titles[] = {"snowfall", "freezing rain advisory", "fog advisory",
                                  "special weather statement"};
    ASSERT_EQ(4, alerts.count);
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(titles[i], alerts.alerts[i].title) << i;
        EXPECT_STREQ("", alerts.alerts[i].link);
    }
    EXPECT_EQ(3, alerts.alerts[0].severity);
    EXPECT_STREQ("https://weather.gc.ca/warnings/index_e.html?prov=qc", alerts.link);

    // Outside every region: no alert, and the country's page.
    place.latitude = 47.0;
    ASSERT_EQ(ANSWER_WEATHER,
              CanadaAlertSource.read(json.data(), json.size(), &place, kNow, &alerts));
    EXPECT_EQ(0, alerts.count);
    EXPECT_STREQ("https://weather.gc.ca/warnings/index_e.html", alerts.link);
    EXPECT_EQ(ANSWER_UNREADABLE,
              CanadaAlertSource.read("{\"features\":7}", 14, &place, kNow, &alerts));
}

TEST(AlertAreas, GermanyAndNorwayByTheirOwnFields) {
    PlaceInfo place = {53.55, 9.99, "", "DE", ""};
    std::string json =
        "{\"alerts\":[{\"severity\":\"minor\",\"event_en\":\"frost\",\"headline_en\":null,"
        "\"expires\":\"2026-12-09T08:00:00+00:00\"},{\"severity\":\"extreme\",\"event_en\":"
        "\"hurricane\",\"headline_en\":\"Official WARNING of HURRICANE\",\"expires\":null},"
        "{\"severity\":\"severe\",\"headline_en\":\"Official WARNING of ICE\",\"expires\":"
        "\"2026-12-09T06:00:00+00:00\"}],\"location\":null}";
    AlertList alerts;
    ASSERT_EQ(ANSWER_WEATHER,
              GermanyAlertSource.read(json.data(), json.size(), &place, kNow, &alerts));
    ASSERT_EQ(2, alerts.count); // the ice warning ended just now
    EXPECT_STREQ("Official WARNING of HURRICANE", alerts.alerts[0].title);
    EXPECT_STREQ("frost", alerts.alerts[1].title);
    EXPECT_EQ(1, alerts.alerts[1].severity);
    EXPECT_STREQ("https://www.dwd.de/DE/wetter/warnungen_gemeinden/warnWetter_node.html",
                 alerts.link);
    EXPECT_EQ(ANSWER_UNREADABLE,
              GermanyAlertSource.read("{\"detail\":\"x\"}", 14, &place, kNow, &alerts));

    CopyText(Plugin.norwayAlertsApi, sizeof Plugin.norwayAlertsApi, NORWAY_ALERTS_API);
    auto feature = [](const char *properties, const char *end) {
        return std::string("{\"type\":\"Feature\",\"properties\":{") + properties +
               "},\"when\":{\"interval\":[\"2026-12-09T00:00:00+00:00\",\"" + end + "\"]}}";
    };
    json = "{\"type\":\"FeatureCollection\",\"features\":[" +
           feature("\"title\":\"Kuling, gult niv\\u00e5\",\"severity\":\"Moderate\","
                   "\"web\":\"https://www.met.no/farevarsler/kuling\"",
                   "2026-12-09T12:00:00+00:00") +
           "," +
           feature("\"event\":\"polarLow\",\"awareness_level\":\"3; orange; Severe\","
                   "\"web\":\"https://api.met.no/weatherapi/metalerts/2.0/current?cap=1\"",
                   "2026-12-09T12:00:00+00:00") +
           "," +
           feature("\"title\":\"Snø\",\"severity\":\"Extreme\",\"web\":\"javascript:alert(1)\"",
                   "2026-12-09T12:00:00+00:00") +
           "," +
           feature("\"title\":\"Ended\",\"severity\":\"Extreme\"", "2026-12-09T05:00:00+00:00") +
           "," +
           feature("\"title\":\"Trial\",\"severity\":\"Extreme\",\"status\":\"Test\"",
                   "2026-12-09T12:00:00+00:00") +
           "]}";
    place = {59.91, 10.75, "", "NO", ""};
    ASSERT_EQ(ANSWER_WEATHER,
              NorwayAlertSource.read(json.data(), json.size(), &place, kNow, &alerts));
    ASSERT_EQ(3, alerts.count);
    // Titles in the plugin's text encoding.
    char expected[64];
    ServiceText("Sn\xC3\xB8", 4, expected, sizeof expected);
    EXPECT_STREQ(expected, alerts.alerts[0].title);
    EXPECT_STREQ("polarLow", alerts.alerts[1].title);
    EXPECT_EQ(3, alerts.alerts[1].severity); // from the awareness level
    ServiceText("Kuling, gult niv\xC3\xA5", 18, expected, sizeof expected);
    EXPECT_STREQ(expected, alerts.alerts[2].title);
    // Only a web page is an alert's link: neither a script nor an address of the API.
    EXPECT_STREQ("", alerts.alerts[0].link);
    EXPECT_STREQ("", alerts.alerts[1].link);
    EXPECT_STREQ("https://www.met.no/farevarsler/kuling", alerts.alerts[2].link);
    EXPECT_STREQ("https://www.met.no/vaer-og-klima/ekstremvaervarsler-og-andre-farevarsler",
                 alerts.link);
}

TEST_F(AlertDocuments, EachAlertLinksItsOwnPageElseTheList) {
    static ModelWeather model;
    std::string json = answer::Build();
    char reason[256];
    ASSERT_EQ(ANSWER_WEATHER,
              ReadForecastAnswer(json.data(), json.size(), &model, reason, sizeof reason));
    AlertList alerts = {
        2, {{3, "Storm", "https://www.met.no/storm"}, {2, "Snow", ""}}, "https://www.met.no/all"};
    RenderContext context = {&model, &kDenver, "AL3", 0, 5, 12, 0, &alerts, nullptr, nullptr};
    GrowText text;
    GrowTextInit(&text, 0);
    ASSERT_EQ(1, RenderFeedDocument(KIND_CURRENT, &context, &text));
    std::string document(text.bytes, text.length);
    GrowTextFree(&text);
    size_t first = document.find("<l>https://www.met.no/storm</l>");
    ASSERT_NE(std::string::npos, first);
    EXPECT_LT(first, document.find("<l>https://www.met.no/all</l>"));
}
