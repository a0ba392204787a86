#include "feed/download.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "feed/cache.h"
#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/source.h"

// ---- What every process knows: the folder "Refresh" of the cache folder --------------------
// Beside each cache file's name: its claim (".claim"), the time of its last failed download
// (".failed"), the start of the refresh in flight (".attempt", which stays behind when its
// process ends in the middle), the body that arrives after its caller stopped waiting
// (".answer") and the body on its way (".part"). And the time of the last offline verdict.
// Everything in this section reads only its arguments and the files, so that a refresh may use it
// after shutdown.

static const char kRefreshFolder[] = "Refresh";
static const char kOfflineName[] = "Connectivity.offline";

// `<folder of target>/Refresh/<name of target><suffix>`. Returns 1 when it fits, else 0.
static int RefreshFilePath(const char *target, const char *suffix, char *out, size_t capacity) {
    const char *slash = strrchr(target, OsPathSeparator);
    if (slash == NULL) {
        out[0] = '\0';
        return 0;
    }
    int folder = (int)(slash - target);
    if (!FormatText(out, capacity, "%.*s%c%s%c%s%s", folder, target, OsPathSeparator,
                    kRefreshFolder, OsPathSeparator, slash + 1, suffix)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// The folder "Refresh" beside `target`, made when missing. Returns 1 when it exists.
static int MakeRefreshFolder(const char *target) {
    char folder[PATH_CAPACITY];
    if (!RefreshFilePath(target, "", folder, sizeof folder)) {
        return 0;
    }
    *strrchr(folder, OsPathSeparator) = '\0';
    return OsCreateFolder(folder);
}

// Whether the memory file holds a failure of less than OFFLINE_MEMORY_TICKS ago: the time
// written in it, or for an empty one (all that a full disk lets Remember leave) its last-write
// time. A time ahead of the clock counts as none, as the in-memory record did.
static int RememberedRecently(const char *memoryPath, uint64_t now) {
    if (memoryPath[0] == '\0') {
        return 0;
    }
    size_t length = 0;
    char *text = ReadWholeFile(memoryPath, 64, &length);
    uint64_t time = 0;
    if (text != NULL) {
        time = strtoull(text, NULL, 10);
        free(text);
    } else if (!OsFileLastWriteByName(memoryPath, &time)) {
        return 0;
    }
    return now >= time && now - time < OFFLINE_MEMORY_TICKS;
}

// Writes the time `now` into the memory file. Where the disk has no room for it, the file is
// made empty instead: its last-write time is then the memory, and making an empty file takes
// no room. Returns 1 when the memory is in place; 0 when not even that could be made (a folder
// that cannot be written), and then nothing done now can be remembered.
static int Remember(const char *memoryPath, uint64_t now) {
    char text[32], part[PATH_CAPACITY];
    FormatText(text, sizeof text, "%llu", (unsigned long long)now);
    if (memoryPath[0] == '\0' || !FormatText(part, sizeof part, "%s.part", memoryPath)) {
        return 0;
    }
    if (WriteFileInPlace(memoryPath, part, text, strlen(text)) == OUTCOME_DONE) {
        return 1;
    }
    OsFile *empty = OsFileCreate(memoryPath);
    return empty != NULL && OsFileClose(empty);
}

static void Forget(const char *memoryPath) {
    if (memoryPath[0]) {
        OsFileDelete(memoryPath);
    }
}

// The connectivity test, or its remembered offline verdict. `offlinePath` may be empty (no
// cache folder): then nothing is remembered.
static int TestConnectivity(int useProxy, const char *connectivityUrl, const char *offlinePath) {
    if (useProxy) {
        return 1;
    }
    uint64_t now = OsUtcNow();
    if (RememberedRecently(offlinePath, now)) {
        return 0;
    }
    if (OsInternetConnected() && OsCheckConnection(connectivityUrl, CONNECTIVITY_TEST_MS)) {
        return 1;
    }
    Remember(offlinePath, now);
    return 0;
}

// ---- A refresh: one download on a thread of its own ----------------------------------------

enum JobState {
    JOB_RUNNING = 0,  // the download runs; its caller may still be waiting
    JOB_DONE = 1,     // it ended while its caller waited: the caller takes the result
    JOB_ABANDONED = 2 // its caller stopped waiting: the refresh finishes by itself
};

// Everything a refresh reads, copied: it never touches the module's state, which the next call
// or shutdown may change while it runs.
typedef struct RefreshJob {
    char address[ADDRESS_CAPACITY];
    char userAgent[USER_AGENT_CAPACITY];
    int useProxy;
    char proxyAddress[TEXT_CAPACITY];
    char proxyUser[PROXY_FIELD_CAPACITY];
    char proxyPassword[PROXY_FIELD_CAPACITY];
    char connectivityUrl[ADDRESS_CAPACITY];
    char target[PATH_CAPACITY];  // the cache file, or the file an answer is kept in
    char part[PATH_CAPACITY];    // where a file's body is written before it takes its place
    char aside[PATH_CAPACITY];   // where an answer waits for a call when nobody waits for it
    char failed[PATH_CAPACITY];  // the failure memory of the target
    char attempt[PATH_CAPACITY]; // the mark of this refresh, gone when it ends
    char offline[PATH_CAPACITY]; // the offline verdict's memory, or empty
    int toFile;                  // 1: the body becomes the target; 0: it is an answer
    char ifModifiedSince[OS_HTTP_HEADER_CAPACITY]; // an answer's If-Modified-Since, or empty
    int keepHeaders;                               // 1: an answer's headers go to `headers`
    OsHttpAnswerHeaders headers;                   // its Expires, Last-Modified and Date
    size_t limit;                                  // an answer's largest body
    OsFileLock *claim;                             // held for the whole refresh
    GrowText body;                                 // an answer's body
    int status;                                    // its HTTP status
    int whole;              // 1 when the download completed (a file: and is in place)
    int online;             // 0 when the connectivity test said offline
    std::atomic<int> state; // a JobState
} RefreshJob;

// Refreshes in flight in this process, counted for shutdown. Outside the state: the refresh
// threads change it without the mutex, and after shutdown has cleared the state.
static std::atomic<int> gRefreshesInFlight{0};

static void FreeJob(RefreshJob *job) {
    OsFileLockRelease(job->claim);
    GrowTextFree(&job->body);
    free(job);
}

static OsHttpRequest JobRequest(RefreshJob *job) {
    OsHttpRequest request;
    request.address = job->address;
    request.userAgent = job->userAgent;
    request.useProxy = job->useProxy;
    request.proxyAddress = job->proxyAddress;
    request.proxyUser = job->proxyUser;
    request.proxyPassword = job->proxyPassword;
    request.connectTimeoutMs = DOWNLOAD_CONNECT_MS;
    request.readTimeoutMs = DOWNLOAD_READ_MS;
    request.totalTimeoutMs = DOWNLOAD_TOTAL_MS;
    request.ifModifiedSince = job->ifModifiedSince;
    request.answerHeaders = job->keepHeaders ? &job->headers : NULL;
    return request;
}

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

// Runs the transfer into the temporary file and puts it in place. Returns 1 on success; 0 when
// the body broke off, was empty or came with another status than success, and then the
// temporary file is gone and the target untouched.
static int TransferToFile(RefreshJob *job) {
    BodyTarget target = {OsFileCreate(job->part), 0, 0};
    if (target.file == NULL) {
        return 0;
    }
    OsHttpRequest request = JobRequest(job);
    int status = 0;
    enum OsHttpResult result = OsHttpGet(&request, StoreBodyPiece, &target, &status);
    int closed = OsFileClose(target.file);
    // An error page never takes the place of a good file, and neither does an empty body: a
    // success status with nothing behind it is a server that had nothing to give, not a document.
    int whole = result == OS_HTTP_COMPLETE && !target.failed && closed && target.written > 0 &&
                status >= 200 && status <= 299;
    if (whole && OsFileReplace(job->part, job->target) == OUTCOME_DONE) {
        return 1;
    }
    OsFileDelete(job->part);
    return 0;
}

// A piece of an answer; past the answer's limit the text refuses it, which stops the transfer.
static int KeepAnswerPiece(void *context, const char *bytes, size_t count) {
    return GrowTextAppendBytes((GrowText *)context, bytes, count);
}

static int TransferAnswer(RefreshJob *job) {
    OsHttpRequest request = JobRequest(job);
    enum OsHttpResult result = OsHttpGet(&request, KeepAnswerPiece, &job->body, &job->status);
    // Only "not modified" comes whole without a body.
    return result == OS_HTTP_COMPLETE && !job->body.failed &&
           (job->body.length > 0 || job->status == 304);
}

// An answer nobody waits for any more waits in its own file for the next call that asks for it
// (of any process): its status, its Expires, its Last-Modified and its Date on a line each
// (header values hold no line break), then the body. Returns 1; 0 when it could not be written.
static int SetAnswerAside(RefreshJob *job) {
    GrowText kept;
    GrowTextInit(&kept, 0);
    char part[PATH_CAPACITY];
    int written = GrowTextFormat(&kept, "%d\n%s\n%s\n%s\n", job->status, job->headers.expires,
                                 job->headers.lastModified, job->headers.date) &&
                  GrowTextAppendBytes(&kept, job->body.bytes, job->body.length) &&
                  FormatText(part, sizeof part, "%s.part", job->aside) &&
                  WriteFileInPlace(job->aside, part, kept.bytes, kept.length) == OUTCOME_DONE;
    GrowTextFree(&kept);
    return written;
}

static void RunRefresh(void *context) {
    RefreshJob *job = (RefreshJob *)context;
    job->online = TestConnectivity(job->useProxy, job->connectivityUrl, job->offline);
    if (job->online) {
        job->whole = job->toFile ? TransferToFile(job) : TransferAnswer(job);
        // Every transfer has its whole bound, whoever still waits for it: a failure tells
        // against the server.
        if (job->whole) {
            Forget(job->failed);
        } else {
            Remember(job->failed, OsUtcNow());
        }
    }
    Forget(job->attempt);
    int running = JOB_RUNNING;
    if (job->state.compare_exchange_strong(running, JOB_DONE)) {
        gRefreshesInFlight--;
        return; // the caller takes it from here
    }
    if (!job->toFile && job->whole && !SetAnswerAside(job)) {
        // An answer that cannot wait for its caller is lost: asked for again at the next call,
        // it would be lost again, so it counts as a failure.
        Remember(job->failed, OsUtcNow());
    }
    FreeJob(job);
    gRefreshesInFlight--;
}

// ---- The call's side: budgets, claims and the wait ------------------------------------------

// The deadline of a call that has not started a download yet. Its budget starts with its first
// download, a few microseconds of work after it took the mutex: a warm call, which downloads
// nothing, then never reads the clock.
static const uint64_t kBudgetNotStarted = UINT64_MAX;

void StartCallDownloads(void) {
    Plugin.callDownloadDeadline = kBudgetNotStarted;
    Plugin.callRefreshDeadline = kBudgetNotStarted;
}

void EndCallDownloads(void) {
    Plugin.callDownloadDeadline = 0;
    Plugin.callRefreshDeadline = 0;
}

// What is left until `*deadline`, in milliseconds, starting it `bound` from now when it has not
// started; outside a call (deadline 0), more than any bound.
static uint64_t LeftOf(uint64_t *deadline, unsigned bound) {
    if (*deadline == 0) {
        return UINT64_MAX;
    }
    uint64_t now = OsMonotonicMs();
    if (*deadline == kBudgetNotStarted) {
        *deadline = now + bound;
    }
    return now < *deadline ? *deadline - now : 0;
}

static uint64_t CallBudgetLeft(void) {
    return LeftOf(&Plugin.callDownloadDeadline, CALL_DOWNLOAD_BUDGET_MS);
}

static void OfflineMemoryPath(char *out, size_t capacity) {
    out[0] = '\0';
    if (Plugin.cacheFolder[0] != '\0' &&
        !FormatText(out, capacity, "%s%c%s%c%s", Plugin.cacheFolder, OsPathSeparator,
                    kRefreshFolder, OsPathSeparator, kOfflineName)) {
        out[0] = '\0';
    }
}

int IsOnline(void) {
    char offline[PATH_CAPACITY];
    OfflineMemoryPath(offline, sizeof offline);
    if (offline[0] != '\0') {
        *strrchr(offline, OsPathSeparator) = '\0';
        OsCreateFolder(offline);
        OfflineMemoryPath(offline, sizeof offline);
    }
    return TestConnectivity(Plugin.useProxy, Plugin.connectivityUrl, offline);
}

int DownloadFailedRecently(const char *target) {
    char memory[PATH_CAPACITY];
    return RefreshFilePath(target, ".failed", memory, sizeof memory) &&
           RememberedRecently(memory, OsUtcNow());
}

void RememberDownloadFailure(const char *key) {
    char memory[PATH_CAPACITY];
    if (MakeRefreshFolder(key) && RefreshFilePath(key, ".failed", memory, sizeof memory)) {
        Remember(memory, OsUtcNow());
    }
}

enum Outcome KeepAnswer(const char *key, const char *bytes, size_t length) {
    if (StoreFile(key, bytes, length) == OUTCOME_DONE) {
        return OUTCOME_DONE;
    }
    RememberDownloadFailure(key);
    return OUTCOME_FAILED;
}

// Callers of this process that wait to enter an export while another call runs. Outside the
// state: the waiting callers change it without the mutex they wait for.
static std::atomic<int> gCallersWaiting{0};

void NoteWaitingCaller(int waits) {
    gCallersWaiting += waits ? 1 : -1;
}

// Whether a call should stop waiting for a missing file: a caller of this process waits behind
// it, and would otherwise wait for this transfer, or time out, though it may have all it needs.
static int CallerWaitsBehind(void) {
    return gCallersWaiting.load() > 0;
}

// Gives the plugin mutex up while a call waits for a refresh, and takes it again after: no other
// caller waits for somebody's transfer. The threads of this process stay out meanwhile: the
// call's texts are theirs too.
static void LeaveMutexForWait(void) {
    if (Plugin.mutexHeld) {
        OsMutexRelease(Plugin.mutex);
    }
}

static void RetakeMutexAfterWait(void) {
    if (Plugin.mutexHeld) {
        enum OsWaitResult wait = OsMutexWait(Plugin.mutex, REFRESH_MUTEX_WAIT_MS);
        Plugin.mutexHeld = wait == OS_WAIT_OWNED || wait == OS_WAIT_ABANDONED;
    }
}

// How often a call that waits for a missing file looks whether it should stop, in ms.
enum { MISSING_WAIT_SLICE_MS = 20 };

// Waits for a claim that another holder has: a file that is missing has nothing to show
// meanwhile. Returns the claim, or NULL when the wait ran out or a caller waits behind.
static OsFileLock *WaitForClaim(const char *claimPath, uint64_t waitMs) {
    uint64_t end = OsMonotonicMs() + waitMs;
    for (;;) {
        OsFileLock *claim = OsFileLockTry(claimPath);
        if (claim != NULL || OsMonotonicMs() >= end || CallerWaitsBehind()) {
            return claim;
        }
        OsSleep(MISSING_WAIT_SLICE_MS);
    }
}

// Waits for the call's own refresh: a file with a copy the whole `waitMs` (REFRESH_WAIT_MS at
// most), a missing one until `waitMs` or until a caller waits behind.
static void WaitForOwnRefresh(OsThread *thread, uint64_t waitMs, int hasCopy) {
    unsigned bound = waitMs > UINT32_MAX ? UINT32_MAX : (unsigned)waitMs;
    if (hasCopy) {
        (void)OsThreadWait(thread, bound);
        return;
    }
    uint64_t end = OsMonotonicMs() + bound;
    while (OsThreadWait(thread, MISSING_WAIT_SLICE_MS) == OUTCOME_PENDING && !CallerWaitsBehind()) {
        if (OsMonotonicMs() >= end) {
            return;
        }
    }
}

// Whether the last refresh of the target ended with its process, in the middle: its mark is
// still there though nobody holds the claim. That counts as a failed download (the transfer
// reached the server, and may have hung there), so that processes killed one after another
// never ask a hung server more than once in the failure memory's time. Removes the mark.
static int EndedMidRefresh(const char *attempt, const char *failed) {
    if (!FileExists(attempt)) {
        return 0;
    }
    Remember(failed, OsUtcNow());
    Forget(attempt);
    return 1;
}

// Starts the refresh of `target` from `address` and waits for it: at most the call's
// REFRESH_WAIT_MS when `hasCopy`, else within the call's download budget. Returns OUTCOME_DONE
// when it ended while the call waited (whether it brought something: see the job's `whole`; the
// caller owns *done then, or it is NULL when another process brought the target), OUTCOME_FAILED
// when it could not start (failed lately, offline, no budget, no claim), and OUTCOME_PENDING
// when it runs on, or another process runs it: the target keeps its copy meanwhile.
static enum Outcome Refresh(const char *target, const char *address, int toFile, size_t limit,
                            const char *ifModifiedSince, int keepHeaders, int hasCopy,
                            RefreshJob **done) {
    *done = NULL;
    char claimPath[PATH_CAPACITY];
    if (!MakeRefreshFolder(target) ||
        !RefreshFilePath(target, ".claim", claimPath, sizeof claimPath)) {
        return OUTCOME_FAILED;
    }
    uint64_t budget = CallBudgetLeft();
    if (!hasCopy && budget < CALL_DOWNLOAD_MIN_START_MS) {
        return OUTCOME_FAILED;
    }
    uint64_t before = 0;
    OsFileLastWriteByName(target, &before);
    OsFileLock *claim = OsFileLockTry(claimPath);
    if (claim == NULL && hasCopy) {
        return OUTCOME_PENDING; // somebody else refreshes it: the copy serves meanwhile
    }
    if (claim == NULL) {
        LeaveMutexForWait();
        claim = WaitForClaim(claimPath, budget);
        RetakeMutexAfterWait();
        uint64_t after = 0;
        if (claim != NULL && OsFileLastWriteByName(target, &after) && after != before) {
            OsFileLockRelease(claim); // the other holder brought it
            return OUTCOME_DONE;
        }
        budget = CallBudgetLeft();
        if (claim == NULL || budget < CALL_DOWNLOAD_MIN_START_MS) {
            OsFileLockRelease(claim);
            return OUTCOME_FAILED;
        }
    }
    // With the claim: the last holder may have failed meanwhile, or ended in the middle.
    RefreshJob *job =
        DownloadFailedRecently(target) ? NULL : (RefreshJob *)calloc(1, sizeof(RefreshJob));
    if (job == NULL) {
        OsFileLockRelease(claim);
        return OUTCOME_FAILED;
    }
    job->claim = claim;
    if (!RefreshFilePath(target, ".part", job->part, sizeof job->part) ||
        !RefreshFilePath(target, ".answer", job->aside, sizeof job->aside) ||
        !RefreshFilePath(target, ".failed", job->failed, sizeof job->failed) ||
        !RefreshFilePath(target, ".attempt", job->attempt, sizeof job->attempt) ||
        EndedMidRefresh(job->attempt, job->failed)) {
        FreeJob(job);
        return OUTCOME_FAILED;
    }
    CopyText(job->address, sizeof job->address, address);
    CopyText(job->userAgent, sizeof job->userAgent, Plugin.source->userAgent);
    job->useProxy = Plugin.useProxy;
    CopyText(job->proxyAddress, sizeof job->proxyAddress, Plugin.proxyAddress);
    CopyText(job->proxyUser, sizeof job->proxyUser, Plugin.proxyUser);
    CopyText(job->proxyPassword, sizeof job->proxyPassword, Plugin.proxyPassword);
    CopyText(job->connectivityUrl, sizeof job->connectivityUrl, Plugin.connectivityUrl);
    CopyText(job->target, sizeof job->target, target);
    OfflineMemoryPath(job->offline, sizeof job->offline);
    job->toFile = toFile;
    CopyText(job->ifModifiedSince, sizeof job->ifModifiedSince,
             ifModifiedSince != NULL ? ifModifiedSince : "");
    job->keepHeaders = keepHeaders;
    job->limit = limit;
    GrowTextInit(&job->body, limit);
    // A refresh whose mark cannot be made could not remember its failure either: in a folder
    // that cannot be written, every call would ask the server again.
    if (!Remember(job->attempt, OsUtcNow())) {
        FreeJob(job);
        return OUTCOME_FAILED;
    }

    uint64_t waitMs = hasCopy ? LeftOf(&Plugin.callRefreshDeadline, REFRESH_WAIT_MS) : budget;
    gRefreshesInFlight++;
    OsThread *thread = OsThreadStart(RunRefresh, job);
    LeaveMutexForWait();
    if (thread == NULL) {
        RunRefresh(job); // no thread to be had: the caller waits for it, as it always did
    } else {
        // The transfer's own bounds end it; a wait outside a call lasts until then.
        WaitForOwnRefresh(thread, waitMs, hasCopy);
        OsThreadRelease(thread);
    }
    RetakeMutexAfterWait();
    int running = JOB_RUNNING;
    if (job->state.compare_exchange_strong(running, JOB_ABANDONED)) {
        return OUTCOME_PENDING;
    }
    *done = job;
    return job->online ? OUTCOME_DONE : OUTCOME_FAILED;
}

// The line of `text` (of `length` bytes) that starts at *start, without its line break, into
// `out`; *start moves past it. Returns 1, or 0 when there is no whole line there or it is too
// long.
static int TakeLine(const char *text, size_t length, size_t *start, char *out, size_t capacity) {
    const char *line = text + *start;
    const char *end = (const char *)memchr(line, '\n', length - *start);
    if (end == NULL || (size_t)(end - line) >= capacity) {
        return 0;
    }
    memcpy(out, line, (size_t)(end - line));
    out[end - line] = '\0';
    *start = (size_t)(end + 1 - text);
    return 1;
}

// An answer that arrived after its caller stopped waiting, taken out of its file: its status,
// its cache headers (into `headers`, or dropped when NULL) and its body. Returns 1 when there
// was one.
static int TakeAnswerSetAside(const char *key, GrowText *body, int *status,
                              OsHttpAnswerHeaders *headers) {
    char aside[PATH_CAPACITY];
    size_t length = 0;
    char *text =
        RefreshFilePath(key, ".answer", aside, sizeof aside)
            ? ReadWholeFile(aside, DOWNLOAD_BODY_LIMIT + 64 + 3 * OS_HTTP_HEADER_CAPACITY, &length)
            : NULL;
    if (text == NULL) {
        return 0;
    }
    // Only a new answer: one left by a refresh whose callers never came back is dropped.
    uint64_t time = 0, now = OsUtcNow();
    OsFileLastWriteByName(aside, &time);
    OsFileDelete(aside);
    if (time > now || now - time >= OFFLINE_MEMORY_TICKS) {
        free(text);
        return 0;
    }
    char statusLine[16];
    OsHttpAnswerHeaders kept;
    size_t start = 0;
    int taken = TakeLine(text, length, &start, statusLine, sizeof statusLine) &&
                TakeLine(text, length, &start, kept.expires, sizeof kept.expires) &&
                TakeLine(text, length, &start, kept.lastModified, sizeof kept.lastModified) &&
                TakeLine(text, length, &start, kept.date, sizeof kept.date);
    if (taken) {
        *status = atoi(statusLine);
        taken = GrowTextAppendBytes(body, text + start, length - start) &&
                (length > start || *status == 304);
        if (headers != NULL) {
            *headers = kept;
        }
    }
    free(text);
    return taken;
}

enum Outcome FetchAnswer(const char *key, const char *address, int showsCopy, GrowText *body,
                         size_t limit, int *status) {
    return FetchAnswerSince(key, address, showsCopy, NULL, NULL, body, limit, status);
}

enum Outcome FetchAnswerSince(const char *key, const char *address, int showsCopy,
                              const char *ifModifiedSince, OsHttpAnswerHeaders *headers,
                              GrowText *body, size_t limit, int *status) {
    if (headers != NULL) {
        headers->expires[0] = headers->lastModified[0] = headers->date[0] = '\0';
    }
    GrowTextInit(body, limit);
    *status = 0;
    if (key[0] == '\0' || address[0] == '\0') {
        return OUTCOME_FAILED;
    }
    if (TakeAnswerSetAside(key, body, status, headers)) {
        return OUTCOME_DONE;
    }
    GrowTextFree(body);
    GrowTextInit(body, limit);
    if (DownloadFailedRecently(key)) {
        return OUTCOME_FAILED;
    }
    RefreshJob *job = NULL;
    enum Outcome result = Refresh(key, address, 0, limit, ifModifiedSince, headers != NULL,
                                  showsCopy || FileExists(key), &job);
    if (result == OUTCOME_DONE && job == NULL) {
        // Another process brought the answer meanwhile: it is read as it stands.
        size_t length = 0;
        char *text = ReadWholeFile(key, limit ? limit : DOWNLOAD_BODY_LIMIT, &length);
        int taken = text != NULL && GrowTextAppendBytes(body, text, length);
        free(text);
        *status = 200;
        return taken ? OUTCOME_DONE : OUTCOME_FAILED;
    }
    if (result != OUTCOME_DONE) {
        return result;
    }
    int whole = job->whole;
    if (whole) {
        *body = job->body; // the caller owns the bytes now
        GrowTextInit(&job->body, limit);
        *status = job->status;
        if (headers != NULL) {
            *headers = job->headers;
        }
    }
    FreeJob(job);
    return whole ? OUTCOME_DONE : OUTCOME_FAILED;
}

enum Outcome FetchToFile(const char *path, const char *address) {
    // Copied: `path` may be the state's own cache file name, which the refresh builds anew.
    char target[PATH_CAPACITY];
    CopyText(target, sizeof target, path);
    if (target[0] == '\0' || address[0] == '\0' || DownloadFailedRecently(target)) {
        return OUTCOME_FAILED;
    }
    RefreshJob *job = NULL;
    enum Outcome result = Refresh(target, address, 1, 0, NULL, 0, FileExists(target), &job);
    int whole = result == OUTCOME_DONE && (job == NULL || job->whole);
    if (job != NULL) {
        FreeJob(job);
    }
    ForgetCacheCheck(target);
    if (!whole) {
        return OUTCOME_FAILED;
    }
    // A body that came whole over HTTP may still be a document cut short by its server: that
    // is a failed download too, or every call would ask for it again.
    if (LoadFeedDocument(target, 1) == LOAD_OK && !Plugin.document->whole) {
        RememberDownloadFailure(target);
        return OUTCOME_FAILED;
    }
    return OUTCOME_DONE;
}

enum Outcome WaitForRefreshes(unsigned milliseconds) {
    uint64_t end = OsMonotonicMs() + milliseconds;
    while (gRefreshesInFlight.load() > 0) {
        if (OsMonotonicMs() >= end) {
            return OUTCOME_PENDING;
        }
        OsSleep(10);
    }
    return OUTCOME_DONE;
}
