// The feed's documents written from a forecast answer of known values, read back through the
// expression functions as a panel reads them: every term in English, Metric and Both.
#include <algorithm>
#include <functional>
#include <string>

#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "feed/cache.h"
#include "provider/openmeteo.h"
#include "provider/render.h"
#include "tests/expr/expr_fixture.h"
#include "tests/provider/rendered_documents.h"
#include "tests/provider/answer_fixture.h"
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

// The fixture's answer with its hourly block changed by `edit`.
static std::string EditedHours(
    const std::function<void(rapidjson::Value &hourly, rapidjson::Document::AllocatorType &)>
        &edit) {
    rapidjson::Document document;
    document.Parse(answer::Build().c_str());
    edit(document["hourly"], document.GetAllocator());
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return buffer.GetString();
}

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
        WriteRenderedDocuments(&model, &place, "OM1", kDownloadTime);
    }

    static std::string Decimal(const std::string &plain) { return LocaleDecimal(plain); }

    static void Expect(const std::string &result, const TermCases &cases) {
        ExpectTermValues(result, cases);
    }
    static std::string Terms(const TermCases &cases) { return TermsOf(cases); }

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

TEST_F(RenderedFeeds, GustsAreTheStrongestOfEachPartAndEachHour) {
    // Gusts of 5 km/h at the answer's first hour, 1 km/h more every hour after it.
    PlaceAnswer(EditedHours([](rapidjson::Value &hourly, rapidjson::Document::AllocatorType &) {
        rapidjson::Value &gusts = hourly["wind_gusts_10m"];
        for (rapidjson::SizeType i = 0; i < gusts.Size(); i++) {
            gusts[i].SetDouble(5.0 + i);
        }
    }));
    // Day 1 by day is 07:00 to 16:00 (45 km/h at the end), by night 17:00 to 06:00 (59 km/h);
    // day 2 by day ends at 69 km/h, its night with the answer's last hour, 76 km/h.
    EXPECT_EQ("28|37|7 mph", std::string(ForecastText("<windgust>|<windgustn>|<wind> <windunit>",
                                                      "OM1", "1", "English", "1")));
    EXPECT_EQ("45|59|12", std::string(ForecastText("<windgust>|<windgustn>|<wind>", "OM1", "1",
                                                   "Metric", "1")));
    EXPECT_EQ("43|47",
              std::string(ForecastText("<windgust>|<windgustn>", "OM1", "2", "English", "1")));
    EXPECT_EQ("N/A|N/A",
              std::string(ForecastText("<windgust>|<windgustn>", "OM1", "4", "English", "1")));
    // Now and Later take the gust of the part they show.
    EXPECT_EQ("28", std::string(NowOrLaterText("<windgust>", "OM1", "English", "1", 0, 10)));
    EXPECT_EQ("37", std::string(NowOrLaterText("<windgust>", "OM1", "English", "1", 0, 21)));
    EXPECT_EQ("37", std::string(NowOrLaterText("<windgust>", "OM1", "English", "1", 1, 10)));
    // Hour 1 is the answer's hour 39 (44 km/h), hour 2 its hour 40.
    EXPECT_EQ("27|8|28", std::string(HourlyText("<windgust>|<wind>|", "OM1", "1", "English", "1")) +
                             std::string(HourlyText("<windgust>", "OM1", "2", "English", "1")));
    EXPECT_EQ("44", std::string(HourlyText("<windgust>", "OM1", "1", "Metric", "1")));

    // An answer without gusts: every gust term reads "N/A", the wind stays.
    PlaceAnswer(EditedHours([](rapidjson::Value &hourly, rapidjson::Document::AllocatorType &) {
        hourly.RemoveMember("wind_gusts_10m");
    }));
    EXPECT_EQ("N/A|N/A|7", std::string(ForecastText("<windgust>|<windgustn>|<wind>", "OM1", "1",
                                                    "English", "1")));
    EXPECT_EQ("N/A|8", std::string(HourlyText("<windgust>|<wind>", "OM1", "1", "English", "1")));
}

TEST_F(RenderedFeeds, AMissingVariableBlanksOnlyItsOwnTerms) {
    const std::vector<std::string> terms = {"<temp>",    "<feel>",    "<dewpoint>", "<humidity>",
                                            "<precip>",  "<cond>",    "<wind>",     "<windgust>",
                                            "<winddir>", "<winddeg>", "<hourname>"};
    std::string expression;
    for (const std::string &term : terms) {
        expression += term + "|";
    }
    auto values = [&]() {
        std::vector<std::string> out;
        std::string result = HourlyText(expression.c_str(), "OM1", "1", "English", "1");
        for (size_t at = 0, bar; (bar = result.find('|', at)) != std::string::npos; at = bar + 1) {
            out.push_back(result.substr(at, bar - at));
        }
        return out;
    };
    PlaceAnswer(answer::Build());
    const std::vector<std::string> whole = values();
    ASSERT_EQ(terms.size(), whole.size());
    for (size_t i = 0; i < terms.size(); i++) {
        ASSERT_NE("N/A", whole[i]) << terms[i];
    }
    const struct {
        std::vector<std::string> dropped, blanked;
    } cases[] = {
        {{"temperature_2m"}, {"<temp>"}},
        {{"apparent_temperature"}, {"<feel>"}},
        {{"dew_point_2m"}, {"<dewpoint>"}},
        {{"relative_humidity_2m"}, {"<humidity>"}},
        {{"precipitation_probability"}, {"<precip>"}},
        {{"weather_code"}, {"<cond>"}},
        {{"wind_speed_10m"}, {"<wind>"}},
        {{"wind_gusts_10m"}, {"<windgust>"}},
        {{"wind_direction_10m"}, {"<winddir>", "<winddeg>"}},
        {{"is_day", "pressure_msl"}, {}},
        // The hourly block of a real answer that held the temperature alone.
        {{"relative_humidity_2m", "apparent_temperature", "dew_point_2m",
          "precipitation_probability", "weather_code", "is_day", "pressure_msl", "wind_speed_10m",
          "wind_direction_10m", "wind_gusts_10m"},
         {"<feel>", "<dewpoint>", "<humidity>", "<precip>", "<cond>", "<wind>", "<windgust>",
          "<winddir>", "<winddeg>"}},
    };
    for (const auto &c : cases) {
        PlaceAnswer(
            EditedHours([&](rapidjson::Value &hourly, rapidjson::Document::AllocatorType &) {
                for (const std::string &name : c.dropped) {
                    ASSERT_TRUE(hourly.RemoveMember(name.c_str())) << name;
                }
            }));
        const std::vector<std::string> got = values();
        ASSERT_EQ(terms.size(), got.size()) << c.dropped[0];
        for (size_t i = 0; i < terms.size(); i++) {
            bool blanked =
                std::find(c.blanked.begin(), c.blanked.end(), terms[i]) != c.blanked.end();
            EXPECT_EQ(blanked ? "N/A" : whole[i], got[i]) << c.dropped[0] << ": " << terms[i];
        }
    }
}

// An answer whose every hour brings `mm` of precipitation and `cm` of snow.
static std::string SteadyPrecipitation(double mm, double cm, const char *unit = nullptr) {
    rapidjson::Document document;
    document.Parse(answer::Build().c_str());
    auto &allocator = document.GetAllocator();
    rapidjson::Value &hourly = document["hourly"];
    rapidjson::Value rain(rapidjson::kArrayType), snow(rapidjson::kArrayType);
    for (rapidjson::SizeType i = 0; i < hourly["time"].Size(); i++) {
        rain.PushBack(mm, allocator);
        snow.PushBack(cm, allocator);
    }
    hourly.AddMember("precipitation", rain, allocator);
    hourly.AddMember("snowfall", snow, allocator);
    if (unit != nullptr) {
        document["hourly_units"].AddMember("precipitation", rapidjson::StringRef(unit), allocator);
        document["hourly_units"].AddMember("snowfall", rapidjson::StringRef(unit), allocator);
    }
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return buffer.GetString();
}

TEST_F(RenderedFeeds, AmountsAreTheHoursAndThePartsSumsInEveryUnitType) {
    PlaceAnswer(SteadyPrecipitation(0.5, 1.0));
    // Day 1 by day is 10 hours (07:00 to 16:00): 5.0 mm and 10 cm; by night 14 hours.
    EXPECT_EQ("0" + Decimal(".20") + "|0" + Decimal(".28") + "|3" + Decimal(".9") + "|5" +
                  Decimal(".5"),
              std::string(ForecastText("<precipamount>|<precipamountn>|<snowamount>|<snowamountn>",
                                       "OM1", "1", "English", "1")));
    EXPECT_EQ("5" + Decimal(".0") + "|7" + Decimal(".0") + "|10" + Decimal(".0"),
              std::string(ForecastText("<precipamount>|<precipamountn>|<snowamount>", "OM1", "1",
                                       "Metric", "1")));
    EXPECT_EQ("0" + Decimal(".20") + " in (5" + Decimal(".0") + " mm)|3" + Decimal(".9") +
                  " in (10" + Decimal(".0") + " cm)",
              std::string(ForecastText("<precipamount>|<snowamount>", "OM1", "1", "Both", "1")));
    // Now and Later show the part they show: tonight at 21:00.
    EXPECT_EQ("0" + Decimal(".28"),
              std::string(NowOrLaterText("<precipamount>", "OM1", "English", "1", 0, 21)));
    // An hour, and the past hour of the current conditions with its unit.
    EXPECT_EQ("0" + Decimal(".02") + "|0" + Decimal(".4"),
              std::string(HourlyText("<precipamount>|<snowamount>", "OM1", "1", "English", "1")));
    EXPECT_EQ("0" + Decimal(".5") + "|1" + Decimal(".0"),
              std::string(HourlyText("<precipamount>|<snowamount>", "OM1", "1", "Metric", "1")));
    EXPECT_EQ(
        "0" + Decimal(".02") + " in",
        std::string(CurrentConditionsText("<precipamount> <precipunit>", "OM1", "English", "1")));
    EXPECT_EQ(
        "0" + Decimal(".5") + " mm",
        std::string(CurrentConditionsText("<precipamount> <precipunit>", "OM1", "Metric", "1")));
    // Beyond the answer's hours there is nothing to add up.
    EXPECT_EQ("N/A|N/A", std::string(ForecastText("<precipamount>|<snowamountn>", "OM1", "4",
                                                  "English", "1")));
}

TEST_F(RenderedFeeds, AmountsAreReadInTheAnswersOwnUnitAndMissingOnesBlankOnlyThemselves) {
    // 0.02 inch an hour is 0.508 mm; snow in inches too.
    PlaceAnswer(SteadyPrecipitation(0.02, 0.4, "inch"));
    EXPECT_EQ("0" + Decimal(".5") + "|1" + Decimal(".0"),
              std::string(HourlyText("<precipamount>|<snowamount>", "OM1", "1", "Metric", "1")));
    // A unit the reader does not know gives no amounts rather than wrong ones.
    PlaceAnswer(SteadyPrecipitation(2.0, 1.0, "furlong"));
    EXPECT_EQ("N/A|N/A",
              std::string(HourlyText("<precipamount>|<snowamount>", "OM1", "1", "Metric", "1")));
    // Without the variables, only the amounts read "N/A".
    PlaceAnswer(answer::Build());
    EXPECT_EQ("N/A|N/A|8", std::string(HourlyText("<precipamount>|<snowamount>|<wind>", "OM1", "1",
                                                  "English", "1")));
    EXPECT_EQ("N/A", std::string(CurrentConditionsText("<precipamount>", "OM1", "Both", "1")));
}
