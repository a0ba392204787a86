// The feed's documents written from a forecast answer of known values, read back through the
// expression functions as a panel reads them: every term in English, Metric and Both.
#include <string>

#include "expr/current.h"
#include "expr/forecast.h"
#include "feed/cache.h"
#include "provider/openmeteo.h"
#include "provider/render.h"
#include "tests/expr/expr_fixture.h"
#include "tests/provider/answer_fixture.h"

// 2026-12-08 22:16 UTC, when the answer arrived: 14:16 at the place.
static const uint64_t kDownloadTime = 116444736000000000ull + 1796768160ull * 10000000ull;

class RenderedFeeds : public ExprTest {
  protected:
    void SetUp() override {
        ExprTest::SetUp();
        place.latitude = 34.0901;
        place.longitude = -118.4065;
        CopyText(place.name, sizeof place.name, "Testville, Test State");
        CopyText(place.country, sizeof place.country, "US");
    }

    // Reads the answer and writes every document of OM1 in every unit type, fresh.
    void PlaceAnswer(const std::string &json) {
        static ModelWeather model;
        char reason[256];
        ASSERT_EQ(ANSWER_WEATHER,
                  ReadForecastAnswer(json.data(), json.size(), &model, reason, sizeof reason));
        for (const char *unit : {"English", "Metric", "Both"}) {
            for (const char *kind : {"Current", "Forecast", "Details", "Hourly"}) {
                RenderContext context = {
                    &model,         &place,          "OM1",         strcmp(unit, "Metric") == 0,
                    Plugin.maxDays, Plugin.maxHours, kDownloadTime, nullptr};
                GrowText text;
                GrowTextInit(&text, 0);
                ASSERT_EQ(1, RenderFeedDocument(kind, &context, &text)) << kind;
                CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, "OM1");
                CopyText(Plugin.callUnit, sizeof Plugin.callUnit, unit);
                sandbox::WriteFile(CacheFilePath(kind), std::string(text.bytes, text.length));
                GrowTextFree(&text);
            }
        }
    }

    static std::string Decimal(std::string plain) {
        char separator[8];
        OsDecimalSeparator(separator, sizeof separator);
        if (strcmp(separator, ".") != 0) {
            plain.replace(plain.find('.'), 1, separator);
        }
        return plain;
    }

    // The terms, each followed by a bar, and the values expected in their place.
    static void Expect(const std::string &result,
                       const std::vector<std::pair<const char *, std::string>> &cases) {
        std::string want;
        for (const auto &c : cases) {
            want += c.second + "|";
        }
        EXPECT_EQ(want, result);
    }
    static std::string Terms(const std::vector<std::pair<const char *, std::string>> &cases) {
        std::string expression;
        for (const auto &c : cases) {
            expression += std::string(c.first) + "|";
        }
        return expression;
    }

    PlaceInfo place;
};

TEST_F(RenderedFeeds, EveryCurrentTermInEveryUnitType) {
    PlaceAnswer(answer::Build());
    OsDateTime now;
    OsFileTimeToDateTime(OsUtcNow(), &now);
    char updated[128];
    OsFormatShortDate(now.year, 12, 8, updated, sizeof updated);
    const std::vector<std::pair<const char *, std::string>> english = {
        {"<temp>", "54" + Degree()},
        {"<tempunit>", "F"},
        {"<feel>", "50" + Degree()},
        {"<city>", "Testville, Test State"},
        {"<locid>", "om1"}, // as the call wrote it
        {"<citydata>", "Model data from Open-Meteo for grid point 34.13,-118.38"},
        {"<cond>", "Partly Cloudy"},
        {"<humidity>", "62"},
        {"<vis>", "5.0"},
        {"<visunit>", "mi"},
        {"<dewpoint>", "36" + Degree()},
        {"<update>", std::string(updated) + " " + Time(14, 15)},
        {"<timezone>", "PST"},
        {"<download>", Time(14, 16)},
        {"<uvnum>", "5"},
        {"<uv>", "Moderate"},
        {"<long>", "-118.41"},
        {"<lat>", "34.09"},
        {"<sunrise>", Time(6, 49)},
        {"<sunset>", Time(16, 45)},
        {"<timezonegmt>", "GMT-8"},
        // 1019 hPa now against 1017.5 three hours ago.
        {"<press>", Decimal("30.09")},
        {"<pressdir>", "rising"},
        {"<pressunit>", "in"},
        {"<wind>", "10"},
        {"<windms>", Number("4.4")},
        {"<windknots>", Number("8.7")},
        {"<windbeaufort>", "3"},
        {"<windgust>", "19"},
        {"<winddir>", "SW"},
        {"<winddeg>", "225"},
        {"<windunit>", "mph"},
        {"<alert>", "None"},
    };
    Expect(CurrentConditionsText(Terms(english).c_str(), "om1", "English", "1"), english);

    const std::vector<std::pair<const char *, std::string>> metric = {
        {"<temp>", "12" + Degree()},
        {"<tempunit>", "C"},
        {"<feel>", "10" + Degree()},
        {"<vis>", "8.0"},
        {"<visunit>", "km"},
        {"<dewpoint>", "2" + Degree()},
        {"<press>", Decimal("1019.0")},
        {"<pressunit>", "mb"},
        {"<wind>", "16"},
        {"<windgust>", "30"},
        {"<windunit>", "km/h"},
    };
    Expect(CurrentConditionsText(Terms(metric).c_str(), "OM1", "Metric", "1"), metric);

    // Both halves come from one answer, so they agree.
    const std::vector<std::pair<const char *, std::string>> both = {
        {"<temp>", "54" + Degree() + "F (12" + Degree() + "C)"},
        {"<vis>", "5.0 mi (8.0 km)"},
        {"<wind>", "10 mph (16 km/h)"},
    };
    Expect(CurrentConditionsText(Terms(both).c_str(), "OM1", "Both", "1"), both);
}

TEST_F(RenderedFeeds, ForecastDaysTakeTheirPartsFromTheHours) {
    PlaceAnswer(answer::Build());
    // Day 1 by day (07:00 to 16:00): rain at noon is the worst hour, the highest chance 80%,
    // humidity 51 to 59 and 50 averages 54.5, winds 10 to 13 km/h average 11.5. By night
    // (17:00 to 06:00): snow at 23:00, the highest chance 94%.
    const std::vector<std::pair<const char *, std::string>> day1 = {
        {"<high>", "59" + Degree()},
        {"<low>", "40" + Degree()},
        {"<tempunit>", "F"},
        {"<sunrise>", Time(6, 49)},
        {"<sunset>", Time(16, 45)},
        {"<dayname>", "Today"},
        {"<cond>", "Light Rain"},
        {"<condn>", "Light Snow"},
        {"<precip>", "80"},
        {"<precipn>", "94"},
        {"<humidity>", "55"},
        {"<wind>", "7"},
        {"<winddir>", "SSW"},
        {"<winddeg>", "200"},
        {"<windunit>", "mph"},
        {"<details>", "Today: Light Rain. High 59F. Winds SSW at 7 mph. Chance of precipitation "
                      "80%. Tonight: light snow, low 40F."},
    };
    Expect(ForecastText(Terms(day1).c_str(), "OM1", "1", "English", "1"), day1);

    const std::vector<std::pair<const char *, std::string>> metric = {
        {"<high>", "15" + Degree()},
        {"<low>", "4" + Degree()},
        {"<wind>", "12"},
        {"<windunit>", "km/h"},
    };
    Expect(ForecastText(Terms(metric).c_str(), "OM1", "1", "Metric", "1"), metric);

    // The answer ends with day 2's night: day 4 has no value, but every term still has its
    // place, and the pictures read "no picture".
    const std::vector<std::pair<const char *, std::string>> day4 = {
        {"<high>", "N/A"},  {"<low>", "N/A"},    {"<cond>", "N/A"},
        {"<condn>", "N/A"}, {"<precip>", "N/A"}, {"<details>", "Friday: N/A"},
    };
    Expect(ForecastText(Terms(day4).c_str(), "OM1", "4", "English", "1"), day4);
}

TEST_F(RenderedFeeds, HoursStartAtTheNextWholeHour) {
    PlaceAnswer(answer::Build());
    // Hour 1 is 15:00 (the clock reads 14:15): hour 39 of the answer.
    const std::vector<std::pair<const char *, std::string>> hour1 = {
        {"<hourname>", Time(15, 0, OS_TIME_HOUR_ONLY)},
        {"<temp>", "49" + Degree()},
        {"<feel>", "46" + Degree()},
        {"<cond>", "Partly Cloudy"},
        {"<precip>", "73"},
        {"<humidity>", "59"},
        {"<dewpoint>", "33" + Degree()},
        {"<wind>", "8"},
        {"<winddir>", "SSW"},
        {"<winddeg>", "200"},
    };
    Expect(HourlyText(Terms(hour1).c_str(), "OM1", "1", "English", "1"), hour1);
    // 23:00 is snow at night.
    EXPECT_EQ("Light Snow", std::string(HourlyText("<cond>", "OM1", "9", "English", "1")));
    EXPECT_EQ("10" + Degree(), std::string(HourlyText("<temp>", "OM1", "1", "Metric", "1")));
}
