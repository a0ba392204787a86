// The expression functions through the loaded module, as the host calls them, against the
// local weather service.
#include <gtest/gtest.h>

#include <string>

#include "support/plugin_copy.h"
#include "support/sandbox.h"
#include "support/services.h"

class Expressions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        plugin.UseServiceAt(services::SimHost(), "[Unit]\nDefaultUnit=English\n");
        ASSERT_TRUE(plugin.Load());
    }
    std::string Current(const char *expression, const char *id, const char *unit) {
        return plugin.loaded.Get<Export4>("CurrentConditions")(expression, id, unit, "1");
    }
    PluginCopy plugin{"expressions"};
};

TEST_F(Expressions, EveryFunctionFillsItsTerms) {
    std::string english = Current("<temp><tempunit> <wind> <windunit>", "E2E01", "English");
    std::string metric = Current("<temp><tempunit> <wind> <windunit>", "E2E01", "Metric");
    EXPECT_NE(std::string::npos, english.find("F ")) << english;
    EXPECT_NE(std::string::npos, english.find(" mph")) << english;
    EXPECT_NE(std::string::npos, metric.find("C ")) << metric;
    EXPECT_NE(std::string::npos, metric.find(" km/h")) << metric;
    EXPECT_EQ(std::string::npos, (english + metric).find('<'));
    EXPECT_EQ(1, services::SimRequests("/weather/local/E2E01?cc=*&unit=s&"));
    EXPECT_EQ(1, services::SimRequests("/weather/local/E2E01?cc=*&unit=m&"));

    auto forecast = plugin.loaded.Get<Export5>("Forecast");
    std::string day = forecast("<dayname>: <high>/<low> <cond>", "E2E01", "2", "", "1");
    EXPECT_EQ(std::string::npos, day.find('<')) << day;
    EXPECT_STREQ("ERROR(10): Invalid day number.", forecast("<high>", "E2E01", "6", "", "1"));
    std::string hour =
        plugin.loaded.Get<Export5>("Hourly")("<hourname> <temp> <cond>", "E2E01", "3", "", "1");
    EXPECT_EQ(std::string::npos, hour.find('<')) << hour;
    std::string now = plugin.loaded.Get<Export4>("Now")("<name>: <temp>", "E2E01", "", "1");
    EXPECT_TRUE(now.find("Today: ") == 0 || now.find("Tonight: ") == 0) << now;
    std::string later = plugin.loaded.Get<Export4>("Later")("<name>", "E2E01", "", "1");
    EXPECT_TRUE(later == "Tonight" || later == "Tomorrow") << later;
}

TEST_F(Expressions, TheServicesErrorsComeBackAsTexts) {
    EXPECT_EQ("ERROR: Invalid location provided.", Current("<temp>", "SIMERROR", ""));
    // An empty answer is no document: with nothing cached, the value cannot be had.
    EXPECT_EQ("N/A", Current("<temp>", "SIMEMPTY", ""));
    EXPECT_EQ("N/A", Current("<temp>", "SIM500", ""));
    EXPECT_EQ("None", Current("<alert>", "E2E02", ""));
    EXPECT_NE("None", Current("<alert>", "SIMALERT", ""));
}

TEST_F(Expressions, OneCallIsHeldForOneDownloadBudgetOnly) {
    // A forecast in both units with its narrative needs five files; against a dripping server
    // each would take its whole bound in turn.
    auto forecast = plugin.loaded.Get<Export5>("Forecast");
    int asked = services::SimRequests("SIMDRIP");
    long long start = sandbox::NowMilliseconds();
    EXPECT_EQ("N/A N/A N/A",
              std::string(forecast("<high> <low> <details>", "SIMDRIP", "2", "Both", "1")));
    EXPECT_LT(sandbox::NowMilliseconds() - start, 20000);
    EXPECT_EQ(asked + 1, services::SimRequests("SIMDRIP"));
}

// A module whose settings name only where the provider's services are: everything else is the
// default, as on a fresh install.
TEST(ProviderModule, AFreshInstallShowsTheWeatherOfItsDefaultPlace) {
    if (services::SimHost().empty()) {
        GTEST_SKIP() << "the local weather service is not running";
    }
    PluginCopy plugin("fresh-provider");
    std::string base = "http://" + services::SimHost();
    plugin.WriteSettings("[Service]\nForecastApi=" + base + "/v1/forecast\nGeocodingApi=" + base +
                         "/v1/search\n");
    ASSERT_TRUE(plugin.Load());
    services::SimReset();
    auto current = plugin.loaded.Get<Export4>("CurrentConditions");
    std::string city = current("<city>|<temp>|<cond>", "", "", "1");
    // The service's place for the postal code 90210, and real values.
    EXPECT_EQ(0u, city.find("Ironcrest, Eastvale|")) << city;
    EXPECT_EQ(std::string::npos, city.find("N/A")) << city;
    EXPECT_EQ(1, services::SimRequests("/v1/search?name=90210&count=1&"));
    EXPECT_EQ(1, services::SimRequests("/v1/forecast?latitude=38.5400&longitude=-125.7700&"));
    // Every request of the provider names the plugin and its version.
    EXPECT_EQ("nimbrel/0.99\n", services::SimGet("/_control/agents"));
}
