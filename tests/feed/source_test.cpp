// The weather source seam, through a stand-in source that records what it is asked: the queries
// and the local radar reach the weather only through Plugin.source, with the kind and the cache
// file of the call, and treat its failure as a failed download.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "feed/query.h"
#include "feed/source.h"
#include "images/radar.h"
#include "support/core_state.h"
#include "support/sandbox.h"

namespace {

struct Recorder {
    std::vector<std::string> asked; // "kind path" or "radar path address", in order
    int fails = 0;                  // nonzero: every refresh fails and writes nothing
    std::string document;           // what a document refresh writes
};

Recorder recorder;

Outcome RecordDocument(const WeatherSource *, enum DocumentKind kind, const char *path) {
    recorder.asked.push_back(std::string(DocumentKindOf(kind)->name) + " " + path);
    if (recorder.fails) {
        return OUTCOME_FAILED;
    }
    sandbox::WriteFile(path, recorder.document);
    LoadFeedDocument(path, 1);
    return OUTCOME_DONE;
}

Outcome RecordRadar(const WeatherSource *, const char *path, const char *address) {
    recorder.asked.push_back(std::string("radar ") + path + " " + address);
    if (recorder.fails) {
        return OUTCOME_FAILED;
    }
    sandbox::WriteFile(path, "GIF89a");
    return OUTCOME_DONE;
}

int NoConnectivityAddress(const WeatherSource *, char *out, size_t capacity) {
    if (capacity > 0) {
        out[0] = '\0';
    }
    return 0;
}

const WeatherSource kRecordingSource = {
    "recorder",      "recorder-agent", NULL, RecordDocument, RecordRadar, NoConnectivityAddress,
    NoPointForecast, SourceAlone,      NULL,
};

// Two members of a chain, each answering as it is told.
Outcome firstAnswers = OUTCOME_DONE, secondAnswers = OUTCOME_DONE;
std::vector<std::string> chainAsked; // "first kind" or "second kind", in order

// A member of the chain under test called `name`: notes that it was asked, and when `answers`
// is done puts its document, whose temperature reads `text`, in place.
Outcome Member(const char *name, const char *text, Outcome answers, enum DocumentKind kind,
               const char *path) {
    chainAsked.push_back(std::string(name) + " " + DocumentKindOf(kind)->name);
    if (answers == OUTCOME_DONE) {
        sandbox::WriteFile(path, std::string("<weather><cc><t>") + text + "</t></cc></weather>");
        LoadFeedDocument(path, 1);
    }
    return answers;
}

Outcome FirstMember(const WeatherSource *, enum DocumentKind kind, const char *path) {
    return Member("first", "First", firstAnswers, kind, path);
}

Outcome SecondMember(const WeatherSource *, enum DocumentKind kind, const char *path) {
    return Member("second", "Second", secondAnswers, kind, path);
}

Outcome FirstRadar(const WeatherSource *, const char *, const char *) {
    chainAsked.push_back("first radar");
    return OUTCOME_DONE;
}

const WeatherSource kFirstMember = {
    "first",         "first-agent", "www.first.", FirstMember, FirstRadar, NoConnectivityAddress,
    NoPointForecast, SourceAlone,   NULL,
};
const WeatherSource kSecondMember = {
    "second",        "second-agent", NULL, SecondMember, RecordRadar, NoConnectivityAddress,
    NoPointForecast, SourceAlone,    NULL,
};

class Source : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("source");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, "127.0.0.1:9");
        Plugin.source = &kRecordingSource;
        recorder = Recorder();
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    std::string CachePath(enum DocumentKind kind, const char *id, const char *unit) {
        CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, id);
        CopyText(Plugin.callUnit, sizeof Plugin.callUnit, unit);
        return CacheFilePath(kind);
    }

    std::string folder, cache;
};

TEST_F(Source, AQueryAsksTheSourceOnlyForAStaleOrMissingFile) {
    recorder.document = "<weather><cc><t>Fog</t></cc></weather>";
    std::string path = CachePath(KIND_CURRENT, "SRC1", "Metric");

    // Missing: asked once, with the kind and the call's cache file, and its document is read.
    EXPECT_STREQ("Fog", QueryCurrent("SRC1", "Metric", "<t>", "</t>", 1));
    ASSERT_EQ(1u, recorder.asked.size());
    EXPECT_EQ("Current " + path, recorder.asked[0]);

    // Fresh: not asked.
    EXPECT_STREQ("Fog", QueryCurrent("SRC1", "Metric", "<t>", "</t>", 1));
    EXPECT_EQ(1u, recorder.asked.size());

    // Stale, and the source fails: asked, and the old document serves.
    ASSERT_TRUE(SetFileAge(path, 40 * 60));
    recorder.fails = 1;
    EXPECT_STREQ("Fog", QueryCurrent("SRC1", "Metric", "<t>", "</t>", 1));
    EXPECT_EQ(2u, recorder.asked.size());

    // Missing, and the source fails: nothing to serve.
    EXPECT_STREQ(TEXT_NOT_AVAILABLE, QueryForecast("SRC1", "Metric", "<t>", "</t>", 1));
    ASSERT_EQ(3u, recorder.asked.size());
    EXPECT_EQ("Forecast " + CachePath(KIND_FORECAST, "SRC1", "Metric"), recorder.asked[2]);
}

TEST_F(Source, TheLocalRadarAsksForThePageThenForThePictureItNames) {
    recorder.document = "<html>new mw_propsObj('SRC2','http://pictures/SRC2.gif','x',Radar";
    std::string page = CachePath(KIND_HOME, "SRC2", "");
    std::string picture = CachePath(KIND_RADAR, "SRC2", "");
    std::string link = LocalRadarLink("SRC2");
    EXPECT_EQ(picture + "%l" + picture, link);
    ASSERT_EQ(2u, recorder.asked.size());
    EXPECT_EQ("Home " + page, recorder.asked[0]);
    EXPECT_EQ("radar " + picture + " http://pictures/SRC2.gif", recorder.asked[1]);

    // Without a page the source could give, there is nothing to show.
    recorder = Recorder();
    recorder.fails = 1;
    EXPECT_STREQ(TEXT_RADAR_PAGE_FAILED, LocalRadarLink("SRC3"));
    EXPECT_EQ(1u, recorder.asked.size());
}

TEST_F(Source, AChainAsksItsMembersInOrderUntilOneAnswers) {
    SourceChain chain;
    const WeatherSource *const members[] = {&kFirstMember, &kSecondMember, &kFirstMember};
    Plugin.source = MakeSourceChain(&chain, members, 2);
    EXPECT_STREQ("first,second", Plugin.source->name);
    EXPECT_STREQ("first-agent", Plugin.source->userAgent);
    EXPECT_STREQ("www.first.", Plugin.source->alertLinkHost);
    const WeatherSource *listed[SOURCE_CHAIN_CAPACITY];
    ASSERT_EQ(2u, Plugin.source->members(Plugin.source, listed, SOURCE_CHAIN_CAPACITY));
    EXPECT_EQ(&kFirstMember, listed[0]);
    EXPECT_EQ(&kSecondMember, listed[1]);
    // One member is no chain.
    EXPECT_EQ(&kFirstMember, MakeSourceChain(&chain, members, 1));

    const struct {
        Outcome first, second;
        std::vector<std::string> asked;
        const char *value;
    } cases[] = {
        // The first member's answer wins; the second is never asked while the first answers.
        {OUTCOME_DONE, OUTCOME_DONE, {"first Current"}, "First"},
        // A failure hands the same refresh to the next.
        {OUTCOME_FAILED, OUTCOME_DONE, {"first Current", "second Current"}, "Second"},
        // An answer on its way ends the refresh: nobody else is asked, nothing to show yet.
        {OUTCOME_PENDING, OUTCOME_DONE, {"first Current"}, TEXT_NOT_AVAILABLE},
        // Every member failing is the chain failing.
        {OUTCOME_FAILED, OUTCOME_FAILED, {"first Current", "second Current"}, TEXT_NOT_AVAILABLE},
        {OUTCOME_FAILED, OUTCOME_PENDING, {"first Current", "second Current"}, TEXT_NOT_AVAILABLE},
    };
    int place = 0;
    for (const auto &c : cases) {
        Plugin.source = MakeSourceChain(&chain, members, 2);
        firstAnswers = c.first;
        secondAnswers = c.second;
        chainAsked.clear();
        std::string id = "CHAIN" + std::to_string(place++);
        EXPECT_STREQ(c.value, QueryCurrent(id.c_str(), "Metric", "<t>", "</t>", 1)) << id;
        EXPECT_EQ(c.asked, chainAsked) << id;
    }

    // The radar picture is the first member's to fetch, whoever wrote the page.
    chainAsked.clear();
    EXPECT_EQ(OUTCOME_DONE,
              Plugin.source->refreshRadar(Plugin.source, "picture", "http://pictures/x.gif"));
    EXPECT_EQ(std::vector<std::string>{"first radar"}, chainAsked);
}

} // namespace
