#include "plugin/frame.h"

#include "feed/cache.h"
#include "feed/download.h"
#include "base/state.h"

FrameEntry EnterFrame(void) {
    switch (OsMutexWait(Plugin.mutex, FRAME_WAIT_MS)) {
    case OS_WAIT_OWNED:
    case OS_WAIT_ABANDONED:
        StartCallDownloads();
        StartCallCacheChecks();
        return FRAME_OWNED;
    case OS_WAIT_TIMEOUT:
        return FRAME_TIMED_OUT;
    case OS_WAIT_FAILED:
        break;
    }
    StartCallDownloads();
    StartCallCacheChecks();
    return FRAME_UNLOCKED;
}

void LeaveFrame(FrameEntry entry) {
    if (entry != FRAME_TIMED_OUT) {
        EndCallDownloads();
        EndCallCacheChecks();
    }
    if (entry == FRAME_OWNED) {
        OsMutexRelease(Plugin.mutex);
    }
}

const char *PendingExport(const char *timeoutText) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return timeoutText;
    }
    LeaveFrame(entry);
    return "N/A";
}
