// The seam's threads and claims: a bounded wait for a thread, a handle let go before its thread
// ends, and claims that exclude every other holder and die with their process.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/platform.h"
#include "support/sandbox.h"

namespace {

struct Gate {
    std::atomic<int> open{0};
    std::atomic<int> ran{0};
};

void WaitAtGate(void *context) {
    Gate *gate = (Gate *)context;
    while (!gate->open.load()) {
        OsSleep(5);
    }
    gate->ran.store(1);
}

} // namespace

TEST(Threads, WaitIsBoundedAndSeesTheBodyEnd) {
    Gate gate;
    OsThread *thread = OsThreadStart(WaitAtGate, &gate);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(OUTCOME_PENDING, OsThreadWait(thread, 50)); // the body is still waiting at the gate
    EXPECT_EQ(OUTCOME_PENDING, OsThreadWait(thread, 0));
    gate.open.store(1);
    EXPECT_EQ(OUTCOME_DONE, OsThreadWait(thread, 10000));
    EXPECT_EQ(1, gate.ran.load());
    EXPECT_EQ(OUTCOME_DONE, OsThreadWait(thread, 0)); // and stays ended
    OsThreadRelease(thread);
    EXPECT_EQ(OUTCOME_DONE, OsThreadWait(nullptr, 0));
}

TEST(Threads, AHandleLetGoEarlyLeavesTheThreadToFinish) {
    static Gate gate; // outlives the test: the thread may still read it after the release
    OsThread *thread = OsThreadStart(WaitAtGate, &gate);
    ASSERT_NE(nullptr, thread);
    OsThreadRelease(thread);
    gate.open.store(1);
    for (int i = 0; i < 2000 && !gate.ran.load(); i++) {
        OsSleep(5);
    }
    EXPECT_EQ(1, gate.ran.load());
}

TEST(Claims, ExcludeEveryOtherHandleUntilReleased) {
    std::string folder = sandbox::MakeFolder("claims");
    std::string path = sandbox::Join(folder, "a.claim");
    OsFileLock *first = OsFileLockTry(path.c_str());
    ASSERT_NE(nullptr, first);
    EXPECT_TRUE(sandbox::Exists(path));
    EXPECT_EQ(nullptr, OsFileLockTry(path.c_str())); // the same process's second handle too
    OsFileLock *other = OsFileLockTry(sandbox::Join(folder, "b.claim").c_str());
    EXPECT_NE(nullptr, other); // another file is another claim
    OsFileLockRelease(first);
    OsFileLock *again = OsFileLockTry(path.c_str());
    EXPECT_NE(nullptr, again);
    OsFileLockRelease(again);
    OsFileLockRelease(other);
    OsFileLockRelease(nullptr);
    EXPECT_EQ(nullptr, OsFileLockTry(sandbox::Join(folder, "none/c.claim").c_str()));
    sandbox::RemoveTree(folder);
}

TEST(Claims, AProcessThatEndsWithoutReleasingLeavesNoClaimBehind) {
    std::string folder = sandbox::MakeFolder("claims-process");
    std::string path = sandbox::Join(folder, "a.claim");
    std::string ready = sandbox::Join(folder, "ready");
    long holder = sandbox::StartProcess(
        {sandbox::ProgramPath("nimbrel-mutex-holder"), "claim", path, "700", ready});
    ASSERT_GE(holder, 0);
    ASSERT_TRUE(sandbox::WaitForFile(ready, 20000));
    EXPECT_EQ(nullptr, OsFileLockTry(path.c_str()));
    EXPECT_EQ(0, sandbox::WaitProcess(holder));
    OsFileLock *after = OsFileLockTry(path.c_str());
    EXPECT_NE(nullptr, after);
    OsFileLockRelease(after);
    sandbox::RemoveTree(folder);
}
