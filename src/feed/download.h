// Downloads: one web address into one file, through the connectivity test and the proxy.
#ifndef NIMBREL_DOWNLOAD_H
#define NIMBREL_DOWNLOAD_H

#include <stdint.h>

// Bounds of one download, in milliseconds. The connectivity test, the whole transfer and one
// last wait for a piece together never hold the caller for more than about 15 s, whatever the
// server does: it may stall before it answers, drip, or never end the body.
enum {
    CONNECTIVITY_TEST_MS = 2000, // the connectivity test's connection
    DOWNLOAD_CONNECT_MS = 4000,  // the connection to the server
    DOWNLOAD_READ_MS = 5000,     // the wait for the answer, and for each piece of the body
    DOWNLOAD_TOTAL_MS = 8000     // the whole request, body included
};

// The largest body kept; a larger one is a failed download.
#define DOWNLOAD_BODY_LIMIT (8u * 1024u * 1024u)

// How long an offline verdict, and a failed download of one file, are remembered: two minutes
// in file-time units (100 ns).
#define OFFLINE_MEMORY_TICKS 1200000000ull

#define DOWNLOAD_USER_AGENT "nimbrel"

// Downloads `address` into the file `path`. The body goes to a temporary file beside it that
// takes the file's place only when the whole body has arrived with a success status, and the
// new file is then loaded into the feed document. Returns 0 then; 1 when the download could not
// run or did not complete, and then the file at `path` keeps its content and its age. A file
// whose download failed is not tried again for two minutes.
int FetchToFile(const char *path, const char *address);

// Nonzero when the network may be used: always with a proxy; otherwise the connectivity test,
// whose offline verdict is kept for two minutes.
int IsOnline(void);

#endif
