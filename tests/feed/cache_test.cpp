// Cache files: names, freshness under the age limits, the held document, request addresses.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "feed/address.h"
#include "feed/cache.h"
#include "feed/query.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/sandbox.h"

class Cache : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("cache");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, "feed.test:8470");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    void SetCall(const char *id, const char *unit) {
        CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, id);
        CopyText(Plugin.callUnit, sizeof Plugin.callUnit, unit);
    }
    std::string Name(enum DocumentKind kind) {
        std::string path = CacheFilePath(kind);
        return path.empty() ? "" : path.substr(cache.size() + 1);
    }
    std::string Write(const std::string &name, const std::string &content) {
        std::string path = sandbox::Join(cache, name);
        sandbox::WriteFile(path, content);
        return path;
    }
    std::string Held() { return std::string(Plugin.document->bytes); }

    std::string folder, cache;
};

TEST_F(Cache, NamesEachKind) {
    SetCall("90210", "Metric");
    EXPECT_EQ("Weather.Current.90210.Metric.xml", Name(KIND_CURRENT));
    EXPECT_EQ("Weather.Forecast.90210.Metric.5.Days.xml", Name(KIND_FORECAST));
    EXPECT_EQ("Weather.Details.90210.Metric.xml", Name(KIND_DETAILS));
    EXPECT_EQ("Weather.Hourly.90210.Metric.12.Hours.xml", Name(KIND_HOURLY));
    EXPECT_EQ("Radar.90210.jpg", Name(KIND_RADAR));
    EXPECT_EQ("Home.90210.html", Name(KIND_HOME));
    // The providers' kept answers keep the names of files that earlier versions kept.
    EXPECT_EQ("Place.90210.json", Name(KIND_PLACE_ANSWER));
    EXPECT_EQ("OpenMeteo.90210.json", Name(KIND_OPEN_METEO_ANSWER));
    EXPECT_EQ("MetNorway.90210.json", Name(KIND_MET_NORWAY_ANSWER));
    EXPECT_EQ("Alerts.90210.json", Name(KIND_ALERTS_ANSWER));
    EXPECT_EQ("Radar.index", Name(KIND_RADAR_INDEX));
    // The air is one document and one answer per place, whatever the unit type.
    EXPECT_EQ("Air.90210.xml", Name(KIND_AIR));
    EXPECT_EQ("AirQuality.90210.json", Name(KIND_AIR_ANSWER));
    EXPECT_EQ("", Name(KIND_COUNT));
    // A country's warnings are one answer for all its places: named by the key, never by the
    // call's Location ID, and a key cannot leave the folder.
    EXPECT_EQ("", Name(KIND_COUNTRY_ALERTS_ANSWER));
    std::string byKey = CacheFilePathForKey(KIND_COUNTRY_ALERTS_ANSWER, "united-kingdom");
    EXPECT_EQ(sandbox::Join(cache, OsNamesIgnoreCase ? "Warnings.united-kingdom.xml"
                                                     : "Warnings.UNITED-KINGDOM.xml"),
              byKey);
    byKey = CacheFilePathForKey(KIND_COUNTRY_ALERTS_ANSWER, "../x");
    EXPECT_EQ(std::string::npos, byKey.find("../")) << byKey;
    EXPECT_STREQ("", CacheFilePathForKey(KIND_COUNTRY_ALERTS_ANSWER, ""));
    EXPECT_STREQ("", CacheFilePathForKey(KIND_ALERTS_ANSWER, "poland"));
    EXPECT_STREQ("",
                 CacheFilePathForKey(KIND_COUNTRY_ALERTS_ANSWER, std::string(300, 'a').c_str()));
    Plugin.maxDays = 10;
    Plugin.maxHours = 24;
    SetCall("90210", "Both");
    EXPECT_EQ("Weather.Forecast.90210.Both.10.Days.xml", Name(KIND_FORECAST));
    EXPECT_EQ("Weather.Hourly.90210.Both.24.Hours.xml", Name(KIND_HOURLY));
}

TEST_F(Cache, OneFileForEverySpellingOfALocationId) {
    // Windows matches names without case: the name keeps the caller's spelling. POSIX file
    // systems tell case apart: the name is upper-cased, so that both spellings name one file.
    SetCall("usny0996", "English");
    std::string lower = Name(KIND_CURRENT);
#if defined(_WIN32)
    EXPECT_EQ("Weather.Current.usny0996.English.xml", lower);
#else
    EXPECT_EQ("Weather.Current.USNY0996.English.xml", lower);
#endif
    Write(lower, "<tmp>1</tmp>");
    SetCall("USNY0996", "English");
    EXPECT_EQ("Weather.Current.USNY0996.English.xml", Name(KIND_CURRENT));
    EXPECT_EQ(CACHE_FRESH, CheckCacheFile(CacheFilePath(KIND_CURRENT), CURRENT_AGE_LIMIT));
    EXPECT_EQ("<tmp>1</tmp>", Held());
}

TEST_F(Cache, HostileLocationIdsStayInsideTheCacheFolder) {
    for (const char *id : {"../../etc/passwd", "..\\..\\boot", "C:evil", "a\x01z", "a%2Fb"}) {
        SetCall(id, "English");
        std::string name = Name(KIND_CURRENT);
        EXPECT_EQ(std::string::npos, name.find_first_of("/\\:\x01")) << name;
        EXPECT_EQ(0u, name.find("Weather.Current.")) << name;
    }
    SetCall("../X", "../y");
    EXPECT_EQ("Radar...%2FX.jpg", Name(KIND_RADAR));
    EXPECT_EQ("Weather.Current...%2FX...%2Fy.xml", Name(KIND_CURRENT));
}

TEST_F(Cache, ANameThatWouldNotFitIsEmpty) {
    std::string deep = sandbox::Join(cache, std::string(230, 'd'));
    CopyText(Plugin.cacheFolder, sizeof Plugin.cacheFolder, deep.c_str());
    SetCall("0123456789012345678901234567890", "English");
    EXPECT_STREQ("", CacheFilePath(KIND_FORECAST));
    EXPECT_EQ(CACHE_MISSING, CheckCacheFile(CacheFilePath(KIND_FORECAST), 125));
    Plugin.cacheFolder[0] = '\0';
    SetCall("90210", "English");
    EXPECT_STREQ("", CacheFilePath(KIND_CURRENT));
}

TEST_F(Cache, AgeInWholeMinutes) {
    const uint64_t minute = 600000000ull;
    EXPECT_EQ(0, CacheAgeMinutes(1000 * minute, 1000 * minute + minute - 1));
    EXPECT_EQ(1500, CacheAgeMinutes(0, 25 * 60 * minute));
    EXPECT_EQ(-2, CacheAgeMinutes(1002 * minute, 1000 * minute));
}

TEST_F(Cache, FreshUntilTheLimitIsPassedByAWholeMinute) {
    const struct {
        long long ageSeconds;
        int limit;
        CacheVerdict verdict;
    } cases[] = {
        {31 * 60 + 59, 31, CACHE_FRESH},     {32 * 60, 31, CACHE_STALE},
        {24 * 3600 + 600, 125, CACHE_STALE}, {1441 * 60, 1440, CACHE_STALE},
        {1440 * 60, 1440, CACHE_FRESH},      {0, 31, CACHE_FRESH},
        {-10 * 60, 31, CACHE_FRESH},         {-400 * 60, 31, CACHE_STALE}, // a clock set back
    };
    std::string path = Write("Weather.Current.90210.English.xml", "<ut>F</ut>");
    for (const auto &c : cases) {
        ASSERT_TRUE(SetFileAge(path, c.ageSeconds));
        EXPECT_EQ(c.verdict, CheckCacheFile(path.c_str(), c.limit))
            << c.ageSeconds << " s under " << c.limit;
    }
    EXPECT_EQ(CACHE_MISSING, CheckCacheFile(sandbox::Join(cache, "none.xml").c_str(), 31));
}

TEST_F(Cache, AHeldFileIsReadOnceUntilALoadIsForced) {
    std::string path = Write("a.xml", "first");
    EXPECT_EQ(LOAD_OK, LoadFeedDocument(path.c_str(), 0));
    EXPECT_EQ("first", Held());
    sandbox::WriteFile(path, "second");
    EXPECT_EQ(LOAD_OK, LoadFeedDocument(path.c_str(), 0));
    EXPECT_EQ("first", Held());
    EXPECT_EQ(LOAD_OK, LoadFeedDocument(path.c_str(), 1));
    EXPECT_EQ("second", Held());
}

TEST_F(Cache, AFailedLoadLeavesTheDocumentAsItWas) {
    std::string good = Write("good.xml", "kept");
    std::string empty = Write("empty.xml", "");
    ASSERT_EQ(LOAD_OK, LoadFeedDocument(good.c_str(), 0));
    uint64_t time = KeptDocument(good.c_str())->time;
    EXPECT_EQ(LOAD_EMPTY, LoadFeedDocument(empty.c_str(), 0));
    EXPECT_EQ(LOAD_NO_FILE, LoadFeedDocument(sandbox::Join(cache, "none").c_str(), 1));
    EXPECT_EQ(LOAD_NO_FILE, LoadFeedDocument("", 1));
    EXPECT_EQ("kept", Held());
    EXPECT_EQ(good, Plugin.document->path);
    EXPECT_EQ(time, Plugin.document->time);
    EXPECT_EQ(nullptr, KeptDocument(empty.c_str()));
}

TEST_F(Cache, ASmallerFileShowsNothingOfALargerOne) {
    std::string large = Write("large.xml", std::string(60000, 'L'));
    std::string small = Write("small.xml", std::string(10000, 's'));
    ASSERT_EQ(LOAD_OK, LoadFeedDocument(large.c_str(), 0));
    EXPECT_GE(Plugin.document->capacity, 60001u);
    ASSERT_EQ(LOAD_OK, LoadFeedDocument(small.c_str(), 0));
    EXPECT_EQ(std::string(10000, 's'), Held());
    // The large file read again, smaller now, into the buffer it grew: nothing of the old
    // content shows, and the buffer goes back to its common size.
    sandbox::WriteFile(large, std::string(9000, 'l'));
    ASSERT_EQ(LOAD_OK, LoadFeedDocument(large.c_str(), 1));
    EXPECT_EQ(std::string(9000, 'l'), Held());
    EXPECT_EQ((size_t)FEED_DOCUMENT_INITIAL, Plugin.document->capacity);
}

TEST_F(Cache, AFreshFileRewrittenSinceItWasLoadedIsLoadedAgain) {
    std::string path = Write("Weather.Current.90210.English.xml", "old");
    ASSERT_TRUE(SetFileAge(path, 120));
    ASSERT_EQ(LOAD_OK, LoadFeedDocument(path.c_str(), 0));
    sandbox::WriteFile(path, "new");
    ASSERT_TRUE(SetFileAge(path, 60));
    EXPECT_EQ(CACHE_FRESH, CheckCacheFile(path.c_str(), 31));
    EXPECT_EQ("new", Held());
    EXPECT_EQ(FileTime(path), Plugin.document->time);
}

// The kept documents. A file's content is changed behind its unchanged time to show that a
// copy in memory serves: the freshness check compares times only.
class KeptDocuments : public Cache {
  protected:
    // Writes `content` to `path` and gives the file back the time it had.
    void RewriteKeepingTime(const std::string &path, const std::string &content) {
        uint64_t time = FileTime(path);
        sandbox::WriteFile(path, content);
        ASSERT_TRUE(SetFileTimeTo(path, time));
    }
    // One export call's question: freshness, then the value.
    std::string Ask(const std::string &path) {
        StartCallCacheChecks();
        EXPECT_EQ(CACHE_FRESH, CheckCacheFile(path.c_str(), 31));
        std::string value = ExtractElement(path.c_str(), "<v>", "</v>", 1);
        EndCallCacheChecks();
        return value;
    }
    std::string Path(int i) { return sandbox::Join(cache, "doc" + std::to_string(i) + ".xml"); }
};

TEST_F(KeptDocuments, AWarmCallReadsNoContentAndAChangedFileIsReadAgain) {
    const int n = 3;
    for (int i = 0; i < n; i++) {
        sandbox::WriteFile(Path(i), "<v>old" + std::to_string(i) + "</v>");
        ASSERT_TRUE(SetFileAge(Path(i), 600));
        EXPECT_EQ("old" + std::to_string(i), Ask(Path(i)));
    }
    for (int i = 0; i < n; i++) {
        RewriteKeepingTime(Path(i), "<v>new" + std::to_string(i) + "</v>");
    }
    for (int round = 0; round < 2; round++) {
        for (int i = 0; i < n; i++) {
            EXPECT_EQ("old" + std::to_string(i), Ask(Path(i))) << "round " << round;
        }
    }
    // A newer time behind a kept copy: that file is read again, the others still serve.
    ASSERT_TRUE(SetFileAge(Path(1), 60));
    EXPECT_EQ("old0", Ask(Path(0)));
    EXPECT_EQ("new1", Ask(Path(1)));
    EXPECT_EQ("old2", Ask(Path(2)));
    EXPECT_EQ(FileTime(Path(1)), KeptDocument(Path(1).c_str())->time);
    // An older time, as a file put back from elsewhere has, is a change too.
    ASSERT_TRUE(SetFileAge(Path(2), 900));
    EXPECT_EQ("new2", Ask(Path(2)));
}

TEST_F(KeptDocuments, EveryWriterOfAFileDropsItsKeptCopy) {
    for (int i = 0; i < 3; i++) {
        sandbox::WriteFile(Path(i), "<v>old</v>");
        ASSERT_TRUE(SetFileAge(Path(i), 600));
        ASSERT_EQ("old", Ask(Path(i)));
    }
    // Rewritten within the same tick of the file system's clock, a file keeps its time; the
    // writer's word is what tells the kept copy is gone.
    uint64_t time = FileTime(Path(0));
    ASSERT_EQ(OUTCOME_DONE, StoreFile(Path(0).c_str(), "<v>stored</v>", 13));
    ASSERT_TRUE(SetFileTimeTo(Path(0), time));
    EXPECT_EQ(nullptr, KeptDocument(Path(0).c_str()));
    EXPECT_EQ("stored", Ask(Path(0)));
    // A download, or a page thrown away, names the file as the caller spelled it.
    RewriteKeepingTime(Path(1), "<v>downloaded</v>");
    std::string upper = Path(1);
    upper.replace(upper.rfind("doc1"), 4, "DOC1");
    ForgetCacheCheck(upper.c_str());
    EXPECT_EQ("downloaded", Ask(Path(1)));
    EXPECT_NE(nullptr, KeptDocument(Path(2).c_str()));
    EXPECT_EQ("old", Ask(Path(2)));
}

TEST_F(KeptDocuments, TheCopyAskedForLeastRecentlyMakesRoom) {
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        sandbox::WriteFile(Path(i), "<v>" + std::to_string(i) + "</v>");
        ASSERT_EQ(std::to_string(i), Ask(Path(i)));
    }
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        EXPECT_NE(nullptr, KeptDocument(Path(i).c_str())) << i;
    }
    // A failed load takes no slot and spoils no copy.
    std::string empty = Write("empty.xml", "");
    EXPECT_EQ(LOAD_EMPTY, LoadFeedDocument(empty.c_str(), 0));
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        ASSERT_NE(nullptr, KeptDocument(Path(i).c_str())) << i;
        EXPECT_EQ("<v>" + std::to_string(i) + "</v>",
                  std::string(KeptDocument(Path(i).c_str())->bytes));
    }
    // Asked for again, the first copy is the most recent; the second is the oldest then.
    EXPECT_EQ("0", Ask(Path(0)));
    int extra = FEED_DOCUMENT_SLOTS;
    sandbox::WriteFile(Path(extra), "<v>extra</v>");
    EXPECT_EQ("extra", Ask(Path(extra)));
    EXPECT_EQ(nullptr, KeptDocument(Path(1).c_str()));
    EXPECT_NE(nullptr, KeptDocument(Path(0).c_str()));
    EXPECT_NE(nullptr, KeptDocument(Path(2).c_str()));
    EXPECT_EQ("1", Ask(Path(1)));
}

TEST_F(Cache, ADocumentCutShortCountsAsMissingWhateverItsAge) {
    const std::string xml = "<?xml version=\"1.0\"?>\n<!-- kept -->\n<weather ver=\"2.0\">\n"
                            "<cc><tmp>21</tmp></cc>\n</weather>\n";
    const std::string page = "<!DOCTYPE html>\n<HTML><body>x</body></HTML>\n";
    const std::string error = "<?xml version=\"1.0\"?>\n<error><err type=\"1\">x</err>\n</error>";
    struct Case {
        std::string content;
        enum CacheVerdict fresh;
    } cases[] = {
        {xml, CACHE_FRESH},
        {page, CACHE_FRESH},
        {error, CACHE_FRESH},
        {"\x89PNG\r\n\x1a\n picture", CACHE_FRESH}, // no markup: nothing to close
        {xml.substr(0, xml.size() / 2), CACHE_MISSING},
        {xml.substr(0, xml.find("</weather>") + 5), CACHE_MISSING},
        {page.substr(0, page.size() - 9), CACHE_MISSING},
        {"<?xml version=\"1.0\"?>\n<!-- a comment that never", CACHE_MISSING},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content);
        std::string path = Write("Weather.Current.CUT.English.xml", c.content);
        ForgetCacheCheck(path.c_str());
        EXPECT_EQ(c.fresh, CheckCacheDocument(path.c_str(), 31));
        SetFileAge(path, 40 * 60);
        ForgetCacheCheck(path.c_str());
        EXPECT_EQ(c.fresh == CACHE_FRESH ? CACHE_STALE : CACHE_MISSING,
                  CheckCacheDocument(path.c_str(), 31));
    }
}

TEST_F(Cache, FileExistsLeavesNothingOpen) {
    std::string path = Write("x.xml", "x");
    EXPECT_EQ(1, FileExists(path.c_str()));
    EXPECT_TRUE(OsFileDelete(path.c_str())); // fails on Windows if a handle were left open
    EXPECT_EQ(0, FileExists(path.c_str()));
}

static std::string WithoutTag(const std::string &address, int *tag) {
    size_t at = address.rfind("random=");
    *tag = TextToInt(address.c_str() + at + 7);
    return address.substr(0, at + 7);
}

TEST_F(Cache, RequestAddressesByteForByte) {
    int tag = -1;
    SetCall("90210", "English");
    EXPECT_EQ("http://feed.test:8470/weather/local/90210?cc=*&unit=s&par=4827316590&key="
              "c7e2a19f40b63d85&random=",
              WithoutTag(CurrentAddress(), &tag));
    EXPECT_TRUE(tag >= 0 && tag <= 999);
    SetCall("90210", "Metric");
    EXPECT_EQ("http://feed.test:8470/weather/local/90210?dayf=5&unit=m&prod=xoap&par=4827316590&"
              "key=c7e2a19f40b63d85&random=",
              WithoutTag(ForecastAddress(), &tag));
    EXPECT_EQ("http://feed.test:8470/weather/mpdwcr/narrative?locid=90210&adprodname=lap_golf_"
              "main&channel=golf&random=",
              WithoutTag(DetailsAddress(), &tag));
    EXPECT_EQ("http://feed.test:8470/weather/local/90210?hbhf=12&unit=m&random=",
              WithoutTag(HourlyAddress(), &tag));
    EXPECT_TRUE(tag >= 0 && tag <= 999);
}

TEST_F(Cache, AddressesCarryTheLocationIdUpperCasedAndEncoded) {
    int tag;
    SetCall("usny0996", "English");
    EXPECT_NE(std::string::npos, WithoutTag(CurrentAddress(), &tag).find("/local/USNY0996?"));
    EXPECT_STREQ("USNY0996", Plugin.callLocationId);
    SetCall("a b&c=d/../e", "English");
    EXPECT_NE(std::string::npos,
              WithoutTag(HourlyAddress(), &tag).find("/local/A%20B%26C%3DD%2F..%2FE?hbhf="));
}

TEST_F(Cache, UnitCodes) {
    for (const char *metric : {"metric", "METRIC", "Metric"}) {
        SetCall("1", metric);
        EXPECT_STREQ("m", UnitCode()) << metric;
    }
    SetCall("1", "english");
    EXPECT_STREQ("s", UnitCode());
    SetCall("1", "Both");
    EXPECT_STREQ("English", UnitCode()); // the default unit's own text
}
