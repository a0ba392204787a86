#include "feed/cache.h"

#include <stdlib.h>
#include <string.h>

#include "plugin/state.h"
#include "plugin/text.h"

static const uint64_t kTicksPerMinute = 600000000ull; // 100-ns units

static int IsNameSafe(unsigned char c) {
    if (c < 0x20 || c == 0x7f) {
        return 0;
    }
    return strchr("\\/:*?\"<>|%", c) == NULL;
}

// Appends one byte to a name: as it is, upper-cased when `upper`, or as %XX when unsafe.
// Returns 0 when it does not fit.
static int PutNameByte(char *out, size_t capacity, size_t *n, unsigned char c, int upper) {
    static const char kHex[] = "0123456789ABCDEF";
    if (IsNameSafe(c)) {
        if (*n + 1 >= capacity) {
            return 0;
        }
        out[(*n)++] = (upper && c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : (char)c;
        return 1;
    }
    if (*n + 3 >= capacity) {
        return 0;
    }
    out[(*n)++] = '%';
    out[(*n)++] = kHex[c >> 4];
    out[(*n)++] = kHex[c & 15];
    return 1;
}

static int NamePart(const char *text, char *out, size_t capacity, int upper) {
    size_t n = 0;
    if (capacity == 0) {
        return 0;
    }
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (!PutNameByte(out, capacity, &n, *p, upper)) {
            out[0] = '\0';
            return 0;
        }
    }
    out[n] = '\0';
    return 1;
}

// Where the file system tells case apart, two spellings of one Location ID or nickname would make
// two files, each refreshed on its own: the letters are folded to upper case there. Where it
// matches without case, the name keeps the caller's spelling.
int SafeNamePart(const char *text, char *out, size_t capacity) {
    return NamePart(text, out, capacity, !OsNamesIgnoreCase);
}

const char *CacheFilePath(const char *kind) {
    char *out = Plugin.cacheFilePath;
    out[0] = '\0';
    if (Plugin.cacheFolder[0] == '\0') {
        return out;
    }
    // Every spelling of a Location ID names one file (see SafeNamePart).
    char id[3 * CALL_LOCATION_CAPACITY];
    char unit[3 * UNIT_CAPACITY];
    // The unit keeps its spelling; only what could leave the folder is escaped.
    if (!SafeNamePart(Plugin.callLocationId, id, sizeof id) ||
        !NamePart(Plugin.callUnit, unit, sizeof unit, 0)) {
        return out;
    }

    // Put together piece by piece: this runs for every feed query.
    char separator[2] = {OsPathSeparator, '\0'};
    char count[16] = "";
    const char *prefix, *middle, *suffix;
    if (strcmp(kind, "Current") == 0 || strcmp(kind, "Details") == 0) {
        prefix = "Weather.", middle = ".", suffix = ".xml";
    } else if (strcmp(kind, "Forecast") == 0) {
        prefix = "Weather.", middle = ".", suffix = ".Days.xml";
        FormatText(count, sizeof count, ".%d", Plugin.maxDays);
    } else if (strcmp(kind, "Hourly") == 0) {
        prefix = "Weather.", middle = ".", suffix = ".Hours.xml";
        FormatText(count, sizeof count, ".%d", Plugin.maxHours);
    } else if (strcmp(kind, "Radar") == 0 || strcmp(kind, "Home") == 0) {
        prefix = kind, middle = NULL, suffix = kind[0] == 'R' ? ".jpg" : ".html";
    } else if (strcmp(kind, "Place") == 0 || strcmp(kind, "OpenMeteo") == 0 ||
               strcmp(kind, "Alerts") == 0) {
        prefix = kind, middle = NULL, suffix = ".json";
    } else {
        return out;
    }
    int fits = CopyText(out, PATH_CAPACITY, Plugin.cacheFolder) &&
               AppendText(out, PATH_CAPACITY, separator) && AppendText(out, PATH_CAPACITY, prefix);
    if (middle != NULL) { // Weather.<kind>.<id>.<unit>[.<count>]<suffix>
        fits = fits && AppendText(out, PATH_CAPACITY, kind) &&
               AppendText(out, PATH_CAPACITY, middle) && AppendText(out, PATH_CAPACITY, id) &&
               AppendText(out, PATH_CAPACITY, ".") && AppendText(out, PATH_CAPACITY, unit) &&
               AppendText(out, PATH_CAPACITY, count);
    } else { // <kind>.<id><suffix>
        fits = fits && AppendText(out, PATH_CAPACITY, ".") && AppendText(out, PATH_CAPACITY, id);
    }
    fits = fits && AppendText(out, PATH_CAPACITY, suffix);
    if (!fits) {
        out[0] = '\0';
    }
    return out;
}

static long OffsetOf(const char *found) {
    return found ? (long)(found - Plugin.documentBytes) : -1;
}

// Finds the marks of the alert section and of a service error once, for every later query.
static void IndexDocument(void) {
    const char *text = Plugin.documentBytes;
    Plugin.documentAlert = OffsetOf(strstr(text, "<swa>"));
    Plugin.documentAlertEnd = OffsetOf(strstr(text, "</swa>"));
    const char *last = NULL;
    for (const char *at = strstr(text, "<error>"); at != NULL; at = strstr(at + 1, "<error>")) {
        last = at;
    }
    Plugin.documentLastError = OffsetOf(last);
}

void StartCallCacheChecks(void) {
    for (int i = 0; i < CACHE_CHECK_SLOTS; i++) {
        Plugin.cacheChecks[i].path[0] = '\0';
    }
    Plugin.cacheChecksActive = 1;
}

void EndCallCacheChecks(void) {
    Plugin.cacheChecksActive = 0;
}

void ForgetCacheCheck(const char *path) {
    for (int i = 0; i < CACHE_CHECK_SLOTS; i++) {
        if (strcmp(Plugin.cacheChecks[i].path, path) == 0) {
            Plugin.cacheChecks[i].path[0] = '\0';
        }
    }
}

// The file's last-write time: from this call's earlier look, or from the file, then kept in a
// free slot or in place of the first one. Missing files are not kept.
static int CacheFileTime(const char *path, uint64_t *time) {
    if (!Plugin.cacheChecksActive) {
        return OsFileLastWrite(path, time);
    }
    CacheCheck *slot = &Plugin.cacheChecks[0];
    for (int i = 0; i < CACHE_CHECK_SLOTS; i++) {
        CacheCheck *check = &Plugin.cacheChecks[i];
        if (strcmp(check->path, path) == 0) {
            *time = check->time;
            return 1;
        }
        if (check->path[0] == '\0' && slot->path[0] != '\0') {
            slot = check;
        }
    }
    if (!OsFileLastWrite(path, time)) {
        return 0;
    }
    if (CopyText(slot->path, sizeof slot->path, path)) {
        slot->time = *time;
    } else {
        slot->path[0] = '\0';
    }
    return 1;
}

// Reads up to `size` bytes, in as many reads as the file needs. Returns the number read.
static size_t ReadUpTo(OsFile *file, char *bytes, size_t size) {
    size_t total = 0;
    while (total < size) {
        size_t got = OsFileRead(file, bytes + total, size - total);
        if (got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

enum LoadResult LoadFeedDocument(const char *path, int force) {
    if (!force && strcmp(path, Plugin.documentPath) == 0 && path[0] != '\0') {
        return LOAD_OK;
    }
    OsFile *file = path[0] ? OsFileOpenRead(path) : NULL;
    if (file == NULL) {
        return LOAD_NO_FILE;
    }
    int64_t size = OsFileSize(file);
    if (size == 0) {
        OsFileClose(file);
        return LOAD_EMPTY;
    }
    if (size < 0 || (uint64_t)size > FEED_DOCUMENT_LIMIT) {
        OsFileClose(file);
        return LOAD_NO_BYTES;
    }
    size_t needed = (size_t)size + 1;
    if (needed > Plugin.documentCapacity) {
        char *grown = (char *)realloc(Plugin.documentBytes, needed);
        if (grown == NULL) {
            OsFileClose(file);
            return LOAD_NO_BYTES;
        }
        Plugin.documentBytes = grown;
        Plugin.documentCapacity = needed;
    }
    // Read into the held buffer only once something arrives, so a failed read leaves the
    // document as it was. A file that shrank meanwhile is held as far as it now goes.
    size_t total = ReadUpTo(file, Plugin.documentBytes, (size_t)size);
    OsFileClose(file);
    if (total == 0) {
        return LOAD_NO_BYTES;
    }
    Plugin.documentBytes[total] = '\0';
    IndexDocument();
    CopyText(Plugin.documentPath, sizeof Plugin.documentPath, path);
    uint64_t time = 0;
    CacheFileTime(path, &time);
    Plugin.documentTime = time;
    return LOAD_OK;
}

int64_t CacheAgeMinutes(uint64_t fileTime, uint64_t now) {
    if (now >= fileTime) {
        return (int64_t)((now - fileTime) / kTicksPerMinute);
    }
    return -(int64_t)((fileTime - now) / kTicksPerMinute);
}

// The verdict and the file's time.
static enum CacheVerdict Judge(const char *path, int limitMinutes, uint64_t *fileTime) {
    if (path[0] == '\0' || !CacheFileTime(path, fileTime)) {
        return CACHE_MISSING;
    }
    int64_t age = CacheAgeMinutes(*fileTime, OsUtcNow());
    // A file dated further ahead of the clock than the limit (the clock was set back) would
    // otherwise stay fresh until the clock caught up; it is stale like an old one.
    if (age > limitMinutes || age < -(int64_t)limitMinutes) {
        return CACHE_STALE;
    }
    return CACHE_FRESH;
}

enum CacheVerdict CacheFileAge(const char *path, int limitMinutes) {
    uint64_t fileTime = 0;
    return Judge(path, limitMinutes, &fileTime);
}

enum CacheVerdict CheckCacheFile(const char *path, int limitMinutes) {
    uint64_t fileTime = 0;
    enum CacheVerdict verdict = Judge(path, limitMinutes, &fileTime);
    if (verdict == CACHE_FRESH && fileTime != Plugin.documentTime) {
        LoadFeedDocument(path, 1);
    }
    return verdict;
}

int PartFilePath(const char *path, const char *partName, char *out, size_t capacity) {
    const char *slash = strrchr(path, OsPathSeparator);
    if (slash == NULL) {
        return 0;
    }
    size_t folder = (size_t)(slash - path) + 1;
    size_t name = strlen(partName) + 1;
    if (folder + name > capacity) {
        return 0;
    }
    memcpy(out, path, folder);
    memcpy(out + folder, partName, name);
    return 1;
}

int StoreFile(const char *path, const char *bytes, size_t length) {
    char partPath[PATH_CAPACITY];
    if (!PartFilePath(path, "store.part", partPath, sizeof partPath)) {
        return 0;
    }
    OsFile *file = OsFileCreate(partPath);
    if (file == NULL) {
        return 0;
    }
    int written = OsFileWrite(file, bytes, length) == length;
    int closed = OsFileClose(file);
    if (!written || !closed || !OsFileReplace(partPath, path)) {
        OsFileDelete(partPath);
        return 0;
    }
    ForgetCacheCheck(path);
    return 1;
}

char *ReadWholeFile(const char *path, size_t limit, size_t *length) {
    OsFile *file = path[0] ? OsFileOpenRead(path) : NULL;
    if (file == NULL) {
        return NULL;
    }
    int64_t size = OsFileSize(file);
    char *bytes = (size > 0 && (uint64_t)size <= limit) ? (char *)malloc((size_t)size + 1) : NULL;
    size_t total = bytes != NULL ? ReadUpTo(file, bytes, (size_t)size) : 0;
    OsFileClose(file);
    if (bytes == NULL || total == 0) {
        free(bytes);
        return NULL;
    }
    bytes[total] = '\0';
    *length = total;
    return bytes;
}

int FileExists(const char *path) {
    OsFile *file = path[0] ? OsFileOpenRead(path) : NULL;
    if (file == NULL) {
        return 0;
    }
    OsFileClose(file);
    return 1;
}
