// Zones of the time-zone database by name, from the system's compiled zone files
// (/usr/share/zoneinfo, or TZDIR). Each file ends with the POSIX TZ rule that holds after its
// last listed transition ("PST8PDT,M3.2.0,M11.1.0"), which is the rule of today for every zone
// whose law has not changed since; the date library's POSIX rule type evaluates it. The
// process's TZ and the C library's own zone are never touched: changing them is not safe while
// the host's other threads read the local time.
#if !defined(_WIN32)

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <date/ptz.h>
#include <string>

#include "platform/platform.h"

static const uint64_t kUnixEpochFileTime = 116444736000000000ull; // 1970-01-01 00:00 UTC
static const size_t kZoneNameLimit = 64;       // the database's longest names are near 32
static const int64_t kZoneFileLimit = 1 << 20; // its largest files are under 100 KiB
static const size_t kRuleLimit = 128;          // its longest rules are near 40 bytes

// A name of the database: one to three parts separated by "/", each of letters, digits, "_",
// "-" and "+", none beginning with "." or "-". Nothing else can leave the database's folder.
static int IsZoneName(const char *zone) {
    size_t length = strlen(zone), part = 0, parts = 1;
    if (length == 0 || length > kZoneNameLimit) {
        return 0;
    }
    for (size_t i = 0; i < length; i++) {
        char c = zone[i];
        if (c == '/') {
            if (part == 0 || ++parts > 3) {
                return 0;
            }
            part = 0;
            continue;
        }
        int letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letter && c != '_' && c != '+' && !(c == '-' && part > 0)) {
            return 0;
        }
        part++;
    }
    return part > 0;
}

// The rule at the end of a zone file of `length` bytes (version 2 or later): the text between
// its last two newlines. Returns 1 with the rule in `out`, or 0 for a file without one.
static int ZoneFileRule(const char *bytes, size_t length, char *out, size_t capacity) {
    if (length < 6 || memcmp(bytes, "TZif", 4) != 0 || bytes[4] < '2' ||
        bytes[length - 1] != '\n') {
        return 0;
    }
    size_t end = length - 1, start = end;
    while (start > 0 && bytes[start - 1] != '\n') {
        start--;
    }
    if (start == 0 || end == start || end - start >= capacity) {
        return 0; // no newline before it, an empty rule (no rule past the list), or too long
    }
    memcpy(out, bytes + start, end - start);
    out[end - start] = '\0';
    return 1;
}

// The rule of zone file `path`, or 0 when it cannot be read.
static int ReadZoneRule(const char *path, char *out, size_t capacity) {
    OsFile *file = OsFileOpenRead(path);
    if (file == NULL) {
        return 0;
    }
    int64_t size = OsFileSize(file);
    char *bytes = size > 0 && size <= kZoneFileLimit ? (char *)malloc((size_t)size) : NULL;
    int read = bytes != NULL && OsFileRead(file, bytes, (size_t)size) == (size_t)size &&
               ZoneFileRule(bytes, (size_t)size, out, capacity);
    free(bytes);
    OsFileClose(file);
    return read;
}

int OsZoneAt(const char *zone, uint64_t fileTime, int *offsetSeconds, char *abbreviation,
             size_t capacity) {
    *offsetSeconds = 0;
    if (capacity > 0) {
        abbreviation[0] = '\0';
    }
    const char *folder = getenv("TZDIR");
    if (folder == NULL || folder[0] == '\0') {
        folder = "/usr/share/zoneinfo";
    }
    char path[512], rule[kRuleLimit];
    int written = snprintf(path, sizeof path, "%s/%s", folder, zone);
    if (!IsZoneName(zone) || written < 0 || (size_t)written >= sizeof path ||
        !ReadZoneRule(path, rule, sizeof rule) || fileTime < kUnixEpochFileTime) {
        return 0;
    }
    try {
        Posix::time_zone rules{std::string(rule)};
        std::chrono::seconds since((int64_t)((fileTime - kUnixEpochFileTime) / 10000000ull));
        date::sys_info info = rules.get_info(date::sys_seconds(since));
        *offsetSeconds = (int)info.offset.count();
        if (capacity > 0) {
            snprintf(abbreviation, capacity, "%s", info.abbrev.c_str());
        }
        return 1;
    } catch (...) {
        return 0; // a rule the library does not read
    }
}

#endif
