// Feed queries against the local weather service: what is downloaded and when, the exact
// request addresses, and that no failing server ever costs the cached copy.
#include <gtest/gtest.h>

#include <string>

#include "feed/cache.h"
#include "feed/download.h"
#include "feed/query.h"
#include "feed/source.h"
#include "provider/provider.h"
#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

static const char kPartner[] = "par=4827316590&key=c7e2a19f40b63d85&random=";

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("download");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
    }
    void TearDown() override {
        if (!folder.empty()) {
            sandbox::RemoveTree(folder);
        }
    }

    std::string CachePath(const std::string &name) { return sandbox::Join(cache, name); }

    // A cached Current file of the English feed with its own temperature unit, `minutes` old.
    std::string Cached(const std::string &id, const std::string &unitText, int minutes) {
        std::string path = CachePath("Weather.Current." + id + ".English.xml");
        sandbox::WriteFile(path, "<ut>" + unitText + "</ut><l>http://cached</l>");
        SetFileAge(path, minutes * 60LL);
        return path;
    }

    std::string Current(const std::string &id, const char *open, const char *close, int n = 1) {
        return QueryCurrent(id.c_str(), "", open, close, n);
    }

    std::string folder, cache;
};

TEST_F(Download, AMissingFileIsDownloadedOnceThenServedFresh) {
    EXPECT_EQ("F", Current("dl1001", "<ut>", "</ut>"));
    EXPECT_EQ(
        1, services::SimRequests(std::string("GET /weather/local/DL1001?cc=*&unit=s&") + kPartner));
    EXPECT_TRUE(sandbox::Exists(CachePath("Weather.Current.DL1001.English.xml")));
    EXPECT_EQ("mi", Current("DL1001", "<ud>", "</ud>"));
    EXPECT_EQ("mi", Current("dl1001", "<ud>", "</ud>"));
    EXPECT_EQ(1, services::SimRequests("/weather/local/DL1001?"));
}

TEST_F(Download, EachFeedSendsItsAddress) {
    EXPECT_NE(std::string::npos, std::string(QueryForecast("dl1002", "Metric", "<hi>", "</hi>", 1))
                                     .find_first_of("0123456789"));
    EXPECT_EQ(1, services::SimRequests(std::string("GET /weather/local/DL1002?dayf=5&unit=m&"
                                                   "prod=xoap&") +
                                       kPartner));
    EXPECT_TRUE(sandbox::Exists(CachePath("Weather.Forecast.DL1002.Metric.5.Days.xml")));

    QueryHourly("dl1002", "", "<t>", "</t>", 1);
    EXPECT_EQ(1, services::SimRequests("GET /weather/local/DL1002?hbhf=12&unit=s&random="));
    EXPECT_TRUE(sandbox::Exists(CachePath("Weather.Hourly.DL1002.English.12.Hours.xml")));

    QueryDetails("dl1002", "Metric", "mpdNObj('", "'", 1);
    EXPECT_EQ(1, services::SimRequests("GET /weather/mpdwcr/narrative?locid=DL1002&adprodname="
                                       "lap_golf_main&channel=golf&random="));
    EXPECT_TRUE(sandbox::Exists(CachePath("Weather.Details.DL1002.Metric.xml")));
}

TEST_F(Download, AStaleFileIsReplacedByANewDownload) {
    std::string path = Cached("DL1003", "OLD", 40);
    EXPECT_EQ("F", Current("DL1003", "<ut>", "</ut>"));
    EXPECT_EQ(1, services::SimRequests("/weather/local/DL1003?cc=*"));
    EXPECT_EQ(std::string::npos, sandbox::ReadFile(path).find("OLD"));
    EXPECT_EQ(CACHE_FRESH, CheckCacheFile(path.c_str(), CURRENT_AGE_LIMIT));

    Cached("DL1004", "KEPT", 30);
    EXPECT_EQ("KEPT", Current("DL1004", "<ut>", "</ut>"));
    EXPECT_EQ(0, services::SimRequests("/weather/local/DL1004?"));
}

TEST_F(Download, WithinOneCallADownloadedFileIsReadAsNew) {
    // The call looked up the stale file's time before the download replaced it; its later
    // queries read the new file.
    Cached("DL1006", "OLD", 40);
    StartCallCacheChecks();
    EXPECT_EQ(CACHE_STALE, CheckCacheFile(CachePath("Weather.Current.DL1006.English.xml").c_str(),
                                          CURRENT_AGE_LIMIT));
    EXPECT_EQ("F", Current("DL1006", "<ut>", "</ut>"));
    EXPECT_EQ("mi", Current("DL1006", "<ud>", "</ud>"));
    EndCallCacheChecks();
    EXPECT_EQ(1, services::SimRequests("/weather/local/DL1006?cc=*"));
}

TEST_F(Download, AFailingServerNeverCostsTheCachedCopy) {
    for (const char *id : {"SIMEMPTY", "SIMDROP", "SIM500", "SIMHUGE", "SIMSTALL", "SIMDRIP"}) {
        ResetCoreState(cache, services::SimHost());
        std::string path = Cached(id, "OLD", 40);
        std::string before = sandbox::ReadFile(path);
        uint64_t time = FileTime(path);
        // The service's log is shared with the other test programs: count what this adds.
        std::string request = std::string("/weather/local/") + id + "?cc=*";
        int asked = services::SimRequests(request);

        long long start = sandbox::NowMilliseconds();
        EXPECT_EQ("OLD", Current(id, "<ut>", "</ut>")) << id;
        long long took = sandbox::NowMilliseconds() - start;
        EXPECT_LT(took, 20000) << id;

        EXPECT_EQ(before, sandbox::ReadFile(path)) << id;
        EXPECT_EQ(time, FileTime(path)) << id;
        EXPECT_FALSE(sandbox::Exists(
            CachePath(std::string("Refresh/Weather.Current.") + id + ".English.xml.part")))
            << id;
        EXPECT_EQ(asked + 1, services::SimRequests(request)) << id;

        // Not asked again for a while: the stale copy serves meanwhile.
        EXPECT_EQ("OLD", Current(id, "<ut>", "</ut>")) << id;
        EXPECT_EQ(asked + 1, services::SimRequests(request)) << id;
    }
}

TEST_F(Download, EveryRecentFailureIsRemembered) {
    // A panel asks for several files of one failing server in turn; none of them may be asked
    // again while its failure is remembered, whichever failed last.
    int asked = services::SimRequests("/weather/local/SIMDROP?");
    EXPECT_EQ(TEXT_NOT_AVAILABLE, Current("SIMDROP", "<ut>", "</ut>"));
    EXPECT_EQ(TEXT_NOT_AVAILABLE,
              std::string(QueryCurrent("SIMDROP", "Metric", "<ut>", "</ut>", 1)));
    EXPECT_EQ(TEXT_NOT_AVAILABLE, std::string(QueryForecast("SIMDROP", "", "<hi>", "</hi>", 1)));
    EXPECT_EQ(TEXT_NOT_AVAILABLE, std::string(QueryHourly("SIMDROP", "", "<t>", "</t>", 1)));
    EXPECT_EQ(asked + 4, services::SimRequests("/weather/local/SIMDROP?"));
    Current("SIMDROP", "<ut>", "</ut>");
    QueryCurrent("SIMDROP", "Metric", "<ut>", "</ut>", 1);
    QueryForecast("SIMDROP", "", "<hi>", "</hi>", 1);
    EXPECT_EQ(asked + 4, services::SimRequests("/weather/local/SIMDROP?"));

    // The memory is the cache folder's: another process, with a state of its own, keeps to it.
    ForgetFeedDocuments();
    Plugin.callLocationId[0] = '\0';
    Current("SIMDROP", "<ut>", "</ut>");
    QueryHourly("SIMDROP", "", "<t>", "</t>", 1);
    EXPECT_EQ(asked + 4, services::SimRequests("/weather/local/SIMDROP?"));
    // Two minutes on, each is asked again.
    AgeRefreshMemory(cache, 121);
    Current("SIMDROP", "<ut>", "</ut>");
    EXPECT_EQ(asked + 5, services::SimRequests("/weather/local/SIMDROP?"));
}

TEST_F(Download, ARefreshWhoseProcessEndedInTheMiddleCountsAsFailed) {
    // A process killed during its refresh leaves the refresh's mark, and no claim: the server
    // may hang, and processes killed one after another must not ask it again and again.
    std::string path = Cached("DL3001", "OLD", 40);
    std::string mark = CachePath("Refresh/Weather.Current.DL3001.English.xml.attempt");
    sandbox::MakeFolderAt(CachePath("Refresh"));
    sandbox::WriteFile(mark, "1");
    EXPECT_EQ("OLD", Current("DL3001", "<ut>", "</ut>"));
    EXPECT_EQ(0, services::SimRequests("/weather/local/DL3001?"));
    EXPECT_FALSE(sandbox::Exists(mark));
    EXPECT_TRUE(sandbox::Exists(CachePath("Refresh/Weather.Current.DL3001.English.xml.failed")));
    // Its two minutes on, the file is asked for again, and a refresh that ends leaves no mark.
    AgeRefreshMemory(cache, 121);
    EXPECT_EQ("F", Current("DL3001", "<ut>", "</ut>"));
    EXPECT_EQ(1, services::SimRequests("/weather/local/DL3001?"));
    EXPECT_FALSE(sandbox::Exists(mark));
}

TEST_F(Download, TheDownloadsOfOneCallShareOneBudget) {
    // A dripping server takes each download's whole bound; a call that needs several files
    // would hold its caller for all of them in turn.
    int asked = services::SimRequests("/weather/local/SIMDRIP?");
    int askedCurrent = services::SimRequests("/weather/local/SIMDRIP?cc=*");
    long long start = sandbox::NowMilliseconds();
    StartCallDownloads();
    Current("SIMDRIP", "<ut>", "</ut>");
    QueryCurrent("SIMDRIP", "Metric", "<ut>", "</ut>", 1);
    QueryForecast("SIMDRIP", "", "<hi>", "</hi>", 1);
    EndCallDownloads();
    EXPECT_LT(sandbox::NowMilliseconds() - start, CALL_DOWNLOAD_BUDGET_MS + 5000);
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/SIMDRIP?"));

    // What the budget left out was not the server's failure: the next call asks for it.
    StartCallDownloads();
    QueryCurrent("SIMDRIP", "Metric", "<ut>", "</ut>", 1);
    EndCallDownloads();
    EXPECT_EQ(askedCurrent + 2, services::SimRequests("/weather/local/SIMDRIP?cc=*"));
}

TEST_F(Download, AnswersBelowHttpsRulesNeverHoldTheCallerOrCostTheCache) {
    if (services::RawHost().empty()) {
        GTEST_SKIP() << "no raw listener";
    }
    // Answers that never arrive whole must keep the copy; the others may replace it, whole.
    struct Case {
        const char *id;
        bool neverWhole;
    };
    const Case cases[] = {{"RAWHEADERS", false}, {"RAWTRICKLE", true},    {"RAWCHUNKCUT", true},
                          {"RAWCHUNKED", false}, {"RAWDRIPLENGTH", true}, {"RAWRANDOM", false},
                          {"RAWGARBAGE", false}};
    for (const Case &c : cases) {
        ResetCoreState(cache, services::SimHost());
        CopyText(Plugin.feedHost, sizeof Plugin.feedHost, services::RawHost().c_str());
        std::string path = Cached(c.id, "OLD", 40);
        long long start = sandbox::NowMilliseconds();
        std::string value = Current(c.id, "<ut>", "</ut>");
        EXPECT_LT(sandbox::NowMilliseconds() - start, 20000) << c.id;
        std::string content = sandbox::ReadFile(path);
        if (value == "OLD" || c.neverWhole) {
            EXPECT_EQ("OLD", value) << c.id;
            EXPECT_EQ("<ut>OLD</ut><l>http://cached</l>", content) << c.id;
        } else {
            // Taken as a whole answer: it replaced the copy whole.
            EXPECT_TRUE(value == "F" || value == TEXT_TOO_FEW_MARKS) << c.id << ": " << value;
            EXPECT_EQ(std::string::npos, content.find("OLD")) << c.id;
        }
        if (value == "F") {
            EXPECT_NE(std::string::npos, content.find("</weather>")) << c.id << ": " << content;
        }
    }
}

TEST_F(Download, WithoutACachedCopyAFailedDownloadIsNotAvailable) {
    for (const char *id : {"SIM500", "SIMEMPTY"}) {
        ResetCoreState(cache, services::SimHost());
        EXPECT_EQ(TEXT_NOT_AVAILABLE, Current(id, "<ut>", "</ut>")) << id;
        ResetCoreState(cache, services::SimHost());
        EXPECT_EQ("ERROR", Current(id, "<l>", "</l>")) << id;
        EXPECT_FALSE(
            sandbox::Exists(CachePath(std::string("Weather.Current.") + id + ".English.xml")))
            << id;
    }

    // An empty answer is asked again once its failure is no longer remembered.
    std::string request = "/weather/local/SIMEMPTY?cc=*";
    int asked = services::SimRequests(request);
    EXPECT_EQ(TEXT_NOT_AVAILABLE, Current("SIMEMPTY", "<ut>", "</ut>"));
    EXPECT_EQ(asked, services::SimRequests(request));
    AgeRefreshMemory(cache, OFFLINE_MEMORY_TICKS / 10000000ull);
    EXPECT_EQ(TEXT_NOT_AVAILABLE, Current("SIMEMPTY", "<ut>", "</ut>"));
    EXPECT_EQ(asked + 1, services::SimRequests(request));
}

TEST_F(Download, BodiesThatArriveWholeAreStoredAsTheyAre) {
    EXPECT_EQ("ERROR: Invalid location provided.", Current("SIMERROR", "<ut>", "</ut>"));
    EXPECT_EQ("ERROR: Invalid location provided.", Current("SIMERROR", "<tmp>", "</tmp>", 3));
}

TEST_F(Download, TheAlertSectionEndToEnd) {
    std::string title = Current("SIMALERT", "<t>", "</t>", 0);
    std::string condition = Current("SIMALERT", "<t>", "</t>", 1);
    EXPECT_NE(TEXT_NO_ALERT, title);
    EXPECT_NE(title, condition);
    EXPECT_EQ(0u, std::string(Current("SIMALERT", "<l>", "</l>", 1)).find("http://"));
    EXPECT_EQ(TEXT_NO_ALERT, Current("DL1005", "<t>", "</t>", 0));
}

TEST_F(Download, OfflineNothingIsAskedAndTheCacheServes) {
    CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, "http://127.0.0.1:9/");
    Cached("OFF1001", "OLD", 40);
    EXPECT_EQ("OLD", Current("OFF1001", "<ut>", "</ut>"));
    EXPECT_EQ("ERROR", Current("OFF1001", "<l>", "</l>"));
    EXPECT_EQ(TEXT_NOT_AVAILABLE, Current("OFF1002", "<ut>", "</ut>"));
    EXPECT_EQ(0, services::SimRequests("/weather/local/OFF100"));
    EXPECT_EQ(0, IsOnline()); // the offline verdict is kept
}

TEST_F(Download, ThroughTheProxyWithItsCredentials) {
    if (services::ProxyHost().empty()) {
        GTEST_SKIP() << "no proxy running";
    }
    Plugin.useProxy = 1;
    CopyText(Plugin.proxyAddress, sizeof Plugin.proxyAddress, services::ProxyHost().c_str());
    CopyText(Plugin.proxyUser, sizeof Plugin.proxyUser, "alice");
    CopyText(Plugin.proxyPassword, sizeof Plugin.proxyPassword, "wrong");
    EXPECT_EQ(TEXT_NOT_AVAILABLE, Current("PX1001", "<ut>", "</ut>"));
    EXPECT_EQ(0, services::SimRequests("/weather/local/PX1001?"));

    CopyText(Plugin.proxyPassword, sizeof Plugin.proxyPassword, "s3cret");
    EXPECT_EQ("F", Current("PX1002", "<ut>", "</ut>"));
    EXPECT_EQ(1, services::SimRequests("/weather/local/PX1002?cc=*"));
}

TEST_F(Download, NamesWithoutADotBypassTheProxy) {
    std::string host = services::SimHost();
    std::string local = "localhost" + host.substr(host.find(':'));
    ResetCoreState(cache, local);
    Plugin.useProxy = 1;
    CopyText(Plugin.proxyAddress, sizeof Plugin.proxyAddress, "127.0.0.1:9");
    EXPECT_EQ("F", Current("PX1003", "<ut>", "</ut>"));
    EXPECT_EQ(1, services::SimRequests("/weather/local/PX1003?cc=*"));
}

// The polite answer cycle of a service that names its answer's lifetime: the answer's Expires
// and Last-Modified are kept, a request with If-Modified-Since gets 304 and no body, which is a
// whole answer and no failure, and the agent is the settings' own.
TEST_F(Download, AnswersKeepTheirCacheHeadersAndNotModifiedIsWhole) {
    std::string address = "http://" + services::SimHost() +
                          "/weatherapi/locationforecast/2.0/complete?lat=59.9139&lon=10.7522";
    std::string key = CachePath("MetNorway.DL2001.json");
    Plugin.source = &OpenMeteoSource; // the public services' agent, from the settings
    CopyText(Plugin.userAgent, sizeof Plugin.userAgent, "nimbrel/0.99 tests@example.org");
    GrowText body;
    OsHttpAnswerHeaders headers;
    int status = 0;
    ASSERT_EQ(OUTCOME_DONE, FetchAnswerSince(key.c_str(), address.c_str(), 0, NULL, &headers, &body,
                                  DOWNLOAD_BODY_LIMIT, &status));
    EXPECT_EQ(200, status);
    EXPECT_GT(body.length, 1000u);
    EXPECT_EQ(std::string(" GMT"), std::string(headers.expires).substr(25));
    EXPECT_EQ(std::string(" GMT"), std::string(headers.lastModified).substr(25));
    GrowTextFree(&body);

    std::string lastModified = headers.lastModified;
    ASSERT_EQ(OUTCOME_DONE, FetchAnswerSince(key.c_str(), address.c_str(), 0, lastModified.c_str(), &headers,
                                  &body, DOWNLOAD_BODY_LIMIT, &status));
    EXPECT_EQ(304, status);
    EXPECT_EQ(0u, body.length);
    EXPECT_EQ(lastModified, std::string(headers.lastModified));
    GrowTextFree(&body);
    // A date before the answer's gets the answer again.
    ASSERT_EQ(OUTCOME_DONE, FetchAnswerSince(key.c_str(), address.c_str(), 0, "Thu, 01 Jan 2015 00:00:00 GMT",
                                  &headers, &body, DOWNLOAD_BODY_LIMIT, &status));
    EXPECT_EQ(200, status);
    GrowTextFree(&body);
    EXPECT_EQ(3,
              services::SimRequests("GET /weatherapi/locationforecast/2.0/complete?lat=59.9139"));
    EXPECT_NE(std::string::npos,
              services::SimGet("/_control/agents").find("nimbrel/0.99 tests@example.org"));
}
