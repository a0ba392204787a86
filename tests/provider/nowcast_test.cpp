// The nowcast against the local service, whose places' precipitation starts, stops, goes on or
// never comes at fixed minutes from its clock: each sentence and its minute figure, the hourly
// wording outside the 15-minute areas, MET Norway's radar in the Nordic countries and its
// fallback, what it costs in requests, and a kept timeline read against the clock.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "expr/datetime.h"
#include "feed/cache.h"
#include "feed/nowcast.h"
#include "feed/query.h"
#include "feed/source.h"
#include "plugin/expr_frame.h"
#include "provider/provider.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

namespace {

int64_t NowMinutes() {
    return UnixMinutesOf(OsUtcNow());
}

// An anchor of the local service's timelines: the clock rounded down to `step` minutes.
int64_t Anchor(int64_t now, int step) {
    return FloorDivide(now, step) * step;
}

} // namespace

class Nowcast : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("nowcast");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
        Plugin.source = &OpenMeteoSource;
        std::string base = "http://" + services::SimHost();
        CopyText(Plugin.forecastApi, sizeof Plugin.forecastApi, (base + "/v1/forecast").c_str());
        CopyText(Plugin.geocodingApi, sizeof Plugin.geocodingApi, (base + "/v1/search").c_str());
        CopyText(Plugin.metNorwayApi, sizeof Plugin.metNorwayApi,
                 (base + "/weatherapi/locationforecast/2.0/complete").c_str());
        CopyText(Plugin.metNowcastApi, sizeof Plugin.metNowcastApi,
                 (base + "/weatherapi/nowcast/2.0/complete").c_str());
        CopyText(Plugin.alertsApi, sizeof Plugin.alertsApi, (base + "/alerts/active").c_str());
        services::SimReset();
    }
    void TearDown() override {
        if (!folder.empty()) {
            services::SimGet("/_control/nowcast?name=normal");
            services::SimScenario("normal");
            sandbox::RemoveTree(folder);
        }
    }

    std::string Now(const char *expression, const char *id) {
        return CurrentConditionsText(expression, id, "Metric", "1");
    }

    // The sentence expected of a change at `at` (UTC minutes) at the place, as the terms word
    // the time.
    std::string At(const char *phrase, const char *id, int64_t at) {
        char clock[TEXT_CAPACITY];
        FeedClockText(at + PrecipTimelineOffset(id), clock, sizeof clock);
        FormatClockTime(clock);
        return std::string(phrase) + " " + clock;
    }

    // Asks for the place's sentence and minutes, and works out the expected ones from the
    // service's clock, again when a step boundary passes in between.
    void Expect(const char *id, int step, int offset, const char *phrase, bool timed) {
        for (int attempt = 0; attempt < 3; attempt++) {
            int64_t before = NowMinutes();
            std::string sentence = Now("<nowcast>", id);
            std::string minutes = Now("<nowcastmin>", id);
            int64_t after = NowMinutes();
            if (Anchor(before, step) != Anchor(after, step)) {
                continue;
            }
            int64_t at = Anchor(before, step) + offset;
            if (!timed) {
                EXPECT_EQ(phrase, sentence) << id;
                return;
            }
            if (at - before >= 120 && sentence == "No rain within 2 hours") {
                return; // a change two hours off, at the edge of what the nowcast looks at
            }
            EXPECT_EQ(At(phrase, id, at), sentence) << id;
            if (strstr(phrase, "likely") != NULL) {
                EXPECT_EQ("N/A", minutes) << id; // hours cannot say the minute
            } else {
                int64_t wait = at - after;
                EXPECT_TRUE(minutes == std::to_string(wait) ||
                            minutes == std::to_string(at - before))
                    << id << ": " << minutes << " for " << wait;
            }
            return;
        }
        FAIL() << "the clock kept crossing a step";
    }

    int NowcastRequests() { return services::SimRequests("/weatherapi/nowcast/2.0/complete?"); }
    int Forecasts() { return services::SimRequests("/v1/forecast?"); }

    std::string folder, cache;
};

TEST_F(Nowcast, QuarterHourStepsSayWhenRainOrSnowStartsOrStops) {
    // Berlin, inside ICON-D2's area: 15-minute steps from the current quarter hour B.
    Expect("RAINSOON", 15, 45, "Rain starting around", true);
    Expect("RAINSTOP", 15, 60, "Rain stopping around", true);
    Expect("SNOWSOON", 15, 30, "Snow starting around", true);
    Expect("SLEETNOW", 15, 45, "Sleet stopping around", true);
    Expect("RAINALL", 15, 0, "Rain for at least 2 hours", false);
    Expect("DRYSPELL", 15, 0, "No rain within 2 hours", false);
    EXPECT_EQ("N/A N/A", Now("<nowcastmin> <nowcastmin>", "RAINALL"));
    // Denver, inside HRRR's area, on its own clock.
    Expect("DENVERRAIN", 15, 30, "Rain starting around", true);
    // The forecast asked for the quarter hours with the weather, and no nowcast.
    EXPECT_NE(std::string::npos, services::SimLog().find(
                                     "&minutely_15=precipitation,snowfall&forecast_minutely_15=9"));
    EXPECT_EQ(0, NowcastRequests());
}

TEST_F(Nowcast, OutsideTheQuarterHourAreasTheHourIsNamedAndNoMinute) {
    // Tokyo: dry this hour and the next, rain from the start of the third.
    Expect("TOKYORAIN", 60, 120, "Rain likely from about", true);
    EXPECT_EQ(std::string::npos, services::SimLog().find("minutely_15"));
}

TEST_F(Nowcast, TheNordicCountriesHaveTheRadarsFiveMinutesAndItsFallback) {
    Expect("OSLORAIN", 5, 20, "Rain starting around", true);
    Expect("OSLOSTOP", 5, 35, "Rain stopping around", true);
    Expect("OSLOSNOW", 5, 10, "Snow starting around", true);
    Expect("OSLODRY", 5, 0, "No rain within 2 hours", false);
    EXPECT_EQ(4, NowcastRequests());
    // Without radar coverage the forecast's steps speak: Copenhagen's quarter hours, and the
    // hours of a point in Finland's north.
    EXPECT_EQ(0u, Now("<nowcast>", "RADAROUT").find("Rain stopping around "))
        << Now("<nowcast>", "RADAROUT");
    EXPECT_EQ(0u, Now("<nowcast>", "NOCOVER").find("Rain likely from about "));
    EXPECT_EQ("N/A", Now("<nowcastmin>", "NOCOVER"));
}

TEST_F(Nowcast, TheRadarIsAskedOnlyForTheNowcastAndAtMostOnceInFiveMinutes) {
    for (int i = 0; i < 3; i++) {
        Now("<temp> <cond> <precipamount>", "OSLORAIN");
    }
    EXPECT_EQ(0, NowcastRequests());
    for (int i = 0; i < 3; i++) {
        Now("<nowcast> <nowcastmin>", "OSLORAIN");
    }
    EXPECT_EQ(1, NowcastRequests());
    EXPECT_NE(std::string::npos,
              services::SimLog().find("/weatherapi/nowcast/2.0/complete?lat=59.9200&lon=10.7400"));
    // The nowcast's document is written anew every five minutes; the radar's Expires still
    // holds, so its kept answer serves.
    SetFileAge(sandbox::Join(cache, "Nowcast.OSLORAIN.xml"), 6 * 60);
    Now("<nowcast>", "OSLORAIN");
    EXPECT_EQ(1, NowcastRequests());
    EXPECT_EQ(1, Forecasts());
}

TEST_F(Nowcast, AFailingRadarFallsBackAndNeverCostsTheWeather) {
    services::SimGet("/_control/nowcast?name=http500");
    std::string text = Now("<temp> | <nowcast>", "OSLORAIN");
    EXPECT_EQ(std::string::npos, text.find("N/A |")) << text;
    EXPECT_NE(std::string::npos, text.find("| Rain likely from about ")) << text;
    Now("<nowcast>", "OSLORAIN");
    EXPECT_EQ(1, NowcastRequests());
}

TEST_F(Nowcast, AnAnswerTwentyFiveMinutesOldStillReadsRight) {
    // The same rain, as an answer made 25 minutes earlier gives it: its steps begin 25 minutes
    // earlier, and the rain 45 minutes after its own quarter hour, 20 minutes after this one.
    for (int attempt = 0; attempt < 3; attempt++) {
        int64_t before = NowMinutes();
        Now("<nowcast>", "RAINSOON");
        std::string path = sandbox::Join(cache, "Nowcast.RAINSOON.xml");
        std::string document = sandbox::ReadFile(path);
        size_t at = document.find("<fine>15 ");
        ASSERT_NE(std::string::npos, at) << document;
        long long start = atoll(document.c_str() + at + 9);
        document.replace(at + 9, std::to_string(start).size(), std::to_string(start - 25));
        sandbox::WriteFile(path, document);
        std::string sentence = Now("<nowcast>", "RAINSOON");
        std::string minutes = Now("<nowcastmin>", "RAINSOON");
        int64_t after = NowMinutes();
        if (Anchor(before, 15) != Anchor(after, 15)) {
            SetFileAge(path, 10 * 60); // written anew from the kept answer on the next try
            continue;
        }
        int64_t rain = Anchor(before, 15) + 20;
        EXPECT_EQ(At("Rain starting around", "RAINSOON", rain), sentence);
        EXPECT_TRUE(minutes == std::to_string(rain - after) ||
                    minutes == std::to_string(rain - before))
            << minutes;
        return;
    }
    FAIL() << "the clock kept crossing a step";
}

TEST_F(Nowcast, AKeptTimelineIsReadAgainstTheClock) {
    // An answer that came an hour ago: its rain "starting" 45 minutes after its quarter hour
    // began a quarter of an hour ago, and stops an hour and a quarter from now.
    Now("<nowcast>", "RAINSOON");
    std::string path = sandbox::Join(cache, "Nowcast.RAINSOON.xml");
    std::string document = sandbox::ReadFile(path);
    size_t at = document.find("<fine>15 ");
    ASSERT_NE(std::string::npos, at) << document;
    long long start = atoll(document.c_str() + at + 9);
    document.replace(at + 9, std::to_string(start).size(), std::to_string(start - 60));
    sandbox::WriteFile(path, document);
    // The rain that was to start has started: it is never announced ahead.
    std::string sentence = Now("<nowcast>", "RAINSOON");
    EXPECT_EQ(0u, sentence.find("Rain ")) << sentence;
    EXPECT_EQ(std::string::npos, sentence.find("starting")) << sentence;
    // With nothing left that begins after now, nothing is said.
    document.replace(at + 9, std::to_string(start - 60).size(), std::to_string(start - 600));
    size_t hourly = document.find("<hourly>60 ");
    long long first = atoll(document.c_str() + hourly + 11);
    document.replace(hourly + 11, std::to_string(first).size(), std::to_string(first - 6000));
    sandbox::WriteFile(path, document);
    EXPECT_EQ("N/A", Now("<nowcast>", "RAINSOON"));
}
