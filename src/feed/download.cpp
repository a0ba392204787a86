#include "feed/download.h"

#include <string.h>

#include "feed/cache.h"
#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "provider/provider.h"

static const char kPartName[] = "download.part"; // beside the target, in the same folder

typedef struct BodyTarget {
    OsFile *file;
    uint64_t written; // bytes stored so far
    int failed;       // a short write, or a body past the limit
} BodyTarget;

static int StoreBodyPiece(void *context, const char *bytes, size_t count) {
    BodyTarget *target = (BodyTarget *)context;
    if (target->written + count > DOWNLOAD_BODY_LIMIT ||
        OsFileWrite(target->file, bytes, count) != count) {
        target->failed = 1;
        return 0;
    }
    target->written += count;
    return 1;
}

static FailedDownload *FindFailure(const char *path) {
    for (int i = 0; i < FAILED_DOWNLOAD_SLOTS; i++) {
        if (strcmp(Plugin.failedDownloads[i].path, path) == 0) {
            return &Plugin.failedDownloads[i];
        }
    }
    return NULL;
}

static int FailedRecently(const char *path, uint64_t now) {
    FailedDownload *failure = FindFailure(path);
    return failure != NULL && now >= failure->time && now - failure->time < OFFLINE_MEMORY_TICKS;
}

// Remembers a failure, in the slot of the same file or else the oldest one.
static void RememberFailure(const char *path, uint64_t now) {
    FailedDownload *slot = FindFailure(path);
    if (slot == NULL) {
        slot = &Plugin.failedDownloads[0];
        for (int i = 1; i < FAILED_DOWNLOAD_SLOTS && slot->path[0] != '\0'; i++) {
            FailedDownload *candidate = &Plugin.failedDownloads[i];
            if (candidate->path[0] == '\0' || candidate->time < slot->time) {
                slot = candidate;
            }
        }
    }
    CopyText(slot->path, sizeof slot->path, path);
    slot->time = now;
}

static void ForgetFailure(const char *path) {
    FailedDownload *failure = FindFailure(path);
    if (failure != NULL) {
        failure->path[0] = '\0';
        failure->time = 0;
    }
}

int IsOnline(void) {
    uint64_t now = OsUtcNow();
    if (Plugin.useProxy) {
        return 1;
    }
    if (now < Plugin.lastConnectivityTest + OFFLINE_MEMORY_TICKS &&
        Plugin.lastConnectivityResult == 0) {
        return 0;
    }
    Plugin.lastConnectivityTest = now;
    if (!OsInternetConnected()) {
        Plugin.lastConnectivityResult = 0;
        return 0;
    }
    Plugin.lastConnectivityResult = OsCheckConnection(Plugin.connectivityUrl, CONNECTIVITY_TEST_MS);
    return Plugin.lastConnectivityResult;
}

// The deadline of a call that has not started a download yet. Its budget starts with its first
// download, a few microseconds of work after it took the mutex: a warm call, which downloads
// nothing, then never reads the clock.
static const uint64_t kBudgetNotStarted = UINT64_MAX;

void StartCallDownloads(void) {
    Plugin.callDownloadDeadline = kBudgetNotStarted;
}

void EndCallDownloads(void) {
    Plugin.callDownloadDeadline = 0;
}

// What is left of the call's budget, in milliseconds; outside a call, more than any bound.
static uint64_t CallBudgetLeft(void) {
    if (Plugin.callDownloadDeadline == 0) {
        return UINT64_MAX;
    }
    uint64_t now = OsMonotonicMs();
    if (Plugin.callDownloadDeadline == kBudgetNotStarted) {
        Plugin.callDownloadDeadline = now + CALL_DOWNLOAD_BUDGET_MS;
    }
    return now < Plugin.callDownloadDeadline ? Plugin.callDownloadDeadline - now : 0;
}

static unsigned AtMost(unsigned bound, uint64_t left) {
    return left < bound ? (unsigned)left : bound;
}

// The user agent of every request: the feed's "nimbrel", or the provider's agent with the
// version, which the public services ask for.
static const char *DownloadUserAgent(void) {
    return Plugin.provider == PROVIDER_FEED ? DOWNLOAD_USER_AGENT : PROVIDER_USER_AGENT;
}

// The request for the download address, within `totalMs`.
static OsHttpRequest DownloadRequest(unsigned totalMs) {
    OsHttpRequest request;
    request.address = Plugin.downloadAddress;
    request.userAgent = DownloadUserAgent();
    request.useProxy = Plugin.useProxy;
    request.proxyAddress = Plugin.proxyAddress;
    request.proxyUser = Plugin.proxyUser;
    request.proxyPassword = Plugin.proxyPassword;
    request.connectTimeoutMs = AtMost(DOWNLOAD_CONNECT_MS, totalMs);
    request.readTimeoutMs = AtMost(DOWNLOAD_READ_MS, totalMs);
    request.totalTimeoutMs = totalMs;
    return request;
}

// Runs the transfer into the temporary file and puts it in place, within `totalMs`. Returns 1 on
// success; 0 when the body broke off, was empty or came with another status than success, and
// then the temporary file is gone and the target untouched.
static int Transfer(const char *partPath, unsigned totalMs) {
    BodyTarget target = {OsFileCreate(partPath), 0, 0};
    if (target.file == NULL) {
        return 0;
    }
    OsHttpRequest request = DownloadRequest(totalMs);
    int status = 0;
    enum OsHttpResult result = OsHttpGet(&request, StoreBodyPiece, &target, &status);
    int closed = OsFileClose(target.file);
    // An error page never takes the place of a good file, and neither does an empty body: a
    // success status with nothing behind it is a server that had nothing to give, not a document.
    int whole = result == OS_HTTP_COMPLETE && !target.failed && closed && target.written > 0 &&
                status >= 200 && status <= 299;
    if (whole && OsFileReplace(partPath, Plugin.downloadPath)) {
        return 1;
    }
    OsFileDelete(partPath);
    return 0;
}

// Whether a download may start now: not failed lately, enough of the call's budget left, and
// online. Returns the time it may take, or 0 when it may not start.
static unsigned DownloadAllowance(void) {
    if (FailedRecently(Plugin.downloadPath, OsUtcNow()) ||
        CallBudgetLeft() < CALL_DOWNLOAD_MIN_START_MS || !IsOnline()) {
        return 0;
    }
    return AtMost(DOWNLOAD_TOTAL_MS, CallBudgetLeft());
}

// Only a download that had its whole bound tells against the server.
static void RememberUnlessCut(unsigned totalMs) {
    if (totalMs == DOWNLOAD_TOTAL_MS) {
        RememberFailure(Plugin.downloadPath, OsUtcNow());
    }
}

void RememberDownloadFailure(const char *key) {
    RememberFailure(key, OsUtcNow());
}

// A piece of an answer; past the answer's limit the text refuses it, which stops the transfer.
static int KeepAnswerPiece(void *context, const char *bytes, size_t count) {
    return GrowTextAppendBytes((GrowText *)context, bytes, count);
}

int FetchAnswer(const char *key, const char *address, GrowText *body, size_t limit, int *status) {
    GrowTextInit(body, limit);
    *status = 0;
    CopyText(Plugin.downloadAddress, sizeof Plugin.downloadAddress, address);
    CopyText(Plugin.downloadPath, sizeof Plugin.downloadPath, key);
    if (Plugin.downloadPath[0] == '\0' || Plugin.downloadAddress[0] == '\0') {
        return 1;
    }
    unsigned totalMs = DownloadAllowance();
    if (totalMs == 0) {
        return 1;
    }
    OsHttpRequest request = DownloadRequest(totalMs);
    enum OsHttpResult result = OsHttpGet(&request, KeepAnswerPiece, body, status);
    if (result != OS_HTTP_COMPLETE || body->failed || body->length == 0) {
        RememberUnlessCut(totalMs);
        return 1;
    }
    ForgetFailure(Plugin.downloadPath);
    return 0;
}

int FetchToFile(const char *path, const char *address) {
    CopyText(Plugin.downloadAddress, sizeof Plugin.downloadAddress, address);
    CopyText(Plugin.downloadPath, sizeof Plugin.downloadPath, path);
    char partPath[PATH_CAPACITY];
    if (Plugin.downloadPath[0] == '\0' || Plugin.downloadAddress[0] == '\0' ||
        !PartFilePath(Plugin.downloadPath, kPartName, partPath, sizeof partPath)) {
        return 1;
    }
    unsigned totalMs = DownloadAllowance();
    if (totalMs == 0) {
        return 1;
    }
    int whole = Transfer(partPath, totalMs);
    ForgetCacheCheck(Plugin.downloadPath);
    if (!whole) {
        RememberUnlessCut(totalMs);
        return 1;
    }
    ForgetFailure(Plugin.downloadPath);
    LoadFeedDocument(Plugin.downloadPath, 1);
    return 0;
}
