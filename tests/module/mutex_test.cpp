// The mutex frame: exports wait at most five seconds for a holder in another process, answer
// with their own time-out text, and take over a mutex whose holder died.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "support/plugin_copy.h"

class MutexFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        plugin.UseServiceAt();
        ASSERT_TRUE(plugin.Load());
        ready = sandbox::Join(plugin.folder, "held");
    }
    PluginCopy plugin{"mutex"};
    std::string ready;
};

TEST_F(MutexFrame, ExportsTimeOutWhileAnotherProcessHoldsTheMutex) {
    long holder = sandbox::StartProcess(
        {sandbox::ProgramPath("nimbrel-mutex-holder"), "hold", "8000", ready});
    ASSERT_GE(holder, 0);
    ASSERT_TRUE(sandbox::WaitForFile(ready, 20000));

    // Exports that never wait answer at once.
    EXPECT_STREQ("Nimbrel", plugin.Info(0));
    EXPECT_NE(std::string::npos, std::string(plugin.Call0("init")).find("CurrentConditions"));
    std::string help = plugin.Call0("ListCCTerms");
    EXPECT_EQ(0u, help.find("Use these terms in your CurrentConditions expression:"));
    EXPECT_EQ(0u, std::string(plugin.Call0("ListHourlyTerms")).find("Use these terms"));

    long long start = sandbox::NowMilliseconds();
    auto icon = std::async(std::launch::async, [&] {
        return std::string(plugin.loaded.Get<Export2>("IconCC")("", ""));
    });
    auto conditions = std::async(std::launch::async, [&] {
        return std::string(plugin.loaded.Get<Export4>("CurrentConditions")("<temp>", "", "", ""));
    });
    auto radar = std::async(std::launch::async, [&] {
        return std::string(plugin.loaded.Get<Export1>("LocalRadar")(""));
    });
    EXPECT_EQ("mutex timeout", icon.get());
    EXPECT_EQ("ERROR(9): Mutex timeout.", conditions.get());
    EXPECT_EQ("ERROR(9): Mutex timeout.", radar.get());
    long long waited = sandbox::NowMilliseconds() - start;
    EXPECT_GE(waited, 4500);
    EXPECT_LT(waited, 7900);

    EXPECT_EQ(0, sandbox::WaitProcess(holder));
    EXPECT_STRNE("mutex timeout", plugin.loaded.Get<Export2>("IconCC")("", ""));
}

TEST_F(MutexFrame, AMutexAbandonedByADeadHolderIsTakenOver) {
    long holder =
        sandbox::StartProcess({sandbox::ProgramPath("nimbrel-mutex-holder"), "abandon", ready});
    ASSERT_GE(holder, 0);
    EXPECT_EQ(0, sandbox::WaitProcess(holder));
    ASSERT_TRUE(sandbox::Exists(ready));

    long long start = sandbox::NowMilliseconds();
    EXPECT_STRNE("mutex timeout", plugin.loaded.Get<Export2>("IconCC")("", ""));
    EXPECT_LT(sandbox::NowMilliseconds() - start, 4500);
    // The take-over released it properly: the next caller gets it too.
    EXPECT_STRNE("ERROR(9): Mutex timeout.",
                 plugin.loaded.Get<Export4>("CurrentConditions")("<temp>", "", "", ""));
}
