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
// download skipped or cut short by the budget is not remembered as failed: a later call, with a
// budget of its own, tries it again.
enum {
    CALL_DOWNLOAD_BUDGET_MS = CONNECTIVITY_TEST_MS + DOWNLOAD_TOTAL_MS,
    CALL_DOWNLOAD_MIN_START_MS = CONNECTIVITY_TEST_MS + 1000
};

// The largest body kept; a larger one is a failed download.
#define DOWNLOAD_BODY_LIMIT (8u * 1024u * 1024u)

// How long an offline verdict, and a failed download of one file, are remembered: two minutes
// in file-time units (100 ns).
#define OFFLINE_MEMORY_TICKS 1200000000ull

#define DOWNLOAD_USER_AGENT "nimbrel"

struct GrowText;

// Downloads `address` into the file `path`. The body goes to a temporary file beside it that
// takes the file's place only when the whole body has arrived with a success status and holds at
// least one byte, and the new file is then loaded into the feed document. Returns 0 then; 1 when
// the download could not run or did not complete, and then the file at `path` keeps its content and
// its age. A file whose download failed is not tried again for two minutes. Within an export call,
// every download fits in the call's budget (see above).
int FetchToFile(const char *path, const char *address);

// Downloads `address` into memory, for an answer its caller reads itself: the body goes to
// `body` (started here; the caller frees it with GrowTextFree whatever the result), at most
// `limit` bytes, and the HTTP status to *status. Returns 0 when a whole body arrived, whatever
// its status: the caller judges it, and calls RememberDownloadFailure when it cannot use it.
// Returns 1 when the download could not run or did not complete. `key` names the download in the
// failure memory (the file the answer is kept in): a download that failed is not tried again for
// two minutes. It shares the call's budget and the connectivity test with FetchToFile.
int FetchAnswer(const char *key, const char *address, struct GrowText *body, size_t limit,
                int *status);

// FetchAnswer asking only for an answer newer than `ifModifiedSince` (an HTTP date, or NULL or
// empty to ask for any), and keeping the answer's Expires and Last-Modified in `headers` (or
// NULL; emptied first). A 304 answer returns 0 with its status and an empty body.
int FetchAnswerSince(const char *key, const char *address, const char *ifModifiedSince,
                     OsHttpAnswerHeaders *headers, struct GrowText *body, size_t limit,
                     int *status);

// Remembers the download named `key` as failed, as a failed FetchToFile remembers its file.
void RememberDownloadFailure(const char *key);

// Starts the download budget of the export call that has just taken the mutex.
void StartCallDownloads(void);

// Ends it: downloads outside an export call (as the tests make them) have their own bounds only.
void EndCallDownloads(void);

// Nonzero when the network may be used: always with a proxy; otherwise the connectivity test,
// whose offline verdict is kept for two minutes.
int IsOnline(void);

#endif
