// The stand-in host: argument counts taken from the prompts, raw and escaped output, the JSON
// object for status bars, and its refusals.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "support/core_state.h"
#include "support/plugin_copy.h"
#include "support/services.h"

#if defined(_WIN32)
#include <windows.h>
#endif

class HostTool : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args, std::string *output, const std::string &input = "") {
        args.insert(args.begin(),
                    {sandbox::ProgramPath("nimbrel-host"), "--module", plugin.module});
        sandbox::SetEnv("TEMP", plugin.temp);
        plugin.UseServiceAt();
        return sandbox::RunProcess(args, input, output);
    }
    PluginCopy plugin{"host"};
};

TEST_F(HostTool, PrintsTheResultAsRawBytesAndALineFeed) {
    std::string out;
    EXPECT_EQ(0, Run({"getinfo", "0"}, &out));
    EXPECT_EQ("Nimbrel\n", out);
    EXPECT_EQ(0, Run({"getparam", "IconForecast"}, &out));
    EXPECT_EQ("Location ID|day number|day or night\n(1 for day, 0 for night)|Path to the Images|\n",
              out);
    EXPECT_EQ(0, Run({"ListCCTerms"}, &out));
    EXPECT_EQ(0u, out.find("Use these terms in your CurrentConditions expression:\n\n<temp>"));
    std::string last = "<pollenragweed> - each plant's pollen level\n";
    EXPECT_EQ(out.size() - last.size(), out.find(last));
    EXPECT_EQ(0, Run({"init"}, &out));
    EXPECT_EQ(0u, out.find("CurrentConditions|Forecast|"));
}

TEST_F(HostTool, RefusesWrongCountsAndUnknownFunctions) {
    std::string out;
    EXPECT_EQ(2, Run({"CurrentConditions", "<temp>", "90210"}, &out));
    EXPECT_EQ("", out);
    EXPECT_EQ(2, Run({"ListCCTerms", "extra"}, &out));
    EXPECT_EQ(2, Run({"NoSuchFunction"}, &out));
    EXPECT_EQ(2, Run({"getparam"}, &out));
    EXPECT_EQ(2, Run({}, &out));
}

TEST_F(HostTool, ListsFunctionsAndInfo) {
    std::string out;
    EXPECT_EQ(0, Run({"--list"}, &out));
    EXPECT_NE(std::string::npos, out.find("CurrentConditions (4 arguments)\n  1. your weather "
                                          "expression\n"));
    EXPECT_NE(std::string::npos, out.find("  3. Unit Type\\nEnglish, Metric or Both\n"));
    EXPECT_NE(std::string::npos, out.find("ListHourlyTerms (0 arguments)\n"));
    EXPECT_EQ(0, Run({"--info"}, &out));
    EXPECT_NE(std::string::npos, out.find("0 name       Nimbrel\n"));
    EXPECT_NE(std::string::npos, out.find("2 version    0.99\n"));
}

TEST_F(HostTool, BatchRunsOneCallPerLineInOneLoad) {
    std::string out;
    EXPECT_EQ(0, Run({"--batch", "-"}, &out,
                     "getinfo\t1\ngetparam\tForecast\r\n\ngetparam\tforecast\nListCCTerms\n"));
    EXPECT_EQ("vexlin\n"
              "your weather expression|Location ID|day number (1 to 5)|Unit Type\\nEnglish, "
              "Metric or Both|Show degree symbol\\nEnter 0 for No|\n"
              "\n"
              "Use these terms in your CurrentConditions expression:\\n\\n<temp> - "
              "temperature\\n<feel>",
              out.substr(0, out.find(" - feels like")));
    // A bad line is refused on its own; the batch goes on and ends with status 2.
    EXPECT_EQ(2, Run({"--batch", "-"}, &out, "IconCC\tonly-one\ngetinfo\t2\n"));
    EXPECT_EQ("\n0.99\n", out);
}

// The object a status bar reads: one call's text, a second call's tooltip, each a valid JSON
// string whatever bytes the module returned.
class HostToolJson : public HostTool {
  protected:
    // Runs --json and parses its one line; fails the test when it is not a JSON object.
    rapidjson::Document RunJson(const std::vector<std::string> &words, int expectedStatus = 0) {
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), words.begin(), words.end());
        std::string out;
        EXPECT_EQ(expectedStatus, Run(args, &out));
        rapidjson::Document json;
        EXPECT_EQ('\n', out.empty() ? '\0' : out.back());
        EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
        json.Parse(out.c_str());
        EXPECT_FALSE(json.HasParseError()) << out;
        EXPECT_TRUE(json.IsObject()) << out;
        return json;
    }
    static std::string Member(const rapidjson::Document &json, const char *name) {
        if (!json.IsObject() || !json.HasMember(name) || !json[name].IsString()) {
            return "(absent)";
        }
        return std::string(json[name].GetString(), json[name].GetStringLength());
    }
};

TEST_F(HostToolJson, EscapesEveryByteAndBreaksTheTooltipAtPercentB) {
    // MoonIcon returns its folder argument as it came, so any bytes reach the output.
    const std::string folder = "a\"b\\c\td\x01%be";
    rapidjson::Document json =
        RunJson({"MoonIcon", folder, "0", "--tooltip", "MoonIcon", "x%by%bz", "0"});
    std::string text = Member(json, "text");
    EXPECT_EQ(0u, text.find("a\"b\\c\td\x01 e")) << text; // %b is a blank in the bar
    EXPECT_NE(std::string::npos, text.find("31_"));
    std::string tooltip = Member(json, "tooltip");
    EXPECT_EQ(0u, tooltip.find("x\ny\nz")) << tooltip;
    EXPECT_EQ("(absent)", Member(json, "class"));

    // The term list has line feeds of its own; without --tooltip there is no tooltip.
    json = RunJson({"ListCCTerms"});
    EXPECT_EQ(0u, Member(json, "text")
                      .find("Use these terms in your CurrentConditions "
                            "expression:\n\n<temp>"));
    EXPECT_FALSE(json.HasMember("tooltip"));
}

TEST_F(HostToolJson, WritesUtf8WhateverTheModuleReturned) {
#if defined(_WIN32)
    // The module's text is in the ANSI code page; in Windows-1252, byte E9 is "é".
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the ANSI code page is not Windows-1252";
    }
    EXPECT_EQ(0u, Member(RunJson({"MoonIcon", "caf\xE9", "0"}), "text").find("caf\xC3\xA9"));
#else
    // UTF-8 passes unchanged; a byte outside any sequence becomes U+FFFD.
    EXPECT_EQ(0u, Member(RunJson({"MoonIcon", "caf\xC3\xA9", "0"}), "text").find("caf\xC3\xA9"));
    EXPECT_EQ(0u, Member(RunJson({"MoonIcon", "caf\xE9!", "0"}), "text").find("caf\xEF\xBF\xBD!"));
    EXPECT_EQ(0u, Member(RunJson({"MoonIcon", "\xED\xA0\x80\xC0\xAF", "0"}), "text")
                      .find("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD/"));
#endif
}

TEST_F(HostToolJson, MarksAFailedCallAndRefusesBadUsage) {
    // The service's port is closed: the value cannot be had.
    rapidjson::Document json = RunJson({"CurrentConditions", "<temp>", "", "", "1"});
    EXPECT_EQ("N/A", Member(json, "text"));
    EXPECT_EQ("error", Member(json, "class"));

    std::string out;
    EXPECT_EQ(2, Run({"--json"}, &out));
    EXPECT_EQ(2, Run({"--json", "ListCCTerms", "--tooltip"}, &out));
    EXPECT_EQ(2, Run({"--json", "--tooltip", "ListCCTerms"}, &out));
    EXPECT_EQ(2, Run({"--json", "MoonIcon", "only-one"}, &out));
    EXPECT_EQ(2, Run({"--json", "ListCCTerms", "--tooltip", "MoonIcon"}, &out));
    EXPECT_EQ("", out);
}

// A panel that runs one host process per meter, with a stale copy of the current conditions of
// a place in the cache.
class HostToolOneShot : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
    }

    // The copy's cache holds the current file of `id`, three hours old, at `path`.
    void PlaceStale(const std::string &id) {
        plugin.UseServiceAt(services::SimHost(), "[Unit]\nDefaultUnit=English\n");
        std::string cache = sandbox::Join(plugin.temp, "Nimbrel");
        sandbox::MakeFolderAt(cache);
        path = sandbox::Join(cache, "Weather.Current." + id + ".English.xml");
        sandbox::WriteFile(path, "<weather><head><ut>F</ut></head><cc><tmp>-7</tmp><t>Stale "
                                 "Fog</t></cc></weather>");
        old = FileTime(path) - 3ull * 3600ull * 10000000ull;
        ASSERT_TRUE(SetFileTimeTo(path, old));
        sandbox::SetEnv("TEMP", plugin.temp);
    }

    // One host process making one call of the current conditions of `id`: its output, and how
    // long it took in *took.
    std::string OneShot(const char *expression, const char *id, long long *took = nullptr) {
        std::string out;
        long long start = sandbox::NowMilliseconds();
        EXPECT_EQ(
            0, sandbox::RunProcess({sandbox::ProgramPath("nimbrel-host"), "--module", plugin.module,
                                    "CurrentConditions", expression, id, "English", "0"},
                                   "", &out));
        if (took != nullptr) {
            *took = sandbox::NowMilliseconds() - start;
        }
        return out;
    }

    PluginCopy plugin{"host-one-shot"};
    std::string path; // the stale file
    uint64_t old = 0; // its time
};

// A call's bound far above the module's own wait: only a call that waited for the network
// comes near it.
static const long long kOneShotBoundMs = 4000;

// Against a service that accepts and never answers.
TEST_F(HostToolOneShot, AnswersFromTheCopyAtOnceAndOneProcessRefreshesForAll) {
    PlaceStale("SIMSTALL");
    int asked = services::SimRequests("/weather/local/SIMSTALL?cc=*");
    for (int meter = 0; meter < 3; meter++) {
        long long took = 0;
        EXPECT_EQ("-7 Stale Fog\n", OneShot("<temp> <cond>", "SIMSTALL", &took)) << meter;
        EXPECT_LT(took, kOneShotBoundMs) << meter;
    }
    // The refresh was handed to a child process, which finishes it (it fails within its bound)
    // after its parent returned; its failure holds for every later process.
    ASSERT_TRUE(sandbox::WaitForFile(
        sandbox::Join(plugin.temp, "Nimbrel/Refresh/Weather.Current.SIMSTALL.English.xml.failed"),
        30000));
    EXPECT_EQ("-7\n", OneShot("<temp>", "SIMSTALL"));
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/SIMSTALL?cc=*"));
    EXPECT_EQ(old, FileTime(path));
}

// A service that answers, but only after the call has returned with the cached values: the
// child that made the call finishes the refresh, and the next process shows the new values.
TEST_F(HostToolOneShot, TheChildFinishesASlowRefreshForTheNextCall) {
    PlaceStale("SIMSLOW");
    int asked = services::SimRequests("/weather/local/SIMSLOW?cc=*");
    long long took = 0;
    EXPECT_EQ("-7 Stale Fog\n", OneShot("<temp> <cond>", "SIMSLOW", &took));
    EXPECT_LT(took, kOneShotBoundMs);
    long long end = sandbox::NowMilliseconds() + 30000;
    while (FileTime(path) == old && sandbox::NowMilliseconds() < end) {
        sandbox::SleepMilliseconds(50);
    }
    ASSERT_NE(old, FileTime(path)) << "the refresh never completed";
    std::string fresh = OneShot("<temp> <cond>", "SIMSLOW");
    EXPECT_NE("-7 Stale Fog\n", fresh);
    EXPECT_EQ(std::string::npos, fresh.find("N/A")) << fresh;
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/SIMSLOW?cc=*"));
}

TEST_F(HostTool, ListShowsEachTermListWithItsLineBreaks) {
    std::string out;
    EXPECT_EQ(0, Run({"--list"}, &out));
    // The forecast terms are joined by "%b", the host's line break: each stands on a line.
    size_t list = out.find("ListForecastTerms (0 arguments)\n");
    ASSERT_NE(std::string::npos, list) << out;
    EXPECT_NE(std::string::npos, out.find("\n    <high> - high temp for chosen day\n"
                                          "    <low> - low temp for chosen day\n",
                                          list));
    EXPECT_NE(std::string::npos, out.find("\n    <precip> - ", out.find("ListHourlyTerms (0")));
    EXPECT_NE(std::string::npos, out.find("\n    <temp> - temperature\n"));
    EXPECT_EQ(std::string::npos, out.find("%b")) << out;
}

// --check: the module's settings, each service they name asked once, and the cache folder.
class HostToolCheck : public HostTool {
  protected:
    void SetUp() override {
        sim = services::SimHost();
        if (sim.empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
    }
    // Runs --check with the settings `settings` and TEMP `temp` (the copy's own by default).
    int Check(const std::string &settings, std::string *out, const std::string &temp = "") {
        plugin.WriteSettings(settings);
        sandbox::SetEnv("TEMP", temp.empty() ? plugin.temp : temp);
        return sandbox::RunProcess(
            {sandbox::ProgramPath("nimbrel-host"), "--module", plugin.module, "--check"}, "", out);
    }
    // The settings of the provider with every service on the local one; `more` adds or
    // overrides keys of [Service] (the later of two equal keys is not read).
    std::string ProviderSettings(const std::string &more = "", const std::string &id = "London") {
        std::string base = "http://" + sim;
        return "[LocationID]\nDefaultLocationID=" + id + "\n[Service]\n" + more +
               "ForecastApi=" + base + "/v1/forecast\nMetNorwayApi=" + base +
               "/weatherapi/locationforecast/2.0/complete\nGeocodingApi=" + base +
               "/v1/search\nAlertsApi=" + base + "/alerts/active\nMeteoAlarmApi=" + base +
               "/feeds/meteoalarm-legacy-atom-\nRadarApi=" + base + "/public/weather-maps.json\n";
    }
    // The lines of one service's report: from "NAME: " to the next service.
    static std::string Section(const std::string &out, const std::string &name) {
        size_t start = out.find("\n" + name + ": ");
        if (start == std::string::npos) {
            return "(no " + name + ")";
        }
        size_t end = out.find("\n", out.find("  result: ", start));
        return out.substr(start + 1, end == std::string::npos ? end : end - start);
    }
    std::string sim;
};

TEST_F(HostToolCheck, ReportsEveryHealthyServiceOfTheProviderAndTheCacheFolder) {
    std::string out;
    EXPECT_EQ(0, Check(ProviderSettings(), &out)) << out;
    EXPECT_NE(std::string::npos, out.find("settings: " + plugin.settings + "\n")) << out;
    EXPECT_NE(std::string::npos,
              out.find("\nweather from: open-meteo,met-norway, default Location ID LONDON\n"));
    EXPECT_NE(std::string::npos, out.find("\nproxy: none\n"));
    EXPECT_NE(std::string::npos, out.find("cache folder: " + sandbox::Join(plugin.temp, "Nimbrel") +
                                          "\n  result: ok, exists and writable\n"))
        << out;
    std::string search = Section(out, "geocoding");
    EXPECT_EQ(0u, search.find("geocoding: http://" + sim + "/v1/search?name=LONDON&")) << search;
    EXPECT_NE(std::string::npos, search.find("\n  proxy: none\n  result: ok, HTTP 200; LONDON is "))
        << search;
    // Each source of the list has its forecast checked.
    for (const char *name : {"forecast (open-meteo)", "forecast (met-norway)", "alerts",
                             "radar index", "connectivity"}) {
        std::string section = Section(out, name);
        EXPECT_NE(std::string::npos, section.find("http://" + sim + "/")) << section;
        EXPECT_NE(std::string::npos, section.find("\n  result: ok, HTTP 200")) << section;
    }
    EXPECT_NE(std::string::npos, Section(out, "forecast (met-norway)")
                                     .find("/weatherapi/locationforecast/2.0/complete?lat="));
    EXPECT_NE(std::string::npos, out.find("\neverything ok: 6 services answered"));
}

TEST_F(HostToolCheck, NamesTheExactFailureOfEachService) {
    // The search stalls, the alerts' port is closed, the radar's host has no address, and the
    // TEMP folder is a file, so no cache folder can be made in it; the forecast still answers.
    // The radar host's first label is longer than the 63 bytes a DNS label may hold, so the
    // resolver refuses it before it sends any query: the test asks no name server.
    const std::string unresolvable = std::string(70, 'a') + ".invalid";
    std::string notAFolder = sandbox::Join(plugin.folder, "temp-file");
    sandbox::WriteFile(notAFolder, "x");
#if !defined(_WIN32)
    // On Linux a TEMP that cannot hold the cache gives way to the user's own cache folder:
    // that is a file too here, and so is the home it would otherwise be made in.
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    sandbox::SetEnv("XDG_CACHE_HOME", notAFolder);
    sandbox::SetEnv("HOME", notAFolder);
    const std::string expectedFolder = "cache folder: none\n  result: FAILED, ";
#else
    const std::string expectedFolder =
        "cache folder: " + sandbox::Join(notAFolder, "Nimbrel") + "\n  result: FAILED, ";
#endif
    std::string out;
    int status = Check(ProviderSettings("AlertsApi=http://127.0.0.1:9/alerts/active\n"
                                        "RadarApi=http://" +
                                            unresolvable + "/maps.json\n",
                                        "SIMSTALL"),
                       &out, notAFolder);
#if !defined(_WIN32)
    sandbox::UnsetEnv("XDG_CACHE_HOME");
    sandbox::SetEnv("HOME", savedHome);
#endif
    EXPECT_EQ(1, status) << out;
    EXPECT_NE(std::string::npos, Section(out, "geocoding").find("\n  result: FAILED, time-out: "))
        << out;
    EXPECT_NE(std::string::npos, Section(out, "alerts").find("\n  result: FAILED, connect: "))
        << out;
    EXPECT_NE(std::string::npos, Section(out, "radar index").find("\n  result: FAILED, DNS: "))
        << out;
    EXPECT_NE(std::string::npos,
              Section(out, "forecast (open-meteo)").find("\n  result: ok, HTTP 200"))
        << out;
    EXPECT_NE(std::string::npos, out.find(expectedFolder)) << out;
    EXPECT_NE(std::string::npos,
              out.find("\nPROBLEMS: 3 of 6 services failed, the cache folder is not usable\n"));
}

TEST_F(HostToolCheck, AsksTheFeedHostsAndCountsAnErrorStatus) {
    std::string out;
    plugin.UseServiceAt(sim);
    std::string feed = sandbox::ReadFile(plugin.settings);
    EXPECT_EQ(0, Check(feed, &out)) << out;
    EXPECT_NE(std::string::npos, out.find("\nweather from: feed, default Location ID 90210\n"));
    for (const char *name : {"feed", "narrative", "local page", "connectivity"}) {
        std::string section = Section(out, name);
        EXPECT_NE(std::string::npos, section.find(": http://" + sim + "/")) << section;
        EXPECT_NE(std::string::npos, section.find("\n  result: ok, HTTP 200")) << section;
    }
    // A server error is a failure of the feed; the connectivity test needs only an answer.
    EXPECT_EQ(1, Check(feed + "[LocationID]\nDefaultLocationID=SIM500\n", &out)) << out;
    EXPECT_NE(std::string::npos, Section(out, "feed").find("\n  result: FAILED, HTTP 500")) << out;
    EXPECT_NE(std::string::npos, Section(out, "connectivity").find("\n  result: ok, HTTP "));
}

#if defined(_WIN32)
static void SetHostProxy(const std::string &server, const std::string &port) {
    HKEY key;
    const char *path = "Software\\Orvane Studio\\General";
    if (server.empty()) {
        RegDeleteKeyA(HKEY_CURRENT_USER, path);
        return;
    }
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_SET_VALUE,
                                             NULL, &key, NULL));
    const std::pair<const char *, std::string> values[] = {{"UseProxy", "1"},
                                                           {"ProxyServer", server},
                                                           {"ProxyPort", port},
                                                           {"ProxyUsername", "alice"},
                                                           {"ProxyPassword", "s3cret"}};
    for (const auto &value : values) {
        RegSetValueExA(key, value.first, 0, REG_SZ, (const BYTE *)value.second.c_str(),
                       (DWORD)value.second.size() + 1);
    }
    RegCloseKey(key);
}
#else
static void SetHostProxy(const std::string &server, const std::string &port) {
    if (server.empty()) {
        sandbox::UnsetEnv("http_proxy");
    } else {
        sandbox::SetEnv("http_proxy", "http://alice:s3cret@" + server + ":" + port);
    }
}
#endif

TEST_F(HostToolCheck, NamesTheProxyOfEachRequestButNeverItsPassword) {
    std::string proxy = services::ProxyHost();
    if (proxy.empty()) {
        GTEST_SKIP() << "no proxy on loopback (tinyproxy)";
    }
    size_t colon = proxy.find(':');
    SetHostProxy(proxy.substr(0, colon), proxy.substr(colon + 1));
    std::string out;
    int status = Check(ProviderSettings(), &out);
    SetHostProxy("", "");
    EXPECT_EQ(0, status) << out;
    EXPECT_NE(std::string::npos, out.find("\nproxy: " + proxy + " (user alice)\n")) << out;
    for (const char *name :
         {"geocoding", "forecast (open-meteo)", "forecast (met-norway)", "alerts", "radar index"}) {
        EXPECT_NE(std::string::npos,
                  Section(out, name).find("\n  proxy: " + proxy +
                                          " (user alice)\n  result: ok, HTTP 200"))
            << out;
    }
    EXPECT_NE(std::string::npos,
              Section(out, "connectivity").find("; not used: downloads go through the proxy"));
    EXPECT_EQ(std::string::npos, out.find("s3cret")) << out;
}
