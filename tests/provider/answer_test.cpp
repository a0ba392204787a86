// Reading the service's answers: the weather codes by day and night, units, refusals, places,
// coordinates as Location IDs, and hostile answers that must never break a document.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "base/grow_text.h"
#include "provider/openmeteo.h"
#include "provider/render.h"
#include "provider/service_text.h"
#include "provider/wmo.h"
#include "tests/provider/answer_fixture.h"

static ModelWeather gModel;

// The first text between two marks of a document, or "(none)".
static std::string Between(const std::string &document, const std::string &open,
                           const std::string &close) {
    size_t start = document.find(open);
    if (start == std::string::npos) {
        return "(none)";
    }
    start += open.size();
    return document.substr(start, document.find(close, start) - start);
}

static int Count(const std::string &document, const std::string &mark) {
    int count = 0;
    for (size_t at = document.find(mark); at != std::string::npos;
         at = document.find(mark, at + 1)) {
        count++;
    }
    return count;
}

static std::string Render(enum DocumentKind kind, int metric, int days = 5, int hours = 12) {
    PlaceInfo place = {34.05, -118.25, "", "", ""};
    RenderContext context = {&gModel, &place, "34.05,-118.25", metric,  days,
                             hours,   0,      nullptr,         nullptr, nullptr};
    GrowText text;
    GrowTextInit(&text, 0);
    EXPECT_EQ(1, RenderFeedDocument(kind, &context, &text)) << kind;
    std::string document(GrowTextChars(&text), text.length);
    GrowTextFree(&text);
    return document;
}

// An answer of the current conditions alone, with the one hour and one day that make it whole.
static std::string WithCurrent(const std::string &current, const std::string &more = "") {
    return "{\"utc_offset_seconds\":0" + more + ",\"current\":{\"time\":\"2026-12-08T14:00\"" +
           current +
           "},\"hourly\":{\"time\":[\"2026-12-08T14:00\"]},\"daily\":{\"time\":"
           "[\"2026-12-08\"]}}";
}

static enum AnswerKind Read(const std::string &json, std::string *reason = nullptr) {
    char text[512];
    enum AnswerKind kind = ReadForecastAnswer(json.data(), json.size(), &gModel, text, sizeof text);
    if (reason) {
        *reason = text;
    }
    return kind;
}

// The degree sign as the plugin's texts write it.
static std::string DegreeSign() {
    return OsTextIsUtf8 ? "\xC2\xB0" : "\xB0";
}

// The WMO codes the forecast models give, as their documentation lists them (with the sleet
// codes 68, 69, 83 and 84).
static bool ModelGivesCode(int code) {
    static const int kCodes[] = {0,  1,  2,  3,  45, 48, 51, 53, 55, 56, 57, 61, 63, 65, 66, 67,
                                 68, 69, 71, 73, 75, 77, 80, 81, 82, 83, 84, 85, 86, 95, 96, 99};
    for (int known : kCodes) {
        if (known == code) {
            return true;
        }
    }
    return false;
}

TEST(WeatherCodes, EachCodeTakesTheClosestPictureByDayAndByNight) {
    const struct {
        int code, day, night;
        const char *dayText, *nightText;
    } cases[] = {
        {0, 32, 31, "Sunny", "Clear"},
        {1, 34, 33, "Mostly Sunny", "Mostly Clear"},
        {2, 30, 29, "Partly Cloudy", "Partly Cloudy"},
        {3, 26, 26, "Cloudy", "Cloudy"},
        {45, 20, 20, "Fog", "Fog"},
        {55, 11, 45, "Heavy Drizzle", "Heavy Drizzle"},
        {57, 10, 10, "Freezing Drizzle", "Freezing Drizzle"},
        {65, 12, 45, "Heavy Rain", "Heavy Rain"},
        {73, 14, 46, "Snow", "Snow"},
        {82, 40, 45, "Heavy Rain Showers", "Heavy Rain Showers"},
        {95, 3, 47, "Thunderstorms", "Thunderstorms"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.day, WmoIconCode(c.code, 1)) << c.code;
        EXPECT_EQ(c.night, WmoIconCode(c.code, 0)) << c.code;
        EXPECT_STREQ(c.dayText, WmoConditionText(c.code, 1)) << c.code;
        EXPECT_STREQ(c.nightText, WmoConditionText(c.code, 0)) << c.code;
    }
    // Every code the model gives has a picture of the feed's table and words without the
    // characters that would break a document.
    for (int code = 0; code <= 99; code++) {
        if (!ModelGivesCode(code)) {
            EXPECT_EQ(-1, WmoIconCode(code, 1)) << code;
            EXPECT_EQ(nullptr, WmoConditionText(code, 0)) << code;
            continue;
        }
        for (int isDay = 0; isDay <= 1; isDay++) {
            int icon = WmoIconCode(code, isDay);
            EXPECT_TRUE(icon >= 0 && icon <= 47) << code;
            EXPECT_EQ(nullptr, strpbrk(WmoConditionText(code, isDay), "<>\"'")) << code;
        }
        // Precipitation and fog rank above every sky, thunder above everything.
        if (code >= 45) {
            EXPECT_GT(WmoSeverity(code), WmoSeverity(3)) << code;
        }
        EXPECT_LE(WmoSeverity(code), WmoSeverity(99)) << code;
    }
    EXPECT_EQ(-1, WmoIconCode(-1, 1));
    EXPECT_EQ(-1, WmoIconCode(100, 0));
}

TEST(Answers, DayAndNightChooseThePicture) {
    ASSERT_EQ(ANSWER_WEATHER, Read(answer::Build()));
    EXPECT_EQ("30", Between(Render(KIND_CURRENT, 0), "<icon>", "</icon>"));
    gModel.current.isDay = 0;
    EXPECT_EQ("29", Between(Render(KIND_CURRENT, 0), "<icon>", "</icon>"));
    // Without is_day the sun times decide: 14:15 lies between sunrise and sunset.
    gModel.current.isDay = -1;
    EXPECT_EQ("30", Between(Render(KIND_CURRENT, 0), "<icon>", "</icon>"));
    // The night part of a forecast day shows the night picture of its worst hour (snow).
    std::string forecast = Render(KIND_FORECAST, 0);
    size_t day2 = forecast.find("t=\"Tuesday\"");
    ASSERT_NE(std::string::npos, day2);
    std::string night = forecast.substr(forecast.find("<part p=\"n\">", day2));
    EXPECT_EQ("46", Between(night, "<icon>", "</icon>"));
}

TEST(Answers, AnyUnitOfTheAnswerGivesTheSameDocuments) {
    // The same weather asked in Fahrenheit, miles per hour and feet.
    std::string json = WithCurrent(",\"temperature_2m\":54.14,\"wind_speed_10m\":10.0,"
                                   "\"wind_gusts_10m\":18.64,\"visibility\":26246.7",
                                   ",\"current_units\":{\"temperature_2m\":\"\xC2\xB0"
                                   "F\",\"wind_speed_10m\":\"mph\",\"visibility\":\"ft\"}");
    ASSERT_EQ(ANSWER_WEATHER, Read(json));
    std::string english = Render(KIND_CURRENT, 0), metric = Render(KIND_CURRENT, 1);
    EXPECT_EQ("54", Between(english, "<tmp>", "</tmp>"));
    EXPECT_EQ("12", Between(metric, "<tmp>", "</tmp>"));
    EXPECT_EQ("10", Between(english, "<s>", "</s>"));
    EXPECT_EQ("16", Between(metric, "<s>", "</s>"));
    EXPECT_EQ("19", Between(english, "<gust>", "</gust>"));
    EXPECT_EQ("5.0", Between(english, "<vis>", "</vis>"));
    EXPECT_EQ("8.0", Between(metric, "<vis>", "</vis>"));
    // Values the answer lacks read "N/A"; the trend lacks its past hours.
    EXPECT_EQ("N/A", Between(english, "<hmid>", "</hmid>"));
    EXPECT_EQ("N/A", Between(english, "<d>", "</d>"));
}

TEST(Answers, EveryWindUnitTheServiceNamesConverts) {
    // 36 km/h of wind with gusts of 54 km/h, in each unit the service may name, in the current
    // conditions and in the hours alike.
    const struct {
        const char *unit;
        double wind, gust;
    } cases[] = {
        {"km/h", 36.0, 54.0},       {"m/s", 10.0, 15.0},       {"ms", 10.0, 15.0},
        {"mp/h", 22.3694, 33.5541}, {"mph", 22.3694, 33.5541}, {"kn", 19.4384, 29.1577},
    };
    for (const auto &c : cases) {
        char values[512];
        snprintf(values, sizeof values,
                 "{\"utc_offset_seconds\":0,\"current_units\":{\"wind_speed_10m\":\"%s\"},"
                 "\"current\":{\"time\":\"2026-12-08T14:00\",\"wind_speed_10m\":%.4f,"
                 "\"wind_gusts_10m\":%.4f},\"hourly_units\":{\"wind_speed_10m\":\"%s\"},"
                 "\"hourly\":{\"time\":[\"2026-12-08T15:00\"],\"wind_speed_10m\":[%.4f],"
                 "\"wind_gusts_10m\":[%.4f]},\"daily\":{\"time\":[\"2026-12-08\"]}}",
                 c.unit, c.wind, c.gust, c.unit, c.wind, c.gust);
        ASSERT_EQ(ANSWER_WEATHER, Read(values)) << c.unit;
        std::string current = Render(KIND_CURRENT, 1), hourly = Render(KIND_HOURLY, 1, 5, 1);
        EXPECT_EQ("36", Between(current, "<s>", "</s>")) << c.unit;
        EXPECT_EQ("54", Between(current, "<gust>", "</gust>")) << c.unit;
        EXPECT_EQ("36", Between(hourly, "<s>", "</s>")) << c.unit;
        EXPECT_EQ("54", Between(hourly, "<gust>", "</gust>")) << c.unit;
        EXPECT_EQ("22", Between(Render(KIND_CURRENT, 0), "<s>", "</s>")) << c.unit;
    }
    // A unit it does not know is no number to show: the speeds read "N/A", not a guess.
    ASSERT_EQ(ANSWER_WEATHER,
              Read(WithCurrent(",\"wind_speed_10m\":10.0,\"wind_gusts_10m\":20.0",
                               ",\"current_units\":{\"wind_speed_10m\":\"furlong/fortnight\"}")));
    std::string current = Render(KIND_CURRENT, 1);
    EXPECT_EQ("N/A", Between(current, "<s>", "</s>"));
    EXPECT_EQ("N/A", Between(current, "<gust>", "</gust>"));
}

TEST(Answers, WindAndVisibilityAtTheirEdges) {
    const struct {
        double kmh, metres;
        const char *speed, *direction, *metricSpeed, *visibility;
    } cases[] = {
        {0.0, 16093.44, "calm", "CALM", "calm", "Unlimited"}, // ten miles and more: unlimited
        {0.9, 16000.0, "calm", "CALM", "calm", "9.9"},
        {1.0, 0.0, "1", "N", "1", "0.0"}, // not calm: never "0"
        {1.7, 100.0, "1", "N", "2", "0.1"},
    };
    for (const auto &c : cases) {
        char values[256];
        snprintf(values, sizeof values,
                 ",\"wind_speed_10m\":%.1f,\"wind_direction_10m\":0,\"visibility\":%.2f", c.kmh,
                 c.metres);
        ASSERT_EQ(ANSWER_WEATHER, Read(WithCurrent(values))) << values;
        std::string english = Render(KIND_CURRENT, 0), metric = Render(KIND_CURRENT, 1);
        EXPECT_EQ(c.speed, Between(english, "<s>", "</s>")) << c.kmh;
        EXPECT_EQ(c.metricSpeed, Between(metric, "<s>", "</s>")) << c.kmh;
        EXPECT_EQ(c.direction, Between(Between(english, "<wind>", "</wind>"), "<t>", "</t>"))
            << c.kmh;
        EXPECT_EQ(c.visibility, Between(english, "<vis>", "</vis>")) << c.metres;
    }
}

TEST(Answers, RefusalsCarryTheServicesReason) {
    std::string reason;
    EXPECT_EQ(ANSWER_REFUSED,
              Read("{\"error\":true,\"reason\":\"Latitude must be in range of -90 to 90\xC2\xB0"
                   ". Given: 95.0.\"}",
                   &reason));
    EXPECT_EQ("Latitude must be in range of -90 to 90" + DegreeSign() + ". Given: 95.0.", reason);
    // A reason cannot end the error element early or carry line breaks into it.
    EXPECT_EQ(ANSWER_REFUSED,
              Read("{\"error\":true,\"reason\":\"bad </err> <x>\\nvalue\"}", &reason));
    EXPECT_EQ("bad /err x value", reason);
    GrowText text;
    GrowTextInit(&text, 0);
    ASSERT_EQ(1, RenderServiceError(reason.c_str(), &text));
    EXPECT_NE(nullptr, strstr(text.bytes, "<error>"));
    EXPECT_NE(nullptr, strstr(text.bytes, "<err type=\"1\">bad /err x value</err>"));
    GrowTextFree(&text);
    // An error without a reason, or with one of another type, is no answer at all.
    EXPECT_EQ(ANSWER_UNREADABLE, Read("{\"error\":true}"));
    EXPECT_EQ(ANSWER_UNREADABLE, Read("{\"error\":true,\"reason\":5}"));
}

TEST(Answers, HostileAnswersGiveWholeDocumentsOrNothing) {
    std::string deep = WithCurrent(",\"temperature_2m\":1",
                                   ",\"x\":" + std::string(100000, '[') + std::string(100000, ']'));
    std::string longArray = "{\"current\":{\"time\":\"2026-12-08T14:00\"},\"daily\":{\"time\":"
                            "[\"2026-12-08\"]},\"hourly\":{\"time\":[";
    for (int i = 0; i < 50000; i++) {
        longArray += (i ? ",\"" : "\"") + answer::HourTime(i % 72) + "\"";
    }
    longArray += "],\"temperature_2m\":[1]}}";
    const struct {
        std::string json;
        enum AnswerKind kind;
    } cases[] = {
        {"", ANSWER_UNREADABLE},
        {"[]", ANSWER_UNREADABLE},
        {"{\"current\":{\"time\":\"2026-12-08T14:00\"", ANSWER_UNREADABLE}, // cut off
        {"{\"current\":{\"time\":\"2026-12-08T14:00\",\"temperature_2m\":NaN}}", ANSWER_UNREADABLE},
        {"{\"current\":{\"time\":\"2026-12-08T14:00\",\"temperature_2m\":1e400}}",
         ANSWER_UNREADABLE},
        {"{}", ANSWER_UNREADABLE},                               // no weather in it
        {"{\"current\":[1,2],\"hourly\":5}", ANSWER_UNREADABLE}, // wrong types
        // Without the hours or the days it is not what was asked.
        {"{\"current\":{\"time\":\"2026-12-08T14:00\"},\"daily\":{\"time\":[\"2026-12-08\"]}}",
         ANSWER_UNREADABLE},
        {"{\"current\":{\"time\":\"2026-12-08T14:00\"},\"hourly\":{\"time\":[\"2026-12-08T14:00\"]}"
         ","
         "\"daily\":{\"time\":[\"junk\"]}}",
         ANSWER_UNREADABLE},
        {deep, ANSWER_WEATHER},
        {longArray, ANSWER_WEATHER},
        // Arrays of other lengths, wrong types, nulls and values out of all reason.
        {"{\"utc_offset_seconds\":\"x\",\"timezone_abbreviation\":\"<b>\",\"current\":{\"time\":"
         "\"2026-12-08T14:00\",\"temperature_2m\":\"12\",\"relative_humidity_2m\":140,"
         "\"weather_code\":2.5,\"is_day\":7,\"pressure_msl\":1e308,\"uv_index\":null},"
         "\"hourly\":{\"time\":[\"2026-12-08T15:00\",\"2026-12-08T13:00\",\"junk\",null,"
         "\"2026-13-40T99:00\",\"2026-12-08T16:00\"],\"temperature_2m\":[1,2],"
         "\"weather_code\":[999,-1,{},[],\"2\",61,61,61]},\"daily\":{\"time\":[\"2026-12-08\","
         "\"2026-12-08\",\"2026-12-07\",\"2026-12-09T05:00\"],\"sunrise\":[\"2026-12-09T06:00\"],"
         "\"temperature_2m_max\":[-500]}}",
         ANSWER_WEATHER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.json.substr(0, 80));
        ASSERT_EQ(c.kind, Read(c.json));
        if (c.kind != ANSWER_WEATHER) {
            continue;
        }
        for (int metric = 0; metric <= 1; metric++) {
            // Every day, part and hour keeps its elements, so that no occurrence moves.
            std::string forecast = Render(KIND_FORECAST, metric, 10, 24);
            EXPECT_EQ(10, Count(forecast, "<hi>"));
            EXPECT_EQ(20, Count(forecast, "<icon>"));
            EXPECT_EQ(40, Count(forecast, "<t>"));
            std::string hourly = Render(KIND_HOURLY, metric, 10, 24);
            EXPECT_EQ(24, Count(hourly, "<tmp>"));
            EXPECT_EQ(48, Count(hourly, "<t>"));
            std::string current = Render(KIND_CURRENT, metric);
            EXPECT_EQ(3, Count(current, "<t>"));
            EXPECT_EQ(2, Count(current, "<d>"));
            EXPECT_EQ(0, Count(current, "<b>"));
            std::string details = Render(KIND_DETAILS, metric);
            EXPECT_EQ(11, Count(details, "mpdData['narr']"));
            EXPECT_EQ(10 * 16 + 2 + 2, Count(details, "'"));
        }
    }
    // What was out of reason is absent; the hours that run backwards or cannot be read are gone.
    const std::string &hostile = cases[sizeof cases / sizeof cases[0] - 1].json;
    ASSERT_EQ(ANSWER_WEATHER, Read(hostile));
    EXPECT_TRUE(isnan(gModel.current.temperature));
    EXPECT_TRUE(isnan(gModel.current.humidity));
    EXPECT_TRUE(isnan(gModel.current.pressure));
    EXPECT_EQ(MODEL_NO_CODE, gModel.current.weatherCode);
    EXPECT_EQ(-1, gModel.current.isDay);
    EXPECT_EQ(0, gModel.hasOffset);
    EXPECT_STREQ("", gModel.zoneAbbreviation);
    ASSERT_EQ(2, gModel.hourCount);
    EXPECT_EQ(1.0, gModel.hours[0].temperature);
    EXPECT_EQ(MODEL_NO_CODE, gModel.hours[0].weatherCode);
    EXPECT_EQ(61, gModel.hours[1].weatherCode); // the sixth entry, for 16:00
    ASSERT_EQ(1, gModel.dayCount);
    EXPECT_EQ(MODEL_NO_TIME, gModel.days[0].sunrise); // a sunrise on another date
    EXPECT_TRUE(isnan(gModel.days[0].high));
}

TEST(Places, TheFirstResultNamesThePlace) {
    PlaceInfo place;
    char reason[256];
    auto read = [&](const std::string &json) {
        return ReadPlaceAnswer(json.data(), json.size(), &place, reason, sizeof reason);
    };
    ASSERT_EQ(
        ANSWER_WEATHER,
        read("{\"results\":[{\"name\":\"Beverly Hills\",\"latitude\":34.07362,\"longitude\":"
             "-118.40036,\"country_code\":\"us\",\"admin1\":\"California\",\"timezone\":"
             "\"America/Los_Angeles\"},{\"name\":\"Other\",\"latitude\":1,\"longitude\":2}]}"));
    EXPECT_STREQ("Beverly Hills, California", place.name);
    EXPECT_STREQ("US", place.country);
    EXPECT_STREQ("America/Los_Angeles", place.zone);
    EXPECT_DOUBLE_EQ(34.07362, place.latitude);
    EXPECT_DOUBLE_EQ(-118.40036, place.longitude);

    // No region: the country; a region that only repeats the name: the country too.
    ASSERT_EQ(ANSWER_WEATHER, read("{\"results\":[{\"name\":\"London\",\"latitude\":51.5,"
                                   "\"longitude\":-0.1,\"country_code\":\"GB\"}]}"));
    EXPECT_STREQ("London, GB", place.name);
    EXPECT_STREQ("", place.zone); // none named, none kept from the answer before
    ASSERT_EQ(ANSWER_WEATHER,
              read("{\"results\":[{\"name\":\"Z\xC3\xBCrich\",\"admin1\":\"Z\xC3\xBCrich\","
                   "\"latitude\":47.4,\"longitude\":8.5,\"country_code\":\"CH\"}]}"));
    EXPECT_STREQ(OsTextIsUtf8 ? "Z\xC3\xBCrich, CH" : "Z\xFCrich, CH", place.name);
    // A region that names the place again as a word: the country; one that merely holds its
    // letters, or another place's name: the region.
    struct Region {
        const char *name, *admin1, *shown;
    } regions[] = {{"Berlin", "Land Berlin", "Berlin, DE"},
                   {"London", "City of London", "London, DE"},
                   {"York", "Yorkshire", "York, Yorkshire"},
                   {"Bern", "Bern-Mittelland", "Bern, DE"},
                   {"Essen", "North Rhine-Westphalia", "Essen, North Rhine-Westphalia"}};
    for (const Region &r : regions) {
        ASSERT_EQ(ANSWER_WEATHER, read(std::string("{\"results\":[{\"name\":\"") + r.name +
                                       "\",\"admin1\":\"" + r.admin1 +
                                       "\",\"latitude\":52.5,\"longitude\":13.4,"
                                       "\"country_code\":\"DE\"}]}"));
        EXPECT_STREQ(r.shown, place.name);
    }
    // An apostrophe becomes the typographic one, which no quoted field counts.
    ASSERT_EQ(ANSWER_WEATHER, read("{\"results\":[{\"name\":\"Val-d'Or\",\"admin1\":\"Qu\xC3\xA9"
                                   "bec\",\"latitude\":48.1,\"longitude\":-77.8}]}"));
    EXPECT_STREQ(OsTextIsUtf8 ? "Val-d\xE2\x80\x99Or, Qu\xC3\xA9"
                                "bec"
                              : "Val-d\x92Or, Qu\xE9"
                                "bec",
                 place.name);

    // Nothing found: no results member, an empty list, or a result without coordinates.
    EXPECT_EQ(ANSWER_NO_PLACE, read("{\"generationtime_ms\":0.4}"));
    EXPECT_EQ(ANSWER_NO_PLACE, read("{\"results\":[]}"));
    EXPECT_EQ(ANSWER_NO_PLACE, read("{\"results\":[{\"name\":\"X\",\"latitude\":\"1\"}]}"));
    EXPECT_EQ(ANSWER_NO_PLACE, read("{\"results\":[{\"latitude\":91,\"longitude\":0}]}"));
    EXPECT_EQ(ANSWER_REFUSED,
              read("{\"error\":true,\"reason\":\"Parameter count must be between 1 and 100.\"}"));
    EXPECT_STREQ("Parameter count must be between 1 and 100.", reason);
    EXPECT_EQ(ANSWER_UNREADABLE, read("{\"results\":{}}"));
    EXPECT_EQ(ANSWER_UNREADABLE, read("<html>busy</html>"));
}

TEST(Places, CoordinatesAsTheLocationId) {
    double latitude = 0, longitude = 0;
    EXPECT_TRUE(ParseCoordinateId("34.05,-118.25", &latitude, &longitude));
    EXPECT_DOUBLE_EQ(34.05, latitude);
    EXPECT_DOUBLE_EQ(-118.25, longitude);
    EXPECT_TRUE(ParseCoordinateId(" -33.8688 , 151.2093 ", &latitude, &longitude));
    EXPECT_DOUBLE_EQ(151.2093, longitude);
    EXPECT_TRUE(ParseCoordinateId("95,10", &latitude, &longitude)); // the service judges ranges
    for (const char *other : {"90210", "", ",", "34.05,", ",5", "1,2,3", "34,05;118", "34.05,-118x",
                              "34.0.5,1", "--1,2", "1e5,2", "Paris, TX"}) {
        EXPECT_FALSE(ParseCoordinateId(other, &latitude, &longitude)) << other;
    }
}

TEST(Places, ServiceTextsAreMadeSafe) {
    char out[16];
    const struct {
        std::string in, utf8, windows;
    } cases[] = {
        {"plain", "plain", "plain"},
        {"  a\t\tb\r\nc  ", "a b c", "a b c"},
        {"<a href=\"x\">", "a href=x", "a href=x"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},
        {"\xE2\x82\xAC \xE6\x9D\xB1", "\xE2\x82\xAC \xE6\x9D\xB1", "\x80 ?"},
        {"bad\xFF\xC3", "bad??", "bad??"},
        {"\xED\xA0\x80x", "?x", "?x"}, // a surrogate is no character
        // Cut at a character boundary, never inside one.
        {"abcdefghijklmn\xC3\xA9z", "abcdefghijklmn", "abcdefghijklmn\xE9"},
    };
    for (const auto &c : cases) {
        ServiceText(c.in.data(), c.in.size(), out, sizeof out);
        EXPECT_EQ(OsTextIsUtf8 ? c.utf8 : c.windows, out) << c.in;
    }
}
