// The provider against the local service's Open-Meteo addresses: places looked up and kept,
// one answer for every document of a place, refusals shown as the service's errors, failing
// and hostile answers that never cost the cache, and what a whole panel costs in requests.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "feed/cache.h"
#include "feed/download.h"
#include "feed/source.h"
#include "feed/query.h"
#include "images/icons.h"
#include "images/radar.h"
#include "base/state.h"
#include "base/text.h"
#include "provider/provider.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

class Provider : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("provider");
        cache = sandbox::Join(folder, "Nimbrel");
        UseService(services::SimHost());
        services::SimScenario("normal");
    }
    void TearDown() override {
        if (!folder.empty()) {
            services::SimScenario("normal");
            sandbox::RemoveTree(folder);
        }
    }

    // The provider with its addresses on `hostPort`.
    void UseService(const std::string &hostPort) {
        ResetCoreState(cache, services::SimHost());
        Plugin.source = &OpenMeteoSource;
        std::string base = "http://" + hostPort;
        CopyText(Plugin.forecastApi, sizeof Plugin.forecastApi, (base + "/v1/forecast").c_str());
        CopyText(Plugin.geocodingApi, sizeof Plugin.geocodingApi, (base + "/v1/search").c_str());
    }

    std::string CachePath(const std::string &name) { return sandbox::Join(cache, name); }

    // Moves every file of the cache `minutes` into the past, as that much time going by would.
    void Age(int minutes) {
        for (const std::string &path : Files()) {
            uint64_t time = FileTime(path);
            SetFileAge(path, (long long)((OsUtcNow() - time) / 10000000ull) + minutes * 60LL);
        }
    }
    // The cache files of the place that exist, named as the product names them.
    std::vector<std::string> Files() {
        CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, id.c_str());
        std::vector<std::string> paths;
        for (enum DocumentKind kind : {KIND_HOME, KIND_RADAR, KIND_ALERTS_ANSWER, KIND_PLACE_ANSWER,
                                       KIND_OPEN_METEO_ANSWER}) {
            paths.push_back(CacheFilePathForUnit(kind, ""));
        }
        for (enum DocumentKind kind : {KIND_CURRENT, KIND_FORECAST, KIND_DETAILS, KIND_HOURLY}) {
            for (const char *unit : {"English", "Metric", "Both"}) {
                paths.push_back(CacheFilePathForUnit(kind, unit));
            }
        }
        std::vector<std::string> present;
        for (const std::string &path : paths) {
            if (sandbox::Exists(path)) {
                present.push_back(path);
            }
        }
        return present;
    }

    std::string Current(const char *open, const char *close, const char *unit = "English") {
        return QueryCurrent(id.c_str(), unit, open, close, 1);
    }
    int Searches() { return services::SimRequests("/v1/search?name=" + id + "&"); }
    int Forecasts() { return services::SimRequests("/v1/forecast?"); }

    std::string folder, cache;
    std::string id = "PROV1";
};

TEST_F(Provider, APlaceIsSearchedOnceAMonthAndItsAnswerServesEveryDocument) {
    services::SimReset();
    std::string city = Current("<dnam>", "</dnam>");
    EXPECT_NE(std::string::npos, city.find(" (PROV1)")) << city;
    EXPECT_EQ(1, Searches());
    EXPECT_EQ(1, Forecasts());
    EXPECT_NE(
        std::string::npos,
        services::SimLog().find("&timezone=auto&timeformat=unixtime&past_days=1&forecast_days=11"));

    // Every other kind and unit of the place comes from the answer kept.
    EXPECT_EQ("C", Current("<ut>", "</ut>", "Metric"));
    EXPECT_NE("N/A", std::string(QueryForecast("prov1", "", "<hi>", "</hi>", 5)));
    EXPECT_NE("N/A", std::string(QueryHourly("PROV1", "Metric", "<tmp>", "</tmp>", 12)));
    EXPECT_EQ(std::string::npos,
              std::string(QueryDetails("PROV1", "", "mpdNObj('", "');", 1)).find("ERROR"));
    EXPECT_EQ(1, Searches());
    EXPECT_EQ(1, Forecasts());

    // Half an hour on, nothing is asked; past 31 minutes the forecast is, the place is not.
    Age(31);
    Current("<tmp>", "</tmp>");
    EXPECT_EQ(1, Forecasts());
    Age(1);
    Current("<tmp>", "</tmp>");
    EXPECT_EQ(2, Forecasts());
    EXPECT_EQ(1, Searches());

    // A month on the place is searched again.
    Age(30 * 24 * 60);
    Current("<tmp>", "</tmp>");
    EXPECT_EQ(2, Searches());
    EXPECT_EQ(3, Forecasts());
}

TEST_F(Provider, CoordinatesNeedNoSearch) {
    services::SimReset();
    id = "34.05,-118.25";
    EXPECT_EQ("34.05,-118.25", Current("<dnam>", "</dnam>"));
    EXPECT_EQ("34.05", Current("<lat>", "</lat>"));
    EXPECT_EQ("-118.25", Current("<lon>", "</lon>"));
    EXPECT_EQ(0, services::SimRequests("/v1/search"));
    EXPECT_EQ(1, services::SimRequests("/v1/forecast?latitude=34.0500&longitude=-118.2500&"));
}

TEST_F(Provider, APlaceThatIsNotFoundIsTheServiceError) {
    services::SimReset();
    id = "NOWHERE42";
    EXPECT_EQ("ERROR: Invalid location provided.", Current("<tmp>", "</tmp>"));
    EXPECT_EQ("ERROR: Invalid location provided.",
              std::string(CurrentConditionsText("<temp> <city>", "nowhere42", "", "1")));
    EXPECT_EQ("ERROR: Invalid location provided.",
              std::string(ForecastText("<high>", "NOWHERE42", "1", "Metric", "1")));
    // The answer that found nothing is kept too: a panel does not search again and again.
    Age(60);
    Current("<tmp>", "</tmp>");
    QueryHourly("NOWHERE42", "", "<tmp>", "</tmp>", 1);
    EXPECT_EQ(1, Searches());
    EXPECT_EQ(0, Forecasts());
}

TEST_F(Provider, TheServicesRefusalIsShownWithItsReason) {
    services::SimReset();
    id = "95,10";
    std::string text = CurrentConditionsText("<temp>", id.c_str(), "English", "1");
    EXPECT_EQ(0u, text.find("ERROR: Latitude must be in range of -90 to 90")) << text;
    // A refusal is kept for the age of an answer, not asked again by every document.
    QueryForecast(id.c_str(), "", "<hi>", "</hi>", 1);
    QueryHourly(id.c_str(), "Metric", "<tmp>", "</tmp>", 1);
    EXPECT_EQ(1, Forecasts());
}

TEST_F(Provider, FailingAndHostileAnswersKeepTheCache) {
    for (const char *scenario :
         {"http500", "ratelimit", "badjson", "hostile", "empty", "drop", "huge", "stall"}) {
        SCOPED_TRACE(scenario);
        id = std::string("KEEP") + scenario;
        for (char &c : id) {
            c = (char)toupper((unsigned char)c);
        }
        UseService(services::SimHost());
        services::SimScenario("normal");
        std::string good = Current("<tmp>", "</tmp>");
        ASSERT_NE("N/A", good);
        std::string path = CachePath("Weather.Current." + id + ".English.xml");
        std::string answer = CachePath("OpenMeteo." + id + ".json");
        Age(40);
        std::string before = sandbox::ReadFile(path), answerBefore = sandbox::ReadFile(answer);
        uint64_t time = FileTime(path);
        int asked = Forecasts();

        services::SimScenario(scenario);
        EXPECT_EQ(good, Current("<tmp>", "</tmp>"));
        EXPECT_EQ(good, Current("<tmp>", "</tmp>")); // not asked again meanwhile
        EXPECT_EQ(asked + 1, Forecasts());
        EXPECT_EQ(before, sandbox::ReadFile(path));
        EXPECT_EQ(time, FileTime(path));
        EXPECT_EQ(answerBefore, sandbox::ReadFile(answer));
        // Without a cached copy, the value cannot be had.
        EXPECT_EQ("N/A", std::string(QueryHourly(id.c_str(), "", "<tmp>", "</tmp>", 1)));
        services::SimScenario("normal");
    }
}

TEST_F(Provider, ADocumentCutShortIsWrittenAgainAtOnceAndNeverShowsAWrongValue) {
    std::string high = std::string(QueryForecast(id.c_str(), "", "<hi>", "</hi>", 9));
    std::string hour = std::string(QueryHourly(id.c_str(), "", "<tmp>", "</tmp>", 12));
    ASSERT_NE("N/A", high);
    ASSERT_NE("N/A", hour);
    for (enum DocumentKind kind : {KIND_FORECAST, KIND_HOURLY}) {
        std::string path =
            CachePath(kind == KIND_FORECAST ? "Weather.Forecast." + id + ".English.5.Days.xml"
                                            : "Weather.Hourly." + id + ".English.12.Hours.xml");
        std::string whole = sandbox::ReadFile(path);
        sandbox::WriteFile(path, whole.substr(0, whole.size() / 2));
        // Fresh by its age, it is written again from the kept answer, asking nothing.
        int asked = Forecasts();
        EXPECT_EQ(high, std::string(QueryForecast(id.c_str(), "", "<hi>", "</hi>", 9)));
        EXPECT_EQ(hour, std::string(QueryHourly(id.c_str(), "", "<tmp>", "</tmp>", 12)));
        EXPECT_EQ(whole, sandbox::ReadFile(path));
        EXPECT_EQ(asked, Forecasts());
    }
    // Cut, and nothing to write it from: "N/A" until the service answers again.
    std::string path = CachePath("Weather.Hourly." + id + ".English.12.Hours.xml");
    std::string whole = sandbox::ReadFile(path);
    sandbox::WriteFile(path, whole.substr(0, whole.size() / 2));
    sandbox::RemoveTree(CachePath("OpenMeteo." + id + ".json"));
    services::SimScenario("http500");
    EXPECT_EQ("N/A", std::string(QueryHourly(id.c_str(), "", "<tmp>", "</tmp>", 12)));
    EXPECT_EQ("N/A", std::string(QueryHourly(id.c_str(), "", "<tmp>", "</tmp>", 1)));
    services::SimScenario("normal");
}

TEST_F(Provider, AnAnswerThatCannotBeKeptStillShowsWhenItArrived) {
    ASSERT_NE("N/A", Current("<tmp>", "</tmp>"));
    std::string answer = CachePath("OpenMeteo." + id + ".json");
    // The download time of a refresh whose answer is kept, and of one whose answer cannot be
    // (its name is taken by a folder), made one right after the other: the same minute, not
    // the kept file's of forty minutes ago. Asked twice where a minute turned in between.
    for (int attempt = 0; attempt < 2; attempt++) {
        Age(40);
        AgeRefreshMemory(cache, 121);
        std::string kept = Current("<tm>", "</tm>");
        std::string keptAnswer = sandbox::ReadFile(answer);
        Age(40);
        sandbox::RemoveTree(answer);
        sandbox::MakeFolderAt(answer);
        int asked = Forecasts();
        std::string unkept = Current("<tm>", "</tm>");
        EXPECT_EQ(asked + 1, Forecasts());
        // Not asked again while the answer cannot be kept.
        Age(40);
        Current("<tm>", "</tm>");
        EXPECT_EQ(asked + 1, Forecasts());
        sandbox::RemoveTree(answer);
        sandbox::WriteFile(answer, keptAnswer);
        if (kept == unkept || attempt == 1) {
            EXPECT_EQ(kept, unkept);
            break;
        }
    }
}

TEST_F(Provider, OneRefreshWritesEveryUnitFromOneAnswer) {
    services::SimReset();
    std::string both = CurrentConditionsText("<temp>", id.c_str(), "Both", "0");
    int fahrenheit = TextToInt(both.c_str());
    int celsius = TextToInt(both.c_str() + both.find('(') + 1);
    // Each side is rounded on its own: 0.5 F and 0.5 C (0.9 F) apart at most.
    EXPECT_NEAR(celsius * 9.0 / 5.0 + 32.0, fahrenheit, 1.4 + 1e-9) << both;

    // The Metric file, older than the English one, is written anew with it.
    Age(20);
    std::string metric = CachePath("Weather.Current." + id + ".Metric.xml");
    uint64_t metricTime = FileTime(metric);
    Age(15);
    Current("<tmp>", "</tmp>", "English");
    EXPECT_EQ(2, Forecasts());
    EXPECT_GT(FileTime(metric), metricTime);
    EXPECT_EQ(CACHE_FRESH, CacheFileAge(metric.c_str(), CURRENT_AGE_LIMIT));
}

TEST_F(Provider, AForecastAddressAskingAnotherWindUnitConvertsRight) {
    // The same place with the service's default km/h and with each other unit asked for in
    // the address: the documents show the same winds (the service rounds to a tenth).
    auto winds = [&](const std::string &query) {
        sandbox::RemoveTree(cache);
        UseService(services::SimHost());
        AppendText(Plugin.forecastApi, sizeof Plugin.forecastApi, query.c_str());
        return std::vector<int>{
            TextToInt(Current("<s>", "</s>", "Metric").c_str()),
            TextToInt(Current("<gust>", "</gust>", "Metric").c_str()),
            TextToInt(QueryHourly(id.c_str(), "Metric", "<gust>", "</gust>", 3))};
    };
    std::vector<int> kmh = winds("");
    ASSERT_GT(kmh[1], 5);
    for (const char *unit : {"mph", "kn", "ms"}) {
        std::vector<int> other = winds(std::string("?wind_speed_unit=") + unit);
        for (size_t i = 0; i < kmh.size(); i++) {
            EXPECT_NEAR(kmh[i], other[i], 1) << unit << " " << i;
        }
    }
}

TEST_F(Provider, AnswersWithoutALengthAreReadWhole) {
    if (services::RawHost().empty()) {
        GTEST_SKIP() << "the raw listener is not running";
    }
    UseService(services::RawHost());
    id = "RAWPLACE";
    EXPECT_NE(std::string::npos, Current("<dnam>", "</dnam>").find("(RAWPLACE)"));
    EXPECT_NE("N/A", std::string(QueryForecast(id.c_str(), "", "<hi>", "</hi>", 5)));
}

TEST_F(Provider, AWholePanelCostsOneForecastEvery31Minutes) {
    services::SimReset();
    Plugin.maxDays = 5;
    Plugin.maxHours = 12;
    // A panel of every kind of value in every unit, looked at every five minutes for 65 minutes.
    for (int minute = 0; minute <= 65; minute += 5) {
        for (const char *unit : {"English", "Metric", "Both"}) {
            CurrentConditionsText("<temp> <cond> <wind> <press> <city> <update>", id.c_str(), unit,
                                  "1");
            for (const char *day : {"1", "2", "3", "4", "5"}) {
                ForecastText("<high> <low> <cond> <condn> <details>", id.c_str(), day, unit, "1");
            }
            for (const char *hour : {"1", "6", "12"}) {
                HourlyText("<temp> <cond>", id.c_str(), hour, unit, "1");
            }
        }
        Age(5);
    }
    // Asked at minute 0 and, stale past 31 minutes, at minute 35.
    EXPECT_EQ(2, Forecasts());
    EXPECT_EQ(1, Searches());
}

// ---- Alerts and radar ----------------------------------------------------------------------

class ProviderAlerts : public Provider {
  protected:
    void SetUp() override {
        Provider::SetUp();
        if (!folder.empty()) {
            std::string base = "http://" + services::SimHost();
            CopyText(Plugin.alertsApi, sizeof Plugin.alertsApi, (base + "/alerts/active").c_str());
            CopyText(Plugin.canadaAlertsApi, sizeof Plugin.canadaAlertsApi,
                     (base + "/collections/weather-alerts/items").c_str());
            CopyText(Plugin.germanyAlertsApi, sizeof Plugin.germanyAlertsApi,
                     (base + "/alerts").c_str());
            CopyText(Plugin.norwayAlertsApi, sizeof Plugin.norwayAlertsApi,
                     (base + "/weatherapi/metalerts/2.0/current.json").c_str());
            CopyText(Plugin.radarApi, sizeof Plugin.radarApi,
                     (base + "/public/weather-maps.json").c_str());
            services::SimReset();
        }
    }
    void TearDown() override {
        if (!folder.empty()) {
            services::SimGet("/_control/reset");
        }
        Provider::TearDown();
    }
    int AlertRequests() { return services::SimRequests("/alerts/active?"); }

    // `expression` through the export, after the stale cache was refreshed. The export waits
    // for a refresh only REFRESH_WAIT_MS, which a busy machine may not meet, and what it shows
    // and asks for would then depend on the machine: so the core's query makes the refresh
    // first (outside an export call it waits for its end), and the export reads its result.
    std::string Refreshed(const char *expression) {
        QueryCurrent(id.c_str(), "", "<tmp>", "</tmp>", 1);
        return CurrentConditionsText(expression, id.c_str(), "", "1");
    }
};

TEST_F(ProviderAlerts, AlertsComeMostSevereFirstWithThePointsPage) {
    id = "ALERTS";
    EXPECT_EQ("Winter Storm Warning",
              std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    // The service was asked for the point alone, once, with the forecast.
    EXPECT_EQ(1, AlertRequests());
    std::string log = services::SimLog();
    size_t line = log.find("GET /alerts/active?");
    ASSERT_NE(std::string::npos, line);
    EXPECT_EQ("GET /alerts/active?point=39.7392,-104.9903",
              log.substr(line, log.find('\n', line) - line));

    std::string current = sandbox::ReadFile(CachePath("Weather.Current.ALERTS.English.xml"));
    size_t severe = current.find("<t>Winter Storm Warning</t>");
    size_t moderate = current.find("<t>Wind Advisory");
    ASSERT_NE(std::string::npos, severe);
    ASSERT_NE(std::string::npos, moderate);
    EXPECT_LT(severe, moderate);
    EXPECT_LT(moderate, current.find("<cc>"));

    std::string link = AlertIconLink(id.c_str(), folder.c_str());
    EXPECT_EQ("%lhttps://forecast.weather.gov/MapClick.php?lat=39.7392&lon=-104.9903",
              link.substr(link.find("%l")));

    // No alert request with a call, only with a refresh; the Metric file, written with the
    // answer, shows the same alerts.
    for (const char *unit : {"English", "Metric", "Both"}) {
        CurrentConditionsText("<alert> <temp>", id.c_str(), unit, "1");
    }
    EXPECT_EQ(1, AlertRequests());
    EXPECT_EQ("Winter Storm Warning",
              std::string(QueryCurrent(id.c_str(), "Metric", "<t>", "</t>", 0)));
    Age(32);
    Refreshed("<alert>");
    EXPECT_EQ(2, AlertRequests());
    EXPECT_EQ(2, Forecasts());
}

TEST_F(ProviderAlerts, PlacesWithoutAlertsShowNone) {
    // A quiet place of the service's area is asked; one outside it never.
    id = "QUIET";
    EXPECT_EQ("None", std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    EXPECT_EQ("", std::string(AlertIconLink(id.c_str(), folder.c_str())));
    EXPECT_EQ(1, AlertRequests());
    id = "NOADMIN";
    EXPECT_EQ("None", std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    EXPECT_EQ(1, AlertRequests());
    EXPECT_EQ(2, Forecasts());
}

TEST_F(ProviderAlerts, AFailingAlertServiceNeverCostsTheWeather) {
    id = "ALERTS";
    EXPECT_EQ("Winter Storm Warning",
              std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    for (const char *scenario : {"http500", "badjson", "stall"}) {
        SCOPED_TRACE(scenario);
        services::SimGet(std::string("/_control/alerts?name=") + scenario);
        sandbox::RemoveTree(sandbox::Join(cache, "Refresh")); // ask again at once
        Age(32);
        int forecasts = Forecasts(), alerts = AlertRequests();
        std::string path = CachePath("Weather.Current.ALERTS.English.xml");
        uint64_t before = FileTime(path);
        std::string text = Refreshed("<alert>|<temp>");
        // The refresh went through, without the alerts that could not be had.
        EXPECT_EQ(forecasts + 1, Forecasts());
        EXPECT_EQ(alerts + 1, AlertRequests());
        EXPECT_GT(FileTime(path), before);
        EXPECT_EQ(0u, text.find("None|")) << text;
        EXPECT_EQ(std::string::npos, text.find("N/A")) << text;
        services::SimGet("/_control/alerts?name=normal");
    }
}

TEST_F(ProviderAlerts, AlertsOnTheirWayPastTheCallsWaitLeaveTheKeptOnesShown) {
    id = "ALERTS";
    EXPECT_EQ("Winter Storm Warning",
              std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    // The alert service answers after the call stopped waiting for it: the call shows the
    // alerts it has, and their kept answer stays for the next refresh.
    services::SimGet("/_control/alerts?name=slow");
    Age(32);
    EXPECT_EQ("Winter Storm Warning",
              std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    EXPECT_NE(std::string::npos,
              sandbox::ReadFile(CachePath("Alerts.ALERTS.json")).find("Winter Storm Warning"));
    // The refresh left running ends here, not in the next test or at the end of the process.
    EXPECT_EQ(OUTCOME_DONE, WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS));
    services::SimGet("/_control/alerts?name=normal");
}

// The alert services abroad, each with its request's start in the local service's log.
static const char kCanadaRequest[] = "/collections/weather-alerts/items?";
static const char kGermanyRequest[] = "/alerts?";
static const char kNorwayRequest[] = "/weatherapi/metalerts/2.0/current.json?";

static int AllAlertRequests() {
    return services::SimRequests("/alerts/active?") + services::SimRequests(kCanadaRequest) +
           services::SimRequests(kGermanyRequest) + services::SimRequests(kNorwayRequest);
}

// The titles of the Current document's alert section, in order.
static std::vector<std::string> AlertTitles(const std::string &document) {
    std::vector<std::string> titles;
    size_t end = document.find("</swa>");
    for (size_t at = document.find("<t>"); at != std::string::npos && at < end;
         at = document.find("<t>", at + 3)) {
        titles.push_back(document.substr(at + 3, document.find("</t>", at) - at - 3));
    }
    return titles;
}

TEST_F(ProviderAlerts, CanadaGermanyAndNorwayShowTheirAlertsMostSevereFirst) {
    const struct {
        const char *id, *request;
        std::vector<const char *> titles; // the start of each, most severe first
        const char *link;
    } cases[] = {
        // Maplecove lies in an orange and a yellow region; a red one over it has ended and
        // another lies to the north.
        {"CANADA",
         kCanadaRequest,
         {"snowfall warning", "freezing drizzle advisory"},
         "https://weather.gc.ca/warnings/index_e.html?prov=on"},
        // The service lists the moderate warning first.
        {"GERMANY",
         kGermanyRequest,
         {"Official WARNING of HEAVY SNOWFALL", "Official WARNING of WIND GUSTS"},
         "https://www.dwd.de/DE/wetter/warnungen_gemeinden/warnWetter_node.html"},
        {"NORWAY",
         kNorwayRequest,
         {"Sn"},
         "https://www.met.no/vaer-og-klima/ekstremvaervarsler-og-andre-farevarsler/"
         "vaerfenomener-som-kan-gi-farevarsel-fra-met/sno"},
        {"SVALBARD",
         kNorwayRequest,
         {"Polart lavtrykk, oransje niv"},
         "https://www.met.no/vaer-og-klima/ekstremvaervarsler-og-andre-farevarsler/"
         "vaerfenomener-som-kan-gi-farevarsel-fra-met/polart-lavtrykk"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        id = c.id;
        int before = services::SimRequests(c.request), all = AllAlertRequests();
        std::string first = CurrentConditionsText("<alert>", id.c_str(), "", "1");
        EXPECT_EQ(0u, first.find(c.titles[0])) << first;
        std::vector<std::string> titles =
            AlertTitles(sandbox::ReadFile(CachePath("Weather.Current." + id + ".English.xml")));
        ASSERT_EQ(c.titles.size(), titles.size());
        for (size_t i = 0; i < titles.size(); i++) {
            EXPECT_EQ(0u, titles[i].find(c.titles[i])) << titles[i];
        }
        std::string link = AlertIconLink(id.c_str(), folder.c_str());
        EXPECT_EQ(std::string("%l") + c.link, link.substr(link.find("%l")));
        // One request, to the region's own service, and none with the calls that follow.
        EXPECT_EQ(before + 1, services::SimRequests(c.request));
        EXPECT_EQ(all + 1, AllAlertRequests());
        for (const char *unit : {"English", "Metric", "Both"}) {
            CurrentConditionsText("<alert> <temp>", id.c_str(), unit, "1");
        }
        EXPECT_EQ(all + 1, AllAlertRequests());
    }
    std::string log = services::SimLog();
    EXPECT_NE(std::string::npos,
              log.find("GET /collections/weather-alerts/items?f=json&lang=en&limit=100"
                       "&bbox=-76.7000,44.4000,-74.7000,46.4000\n"));
    EXPECT_NE(std::string::npos, log.find("GET /alerts?lat=53.5500&lon=9.9900\n"));
    EXPECT_NE(std::string::npos,
              log.find("GET /weatherapi/metalerts/2.0/current.json?lat=59.9100&lon=10.7500\n"));

    // Hollowmere lies in the hole of the orange region, outside every other: asked, no alert.
    id = "CANADAQUIET";
    EXPECT_EQ("None", std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    EXPECT_EQ("", std::string(AlertIconLink(id.c_str(), folder.c_str())));
    EXPECT_EQ(2, services::SimRequests(kCanadaRequest));
}

TEST_F(ProviderAlerts, NorwayIsAskedAtMostOnceInTenMinutes) {
    id = "NORWAY";
    CurrentConditionsText("<alert>", id.c_str(), "", "1");
    EXPECT_EQ(1, services::SimRequests(kNorwayRequest));
    // A new forecast answer five minutes after the alerts: their kept answer serves.
    Age(32);
    SetFileAge(CachePath("Alerts.NORWAY.json"), 5 * 60);
    std::string text = Refreshed("<alert>");
    EXPECT_EQ(0u, text.find("Sn")) << text;
    EXPECT_EQ(2, Forecasts());
    EXPECT_EQ(1, services::SimRequests(kNorwayRequest));
    // A failed request counts as well: the next answer within ten minutes asks nothing.
    services::SimGet("/_control/alerts?name=http500");
    Age(32);
    EXPECT_EQ("None", Refreshed("<alert>"));
    EXPECT_EQ(2, services::SimRequests(kNorwayRequest));
    services::SimGet("/_control/alerts?name=normal");
    sandbox::RemoveTree(sandbox::Join(cache, "Refresh"));
    Age(32);
    SetFileAge(CachePath("Alerts.NORWAY.json"), 9 * 60);
    EXPECT_EQ("None", Refreshed("<alert>"));
    EXPECT_EQ(2, services::SimRequests(kNorwayRequest));
    Age(32);
    text = Refreshed("<alert>");
    EXPECT_EQ(0u, text.find("Sn")) << text;
    EXPECT_EQ(3, services::SimRequests(kNorwayRequest));
    EXPECT_EQ(5, Forecasts());
}

TEST_F(ProviderAlerts, FailingServicesAbroadNeverCostTheWeather) {
    const struct {
        const char *id, *request;
        std::vector<const char *> scenarios;
    } cases[] = {
        {"CANADA", kCanadaRequest, {"http500", "badjson", "hostile", "ratelimit", "stall"}},
        {"GERMANY", kGermanyRequest, {"http500", "badjson", "hostile", "empty"}},
        {"NORWAY", kNorwayRequest, {"ratelimit", "badjson", "hostile", "drop"}},
    };
    for (const auto &c : cases) {
        id = c.id;
        EXPECT_NE("None", std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
        for (const char *scenario : c.scenarios) {
            SCOPED_TRACE(std::string(c.id) + " " + scenario);
            services::SimGet(std::string("/_control/alerts?name=") + scenario);
            sandbox::RemoveTree(sandbox::Join(cache, "Refresh"));
            Age(32);
            int forecasts = Forecasts(), alerts = services::SimRequests(c.request);
            std::string text = Refreshed("<alert>|<temp>");
            EXPECT_EQ(forecasts + 1, Forecasts());
            EXPECT_EQ(alerts + 1, services::SimRequests(c.request));
            // The alerts are left out; a hostile answer's words may stand, made safe.
            if (std::string(scenario) == "hostile") {
                EXPECT_EQ(std::string::npos, text.find_first_of("<>\"")) << text;
            } else {
                EXPECT_EQ(0u, text.find("None|")) << text;
            }
            EXPECT_EQ(std::string::npos, text.find("N/A")) << text;
            services::SimGet("/_control/alerts?name=normal");
        }
        // The next answer brings the alerts back.
        sandbox::RemoveTree(sandbox::Join(cache, "Refresh"));
        Age(32);
        EXPECT_NE("None", Refreshed("<alert>"));
    }
}

TEST_F(ProviderAlerts, TheRadarPictureIsOfTheNewestFrameWhenItIsFetched) {
    id = "ALERTS";
    std::string result = LocalRadarLink(id.c_str());
    std::string picture = CachePath("Radar.ALERTS.jpg");
    ASSERT_EQ(picture + "%l" + picture, result);
    EXPECT_EQ(0u, sandbox::ReadFile(picture).find("\x89PNG"));
    EXPECT_EQ(1, services::SimRequests("/public/weather-maps.json"));
    std::string log = services::SimLog();
    size_t frame = log.find("GET /v2/radar/");
    ASSERT_NE(std::string::npos, frame);
    std::string first = log.substr(frame, log.find('\n', frame) - frame);
    EXPECT_NE(std::string::npos, first.find("/256/7/39.7392/-104.9903/2/1_1.png")) << first;
    // The page names the point, never a frame.
    std::string page = sandbox::ReadFile(CachePath("Home.ALERTS.html"));
    EXPECT_NE(std::string::npos, page.find("'nimbrel-radar:39.7392,-104.9903'"));
    EXPECT_EQ(std::string::npos, page.find("/v2/radar/"));

    // Forty minutes on the service has newer frames; the page, kept for a day, is not asked
    // again, and the new picture is of the frame that is newest now.
    services::SimReset();
    services::SimGet("/_control/clock?advance=40");
    Age(40);
    EXPECT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str())));
    log = services::SimLog();
    frame = log.find("GET /v2/radar/");
    ASSERT_NE(std::string::npos, frame);
    std::string second = log.substr(frame, log.find('\n', frame) - frame);
    EXPECT_NE(first, second);
    EXPECT_EQ(page, sandbox::ReadFile(CachePath("Home.ALERTS.html")));
    EXPECT_EQ(0, services::SimRequests("/v1/search"));
}

TEST_F(ProviderAlerts, AStaleRadarPictureServesWhenTheRefreshFails) {
    id = "ALERTS";
    std::string picture = CachePath("Radar.ALERTS.jpg");
    ASSERT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str())));
    Age(40);
    std::string before = sandbox::ReadFile(picture);
    uint64_t time = FileTime(picture);
    for (const char *scenario : {"http500", "badjson", "empty"}) {
        services::SimGet(std::string("/_control/radar?name=") + scenario);
        sandbox::RemoveTree(sandbox::Join(cache, "Refresh")); // ask again at once
        EXPECT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str()))) << scenario;
        EXPECT_EQ(before, sandbox::ReadFile(picture)) << scenario;
        EXPECT_EQ(time, FileTime(picture)) << scenario;
    }
    services::SimGet("/_control/radar?name=normal");
    // The index answers, and the picture it names fails.
    for (const char *scenario : {"http500", "drop", "empty"}) {
        services::SimGet(std::string("/_control/frames?name=") + scenario);
        sandbox::RemoveTree(sandbox::Join(cache, "Refresh"));
        int frames = services::SimRequests("GET /v2/radar/");
        EXPECT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str()))) << scenario;
        EXPECT_EQ(frames + 1, services::SimRequests("GET /v2/radar/")) << scenario;
        EXPECT_EQ(before, sandbox::ReadFile(picture)) << scenario;
        EXPECT_EQ(time, FileTime(picture)) << scenario;
    }
    // Without a picture in the cache, the failure shows, and no empty picture is left behind.
    id = "QUIET";
    EXPECT_STREQ("ERROR: Image Download Failed (2)", LocalRadarLink(id.c_str()));
    EXPECT_FALSE(sandbox::Exists(CachePath("Radar.QUIET.jpg")));
}

// ---- A disk that cannot take what arrives --------------------------------------------------

// The cache folder on a small disk of its own, which the tests fill or make read-only.
class ProviderOnSmallDisk : public ProviderAlerts {
  protected:
    void SetUp() override {
        ProviderAlerts::SetUp();
        if (folder.empty()) {
            return;
        }
        if (!sandbox::MountSmallDisk(cache, 2048)) {
            GTEST_SKIP() << "no small disk of its own here (it takes root on Linux)";
        }
        mounted = true;
    }
    void TearDown() override {
        if (mounted) {
            WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS);
            sandbox::UnmountSmallDisk(cache);
        }
        ProviderAlerts::TearDown();
    }
    // Calls `expression` `times` times through the export, as a panel polled each second does.
    std::vector<std::string> Poll(const char *expression, int times) {
        std::vector<std::string> shown;
        for (int i = 0; i < times; i++) {
            shown.push_back(CurrentConditionsText(expression, id.c_str(), "", "1"));
        }
        WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS);
        return shown;
    }
    int RadarIndexRequests() { return services::SimRequests("/public/weather-maps.json"); }
    bool mounted = false;
};

TEST_F(ProviderOnSmallDisk, AFullDiskAsksEachServiceOnceAndKeepsTheWarningsShown) {
    id = "ALERTS";
    ASSERT_EQ("Winter Storm Warning", Refreshed("<alert>"));
    std::string alertsPath = CachePath("Alerts.ALERTS.json");
    std::string keptAlerts = sandbox::ReadFile(alertsPath);
    ASSERT_NE(std::string::npos, keptAlerts.find("Winter Storm Warning"));
    std::string icon = AlertIconLink(id.c_str(), "");
    std::string filler = sandbox::FillDisk(cache);
    Age(40);
    services::SimReset();
    for (const std::string &shown : Poll("<alert>|<temp>", 15)) {
        EXPECT_EQ(0u, shown.find("Winter Storm Warning|")) << shown;
        EXPECT_EQ(std::string::npos, shown.find("N/A")) << shown;
    }
    // One forecast and one alerts request, however often the panel asks: an answer that
    // cannot be kept is a failure, remembered like any other.
    EXPECT_EQ(1, Forecasts());
    EXPECT_EQ(1, AlertRequests());
    EXPECT_EQ(0, Searches());
    // The kept answer is never given up for one that could not be stored.
    EXPECT_EQ(keptAlerts, sandbox::ReadFile(alertsPath));

    // Room again: the warnings show as before, and the next refresh keeps its answers.
    std::remove(filler.c_str());
    EXPECT_EQ("Winter Storm Warning",
              std::string(CurrentConditionsText("<alert>", id.c_str(), "", "1")));
    AgeRefreshMemory(cache, 121);
    Age(40);
    EXPECT_EQ("Winter Storm Warning", Refreshed("<alert>"));
    EXPECT_EQ(2, Forecasts());
    EXPECT_NE(std::string::npos, icon.find("%l"));
    EXPECT_EQ(icon, AlertIconLink(id.c_str(), ""));
}

TEST_F(ProviderOnSmallDisk, AFullDiskAsksTheRadarIndexOnce) {
    id = "ALERTS";
    std::string picture = CachePath("Radar.ALERTS.jpg");
    ASSERT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str())));
    sandbox::FillDisk(cache);
    Age(40);
    services::SimReset();
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str())));
    }
    WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS);
    EXPECT_LE(RadarIndexRequests(), 1);
    EXPECT_LE(services::SimRequests("GET /v2/radar/"), 1);
}

TEST_F(ProviderOnSmallDisk, AReadOnlyCacheFolderAsksNothingItCouldNotKeep) {
    id = "ALERTS";
    std::string good = Refreshed("<alert>|<temp>");
    ASSERT_EQ(0u, good.find("Winter Storm Warning|"));
    Age(40);
    ASSERT_TRUE(sandbox::MakeDiskReadOnly(cache, true));
    services::SimReset();
    for (const std::string &shown : Poll("<alert>|<temp>", 15)) {
        EXPECT_EQ(good, shown);
    }
    EXPECT_LE(Forecasts(), 1);
    EXPECT_LE(AlertRequests(), 1);
    EXPECT_TRUE(sandbox::MakeDiskReadOnly(cache, false));
}

TEST_F(ProviderAlerts, AFailingRadarIndexIsAskedOnceInTheFailureMemorysTime) {
    // With a stale picture to show, and without one.
    id = "ALERTS";
    std::string picture = CachePath("Radar.ALERTS.jpg");
    ASSERT_EQ(picture + "%l" + picture, std::string(LocalRadarLink(id.c_str())));
    Age(40);
    for (const char *scenario : {"http500", "empty", "badjson"}) {
        SCOPED_TRACE(scenario);
        services::SimReset();
        services::SimGet(std::string("/_control/radar?name=") + scenario);
        sandbox::RemoveTree(sandbox::Join(cache, "Refresh"));
        for (int i = 0; i < 5; i++) {
            EXPECT_EQ(picture + "%l" + picture, std::string(LocalRadarLink("ALERTS")));
            EXPECT_STREQ("ERROR: Image Download Failed (2)", LocalRadarLink("QUIET"));
        }
        EXPECT_EQ(1, services::SimRequests("/public/weather-maps.json"));
    }
    services::SimGet("/_control/radar?name=normal");
}
