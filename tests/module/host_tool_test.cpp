// The stand-in host: argument counts taken from the prompts, raw and escaped output, and its
// refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/plugin_copy.h"

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
