// Downloads: one web address into one file, through the connectivity test and the proxy.
#ifndef NIMBREL_DOWNLOAD_H
#define NIMBREL_DOWNLOAD_H

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

// Bounds of one download, in milliseconds. The connectivity test, the whole transfer and one
// last wait for a piece together never hold the caller for more than about 15 s, whatever the
// server does: it may stall before it answers, drip, or never end the body.
enum {
    CONNECTIVITY_TEST_MS = 2000, // the connectivity test's connection
    DOWNLOAD_CONNECT_MS = 4000,  // the connection to the server
    DOWNLOAD_READ_MS = 5000,     // the wait for the answer, and for each piece of the body
    DOWNLOAD_TOTAL_MS = 8000     // the whole request, body included
};

// Bounds of one export call. A call may need several files (a forecast in both units with its
// narrative needs five); against a server that drips, each would take its whole bound. So all
// downloads of one call share one budget, counted from the moment the call owns the mutex, and
// none starts once too little of it is left for a connectivity test and a short transfer. A
// download skipped by the budget is not remembered as failed: a later call, with a budget of its
// own, tries it again. One that the call stops waiting for runs on with its whole bound and puts
// its file in place for the next call; its failure is remembered as any other, so that a hung
// server is asked once in the failure memory's time, however little the calls had left.
enum {
    CALL_DOWNLOAD_BUDGET_MS = CONNECTIVITY_TEST_MS + DOWNLOAD_TOTAL_MS,
    CALL_DOWNLOAD_MIN_START_MS = CONNECTIVITY_TEST_MS + 1000
};

// How long a call waits for the refreshes of files it has a copy of, in all: past that it
// answers from the copies, and the refreshes finish by themselves and put the new files in
// place for the next call. A refresh that ends sooner gives its new values to the same call.
enum { REFRESH_WAIT_MS = 250 };

// The longest a refresh runs: its connectivity test, its transfer and one last wait for a piece.
enum { REFRESH_SHUTDOWN_WAIT_MS = CONNECTIVITY_TEST_MS + DOWNLOAD_TOTAL_MS + DOWNLOAD_READ_MS };

// How long a call that gave the plugin mutex up for the wait waits to take it again, as long as
// an export waits for it on the way in.
enum { REFRESH_MUTEX_WAIT_MS = 5000 };

// The largest body kept; a larger one is a failed download.
#define DOWNLOAD_BODY_LIMIT (8u * 1024u * 1024u)

// How long an offline verdict, and a failed download of one file, are remembered: two minutes
// in file-time units (100 ns).
#define OFFLINE_MEMORY_TICKS 1200000000ull

#define DOWNLOAD_USER_AGENT "nimbrel"

struct GrowText;

// Every download is a refresh that runs on a thread of its own, so that no caller waits for a
// transfer while it holds the plugin mutex, and so that the module never keeps its caller
// waiting on the network while it has something to show. Processes share what they know through
// the folder "Refresh" of the cache folder: each file's claim, an OS lock held for the whole
// refresh (at most one transfer per file among all the user's processes, and a killed holder
// leaves none behind), and each file's failure memory (a failed download is not tried again
// for two minutes, whichever process tried). A file that somebody else refreshes serves its
// copy meanwhile; a missing one waits for the other's claim within the call's budget.

// Downloads `address` into the file `path`. The body goes to a temporary file that takes the
// file's place only when the whole body has arrived with a success status and holds at least
// one byte, and the new file is then loaded into the feed document. Returns OUTCOME_DONE then;
// OUTCOME_FAILED when the download could not run or did not complete, or is still running past
// the call's wait for a file that has a copy: then the file at `path` keeps its content and its
// age (until the running refresh puts the new one in place).
// Within an export call, a file with a copy waits at most REFRESH_WAIT_MS, and a missing one fits
// in the call's budget (see above).
enum Outcome FetchToFile(const char *path, const char *address);

// Downloads `address` into memory, for an answer its caller reads itself: the body goes to
// `body` (started here; the caller frees it with GrowTextFree whatever the result), at most
// `limit` bytes, and the HTTP status to *status. Returns OUTCOME_DONE when a whole body arrived,
// whatever its status: the caller judges it, and calls RememberDownloadFailure when it cannot use
// it. Returns OUTCOME_FAILED when the download could not run or did not complete, and
// OUTCOME_PENDING when it runs on past the call's wait, or another process makes it: nothing is
// known against the server yet, and the kept answer serves meanwhile. `key` names the download in
// the failure memory (the file the answer is kept in): a download that failed is not tried again
// for two minutes. It waits as FetchToFile does for a file with a copy when a kept answer is at
// `key` or `showsCopy` is nonzero (the caller has a document of its own to show meanwhile, as a
// chain of sources has whichever member it asks), else as for a missing file; an answer that
// arrives after its caller stopped waiting is set aside for the next call that asks for it.
enum Outcome FetchAnswer(const char *key, const char *address, int showsCopy, struct GrowText *body,
                         size_t limit, int *status);

// FetchAnswer asking only for an answer newer than `ifModifiedSince` (an HTTP date, or NULL or
// empty to ask for any), and keeping the answer's Expires, Last-Modified and Date in `headers` (or
// NULL; emptied first), an answer set aside for a later call included. A 304 answer is done,
// with its status and an empty body.
enum Outcome FetchAnswerSince(const char *key, const char *address, int showsCopy,
                              const char *ifModifiedSince, OsHttpAnswerHeaders *headers,
                              struct GrowText *body, size_t limit, int *status);

// Remembers the download named `key` as failed, as a failed FetchToFile remembers its file.
void RememberDownloadFailure(const char *key);

// Whether the download named `key` failed (or its answer could not be kept) less than two
// minutes ago, in any process: it is not tried again before then.
int DownloadFailedRecently(const char *key);

// Keeps an answer that FetchAnswer brought: its `length` bytes become the file `key` in one
// step. Returns OUTCOME_DONE; OUTCOME_FAILED when they could not be stored (no room, no
// permission), and then the download is remembered as failed, so that an answer that cannot be
// kept is not asked for again within the failure memory's time, and the file keeps what it held.
enum Outcome KeepAnswer(const char *key, const char *bytes, size_t length);

// Waits at most `milliseconds` for the refreshes of this process that are still running.
// Returns OUTCOME_DONE when none is left, else OUTCOME_PENDING.
enum Outcome WaitForRefreshes(unsigned milliseconds);

// Tells the downloads that a caller of this process starts (`waits` 1) or stops (0) waiting to
// enter an export while another call runs. A call that waits for a missing file stops waiting
// then and leaves the refresh to finish by itself: its file is there for the next call, and the
// caller behind it never waits for its transfer.
void NoteWaitingCaller(int waits);

// Starts the download budget of the export call that has just taken the mutex.
void StartCallDownloads(void);

// Ends it: downloads outside an export call (as the tests make them) have their own bounds only.
void EndCallDownloads(void);

// Nonzero when the network may be used: always with a proxy; otherwise the connectivity test,
// whose offline verdict is kept for two minutes in the cache folder, for every process.
int IsOnline(void);

#endif
