// Open-Meteo with MET Norway behind it, against the local service: every kind of Open-Meteo
// failure hands the refresh to MET Norway at once, the failure memory keeps Open-Meteo out for
// two minutes and lets it back after them, MET Norway is never asked while Open-Meteo answers,
// and MET Norway's answers are asked for no sooner than their Expires and only when modified.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/calendar.h"
#include "expr/current.h"
#include "expr/forecast.h"
#include "feed/download.h"
#include "feed/source.h"
#include "plugin/expr_frame.h"
#include "base/state.h"
#include "base/text.h"
#include "platform/platform.h"
#include "provider/provider.h"
#include "support/core_state.h"
#include "support/local_clock.h"
#include "support/sandbox.h"
#include "support/services.h"

namespace {

const char kMetPath[] = "/weatherapi/locationforecast/2.0/complete";
const char kFromMet[] = "Model data from MET Norway";

class Chain : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("chain");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
        const WeatherSource *const members[] = {&OpenMeteoSource, &MetNorwaySource};
        Plugin.source = MakeSourceChain(&chain, members, 2);
        CopyText(Plugin.userAgent, sizeof Plugin.userAgent, PROVIDER_USER_AGENT);
        std::string base = "http://" + services::SimHost();
        CopyText(Plugin.forecastApi, sizeof Plugin.forecastApi, (base + "/v1/forecast").c_str());
        CopyText(Plugin.metNorwayApi, sizeof Plugin.metNorwayApi, (base + kMetPath).c_str());
        CopyText(Plugin.geocodingApi, sizeof Plugin.geocodingApi, (base + "/v1/search").c_str());
        services::SimGet("/_control/reset");
    }
    void TearDown() override {
        if (!folder.empty()) {
            WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS);
            services::SimGet("/_control/reset");
            sandbox::RemoveTree(folder);
        }
    }

    static void OpenMeteo(const std::string &scenario) {
        services::SimGet("/_control/openmeteo?name=" + scenario);
    }
    static void Met(const std::string &scenario) {
        services::SimGet("/_control/metno?name=" + scenario);
    }
    static int OpenMeteoRequests() { return services::SimRequests("/v1/forecast?"); }
    static int MetRequests() { return services::SimRequests(std::string(kMetPath) + "?"); }

    std::string Current(const char *expression, const char *unit = "Metric") {
        return CurrentConditionsText(expression, id.c_str(), unit, "1");
    }
    std::string CachePath(const std::string &name) { return sandbox::Join(cache, name); }
    // Every document of the place stale, as 40 minutes going by would make them; the kept
    // answers and the failure memory keep their times.
    void DocumentsStale() {
        for (const char *unit : {"English", "Metric", "Both"}) {
            SetFileAge(CachePath("Weather.Current." + id + "." + unit + ".xml"), 40 * 60);
        }
    }
    // MET Norway's kept answer with its Expires moved into the past.
    void MetAnswerExpired() {
        std::string path = CachePath("MetNorway." + id + ".json");
        std::string kept = sandbox::ReadFile(path);
        size_t start = kept.find("Expires: "), end = kept.find('\n', start);
        ASSERT_EQ(0u, start) << kept.substr(0, 200);
        sandbox::WriteFile(path, "Expires: Thu, 01 Jan 2026 00:00:00 GMT" + kept.substr(end));
    }

    SourceChain chain;
    std::string folder, cache;
    std::string id = "34.05,-118.25";
};

TEST_F(Chain, WhileOpenMeteoAnswersMetNorwayIsNeverAsked) {
    for (int refresh = 0; refresh < 4; refresh++) {
        std::string city = Current("<citydata>");
        EXPECT_EQ(std::string::npos, city.find(kFromMet)) << city;
        EXPECT_NE("N/A", Current("<temp>"));
        DocumentsStale();
        SetFileAge(CachePath("OpenMeteo." + id + ".json"), 40 * 60);
    }
    EXPECT_EQ(4, OpenMeteoRequests());
    EXPECT_EQ(0, MetRequests());
}

TEST_F(Chain, EachOpenMeteoFailureHandsTheSameRefreshToMetNorway) {
    // A server error, throttling, a refusal that is not about the place (a variable it no longer
    // knows), and answers that cannot be read: the first call already shows MET Norway's values.
    for (const char *scenario : {"http500", "ratelimit", "error", "badjson", "hostile"}) {
        SCOPED_TRACE(scenario);
        id = std::string("51.") + std::to_string(OpenMeteoRequests() + 1) + ",-0.12";
        OpenMeteo(scenario);
        int openMeteo = OpenMeteoRequests(), met = MetRequests();
        std::string city = Current("<citydata>");
        EXPECT_EQ(0u, city.find(kFromMet)) << city;
        EXPECT_NE("N/A", Current("<temp>"));
        EXPECT_EQ(openMeteo + 1, OpenMeteoRequests());
        EXPECT_EQ(met + 1, MetRequests());
        // Every unit of the refresh came from the same answer: nothing more is asked.
        EXPECT_NE("N/A", Current("<temp>", "English"));
        EXPECT_EQ(openMeteo + 1, OpenMeteoRequests());
        EXPECT_EQ(met + 1, MetRequests());
    }
}

TEST_F(Chain, ARefusalAboutThePlaceIsShownAndNoOtherSourceIsAsked) {
    id = "95,10";
    std::string text = Current("<temp>");
    EXPECT_EQ(0u, text.find("ERROR: Latitude must be in range")) << text;
    EXPECT_EQ(0, MetRequests());
}

TEST_F(Chain, AStalledOpenMeteoServesTheCopyThenMetNorwayOnceItHasTimedOut) {
    std::string good = Current("<temp>");
    ASSERT_NE("N/A", good);
    DocumentsStale();
    SetFileAge(CachePath("OpenMeteo." + id + ".json"), 40 * 60);
    OpenMeteo("stall");
    // The answer may still come: the copy serves, and no other service is asked meanwhile.
    EXPECT_EQ(good, Current("<temp>"));
    EXPECT_EQ(0, MetRequests());
    ASSERT_EQ(OUTCOME_DONE, WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS));
    // It timed out: the next refresh goes to MET Norway without asking Open-Meteo again.
    int openMeteo = OpenMeteoRequests();
    EXPECT_EQ(0u, Current("<citydata>").find(kFromMet));
    EXPECT_EQ(openMeteo, OpenMeteoRequests());
    EXPECT_EQ(1, MetRequests());
}

TEST_F(Chain, OpenMeteoIsLeftAloneForTwoMinutesThenAskedFirstAgain) {
    std::string zone = Current("<timezone> <timezonegmt>");
    DocumentsStale();
    SetFileAge(CachePath("OpenMeteo." + id + ".json"), 40 * 60);
    OpenMeteo("http500");
    EXPECT_EQ(0u, Current("<citydata>").find(kFromMet));
    // The place's zone is the one Open-Meteo last gave for it.
    EXPECT_EQ(zone, Current("<timezone> <timezonegmt>"));
    EXPECT_EQ(2, OpenMeteoRequests());
    EXPECT_EQ(1, MetRequests());

    // Well again, but within two minutes of its failure Open-Meteo is not asked, and MET
    // Norway's answer serves until its Expires.
    OpenMeteo("normal");
    DocumentsStale();
    AgeRefreshMemory(cache, 100);
    EXPECT_EQ(0u, Current("<citydata>").find(kFromMet));
    EXPECT_EQ(2, OpenMeteoRequests());
    EXPECT_EQ(1, MetRequests());

    // Past the two minutes Open-Meteo is asked first, and its values are back.
    DocumentsStale();
    AgeRefreshMemory(cache, 21);
    std::string city = Current("<citydata>");
    EXPECT_EQ(std::string::npos, city.find(kFromMet)) << city;
    EXPECT_EQ(3, OpenMeteoRequests());
    EXPECT_EQ(1, MetRequests());
}

// The computer's own offset from UTC in whole hours, or nothing when it has a fraction.
static std::optional<int> ComputerOffsetHours() {
    int minutes = ReadLocalClock().offsetMinutes;
    return minutes % 60 == 0 ? std::optional<int>(minutes / 60) : std::nullopt;
}

TEST_F(Chain, AZoneNeverGivenIsGuessedFromThePlacesLongitudeAndTheComputersClock) {
    // No Open-Meteo answer was ever kept for these places, and MET Norway names no zone.
    OpenMeteo("http500");
    std::optional<int> computer = ComputerOffsetHours();
    if (!computer) {
        GTEST_SKIP() << "the computer's zone is not a whole number of hours from UTC";
    }
    // A place far from the computer's zone: 15 degrees of longitude an hour. Of Los Angeles
    // and Tokyo at least one lies more than two hours from any computer's zone.
    int far = 0;
    for (auto [place, hours] : {std::pair{"34.05,-118.25", -8}, std::pair{"35.68,139.77", 9}}) {
        if (std::abs(hours - *computer) > 2) {
            id = place;
            std::string zone = std::to_string(hours);
            EXPECT_EQ("GMT" + zone, Current("<timezonegmt>")) << place;
            far++;
        }
    }
    EXPECT_GT(far, 0);
    // A place an hour from the computer's own zone reads the computer's: it is the region whose
    // summer time the computer keeps. At the prime meridian the name is GMT.
    if (*computer < 12) {
        id = "40.00," + std::to_string((*computer + 1) * 15) + ".00";
        EXPECT_EQ("GMT" + std::to_string(*computer), Current("<timezonegmt>")) << id;
    }
    if (*computer == 0) {
        EXPECT_EQ("GMT", Current("<timezone>"));
    }
}

TEST_F(Chain, APlaceFoundBySearchHasTheZoneTheSearchNamed) {
    // The search names America/Los_Angeles for 90210, and Open-Meteo never answered for it.
    id = "90210";
    OpenMeteo("http500");
    std::string zone = Current("<timezone> <timezonegmt>");
    ASSERT_EQ(0u, Current("<citydata>").find(kFromMet));
    // Standard or summer time, whichever holds today, by the zone's own rules (on Windows,
    // those of its own zone of that name).
    EXPECT_TRUE(zone == "PST GMT-8" || zone == "PDT GMT-7") << zone;
}

TEST_F(Chain, MetNorwayIsAskedNoSoonerThanExpiresAndThenOnlyIfModified) {
    OpenMeteo("http500");
    std::string temperature = Current("<temp>");
    ASSERT_NE("N/A", temperature);
    ASSERT_EQ(1, MetRequests());
    std::string answer = CachePath("MetNorway." + id + ".json");
    std::string kept = sandbox::ReadFile(answer);
    EXPECT_EQ(0u, kept.find("Expires: ")) << kept.substr(0, 200);
    EXPECT_NE(std::string::npos, kept.find("\nLast-Modified: "));

    EXPECT_NE(std::string::npos, kept.find("\nDate: "));

    // While it is fresh (its Expires minus its Date, half an hour, from its arrival) the kept
    // answer serves every refresh.
    for (int refresh = 0; refresh < 3; refresh++) {
        DocumentsStale();
        SetFileAge(answer, 25 * 60);
        AgeRefreshMemory(cache, 121);
        EXPECT_EQ(temperature, Current("<temp>"));
    }
    EXPECT_EQ(1, MetRequests());
    EXPECT_EQ(4, OpenMeteoRequests()); // one attempt per refresh

    // Past it, the service is asked whether the answer changed: not modified (304), the kept
    // answer serves on with the new Expires.
    std::string json = kept.substr(kept.find("\n\n"));
    MetAnswerExpired();
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    EXPECT_EQ(temperature, Current("<temp>"));
    EXPECT_EQ(2, MetRequests());
    std::string renewed = sandbox::ReadFile(answer);
    EXPECT_EQ(json, renewed.substr(renewed.find("\n\n")));
    EXPECT_EQ(std::string::npos, renewed.find("2026 00:00:00 GMT\nLast")) << renewed.substr(0, 99);
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    Current("<temp>");
    EXPECT_EQ(2, MetRequests());

    // An hour on the model has new data: a new answer with new headers.
    services::SimGet("/_control/clock?advance=61");
    MetAnswerExpired();
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    Current("<temp>");
    EXPECT_EQ(3, MetRequests());
    std::string newer = sandbox::ReadFile(answer);
    EXPECT_NE(json, newer.substr(newer.find("\n\n")));
}

// The answer's freshness is the service's Expires against the service's own Date, counted from
// its arrival by the computer's clock: a computer a day behind the service neither trusts the
// answer for a day and a half hour, nor one a day ahead asks at every refresh.
TEST_F(Chain, MetNorwayFreshnessIsCountedByTheServicesClockFromArrival) {
    OpenMeteo("http500");
    std::string answer = CachePath("MetNorway." + id + ".json");
    // The service's clock a day ahead of the computer's, then a day behind it.
    for (int moveMinutes : {24 * 60, -48 * 60}) {
        int aheadMinutes = moveMinutes > 0 ? moveMinutes : moveMinutes / 2;
        services::SimGet("/_control/clock?advance=" + std::to_string(moveMinutes));
        OsFileDelete(answer.c_str());
        DocumentsStale();
        AgeRefreshMemory(cache, 121);
        int asked = MetRequests();
        ASSERT_NE("N/A", Current("<temp>"));
        ASSERT_EQ(asked + 1, MetRequests());
        // Within its half hour it serves, even with the service's Expires a day in the past.
        DocumentsStale();
        SetFileAge(answer, 20 * 60);
        AgeRefreshMemory(cache, 121);
        Current("<temp>");
        EXPECT_EQ(asked + 1, MetRequests()) << aheadMinutes;
        // Past its half hour the service is asked, even with its Expires a day ahead.
        DocumentsStale();
        SetFileAge(answer, 31 * 60);
        AgeRefreshMemory(cache, 121);
        Current("<temp>");
        EXPECT_EQ(asked + 2, MetRequests()) << aheadMinutes;
    }
}

TEST_F(Chain, AMetNorwayAnswerThatArrivesLateKeepsItsCacheHeaders) {
    OpenMeteo("http500");
    ASSERT_NE("N/A", Current("<temp>"));
    std::string answer = CachePath("MetNorway." + id + ".json");
    std::string kept = sandbox::ReadFile(answer);
    // New data, which come after the call has stopped waiting: the copy serves meanwhile.
    services::SimGet("/_control/clock?advance=61");
    Met("slow");
    MetAnswerExpired();
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    EXPECT_EQ(0u, Current("<citydata>").find(kFromMet));
    EXPECT_EQ(2, MetRequests());
    ASSERT_EQ(OUTCOME_DONE, WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS));
    // The next refresh takes the answer that was set aside, with its Expires and Last-Modified,
    // and asks nothing more.
    Current("<temp>");
    EXPECT_EQ(2, MetRequests());
    std::string renewed = sandbox::ReadFile(answer);
    EXPECT_NE(kept, renewed);
    size_t lastModified = renewed.find("\nLast-Modified: ");
    ASSERT_NE(std::string::npos, lastModified) << renewed.substr(0, 200);
    EXPECT_EQ(" GMT", renewed.substr(lastModified + 16 + 25, 4)) << renewed.substr(0, 200);
    EXPECT_EQ(" GMT", renewed.substr(9 + 25, 4)) << renewed.substr(0, 200);
    EXPECT_NE(kept.substr(0, lastModified), renewed.substr(0, lastModified));
    // Its Expires holds: a refresh before it asks nothing.
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    Current("<temp>");
    EXPECT_EQ(2, MetRequests());
}

TEST_F(Chain, AKeptMetNorwayAnswerThatCannotBeReadIsAskedForWhole) {
    OpenMeteo("http500");
    ASSERT_NE("N/A", Current("<temp>"));
    std::string answer = CachePath("MetNorway." + id + ".json");
    std::string kept = sandbox::ReadFile(answer);
    sandbox::WriteFile(answer, kept.substr(0, kept.find("\n\n") + 2) + "{\"type\":");
    MetAnswerExpired();
    // Past its Expires and unreadable: asked for whole at once (not with If-Modified-Since,
    // whose 304 would only confirm the broken copy), and no failure is remembered.
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    EXPECT_NE("N/A", Current("<temp>"));
    EXPECT_EQ(2, MetRequests());
    std::string renewed = sandbox::ReadFile(answer);
    EXPECT_GT(renewed.size(), kept.size() / 2);
    EXPECT_FALSE(sandbox::Exists(
        sandbox::Join(sandbox::Join(cache, "Refresh"), "MetNorway." + id + ".json.failed")));
}

TEST_F(Chain, AMetNorwayProductAboutToBeRetiredStillAnswers) {
    OpenMeteo("http500");
    Met("deprecated");
    EXPECT_EQ(0u, Current("<citydata>").find(kFromMet));
    EXPECT_NE("N/A", Current("<temp>"));
    EXPECT_EQ(1, MetRequests());
    // Its answers come whole past their Expires, and are kept as any other.
    MetAnswerExpired();
    DocumentsStale();
    AgeRefreshMemory(cache, 121);
    EXPECT_NE("N/A", Current("<temp>"));
    EXPECT_EQ(2, MetRequests());
    EXPECT_EQ(0u, sandbox::ReadFile(CachePath("MetNorway." + id + ".json")).find("Expires: "));
    EXPECT_FALSE(sandbox::Exists(
        sandbox::Join(sandbox::Join(cache, "Refresh"), "MetNorway." + id + ".json.failed")));
}

TEST_F(Chain, AThrottledMetNorwayBacksOffAndTheCopyServes) {
    OpenMeteo("http500");
    std::string temperature = Current("<temp>");
    ASSERT_NE("N/A", temperature);
    for (const char *scenario : {"ratelimit", "error"}) {
        SCOPED_TRACE(scenario);
        Met(scenario);
        MetAnswerExpired();
        DocumentsStale();
        AgeRefreshMemory(cache, 121);
        int met = MetRequests();
        EXPECT_EQ(temperature, Current("<temp>"));
        EXPECT_EQ(met + 1, MetRequests());
        // Not asked again at once, by this refresh or the next.
        DocumentsStale();
        EXPECT_EQ(temperature, Current("<temp>"));
        EXPECT_EQ(met + 1, MetRequests());
        Met("normal");
    }
}

TEST_F(Chain, AStallingMetNorwayBehindAFailingOpenMeteoHoldsTheCallNoLongerThanTheCopysWait) {
    // MET Norway has never answered for the place, so it has no kept answer of its own; the
    // call still has the document's copy to show, and waits for MET Norway as it would for
    // Open-Meteo: not for the stalled server's whole read bound.
    std::string good = Current("<temp>");
    ASSERT_NE("N/A", good);
    DocumentsStale();
    SetFileAge(CachePath("OpenMeteo." + id + ".json"), 40 * 60);
    OpenMeteo("http500");
    Met("stall");
    long long start = sandbox::NowMilliseconds();
    EXPECT_EQ(good, Current("<temp>"));
    long long took = sandbox::NowMilliseconds() - start;
    EXPECT_LT(took, DOWNLOAD_READ_MS / 2) << took << " ms";
    EXPECT_EQ(1, MetRequests());
}

// The terms of a panel, each with what it reads when MET Norway serves it.
std::string TermsShowingNotAvailable(const std::string &id, const char *unit) {
    static const char *const kCurrent[] = {
        "<temp>",     "<tempunit>", "<feel>",     "<city>",      "<citydata>", "<cond>",
        "<humidity>", "<vis>",      "<visunit>",  "<dewpoint>",  "<update>",   "<timezone>",
        "<download>", "<uvnum>",    "<uv>",       "<long>",      "<lat>",      "<sunrise>",
        "<sunset>",   "<press>",    "<pressdir>", "<pressunit>", "<wind>",     "<windms>",
        "<windgust>", "<winddir>",  "<winddeg>",  "<windunit>",  "<alert>",    "<timezonegmt>"};
    static const char *const kForecast[] = {
        "<high>",     "<low>",       "<sunrise>", "<sunset>",   "<precip>",  "<precipn>",
        "<humidity>", "<humidityn>", "<dayname>", "<cond>",     "<condn>",   "<details>",
        "<wind>",     "<windn>",     "<winddir>", "<winddirn>", "<winddeg>", "<winddegn>"};
    static const char *const kHourly[] = {"<temp>",    "<feel>",     "<hourname>", "<precip>",
                                          "<cond>",    "<dewpoint>", "<humidity>", "<wind>",
                                          "<winddir>", "<winddeg>"};
    std::string missing;
    for (const char *term : kCurrent) {
        if (std::string(CurrentConditionsText(term, id.c_str(), unit, "1")).find("N/A") !=
            std::string::npos) {
            missing += std::string("current ") + term + " ";
        }
    }
    // Day 1's day part lies behind the answer's first hour once the sun has set there, and its
    // averages then read N/A whatever the source; the days ahead show what MET Norway lacks.
    for (const char *day : {"2", "3", "7"}) {
        for (const char *term : kForecast) {
            if (std::string(ForecastText(term, id.c_str(), day, unit, "1")).find("N/A") !=
                std::string::npos) {
                missing += std::string("day ") + day + " " + term + " ";
            }
        }
    }
    for (const char *hour : {"1", "12"}) {
        for (const char *term : kHourly) {
            if (std::string(HourlyText(term, id.c_str(), hour, unit, "1")).find("N/A") !=
                std::string::npos) {
                missing += std::string("hour ") + hour + " " + term + " ";
            }
        }
    }
    return missing;
}

TEST_F(Chain, AMetNorwayPanelLacksOnlyVisibility) {
    OpenMeteo("http500");
    Plugin.maxDays = 7;
    for (const char *unit : {"English", "Metric", "Both"}) {
        SCOPED_TRACE(unit);
        ASSERT_EQ(0u, Current("<citydata>", unit).find(kFromMet));
        EXPECT_EQ("current <vis> ", TermsShowingNotAvailable(id, unit));
    }
}

} // namespace

namespace {

// The clock's instant in UTC minutes.
int64_t NowUtcMinutes() {
    return (int64_t)((OsUtcNow() - 116444736000000000ull) / 600000000ull);
}

int64_t UtcMinutesOf(int year, int month, int day, int hour, int minute) {
    return DaysFromCivil(year, month, day) * 1440 + hour * 60 + minute;
}

// The hour's name as the locale writes it.
std::string HourName(int hour) {
    OsDateTime when = {2000, 1, 1, hour, 0, 0, 0, 6};
    char text[64];
    OsFormatTime(&when, OS_TIME_HOUR_ONLY, text, sizeof text);
    return text;
}

} // namespace

// Under a clock faked to the evening before a change of summer time (ctest's runs
// summer-time-*), the next hours a panel shows are Berlin's clock at each; under any other clock
// there is nothing to see. (MET Norway's steps across the changes are read with fixed instants
// in zone_times_test.cpp.)
TEST_F(Chain, TheNextHoursAcrossAChangeOfSummerTimeAreThePlacesClock) {
    int64_t now = NowUtcMinutes();
    std::vector<int> hours;
    if (std::llabs(now - UtcMinutesOf(2027, 3, 27, 22, 30)) < 10) {
        hours = {0, 1, 3, 4, 5};
    } else if (std::llabs(now - UtcMinutesOf(2027, 10, 30, 21, 30)) < 10) {
        hours = {0, 1, 2, 2, 3};
    } else {
        GTEST_SKIP() << "the clock is not faked to the evening before a change";
    }
    // The service's clock moved to the faked one.
    std::string clock = services::SimGet("/_control/clock");
    size_t at = clock.find("service clock ");
    ASSERT_NE(std::string::npos, at) << clock;
    int year, month, day, hour, minute;
    ASSERT_EQ(
        5, sscanf(clock.c_str() + at + 14, "%d-%d-%dT%d:%d", &year, &month, &day, &hour, &minute));
    int64_t advance = now - UtcMinutesOf(year, month, day, hour, minute);
    services::SimGet("/_control/clock?advance=" + std::to_string(advance));
    // A point the service places in Berlin's zone.
    id.clear();
    for (int point = 0; point < 400 && id.empty(); point++) {
        std::string latitude = std::to_string(40 + point / 20) + ".5";
        std::string longitude = std::to_string(point % 20) + ".5";
        std::string answer =
            services::SimGet("/v1/forecast?latitude=" + latitude + "&longitude=" + longitude +
                             "&hourly=temperature_2m&timezone=auto");
        if (answer.find("\"Europe/Berlin\"") != std::string::npos) {
            id = latitude + "," + longitude;
        }
    }
    ASSERT_FALSE(id.empty());

    auto names = [&](const char *unit) {
        std::vector<std::string> shown;
        for (int h = 1; h <= 5; h++) {
            shown.push_back(
                HourlyText("<hourname>", id.c_str(), std::to_string(h).c_str(), unit, "1"));
        }
        return shown;
    };
    std::vector<std::string> want;
    for (int h : hours) {
        want.push_back(HourName(h));
    }
    EXPECT_EQ(want, names("Metric"));
    EXPECT_EQ(want, names("English"));
    EXPECT_EQ(0, MetRequests());
}
