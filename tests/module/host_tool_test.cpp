// The stand-in host: argument counts taken from the prompts, raw and escaped output, the JSON
// object for status bars, and its refusals.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

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
    EXPECT_EQ(out.size() - 28, out.find("<windunit> - windspeed unit\n"));
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

// A panel that runs one host process per meter, against a service that accepts and never
// answers, with a stale copy in the cache.
TEST(HostToolOneShot, AnswersFromTheCopyAtOnceAndOneProcessRefreshesForAll) {
    if (services::SimHost().empty()) {
        GTEST_SKIP() << "the local weather service is not running";
    }
    PluginCopy plugin("host-one-shot");
    plugin.UseServiceAt(services::SimHost(), "[Unit]\nDefaultUnit=English\n");
    std::string cache = sandbox::Join(plugin.temp, "Nimbrel");
    sandbox::MakeFolderAt(cache);
    std::string path = sandbox::Join(cache, "Weather.Current.SIMSTALL.English.xml");
    sandbox::WriteFile(path, "<weather><head><ut>F</ut></head><cc><tmp>-7</tmp><t>Stale "
                             "Fog</t></cc></weather>");
    uint64_t old = FileTime(path) - 3ull * 3600ull * 10000000ull;
    ASSERT_TRUE(SetFileTimeTo(path, old));
    sandbox::SetEnv("TEMP", plugin.temp);
#if !defined(_WIN32)
    int asked = services::SimRequests("/weather/local/SIMSTALL?cc=*");
#endif
    for (int meter = 0; meter < 3; meter++) {
        std::string out;
        long long start = sandbox::NowMilliseconds();
        EXPECT_EQ(0, sandbox::RunProcess({sandbox::ProgramPath("nimbrel-host"), "--module",
                                          plugin.module, "CurrentConditions", "<temp> <cond>",
                                          "SIMSTALL", "English", "0"},
                                         "", &out));
        EXPECT_LT(sandbox::NowMilliseconds() - start, 4000) << meter;
        EXPECT_EQ("-7 Stale Fog\n", out) << meter;
    }
#if !defined(_WIN32)
    // The refresh was handed to a child process, which finishes it (it fails within its bound)
    // after its parent returned; its failure holds for every later process.
    ASSERT_TRUE(sandbox::WaitForFile(
        sandbox::Join(cache, "Refresh/Weather.Current.SIMSTALL.English.xml.failed"), 30000));
    std::string out;
    sandbox::RunProcess({sandbox::ProgramPath("nimbrel-host"), "--module", plugin.module,
                         "CurrentConditions", "<temp>", "SIMSTALL", "English", "0"},
                        "", &out);
    EXPECT_EQ("-7\n", out);
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/SIMSTALL?cc=*"));
#endif
    EXPECT_EQ(old, FileTime(path));
}
