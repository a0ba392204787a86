// The seam's threads, claims and the mutex of one process: a bounded wait for a thread, a handle
// let go before its thread ends, claims that exclude every other holder and die with their
// process, and a process's own mutex that its owner may take again and that keeps every other
// thread out until its last release.
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

// A thread that tries a process's mutex: first without waiting, then with a bound.
struct Contender {
    OsMutex *mutex;
    unsigned bound;
    std::atomic<int> untimed{-1}, timed{-1}; // the OsWaitResult of each wait
    std::atomic<int> trying{0};
};

void Contend(void *context) {
    Contender *c = (Contender *)context;
    c->untimed.store(OsMutexWait(c->mutex, 0));
    if (c->untimed.load() == OS_WAIT_OWNED) {
        OsMutexRelease(c->mutex);
    }
    c->trying.store(1);
    c->timed.store(OsMutexWait(c->mutex, c->bound));
    if (c->timed.load() == OS_WAIT_OWNED) {
        OsMutexRelease(c->mutex);
    }
}

// Many threads adding to one count under the mutex, with a pause inside to invite a race.
struct Counting {
    OsMutex *mutex;
    int count; // guarded by the mutex
    std::atomic<int> failures{0};
};

void CountUnderTheMutex(void *context) {
    Counting *c = (Counting *)context;
    for (int i = 0; i < 200; i++) {
        if (OsMutexWait(c->mutex, 10000) != OS_WAIT_OWNED) {
            c->failures++;
            continue;
        }
        int seen = c->count;
        if (i % 16 == 0) {
            OsSleep(0);
        }
        c->count = seen + 1;
        OsMutexRelease(c->mutex);
    }
}

} // namespace

TEST(ProcessMutex, ItsOwnerTakesItAgainAndOthersWaitForTheLastRelease) {
    OsMutex *mutex = OsMutexOpen(NULL);
    ASSERT_NE(nullptr, mutex);
    ASSERT_EQ(OS_WAIT_OWNED, OsMutexWait(mutex, 0));
    ASSERT_EQ(OS_WAIT_OWNED, OsMutexWait(mutex, 0)); // nested, as a Windows mutex allows

    // One release of two leaves it owned: the other thread times out at once and at its bound.
    OsMutexRelease(mutex);
    Contender kept{mutex, 100};
    OsThread *thread = OsThreadStart(Contend, &kept);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(OUTCOME_DONE, OsThreadWait(thread, 10000));
    OsThreadRelease(thread);
    EXPECT_EQ(OS_WAIT_TIMEOUT, kept.untimed.load());
    EXPECT_EQ(OS_WAIT_TIMEOUT, kept.timed.load());

    // A thread waiting with a long bound gets it as soon as the last release comes.
    Contender waiting{mutex, 20000};
    thread = OsThreadStart(Contend, &waiting);
    ASSERT_NE(nullptr, thread);
    while (!waiting.trying.load()) {
        OsSleep(1);
    }
    OsSleep(50); // into its wait
    uint64_t released = OsMonotonicMs();
    OsMutexRelease(mutex);
    ASSERT_EQ(OUTCOME_DONE, OsThreadWait(thread, 10000));
    OsThreadRelease(thread);
    EXPECT_EQ(OS_WAIT_TIMEOUT, waiting.untimed.load());
    EXPECT_EQ(OS_WAIT_OWNED, waiting.timed.load());
    EXPECT_LT(OsMonotonicMs() - released, 5000u);

    // Released by its last owner, it is free again; a release without ownership changes nothing.
    EXPECT_EQ(OS_WAIT_OWNED, OsMutexWait(mutex, 0));
    OsMutexRelease(mutex);
    OsMutexRelease(mutex);
    EXPECT_EQ(OS_WAIT_OWNED, OsMutexWait(mutex, 0));
    OsMutexRelease(mutex);
    OsMutexClose(mutex);
}

TEST(ProcessMutex, KeepsEveryOtherThreadOutWhileOwned) {
    Counting counting{OsMutexOpen(NULL), 0};
    ASSERT_NE(nullptr, counting.mutex);
    OsThread *threads[4];
    for (OsThread *&thread : threads) {
        thread = OsThreadStart(CountUnderTheMutex, &counting);
        ASSERT_NE(nullptr, thread);
    }
    for (OsThread *thread : threads) {
        EXPECT_EQ(OUTCOME_DONE, OsThreadWait(thread, 60000));
        OsThreadRelease(thread);
    }
    EXPECT_EQ(0, counting.failures.load());
    EXPECT_EQ(4 * 200, counting.count);
    OsMutexClose(counting.mutex);
}

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
