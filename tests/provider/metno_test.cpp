// MET Norway's forecast read into the provider's record: its symbols, the values it lacks and
// computes (feels-like, the sun), and a whole answer through every expression function in
// English, Metric and Both.
#include <cmath>
#include <string>
#include <vector>

#include "base/calendar.h"
#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "feed/cache.h"
#include "provider/metno.h"
#include "provider/render.h"
#include "provider/sun.h"
#include "provider/wmo.h"
#include "tests/expr/expr_fixture.h"
#include "tests/provider/rendered_documents.h"

#include "provider/json.h"
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

struct BaseSymbol {
    const char *base;
    int wmo;
    bool suffixed;
};

// The service's 41 bases: 21 with a sun or moon (three variants each), 20 without.
const BaseSymbol kBases[] = {
    {"clearsky", 0, true},
    {"fair", 1, true},
    {"partlycloudy", 2, true},
    {"cloudy", 3, false},
    {"fog", 45, false},
    {"lightrain", 61, false},
    {"rain", 63, false},
    {"heavyrain", 65, false},
    {"lightrainshowers", 80, true},
    {"rainshowers", 81, true},
    {"heavyrainshowers", 82, true},
    {"lightsleet", 68, false},
    {"sleet", 69, false},
    {"heavysleet", 69, false},
    {"lightsleetshowers", 83, true},
    {"sleetshowers", 84, true},
    {"heavysleetshowers", 84, true},
    {"lightsnow", 71, false},
    {"snow", 73, false},
    {"heavysnow", 75, false},
    {"lightsnowshowers", 85, true},
    {"snowshowers", 85, true},
    {"heavysnowshowers", 86, true},
    {"lightrainandthunder", 95, false},
    {"rainandthunder", 95, false},
    {"heavyrainandthunder", 95, false},
    {"lightsleetandthunder", 95, false},
    {"sleetandthunder", 95, false},
    {"heavysleetandthunder", 95, false},
    {"lightsnowandthunder", 95, false},
    {"snowandthunder", 95, false},
    {"heavysnowandthunder", 95, false},
    {"lightrainshowersandthunder", 95, true},
    {"rainshowersandthunder", 95, true},
    {"heavyrainshowersandthunder", 95, true},
    {"lightssleetshowersandthunder", 95, true},
    {"sleetshowersandthunder", 95, true},
    {"heavysleetshowersandthunder", 95, true},
    {"lightssnowshowersandthunder", 95, true},
    {"snowshowersandthunder", 95, true},
    {"heavysnowshowersandthunder", 95, true},
};

int Map(const std::string &symbol, int *wmo, int *isDay) {
    return MetSymbolWmo(symbol.data(), symbol.size(), wmo, isDay);
}

} // namespace

TEST(MetNorwaySymbols, All83CodesMapToAPictureAndWordsByDayAndNight) {
    int count = 0;
    for (const BaseSymbol &base : kBases) {
        std::vector<std::pair<std::string, int>> variants;
        if (base.suffixed) {
            variants = {{std::string(base.base) + "_day", 1},
                        {std::string(base.base) + "_night", 0},
                        {std::string(base.base) + "_polartwilight", 0}};
        } else {
            variants = {{base.base, -1}};
        }
        for (const auto &variant : variants) {
            count++;
            int wmo = 0, isDay = 7;
            ASSERT_EQ(1, Map(variant.first, &wmo, &isDay)) << variant.first;
            EXPECT_EQ(base.wmo, wmo) << variant.first;
            EXPECT_EQ(variant.second, isDay) << variant.first;
            // Whatever the part of the day, the panel gets a picture and words.
            for (int byDay : {0, 1}) {
                EXPECT_GE(WmoIconCode(wmo, byDay), 0) << variant.first;
                EXPECT_NE(nullptr, WmoConditionText(wmo, byDay)) << variant.first;
            }
        }
        // A base takes only the suffixes the service gives it.
        int wmo, isDay;
        EXPECT_EQ(base.suffixed ? 0 : 1, Map(base.base, &wmo, &isDay)) << base.base;
        EXPECT_EQ(base.suffixed ? 1 : 0, Map(std::string(base.base) + "_day", &wmo, &isDay))
            << base.base;
    }
    EXPECT_EQ(83, count);
    // Sleet has the pictures of rain and snow; a clear night the night's.
    int wmo, isDay;
    Map("sleet", &wmo, &isDay);
    EXPECT_EQ(7, WmoIconCode(wmo, 1));
    Map("clearsky_night", &wmo, &isDay);
    EXPECT_EQ(31, WmoIconCode(wmo, isDay));
}

TEST(MetNorwaySymbols, OnlyTheServicesOwnSpellingsAreCodes) {
    int wmo = 0, isDay = 0;
    // The misspelt codes are the service's; their corrected spellings are not.
    EXPECT_EQ(1, Map("lightssleetshowersandthunder_day", &wmo, &isDay));
    EXPECT_EQ(0, Map("lightsleetshowersandthunder_day", &wmo, &isDay));
    EXPECT_EQ(0, Map("lightsnowshowersandthunder_night", &wmo, &isDay));
    for (const char *unknown : {"", "_day", "day", "Rain", "rain ", "clearsky_evening",
                                "clearsky_day_day", "tornado", "clearsky_polartwilightx"}) {
        EXPECT_EQ(0, Map(unknown, &wmo, &isDay)) << unknown;
        EXPECT_EQ(MODEL_NO_CODE, wmo) << unknown;
    }
}

TEST(MetNorwayValues, FeelsLikeFollowsHumidityAndWind) {
    // 20 C, 50 %, 10 km/h: vapour 11.66 hPa, wind at 2 m 2.08 m/s.
    EXPECT_NEAR(18.35, ApparentTemperature(20, 50, 10), 0.01);
    // Humid heat feels hotter, wind in the cold colder.
    EXPECT_GT(ApparentTemperature(32, 80, 3), 35);
    EXPECT_LT(ApparentTemperature(0, 50, 40), -8);
    EXPECT_TRUE(std::isnan(ApparentTemperature(NAN, 50, 10)));
    EXPECT_TRUE(std::isnan(ApparentTemperature(10, 50, NAN)));
}

// A place's zone MET Norway leaves unnamed: the computer's own when the place lies in its
// region, else the nautical zone of the longitude.
TEST(MetNorwayValues, GuessedOffsetIsTheComputersNearItsRegionElseTheLongitudes) {
    const int hour = 3600;
    struct Case {
        double longitude;
        int computer, expected;
    } cases[] = {
        {-118.25, 0, -8 * hour},                   // Los Angeles seen from London
        {-118.25, -7 * hour, -7 * hour},           // from a computer in Los Angeles, summer time
        {-118.25, -10 * hour, -10 * hour},         // two hours apart still counts as the region
        {-118.25, -11 * hour, -8 * hour},          // three do not
        {139.77, -5 * hour, 9 * hour},             // Tokyo
        {77.21, 5 * hour + 1800, 5 * hour + 1800}, // Delhi from India keeps the half hour
        {-3.70, 2 * hour, 2 * hour},               // Madrid in summer, two hours from its meridian
        {7.50, -6 * hour, 1 * hour},               // half a zone rounds away from zero
        {-7.50, 6 * hour, -1 * hour},
        {179.90, 0, 12 * hour},
        {-179.90, 0, -12 * hour},
        {NAN, 5 * hour, 0}, // no longitude: the prime meridian
        {500.0, 5 * hour, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.expected, MetNorwayGuessOffset(c.longitude, c.computer))
            << c.longitude << " from " << c.computer;
    }
}

namespace {

// UTC minutes of a date and time.
int64_t Utc(int year, int month, int day, int hour, int minute) {
    return DaysFromCivil(year, month, day) * 1440 + hour * 60 + minute;
}

} // namespace

// Published sunrise and sunset tables (U.S. Naval Observatory, timeanddate.com), to the minute,
// against the calculation; the equations hold to about two minutes.
TEST(SunTimes, MatchPublishedTables) {
    struct Case {
        const char *place;
        double latitude, longitude;
        int year, month, day;
        int64_t sunrise, sunset; // UTC minutes
        int tolerance;
    } cases[] = {
        {"New York", 40.7128, -74.0060, 2024, 12, 21, Utc(2024, 12, 21, 12, 16),
         Utc(2024, 12, 21, 21, 32), 3},
        {"London", 51.5074, -0.1278, 2025, 6, 21, Utc(2025, 6, 21, 3, 43), Utc(2025, 6, 21, 20, 21),
         3},
        // Sydney's summer morning is the UTC evening before.
        {"Sydney", -33.8688, 151.2093, 2024, 12, 21, Utc(2024, 12, 20, 18, 41),
         Utc(2024, 12, 21, 9, 5), 3},
        // Reykjavik's midsummer sun sets after midnight.
        {"Reykjavik", 64.1466, -21.9426, 2025, 6, 21, Utc(2025, 6, 21, 2, 55),
         Utc(2025, 6, 22, 0, 3), 6},
    };
    for (const Case &c : cases) {
        int64_t sunrise = 0, sunset = 0;
        ASSERT_EQ(SUN_RISES_AND_SETS, SunRiseSet(DaysFromCivil(c.year, c.month, c.day), c.latitude,
                                                 c.longitude, &sunrise, &sunset))
            << c.place;
        EXPECT_NEAR((double)c.sunrise, (double)sunrise, c.tolerance) << c.place;
        EXPECT_NEAR((double)c.sunset, (double)sunset, c.tolerance) << c.place;
        EXPECT_TRUE(SunIsUp((sunrise + sunset) / 2, c.latitude, c.longitude)) << c.place;
        EXPECT_FALSE(SunIsUp(sunrise - 30, c.latitude, c.longitude)) << c.place;
    }
}

TEST(SunTimes, PolarDayAndPolarNightHaveNoTimes) {
    int64_t sunrise = -1, sunset = -1;
    // Tromso: the sun stays down from late November to mid January, up from late May to late
    // July; Longyearbyen and McMurdo likewise; the South Pole the other way round.
    EXPECT_EQ(SUN_POLAR_NIGHT,
              SunRiseSet(DaysFromCivil(2025, 12, 21), 69.6492, 18.9553, &sunrise, &sunset));
    EXPECT_EQ(SUN_POLAR_DAY,
              SunRiseSet(DaysFromCivil(2025, 6, 21), 69.6492, 18.9553, &sunrise, &sunset));
    EXPECT_EQ(SUN_POLAR_NIGHT,
              SunRiseSet(DaysFromCivil(2026, 1, 10), 78.2232, 15.6267, &sunrise, &sunset));
    EXPECT_EQ(SUN_POLAR_DAY,
              SunRiseSet(DaysFromCivil(2026, 12, 21), -77.8419, 166.6863, &sunrise, &sunset));
    EXPECT_EQ(SUN_POLAR_NIGHT,
              SunRiseSet(DaysFromCivil(2026, 6, 21), -89.9999, 0.0, &sunrise, &sunset));
    EXPECT_EQ(-1, sunrise);
    EXPECT_EQ(-1, sunset);
    // Midday of the polar night is dark, midnight of the polar day bright.
    EXPECT_FALSE(SunIsUp(Utc(2025, 12, 21, 11, 0), 69.6492, 18.9553));
    EXPECT_TRUE(SunIsUp(Utc(2025, 6, 21, 23, 0), 69.6492, 18.9553));
    // Tromso's first sunrise after the polar night, about 15 January.
    EXPECT_EQ(SUN_RISES_AND_SETS,
              SunRiseSet(DaysFromCivil(2026, 1, 20), 69.6492, 18.9553, &sunrise, &sunset));
}

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

// An answer in the service's shape for Los Angeles, arriving 2026-12-08 22:16 UTC (14:16 PST):
// hourly steps from 22:00 UTC for 62 hours (to 2026-12-11 12:00 UTC, which begins six-hour
// steps and so has no hour of its own), then six-hourly ones to 2026-12-17 12:00 UTC, the last
// step an instant alone. Hourly step i: 10 + i%24 / 2 C, humidity 60, dew point 3 C, pressure
// 1015 + i/2 hPa, wind 5 m/s from 270 with gusts of 8, clear-sky UV 2, precipitation chance
// (7 i) % 100, "rain" every sixth hour from the third, partly cloudy otherwise; its six hours
// reach a degree above and below it. Six-hourly steps: 8 C between 2 and 12, heavy sleet.
const int64_t kFirstStep = Utc(2026, 12, 8, 22, 0);
const int64_t kNow = kFirstStep + 16;

std::string StepTime(int64_t minutes) {
    int year, month, day;
    CivilFromDays(DayOfMinutes(minutes), &year, &month, &day);
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00Z", year, month, day,
             MinuteOfDay(minutes) / 60, MinuteOfDay(minutes) % 60);
    return text;
}

void Details(Writer &w, double temperature, double pressure) {
    w.Key("details"), w.StartObject();
    w.Key("air_pressure_at_sea_level"), w.Double(pressure);
    w.Key("air_temperature"), w.Double(temperature);
    w.Key("dew_point_temperature"), w.Double(3.0);
    w.Key("relative_humidity"), w.Double(60.0);
    w.Key("ultraviolet_index_clear_sky"), w.Double(2.0);
    w.Key("wind_from_direction"), w.Double(270.0);
    w.Key("wind_speed"), w.Double(5.0);
    w.Key("wind_speed_of_gust"), w.Double(8.0);
    w.EndObject();
}

void Period(Writer &w, const char *name, const std::string &symbol, double chance, double high,
            double low) {
    w.Key(name), w.StartObject();
    w.Key("summary"), w.StartObject(), w.Key("symbol_code"), w.String(symbol.c_str()),
        w.EndObject();
    w.Key("details"), w.StartObject();
    w.Key("probability_of_precipitation"), w.Double(chance);
    if (strcmp(name, "next_1_hours") == 0) {
        w.Key("precipitation_amount"), w.Double(chance / 100.0); // a tenth of a mm per 10%
    }
    if (high == high) {
        w.Key("air_temperature_max"), w.Double(high);
        w.Key("air_temperature_min"), w.Double(low);
    }
    w.EndObject();
    w.EndObject();
}

std::string BuildAnswer(double latitude = 34.0901, double longitude = -118.4065) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("type"), w.String("Feature");
    w.Key("geometry"), w.StartObject(), w.Key("type"), w.String("Point");
    w.Key("coordinates"), w.StartArray(), w.Double(longitude), w.Double(latitude), w.Int(90),
        w.EndArray(), w.EndObject();
    w.Key("properties"), w.StartObject();
    w.Key("meta"), w.StartObject(), w.Key("updated_at"), w.String("2026-12-08T21:30:00Z"),
        w.EndObject();
    w.Key("timeseries"), w.StartArray();
    const int64_t last = kFirstStep + (62 + 24 * 6) * 60; // 2026-12-17 12:00 UTC
    for (int64_t time = kFirstStep; time <= last;) {
        int i = (int)((time - kFirstStep) / 60);
        bool hourly = i < 62;
        w.StartObject();
        w.Key("time"), w.String(StepTime(time).c_str());
        w.Key("data"), w.StartObject();
        double temperature = hourly ? 10.0 + (i % 24) * 0.5 : 8.0;
        w.Key("instant"), w.StartObject();
        Details(w, temperature, 1015.0 + i * 0.5);
        w.EndObject();
        if (hourly) {
            int local = (i + 14) % 24;
            std::string symbol = i % 6 == 3                   ? "rain"
                                 : (local >= 7 && local < 17) ? "partlycloudy_day"
                                                              : "partlycloudy_night";
            Period(w, "next_1_hours", symbol, (i * 7) % 100, NAN, NAN);
            Period(w, "next_6_hours", symbol, (i * 7) % 100, temperature + 1, temperature - 1);
        } else if (time + 360 <= last) {
            Period(w, "next_6_hours", "heavysleet", 40, 12.0, 2.0);
        }
        w.EndObject();
        w.EndObject();
        time += hourly ? 60 : 360;
    }
    w.EndArray();
    w.EndObject();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

MetNorwayClock LosAngelesClock() {
    MetNorwayClock clock;
    clock.utcNowMinutes = kNow;
    clock.latitude = 34.0901;
    clock.longitude = -118.4065;
    clock.hasOffset = 1;
    clock.utcOffsetSeconds = -8 * 3600;
    CopyText(clock.zoneAbbreviation, sizeof clock.zoneAbbreviation, "PST");
    clock.zone[0] = '\0';
    return clock;
}

// 2026-12-08 22:16 UTC as a file time.
const uint64_t kDownloadTime = 116444736000000000ull + (uint64_t)kNow * 60ull * 10000000ull;

} // namespace

TEST(MetNorwayAnswer, StepsBecomeHoursAndLocalDays) {
    static ModelWeather model;
    MetNorwayClock clock = LosAngelesClock();
    std::string json = BuildAnswer();
    ASSERT_EQ(ANSWER_WEATHER, ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model));
    EXPECT_EQ(62 + 25, model.hourCount); // 62 hourly steps, 24 six-hourly ones, the fencepost
    EXPECT_EQ(kFirstStep - 480, model.current.time); // 14:00 at the place
    EXPECT_EQ(9, model.dayCount); // 8 to 16 December; the fencepost begins no day
    EXPECT_STREQ("MET Norway", model.source);
    // An hourly step's own hour gives its amount; a six-hourly step and snow give none.
    EXPECT_DOUBLE_EQ(0.07, model.hours[1].precipitation);
    EXPECT_DOUBLE_EQ(0.49, model.hours[7].precipitation);
    EXPECT_TRUE(std::isnan(model.hours[70].precipitation));
    EXPECT_TRUE(std::isnan(model.hours[1].snowfall));
    // A step past the clock does not become the current one; before the first step, it does.
    clock.utcNowMinutes = kFirstStep + 90;
    ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model);
    EXPECT_EQ(kFirstStep + 60 - 480, model.current.time);
    clock.utcNowMinutes = kFirstStep - 600;
    ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model);
    EXPECT_EQ(kFirstStep - 480, model.current.time);
    // Without an offset the place keeps GMT.
    clock.hasOffset = 0;
    clock.zoneAbbreviation[0] = '\0';
    ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model);
    EXPECT_EQ(kFirstStep, model.days[0].date + (model.current.time - model.days[0].date));
    EXPECT_EQ(0, model.hasOffset);
}

TEST(MetNorwayAnswer, PolarNightHasNoSunTimes) {
    static ModelWeather model;
    MetNorwayClock clock = LosAngelesClock();
    clock.latitude = 78.2232, clock.longitude = 15.6267;
    clock.utcOffsetSeconds = 3600;
    std::string json = BuildAnswer(78.2232, 15.6267);
    ASSERT_EQ(ANSWER_WEATHER, ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model));
    for (int d = 0; d < model.dayCount; d++) {
        EXPECT_EQ(MODEL_NO_TIME, model.days[d].sunrise);
        EXPECT_EQ(MODEL_NO_TIME, model.days[d].sunset);
    }
    // Symbols without a suffix take the night of the sun that never rises.
    EXPECT_EQ(0, model.hours[3].isDay);
}

TEST(MetNorwayAnswer, HostileAnswersAreUnreadableOrEmptyValues) {
    static ModelWeather model;
    MetNorwayClock clock = LosAngelesClock();
    for (const char *hostile :
         {"", "[]", "{}", "{\"properties\":{\"timeseries\":{}}}",
          "{\"properties\":{\"timeseries\":[]}}",
          "{\"properties\":{\"timeseries\":[{\"time\":\"2026-12-08T22:00:00\",\"data\":{}}]}}",
          "{\"properties\":{\"timeseries\":[{\"time\":\"2026-02-30T22:00:00Z\",\"data\":{}}]}}",
          "{\"properties\":{\"timeseries\":[{\"time\":7,\"data\":{}}]}}"}) {
        EXPECT_EQ(ANSWER_UNREADABLE, ReadMetNorwayAnswer(hostile, strlen(hostile), &clock, &model))
            << hostile;
    }
    const char wrongTypes[] =
        "{\"geometry\":{\"coordinates\":[\"x\",999]},\"properties\":{\"timeseries\":["
        "{\"time\":\"2026-12-08T22:00:00Z\",\"data\":{\"instant\":{\"details\":"
        "{\"air_temperature\":\"warm\",\"relative_humidity\":400,\"wind_speed\":-1}},"
        "\"next_1_hours\":{\"summary\":{\"symbol_code\":[1]},\"details\":7}}},"
        "{\"time\":\"2026-12-08T21:00:00Z\",\"data\":{}}]}}";
    ASSERT_EQ(ANSWER_WEATHER,
              ReadMetNorwayAnswer(wrongTypes, sizeof wrongTypes - 1, &clock, &model));
    EXPECT_EQ(1, model.hourCount); // the step back in time is dropped
    EXPECT_TRUE(std::isnan(model.current.temperature));
    EXPECT_TRUE(std::isnan(model.current.humidity));
    EXPECT_TRUE(std::isnan(model.current.windSpeed));
    EXPECT_TRUE(std::isnan(model.current.apparent));
    EXPECT_EQ(MODEL_NO_CODE, model.current.weatherCode);
    EXPECT_TRUE(std::isnan(model.latitude));
}

class MetNorwayFeeds : public ExprTest {
  protected:
    void SetUp() override {
        ExprTest::SetUp();
        place.latitude = 34.0901;
        place.longitude = -118.4065;
        CopyText(place.name, sizeof place.name, "Testville, Test State");
        CopyText(place.country, sizeof place.country, "US");
        static ModelWeather model;
        MetNorwayClock clock = LosAngelesClock();
        std::string json = BuildAnswer();
        ASSERT_EQ(ANSWER_WEATHER, ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model));
        WriteRenderedDocuments(&model, &place, "MET1", kDownloadTime);
    }

    static std::string Decimal(const std::string &plain) { return LocaleDecimal(plain); }

    static void Expect(const std::string &result, const TermCases &cases) {
        ExpectTermValues(result, cases);
    }
    static std::string Terms(const TermCases &cases) { return TermsOf(cases); }

    PlaceInfo place;
};

TEST_F(MetNorwayFeeds, CurrentTermsInEveryUnitType) {
    // 10 C at 60 % with 5 m/s: feels like 5.7 C. Pressure 1015 now and 1016.5 three hours on.
    const std::vector<std::pair<const char *, std::string>> english = {
        {"<temp>", "50" + Degree()},
        {"<feel>", "42" + Degree()},
        {"<citydata>", "Model data from MET Norway for grid point 34.09,-118.41"},
        {"<cond>", "Partly Cloudy"},
        {"<humidity>", "60"},
        {"<vis>", "N/A"},
        {"<dewpoint>", "37" + Degree()},
        {"<timezone>", "PST"},
        {"<timezonegmt>", "GMT-8"},
        {"<uvnum>", "2"},
        {"<uv>", "Low"},
        {"<sunrise>", Time(6, 47)},
        {"<sunset>", Time(16, 45)},
        {"<press>", Decimal("29.97")},
        {"<pressdir>", "rising"},
        {"<wind>", "11"},
        {"<windgust>", "18"},
        {"<winddir>", "W"},
        {"<winddeg>", "270"},
        {"<windunit>", "mph"},
    };
    Expect(CurrentConditionsText(Terms(english).c_str(), "met1", "English", "1"), english);
    const std::vector<std::pair<const char *, std::string>> metric = {
        {"<temp>", "10" + Degree()},
        {"<feel>", "6" + Degree()},
        {"<dewpoint>", "3" + Degree()},
        {"<press>", Decimal("1015.0")},
        {"<wind>", "18"},
        {"<windgust>", "29"},
        {"<vis>", "N/A"},
    };
    Expect(CurrentConditionsText(Terms(metric).c_str(), "MET1", "Metric", "1"), metric);
    const std::vector<std::pair<const char *, std::string>> both = {
        {"<temp>", "50" + Degree() + "F (10" + Degree() + "C)"},
        {"<wind>", "11 mph (18 km/h)"},
    };
    Expect(CurrentConditionsText(Terms(both).c_str(), "MET1", "Both", "1"), both);
}

TEST_F(MetNorwayFeeds, ForecastDaysAndHours) {
    // Today from 14:00: highs and lows of the steps and their six hours; by day (to 16:44) the
    // partly cloudy hours, by night the rain at 17:00, 23:00 and 05:00 with the highest chance
    // 98 % (step 14).
    const std::vector<std::pair<const char *, std::string>> day1 = {
        {"<high>", "60" + Degree()}, {"<low>", "48" + Degree()}, {"<cond>", "Partly Cloudy"},
        {"<condn>", "Rain"},         {"<precip>", "14"},         {"<precipn>", "98"},
        {"<humidity>", "60"},        {"<wind>", "11"},           {"<winddir>", "W"},
    };
    Expect(ForecastText(Terms(day1).c_str(), "MET1", "1", "English", "1"), day1);
    const std::vector<std::pair<const char *, std::string>> day1Metric = {
        {"<high>", "16" + Degree()}, {"<low>", "9" + Degree()}, {"<wind>", "18"}};
    Expect(ForecastText(Terms(day1Metric).c_str(), "MET1", "1", "Metric", "1"), day1Metric);
    // 12 December lies in the six-hourly steps.
    const std::vector<std::pair<const char *, std::string>> day5 = {
        {"<high>", "54" + Degree()},
        {"<low>", "36" + Degree()},
        {"<cond>", "Rain and Snow"},
        {"<precip>", "40"},
    };
    Expect(ForecastText(Terms(day5).c_str(), "MET1", "5", "English", "1"), day5);
    Expect(ForecastText("<high>|<low>|", "MET1", "5", "Both", "1"),
           {{"", "54" + Degree() + "F (12" + Degree() + "C)"},
            {"", "36" + Degree() + "F (2" + Degree() + "C)"}});
    // Hour 1 is 15:00, step 1.
    const std::vector<std::pair<const char *, std::string>> hour1 = {
        {"<temp>", "51" + Degree()}, {"<cond>", "Partly Cloudy"}, {"<precip>", "7"},
        {"<humidity>", "60"},        {"<winddir>", "W"},
    };
    Expect(HourlyText(Terms(hour1).c_str(), "MET1", "1", "English", "1"), hour1);
    EXPECT_EQ("Rain", std::string(HourlyText("<cond>", "MET1", "3", "Metric", "1")));
    EXPECT_EQ("11" + Degree(), std::string(HourlyText("<temp>", "MET1", "1", "Metric", "1")));
}

TEST(MetNorwayValues, HttpDatesOfTheCacheHeaders) {
    int64_t seconds = 0;
    ASSERT_EQ(1, ParseHttpDate("Wed, 09 Dec 2026 01:50:00 GMT", &seconds));
    EXPECT_EQ(Utc(2026, 12, 9, 1, 50) * 60, seconds);
    ASSERT_EQ(1, ParseHttpDate("Sun, 29 Feb 2032 23:59:59 GMT", &seconds));
    EXPECT_EQ(Utc(2032, 2, 29, 23, 59) * 60 + 59, seconds);
    for (const char *wrong :
         {"", "Wed, 09 Dec 2026 01:50:00 UTC", "Wed, 9 Dec 2026 01:50:00 GMT",
          "Wednesday, 09-Dec-26 01:50:00 GMT", "Wed Dec  9 01:50:00 2026",
          "Wed, 30 Feb 2026 01:50:00 GMT", "Wed, 09 Dez 2026 01:50:00 GMT",
          "Wed, 09 Dec 2026 24:00:00 GMT", "Wed, 09 Dec 2026 01:50:00 GMT ", "0"}) {
        EXPECT_EQ(0, ParseHttpDate(wrong, &seconds)) << wrong;
    }
}

// Freshness is Expires minus Date from the arrival, by whichever clock, and at most a day.
TEST(MetNorwayValues, FreshnessIsExpiresMinusDateFromArrival) {
    const char *date = "Wed, 09 Dec 2026 01:50:00 GMT";
    const char *expires = "Wed, 09 Dec 2026 02:20:00 GMT"; // half an hour later
    int64_t service = Utc(2026, 12, 9, 1, 50) * 60;
    // The computer's clock a day behind the service, a day ahead, and with it.
    for (int64_t arrived : {service - 86400, service + 86400, service}) {
        EXPECT_EQ(1, MetNorwayAnswerFresh(expires, date, arrived, arrived));
        EXPECT_EQ(1, MetNorwayAnswerFresh(expires, date, arrived, arrived + 29 * 60 + 59));
        EXPECT_EQ(0, MetNorwayAnswerFresh(expires, date, arrived, arrived + 30 * 60));
        // A clock moved back past the arrival leaves the answer's age unknown.
        EXPECT_EQ(0, MetNorwayAnswerFresh(expires, date, arrived, arrived - 60));
    }
    // Never more than a day, nor anything for an Expires before its Date.
    const char *nextWeek = "Wed, 16 Dec 2026 01:50:00 GMT";
    EXPECT_EQ(1, MetNorwayAnswerFresh(nextWeek, date, service, service + 86399));
    EXPECT_EQ(0, MetNorwayAnswerFresh(nextWeek, date, service, service + 86400));
    EXPECT_EQ(0, MetNorwayAnswerFresh(date, expires, service, service));
    // Kept without a Date: before its Expires by the computer's clock, and at most a day.
    EXPECT_EQ(1, MetNorwayAnswerFresh(expires, "", service, service + 29 * 60));
    EXPECT_EQ(0, MetNorwayAnswerFresh(expires, "", service, service + 30 * 60));
    EXPECT_EQ(0, MetNorwayAnswerFresh(nextWeek, "", service, service + 86400));
    EXPECT_EQ(1, MetNorwayAnswerFresh(nextWeek, "garbled", service, service + 86399));
    // Without an Expires, never.
    EXPECT_EQ(0, MetNorwayAnswerFresh("", date, service, service));
}
