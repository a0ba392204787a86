#include "plugin/frame.h"

#include "feed/cache.h"
#include "feed/download.h"
#include "base/state.h"
#include "plugin/lifecycle.h"

// The threads of this process first, then the processes: a call that gives the plugin mutex up
// while it waits for a refresh keeps its own process's other threads out all the same, but
// only for a file with a copy (REFRESH_WAIT_MS): one that waits for a missing file stops
// when a thread waits here. Both
// waits together last at most FRAME_WAIT_MS; the clock is read only when the first one waits.
FrameEntry EnterFrame(void) {
    unsigned left = FRAME_WAIT_MS;
    enum OsWaitResult threads = OsMutexWait(Plugin.threadsLock, 0);
    if (threads == OS_WAIT_TIMEOUT) {
        uint64_t start = OsMonotonicMs();
        NoteWaitingCaller(1);
        threads = OsMutexWait(Plugin.threadsLock, FRAME_WAIT_MS);
        NoteWaitingCaller(0);
        if (threads == OS_WAIT_TIMEOUT) {
            return FRAME_TIMED_OUT;
        }
        uint64_t waited = OsMonotonicMs() - start;
        left = waited < FRAME_WAIT_MS ? FRAME_WAIT_MS - (unsigned)waited : 0;
    }
    FrameEntry entry = FRAME_UNLOCKED;
    switch (OsMutexWait(Plugin.mutex, left)) {
    case OS_WAIT_OWNED:
    case OS_WAIT_ABANDONED:
        entry = FRAME_OWNED;
        break;
    case OS_WAIT_TIMEOUT:
        if (threads != OS_WAIT_FAILED) {
            OsMutexRelease(Plugin.threadsLock);
        }
        return FRAME_TIMED_OUT;
    case OS_WAIT_FAILED:
        break;
    }
    Plugin.mutexHeld = entry == FRAME_OWNED;
    // Before the settings: an "Auto" unit read from a changed file asks the locale too.
    OsLocaleCallBegin();
    ReadChangedSettings();
    StartCallDownloads();
    StartCallCacheChecks();
    return entry;
}

void LeaveFrame(FrameEntry entry) {
    if (entry == FRAME_TIMED_OUT) {
        return;
    }
    EndCallDownloads();
    EndCallCacheChecks();
    OsLocaleCallEnd();
    // A call whose wait for a refresh could not take the mutex again goes on without it.
    if (Plugin.mutexHeld) {
        OsMutexRelease(Plugin.mutex);
    }
    Plugin.mutexHeld = 0;
    OsMutexRelease(Plugin.threadsLock);
}
