// The local radar and custom images against the local weather service: which of the image and
// the local page is fetched for each state of the cache, online and offline, and what comes back.
#include <gtest/gtest.h>

#include <string>

#include "feed/cache.h"
#include "images/radar.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/plugin_copy.h"
#include "support/sandbox.h"
#include "support/services.h"

static const long long kMinute = 60;
static const long long kDay = 24 * 60 * kMinute;

// A cache name made from a caller's spelling: as written on Windows, whose file system matches
// names without case, and upper-cased on POSIX, where two spellings would make two files.
static std::string NameSpelling(const std::string &windows, const std::string &posix) {
#if defined(_WIN32)
    (void)posix;
    return windows;
#else
    (void)windows;
    return posix;
#endif
}

// Counts the service's requests from the moment it is made: the log is shared with every
// other test of the run, and never reset.
struct RequestCount {
    std::string needle;
    int before;
    explicit RequestCount(const std::string &text)
        : needle(text), before(services::SimRequests(text)) {}
    int Since() const { return services::SimRequests(needle) - before; }
};

class Radar : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("radar");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
    }
    void TearDown() override {
        if (!folder.empty()) {
            sandbox::RemoveTree(folder);
        }
    }

    void GoOffline() {
        CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, "http://127.0.0.1:9/");
    }
    std::string RadarFile(const std::string &id) {
        return sandbox::Join(cache, "Radar." + id + ".jpg");
    }
    std::string PageFile(const std::string &id) {
        return sandbox::Join(cache, "Home." + id + ".html");
    }
    std::string Linked(const std::string &path) { return path + "%l" + path; }

    void OldImage(const std::string &id, long long secondsAgo) {
        sandbox::WriteFile(RadarFile(id), "OLD IMAGE");
        SetFileAge(RadarFile(id), secondsAgo);
    }
    // A local page naming `address` as its radar image.
    void Page(const std::string &id, const std::string &address, long long secondsAgo) {
        PageText(id,
                 "<html>var localMap = new mw_propsObj('" + id + "','" + address +
                     "','Local Radar','120','90');</html>",
                 secondsAgo);
    }
    void PageText(const std::string &id, const std::string &text, long long secondsAgo) {
        sandbox::WriteFile(PageFile(id), text);
        SetFileAge(PageFile(id), secondsAgo);
    }
    std::string SimImage(const std::string &name) {
        return "http://" + services::SimHost() + "/images/" + name;
    }
    std::string Local(const char *id) { return LocalRadarLink(id); }

    std::string folder, cache;
};

TEST_F(Radar, AMissingImageIsReadFromANewPageThenServedFresh) {
    RequestCount page("GET /weather/local/rdr01"), image("GET /images/radar/RDR01.png");
    EXPECT_EQ(Linked(RadarFile(NameSpelling("rdr01", "RDR01"))), Local("rdr01"));
    EXPECT_EQ(1, page.Since()); // the ID as the caller gave it, no query, no tag
    EXPECT_EQ(1, image.Since());
    EXPECT_EQ(0u, sandbox::ReadFile(RadarFile("RDR01")).find("\x89PNG"));
    EXPECT_NE(std::string::npos, sandbox::ReadFile(PageFile("RDR01")).find("mw_propsObj("));

    // Fresh: no network at all.
    RequestCount any("/RDR01");
    EXPECT_EQ(Linked(RadarFile("RDR01")), Local("RDR01"));
    EXPECT_EQ(0, any.Since());
    EXPECT_EQ(1, page.Since());
}

TEST_F(Radar, AStaleImageIsFetchedFromTheAddressOfTheCachedPage) {
    OldImage("RDR02", 31 * kMinute);
    Page("RDR02", SimImage("elsewhere-rdr02.png"), kDay - 10 * kMinute);
    RequestCount page("/weather/local/rdr02"), image("/images/elsewhere-rdr02.png");
    EXPECT_EQ(Linked(RadarFile(NameSpelling("rdr02", "RDR02"))), Local("rdr02"));
    EXPECT_EQ(0, page.Since());
    EXPECT_EQ(1, image.Since());
    EXPECT_NE("OLD IMAGE", sandbox::ReadFile(RadarFile("RDR02")));

    // A page over a day old is fetched again with the image.
    OldImage("RDR03", 40 * kMinute);
    Page("RDR03", SimImage("elsewhere-rdr03.png"), kDay + 2 * kMinute);
    RequestCount page3("GET /weather/local/RDR03"), image3("/images/radar/RDR03.png");
    EXPECT_EQ(Linked(RadarFile("RDR03")), Local("RDR03"));
    EXPECT_EQ(1, page3.Since());
    EXPECT_EQ(1, image3.Since());

    // An address beyond the image path field's 259 characters is fetched whole.
    std::string longName = std::string(300, 'x') + ".png";
    OldImage("RDR04", 40 * kMinute);
    Page("RDR04", SimImage(longName), 0);
    RequestCount image4(longName);
    EXPECT_EQ(Linked(RadarFile("RDR04")), Local("RDR04"));
    EXPECT_EQ(1, image4.Since());
}

TEST_F(Radar, OfflineTheCacheDecides) {
    GoOffline();
    // Both stale: the old image, without an error.
    OldImage("RDR10", 2 * kDay);
    Page("RDR10", SimImage("rdr10.png"), 2 * kDay);
    EXPECT_EQ(Linked(RadarFile("RDR10")), Local("RDR10"));
    EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(RadarFile("RDR10")));
    EXPECT_TRUE(sandbox::Exists(PageFile("RDR10")));

    // No image: the page could not be had, or the image could not.
    EXPECT_EQ(TEXT_RADAR_PAGE_FAILED, Local("RDR11"));
    Page("RDR12", SimImage("rdr12.png"), 2 * kDay);
    EXPECT_EQ(TEXT_RADAR_PAGE_FAILED, Local("RDR12"));
    Page("RDR13", SimImage("rdr13.png"), kMinute);
    EXPECT_EQ(TEXT_RADAR_IMAGE_FAILED, Local("RDR13"));
    EXPECT_FALSE(sandbox::Exists(RadarFile("RDR13")));

    // A stale image with no page to read its address from.
    OldImage("RDR14", 2 * kDay);
    EXPECT_EQ(TEXT_RADAR_INVALID_LOCATION, Local("RDR14"));
    EXPECT_FALSE(sandbox::Exists(PageFile("RDR14")));
    EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(RadarFile("RDR14")));
}

TEST_F(Radar, AnEmptyAnswerIsAFailedDownload) {
    // The service answers every address of SIMEMPTY, page and picture, with an empty body.
    std::string emptyImage = SimImage("radar/SIMEMPTY.png");

    // A stale page and a stale image both serve as they were.
    OldImage("SIMEMPTY", 40 * kMinute);
    Page("SIMEMPTY", emptyImage, 2 * kDay);
    std::string page = sandbox::ReadFile(PageFile("SIMEMPTY"));
    uint64_t pageTime = FileTime(PageFile("SIMEMPTY"));
    uint64_t imageTime = FileTime(RadarFile("SIMEMPTY"));
    RequestCount asked("/SIMEMPTY");
    EXPECT_EQ(Linked(RadarFile("SIMEMPTY")), Local("SIMEMPTY"));
    EXPECT_EQ(2, asked.Since()); // the page and the image were both asked for
    EXPECT_EQ(page, sandbox::ReadFile(PageFile("SIMEMPTY")));
    EXPECT_EQ(pageTime, FileTime(PageFile("SIMEMPTY")));
    EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(RadarFile("SIMEMPTY")));
    EXPECT_EQ(imageTime, FileTime(RadarFile("SIMEMPTY")));

    // Without an image, an empty page is the page that could not be had, and an empty image the
    // image that could not; neither leaves a file behind.
    sandbox::RemoveTree(cache);
    ResetCoreState(cache, services::SimHost());
    EXPECT_EQ(TEXT_RADAR_PAGE_FAILED, Local("SIMEMPTY"));
    EXPECT_FALSE(sandbox::Exists(PageFile("SIMEMPTY")));
    ResetCoreState(cache, services::SimHost());
    Page("SIMEMPTY", emptyImage, kMinute);
    EXPECT_EQ(TEXT_RADAR_IMAGE_FAILED, Local("SIMEMPTY"));
    EXPECT_FALSE(sandbox::Exists(RadarFile("SIMEMPTY")));
    EXPECT_TRUE(sandbox::Exists(PageFile("SIMEMPTY")));
}

TEST_F(Radar, APageThatNamesNoImageIsRemoved) {
    GoOffline(); // the pages are fresh: nothing is fetched
    const std::string pages[] = {
        "<html>no properties here</html>",
        "<html>new mw_propsObj('RDR20','http://x/a.png','Local map');</html>", // no end mark
        "<html>new mw_propsObj('RDR20','http://x/a.png Radar</html>",          // one separator
        "<html>new mw_propsObj('RDR20' Radar</html>",                          // none
        "<html>new mw_propsObj('RDR20','','Local Radar');</html>",             // empty address
        "<error>\n  <err type=\"2\">Invalid location provided.</err>\n</error>",
        "",
    };
    for (const std::string &text : pages) {
        PageText("RDR20", text, kMinute);
        EXPECT_EQ(TEXT_RADAR_INVALID_LOCATION, Local("RDR20")) << text;
        EXPECT_FALSE(sandbox::Exists(PageFile("RDR20"))) << text;
    }

    // The service's error document fetched as the page.
    ResetCoreState(cache, services::SimHost());
    EXPECT_EQ(TEXT_RADAR_INVALID_LOCATION, Local("SIMERROR"));
    EXPECT_FALSE(sandbox::Exists(PageFile("SIMERROR")));
}

TEST_F(Radar, AnEmptyLocationIdTakesTheDefault) {
    CopyText(Plugin.defaultLocationId, sizeof Plugin.defaultLocationId, "RDR30");
    RequestCount page("GET /weather/local/RDR30"), image("/images/radar/RDR30.png");
    EXPECT_EQ(Linked(RadarFile("RDR30")), Local(""));
    EXPECT_EQ(1, page.Since());
    EXPECT_EQ(1, image.Since());
    EXPECT_TRUE(sandbox::Exists(PageFile("RDR30")));
}

class CustomImage : public Radar {
  protected:
    std::string Custom(const std::string &nick, const std::string &address, int minutes) {
        return CustomRadarLink(nick.c_str(), address.c_str(), minutes);
    }
    std::string CustomFile(const std::string &name) {
        return sandbox::Join(cache, "Custom.Radar." + name);
    }
};

TEST_F(CustomImage, TheImageIsRefreshedByItsOwnAge) {
    std::string address = SimImage("cst01.gif");
    RequestCount fetched("/images/cst01.gif");
    EXPECT_EQ(CustomFile("SAT.gif") + "%l" + address, Custom("SAT", address, 0));
    EXPECT_EQ(1, fetched.Since());
    // Under a minute old is fresh even for the refresh time 0.
    EXPECT_EQ(CustomFile("SAT.gif") + "%l" + address, Custom("SAT", address, 0));
    EXPECT_EQ(1, fetched.Since());
    SetFileAge(CustomFile("SAT.gif"), kMinute + 5);
    Custom("SAT", address, 0);
    EXPECT_EQ(2, fetched.Since());
    SetFileAge(CustomFile("SAT.gif"), 9 * kMinute);
    Custom("SAT", address, 10);
    EXPECT_EQ(2, fetched.Since());

    // Two nicknames keep two files of one address.
    Custom("SAT2", address, 10);
    EXPECT_EQ(3, fetched.Since());
    EXPECT_TRUE(sandbox::Exists(CustomFile("SAT2.gif")));
    EXPECT_TRUE(sandbox::Exists(CustomFile("SAT.gif")));
}

TEST_F(CustomImage, AFailedRefreshIsReportedEvenWithAnOldCopy) {
    std::string address = SimImage("cst02.png");
    sandbox::WriteFile(CustomFile("RAIN.png"), "OLD IMAGE");
    SetFileAge(CustomFile("RAIN.png"), 20 * kMinute);
    GoOffline();
    EXPECT_EQ(TEXT_CUSTOM_IMAGE_FAILED, Custom("RAIN", address, 15));
    EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(CustomFile("RAIN.png")));
    EXPECT_EQ(CustomFile("RAIN.png") + "%l" + address, Custom("RAIN", address, 30));
}

TEST_F(CustomImage, AnEmptyAnswerIsAFailedDownload) {
    std::string address = SimImage("radar/SIMEMPTY.png");
    EXPECT_EQ(TEXT_CUSTOM_IMAGE_FAILED, Custom("BLANK", address, 5));
    EXPECT_FALSE(sandbox::Exists(CustomFile("BLANK.png")));

    // An old copy keeps its content and its age, and serves once it counts as fresh.
    ResetCoreState(cache, services::SimHost());
    sandbox::WriteFile(CustomFile("BLANK.png"), "OLD IMAGE");
    SetFileAge(CustomFile("BLANK.png"), 20 * kMinute);
    uint64_t time = FileTime(CustomFile("BLANK.png"));
    EXPECT_EQ(TEXT_CUSTOM_IMAGE_FAILED, Custom("BLANK", address, 15));
    EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(CustomFile("BLANK.png")));
    EXPECT_EQ(time, FileTime(CustomFile("BLANK.png")));
    EXPECT_EQ(CustomFile("BLANK.png") + "%l" + address, Custom("BLANK", address, 30));
}

TEST_F(CustomImage, NamesKeepTheCallersSpellingWhereTheFileSystemAllows) {
    std::string address = SimImage("cst06.gif");
    std::string image =
        sandbox::Join(cache, NameSpelling("Custom.Radar.sat.gif", "Custom.Radar.SAT.gif"));
    RequestCount fetched("/images/cst06.gif");
    EXPECT_EQ(image + "%l" + address, Custom("sat", address, 5));
    // Another spelling names the same file, which is fresh.
    std::string other =
        sandbox::Join(cache, NameSpelling("Custom.Radar.Sat.gif", "Custom.Radar.SAT.gif"));
    EXPECT_EQ(other + "%l" + address, Custom("Sat", address, 5));
    EXPECT_EQ(1, fetched.Since());

    std::string radar = sandbox::Join(cache, NameSpelling("Radar.abc12.jpg", "Radar.ABC12.jpg"));
    EXPECT_EQ(Linked(radar), Local("abc12"));
    RequestCount any("/ABC12");
    EXPECT_EQ(Linked(RadarFile("ABC12")), Local("ABC12"));
    EXPECT_EQ(0, any.Since());
}

TEST_F(CustomImage, TheExtensionIsTheEndOfThePathAsAFileNameCanHoldIt) {
    // Each image is cached fresh under the name expected; offline, any other name would fail.
    GoOffline();
    const struct {
        const char *address;
        const char *extension;
    } cases[] = {
        {"http://x/sat.gif?a=1", "gif"}, // the query names no file type
        {"http://x/radar.php?id=3#top", "php"},
        {"http://x/loop.png#frame?2", "png"}, // nor does the fragment
        {"http://x/sat.gif", "gif"},
        {"http://x/pic.jpeg", "peg"},
        {"http://x/a~b!", "~b!"}, // characters a name may hold stay
        {"http://x/s(1)", "(1)"},
        {"http://x/y<z>", "_z_"}, // those it may not become "_"
        {"http://x/a:b|c", "b_c"},
        {"http://x/q\"*\\", "___"},
        {"http://x/a\tb", "a_b"},
        {"http://x/pic.%lx", "_lx"}, // no "%l" for the host to split at
        {"ab", "ab"},
    };
    for (const auto &c : cases) {
        std::string image = CustomFile(std::string("EXT.") + c.extension);
        sandbox::WriteFile(image, "IMAGE");
        EXPECT_EQ(image + "%l" + c.address, Custom("EXT", c.address, 5)) << c.address;
        sandbox::RemoveTree(image);
    }
}

TEST_F(CustomImage, NamesStayInTheCacheFolderAndWithinTheirBuffers) {
    // The extension is the address's last three characters, made safe.
    EXPECT_EQ(CustomFile("A.peg") + "%l" + SimImage("cst03.jpeg"),
              Custom("A", SimImage("cst03.jpeg"), 5));
    EXPECT_EQ(CustomFile("B.x_y") + "%l" + SimImage("cst03/x/y"),
              Custom("B", SimImage("cst03/x/y"), 5));
    EXPECT_EQ(TEXT_CUSTOM_IMAGE_FAILED, Custom("C", "ab", 5));
    EXPECT_EQ(TEXT_CUSTOM_IMAGE_FAILED, Custom("C", "", 5));

    // A nickname that would leave the folder is escaped.
    std::string link = Custom("../UP", SimImage("cst04.png"), 5);
    EXPECT_EQ(CustomFile("..%2FUP.png") + "%l" + SimImage("cst04.png"), link);

    RequestCount any("/images/cst05");
    EXPECT_EQ(TEXT_CUSTOM_NICKNAME_TOO_LONG,
              Custom(std::string(300, 'n'), SimImage("cst05.png"), 5));
    EXPECT_EQ(TEXT_CUSTOM_ADDRESS_TOO_LONG,
              Custom("long", SimImage("cst05/" + std::string(2100, 'a') + ".png"), 5));
    EXPECT_EQ(0, any.Since());
}

// The two exports as the host calls them.
TEST(RadarExports, ThroughTheLoadedModule) {
    if (services::SimHost().empty()) {
        GTEST_SKIP() << "the local weather service is not running";
    }
    PluginCopy plugin("radar-exports");
    plugin.UseServiceAt(services::SimHost(), "[LocationID]\nDefaultLocationID=rdr40\n");
    ASSERT_TRUE(plugin.Load());
    auto local = plugin.loaded.Get<Export1>("LocalRadar");
    auto custom = plugin.loaded.Get<Export3>("CustomRadar");
    std::string cacheFolder = sandbox::Join(plugin.temp, "Nimbrel");

    std::string radar = sandbox::Join(cacheFolder, "Radar.RDR40.jpg");
    EXPECT_EQ(radar + "%l" + radar, std::string(local(NULL)));
    EXPECT_TRUE(sandbox::Exists(radar));

    std::string address = "http://" + services::SimHost() + "/images/cst40.gif";
    RequestCount fetched("/images/cst40.gif");
    std::string image =
        sandbox::Join(cacheFolder, NameSpelling("Custom.Radar.sky.gif", "Custom.Radar.SKY.gif"));
    EXPECT_EQ(image + "%l" + address, std::string(custom("sky", address.c_str(), "soon")));
    EXPECT_EQ(1, fetched.Since());
    EXPECT_STREQ(TEXT_CUSTOM_IMAGE_FAILED, custom(NULL, NULL, NULL));
}
