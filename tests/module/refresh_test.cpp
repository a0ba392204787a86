// A panel that never freezes, through the module's exports: with a cached copy, a service that
// stalls or drips never holds a call and never shows in its answer; a missing file waits and is
// then not available; the failure memory is the cache folder's, for every module and process;
// once the service answers again, a call shows the new values; and the module survives being
// unloaded while a refresh runs, without a torn file.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/plugin_copy.h"
#include "support/services.h"

static const char kStaleCurrent[] =
    "<weather><head><ut>F</ut><ud>mi</ud><us>mph</us><up>in</up></head><loc><dnam>Oldtown "
    "(OLD)</dnam><tm>1:15 PM</tm><sunr>6:35 AM</sunr><suns>5:05 PM</suns><zone>-5</zone></loc>"
    "<cc><lsup>1/23/05 10:45 PM EST</lsup><obst>Old Airport</obst><tmp>-7</tmp><flik>-9</flik>"
    "<t>Stale Fog</t><icon>20</icon><hmid>45</hmid></cc></weather>";
static const char kEnglish[] = "[Unit]\nDefaultUnit=English\n";
static const char kCachedText[] = "-7F Stale Fog";

typedef void(MODULE_CALL *CleanupExport)(void);
#if defined(_WIN32)
static const char kCleanupExport[] = "_cleanup@0";
#else
static const char kCleanupExport[] = "NimbrelCleanup";
#endif

// A call's bound far above the module's own wait: only a call that waited for the network
// comes near it.
static const long long kAtOnceBoundMs = 3000;

class Refresh : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
    }

    // A cached current file of `id`, three hours old.
    static std::string PlaceStale(PluginCopy &plugin, const std::string &id) {
        std::string cache = sandbox::Join(plugin.temp, "Nimbrel");
        sandbox::MakeFolderAt(cache);
        std::string path = sandbox::Join(cache, "Weather.Current." + id + ".English.xml");
        sandbox::WriteFile(path, kStaleCurrent);
        AgeFile(path);
        return path;
    }

    static void AgeFile(const std::string &path);

    static std::string Conditions(PluginCopy &plugin, const std::string &id,
                                  long long *took = nullptr) {
        long long start = sandbox::NowMilliseconds();
        std::string text = plugin.loaded.Get<Export4>("CurrentConditions")(
            "<temp><tempunit> <cond>", id.c_str(), "English", "0");
        if (took != nullptr) {
            *took = sandbox::NowMilliseconds() - start;
        }
        return text;
    }

    static std::string MemoryPath(PluginCopy &plugin, const std::string &id) {
        return sandbox::Join(plugin.temp,
                             "Nimbrel/Refresh/Weather.Current." + id + ".English.xml.failed");
    }
};

#if defined(_WIN32)
#include <windows.h>
void Refresh::AgeFile(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= 3ull * 3600ull * 10000000ull;
    now.dwLowDateTime = time.LowPart;
    now.dwHighDateTime = time.HighPart;
    SetFileTime(file, NULL, NULL, &now);
    CloseHandle(file);
}
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
void Refresh::AgeFile(const std::string &path) {
    struct timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3 * 3600;
    times[1] = times[0];
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}
#endif

TEST_F(Refresh, AStallingOrDrippingServiceNeverHoldsACallThatHasACopy) {
    PluginCopy plugin("refresh-stall");
    plugin.UseServiceAt(services::SimHost(), kEnglish);
    std::string stall = PlaceStale(plugin, "SIMSTALL");
    std::string drip = PlaceStale(plugin, "SIMDRIP");
    ASSERT_TRUE(plugin.Load());
    for (const char *id : {"SIMSTALL", "SIMDRIP"}) {
        SCOPED_TRACE(id);
        for (int call = 0; call < 3; call++) {
            long long took = 0;
            EXPECT_EQ(kCachedText, Conditions(plugin, id, &took));
            EXPECT_LT(took, kAtOnceBoundMs);
        }
    }
    // The icon and the forecast of the same place answer too: the forecast, missing, waits for
    // its download within the call's budget and is then not available.
    long long start = sandbox::NowMilliseconds();
    std::string icon = plugin.loaded.Get<Export2>("IconCC")("SIMSTALL", "");
    EXPECT_LT(sandbox::NowMilliseconds() - start, kAtOnceBoundMs);
    EXPECT_EQ(std::string::npos, icon.find("timeout")) << icon;
    start = sandbox::NowMilliseconds();
    std::string day =
        plugin.loaded.Get<Export5>("Forecast")("<high>", "SIMSTALL", "1", "English", "1");
    long long took = sandbox::NowMilliseconds() - start;
    EXPECT_EQ("N/A", day);
    EXPECT_GE(took, 1000); // it did wait for the network
    EXPECT_LT(took, 20000);
    EXPECT_EQ(kStaleCurrent, sandbox::ReadFile(stall));
    EXPECT_EQ(kStaleCurrent, sandbox::ReadFile(drip));
}

TEST_F(Refresh, AThreadNeverWaitsBehindAnotherThreadsMissingFile) {
    // One thread asks for a forecast that is missing, from a stalled service; another thread of
    // the process asks for the current conditions, which have a copy, meanwhile. It must neither
    // wait for the first one's transfer nor time out on the lock behind it.
    PluginCopy plugin("refresh-sibling");
    plugin.UseServiceAt(services::SimHost(), kEnglish);
    PlaceStale(plugin, "SIMSTALL");
    ASSERT_TRUE(plugin.Load());
    std::string day;
    std::thread missing([&] {
        day = plugin.loaded.Get<Export5>("Forecast")("<high>", "SIMSTALL", "1", "English", "1");
    });
    sandbox::SleepMilliseconds(500);
    long long took = 0;
    EXPECT_EQ(kCachedText, Conditions(plugin, "SIMSTALL", &took));
    EXPECT_LT(took, kAtOnceBoundMs);
    missing.join();
    EXPECT_EQ("N/A", day);
}

TEST_F(Refresh, TheFailureMemoryIsSharedAndTheNextCallAfterItShowsNewValues) {
    if (services::RawHost().empty()) {
        GTEST_SKIP() << "no raw listener";
    }
    // The raw listener's RAWTRICKLE answers one byte of its headers every 300 ms: a hung service.
    PluginCopy hung("refresh-hung");
    hung.UseServiceAt(services::RawHost(), kEnglish);
    std::string path = PlaceStale(hung, "RAWTRICKLE");
    ASSERT_TRUE(hung.Load());
    long long took = 0;
    EXPECT_EQ(kCachedText, Conditions(hung, "RAWTRICKLE", &took));
    EXPECT_LT(took, kAtOnceBoundMs);
    // The refresh goes on by itself, fails within its bound and is remembered.
    ASSERT_TRUE(sandbox::WaitForFile(MemoryPath(hung, "RAWTRICKLE"), 30000));
    EXPECT_EQ(kCachedText, Conditions(hung, "RAWTRICKLE"));

    // Another module (as another process would be) with the same cache folder, and a service
    // that answers at once: within the memory nothing is asked.
    PluginCopy healthy("refresh-healthy");
    healthy.UseServiceAt(services::SimHost(), kEnglish);
    healthy.temp = hung.temp;
    ASSERT_TRUE(healthy.Load());
    int asked = services::SimRequests("/weather/local/RAWTRICKLE?cc=*");
    EXPECT_EQ(kCachedText, Conditions(healthy, "RAWTRICKLE"));
    EXPECT_EQ(asked, services::SimRequests("/weather/local/RAWTRICKLE?cc=*"));

    // Past the two minutes (the remembered time moved back), the next call asks, and its new
    // values come in the same call, or within a few calls when the start-up of the system's
    // network library is slow.
    sandbox::WriteFile(MemoryPath(hung, "RAWTRICKLE"), "0");
    std::string text = Conditions(healthy, "RAWTRICKLE");
    for (int call = 0; call < 50 && text == kCachedText; call++) {
        sandbox::SleepMilliseconds(100);
        text = Conditions(healthy, "RAWTRICKLE");
    }
    EXPECT_NE(kCachedText, text);
    EXPECT_EQ(std::string::npos, text.find("N/A")) << text;
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/RAWTRICKLE?cc=*"));
    EXPECT_NE(std::string::npos, sandbox::ReadFile(path).find("</weather>"));
    hung.Unload();
}

TEST_F(Refresh, UnloadingWhileARefreshRunsLeavesTheModuleAndTheCacheWhole) {
    PluginCopy plugin("refresh-unload");
    plugin.UseServiceAt(services::SimHost(), kEnglish);
    std::string drip = PlaceStale(plugin, "SIMDRIP");
    std::string stall = PlaceStale(plugin, "SIMSTALL");
    for (int round = 0; round < 4; round++) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(plugin.Load());
        // A refresh starts and is left running (or is somebody else's already) as the module
        // goes away.
        EXPECT_EQ(kCachedText, Conditions(plugin, round % 2 ? "SIMSTALL" : "SIMDRIP"));
        plugin.Unload();
        EXPECT_EQ(kStaleCurrent, sandbox::ReadFile(drip));
        EXPECT_EQ(kStaleCurrent, sandbox::ReadFile(stall));
    }
    // Loaded again, it answers as ever.
    ASSERT_TRUE(plugin.Load());
    EXPECT_EQ(kCachedText, Conditions(plugin, "SIMSTALL"));
    EXPECT_STREQ("Nimbrel", plugin.Info(0));
}

// A refresh keeps the module loaded across the host's unload, so the next load runs no
// start-up of its own. The user edits the settings in between: the next call shows them, and no
// later shutdown writes the old ones over the edit.
TEST_F(Refresh, ALoadAfterAnUnloadWhileARefreshRunsReadsTheEditedSettings) {
    PluginCopy plugin("refresh-reload");
    // A copy for each default unit: the call's probe asks the default one.
    std::string stale = PlaceStale(plugin, "SIMSTALL");
    std::string metric = stale.substr(0, stale.find(".English.xml")) + ".Metric.xml";
    sandbox::WriteFile(metric, kStaleCurrent);
    AgeFile(metric);
    const char *const units[] = {"English", "Metric"};
    const char *const marks[] = {"F", "C"};
    std::string last;
    for (int round = 0; round < 4; round++) {
        SCOPED_TRACE(round);
        last = std::string("[Unit]\nDefaultUnit=") + units[round % 2] +
               "\n[Forecast]\nMaxDays=" + std::to_string(3 + round) + "\n";
        plugin.UseServiceAt(services::SimHost(), last);
        ASSERT_TRUE(plugin.Load());
        EXPECT_EQ(marks[round % 2], std::string(plugin.loaded.Get<Export4>("CurrentConditions")(
                                        "<tempunit>", "LC1001", "", "0")));
        EXPECT_NE(std::string::npos, std::string(plugin.Call1("getparam", "Forecast"))
                                         .find("(1 to " + std::to_string(3 + round) + ")"));
        // A refresh that stalls is left running as the host unloads the module.
        EXPECT_EQ(kCachedText, Conditions(plugin, "SIMSTALL"));
        plugin.Unload();
        // Whatever the unload wrote (nothing, while the module stays loaded), the edit stands.
        EXPECT_NE(std::string::npos, sandbox::ReadFile(plugin.settings)
                                         .find(std::string("DefaultUnit=") + units[round % 2]));
    }

    // At the process's end the module shuts down (its cleanup runs then): the user's edit since
    // the last reading stays as it is.
    ASSERT_TRUE(plugin.Load());
    EXPECT_EQ("C", std::string(plugin.loaded.Get<Export4>("CurrentConditions")("<tempunit>",
                                                                               "LC1001", "", "0")));
    const std::string edited = "; by hand\n" + last + "[General]\nShowMoonPhase=0\n";
    sandbox::WriteFile(plugin.settings, edited);
    plugin.loaded.Get<CleanupExport>(kCleanupExport)();
    plugin.Unload();
    EXPECT_EQ(edited, sandbox::ReadFile(plugin.settings));
}
