// The connectivity test: an offline verdict holds for 120 seconds and is then tested again, and
// with a proxy no test is made at all. The clock of the memory is moved by moving the time of
// the last test back, never by waiting.
#include <gtest/gtest.h>

#include <string>

#include "feed/download.h"
#include "feed/query.h"
#include "platform/platform.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

static const uint64_t kSecond = 10000000ull;
static const char kClosed[] = "http://127.0.0.1:9/";

class Connectivity : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("connectivity");
        ResetCoreState(sandbox::Join(folder, "Nimbrel"), services::SimHost());
        reachable = "http://" + services::SimHost() + "/connectivity";
    }
    void TearDown() override {
        if (!folder.empty()) {
            sandbox::RemoveTree(folder);
        }
    }

    void TestAgainst(const std::string &address) {
        CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, address.c_str());
    }
    // Moves the last test `seconds` into the past.
    void AgeLastTest(uint64_t seconds) { Plugin.lastConnectivityTest -= seconds * kSecond; }

    std::string folder, reachable;
};

TEST_F(Connectivity, AnOfflineVerdictHoldsForItsMemoryThenIsTestedAgain) {
    TestAgainst(kClosed);
    EXPECT_EQ(0, IsOnline());
    // The server is reachable now, but within the memory nothing is tested.
    TestAgainst(reachable);
    EXPECT_EQ(0, IsOnline());
    AgeLastTest(119);
    EXPECT_EQ(0, IsOnline());
    int asked = services::SimRequests("/weather/local/CNT01?");
    EXPECT_EQ(TEXT_NOT_AVAILABLE, std::string(QueryCurrent("CNT01", "", "<ut>", "</ut>", 1)));
    EXPECT_EQ(asked, services::SimRequests("/weather/local/CNT01?"));

    // Past it, the next download tests again, finds the network and goes ahead.
    AgeLastTest(2);
    asked = services::SimRequests("/weather/local/CNT02?");
    EXPECT_EQ("F", std::string(QueryCurrent("CNT02", "", "<ut>", "</ut>", 1)));
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/CNT02?"));
    // An online verdict is not kept: the next download tests again and finds the network gone.
    TestAgainst(kClosed);
    EXPECT_EQ(0, IsOnline());
}

TEST_F(Connectivity, WithAProxyNoTestIsMade) {
    if (services::ProxyHost().empty()) {
        GTEST_SKIP() << "no proxy running";
    }
    // The connectivity address is closed, and the last test said offline a moment ago: any test,
    // made or remembered, would stop the download.
    TestAgainst(kClosed);
    EXPECT_EQ(0, IsOnline());
    uint64_t lastTest = Plugin.lastConnectivityTest;
    Plugin.useProxy = 1;
    CopyText(Plugin.proxyAddress, sizeof Plugin.proxyAddress, services::ProxyHost().c_str());
    CopyText(Plugin.proxyUser, sizeof Plugin.proxyUser, "alice");
    CopyText(Plugin.proxyPassword, sizeof Plugin.proxyPassword, "s3cret");
    EXPECT_EQ(1, IsOnline());
    int asked = services::SimRequests("/weather/local/CNT03?");
    EXPECT_EQ("F", std::string(QueryCurrent("CNT03", "", "<ut>", "</ut>", 1)));
    EXPECT_EQ(asked + 1, services::SimRequests("/weather/local/CNT03?"));
    // Nothing was tested, and nothing was remembered.
    EXPECT_EQ(lastTest, Plugin.lastConnectivityTest);
    EXPECT_EQ(0, Plugin.lastConnectivityResult);
}
