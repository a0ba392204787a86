#include "feed/cache.h"

#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "base/text.h"

static const uint64_t kTicksPerMinute = 600000000ull; // 100-ns units

static int IsNameSafe(unsigned char c) {
    switch (c) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
    case '%':
    case 0x7f:
        return 0;
    default:
        return c >= 0x20;
    }
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

// Appends `text` as a piece of a name at out[*n]. Returns 0 when it does not fit.
static int PutNamePart(char *out, size_t capacity, size_t *n, const char *text, int upper) {
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (!PutNameByte(out, capacity, n, *p, upper)) {
            return 0;
        }
    }
    out[*n] = '\0';
    return 1;
}

// Where the file system tells case apart, two spellings of one Location ID or nickname would make
// two files, each refreshed on its own: the letters are folded to upper case there. Where it
// matches without case, the name keeps the caller's spelling.
int SafeNamePart(const char *text, char *out, size_t capacity) {
    size_t n = 0;
    if (capacity == 0) {
        return 0;
    }
    if (!PutNamePart(out, capacity, &n, text, !OsNamesIgnoreCase)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// Appends `text` as it is at out[*n]. Returns 0 when it does not fit.
static int PutText(char *out, size_t capacity, size_t *n, const char *text) {
    size_t length = strlen(text);
    if (*n + length >= capacity) {
        return 0;
    }
    memcpy(out + *n, text, length + 1);
    *n += length;
    return 1;
}

// ".<count>" of days or hours into `out` (16 bytes). A plain loop: formatting it with the
// run-time's printf would cost more than the whole rest of the name.
static void CountPart(int count, char *out) {
    if (count < 0 || count > 99999) {
        FormatText(out, 16, ".%d", count);
        return;
    }
    char digits[8];
    int length = 0;
    do {
        digits[length++] = (char)('0' + count % 10);
        count /= 10;
    } while (count > 0);
    out[0] = '.';
    for (int i = 0; i < length; i++) {
        out[1 + i] = digits[length - 1 - i];
    }
    out[1 + length] = '\0';
}

const char *CacheFilePath(enum DocumentKind kind) {
    return CacheFilePathForUnit(kind, Plugin.callUnit);
}

// The name built earlier in this call for the same kind, Location ID and unit type, or NULL.
static const CacheName *KnownCacheName(enum DocumentKind kind, const char *unit) {
    if (!Plugin.cacheChecksActive) {
        return NULL;
    }
    for (int i = 0; i < CACHE_NAME_SLOTS; i++) {
        const CacheName *name = &Plugin.cacheNames[i];
        if (name->kind == (int)kind && strcmp(name->unit, unit) == 0 &&
            strcmp(name->locationId, Plugin.callLocationId) == 0) {
            return name;
        }
    }
    return NULL;
}

static void RememberCacheName(enum DocumentKind kind, const char *unit, const char *path) {
    if (!Plugin.cacheChecksActive) {
        return;
    }
    CacheName *name = &Plugin.cacheNames[Plugin.nextCacheName];
    Plugin.nextCacheName = (Plugin.nextCacheName + 1) % CACHE_NAME_SLOTS;
    name->kind = -1;
    if (CopyText(name->locationId, sizeof name->locationId, Plugin.callLocationId) &&
        CopyText(name->unit, sizeof name->unit, unit) &&
        CopyText(name->path, sizeof name->path, path)) {
        name->kind = (int)kind;
    }
}

const char *CacheFilePathForUnit(enum DocumentKind kind, const char *unit) {
    char *out = Plugin.cacheFilePath;
    out[0] = '\0';
    const DocumentKindInfo *info = DocumentKindOf(kind);
    if (info == NULL || info->scope == KIND_PER_KEY || Plugin.cacheFolder[0] == '\0') {
        return out;
    }
    const CacheName *known = KnownCacheName(kind, unit);
    if (known != NULL) {
        CopyText(out, PATH_CAPACITY, known->path);
        return out;
    }
    char count[16] = "";
    if (info->count != KIND_NO_COUNT) {
        CountPart(info->count == KIND_COUNTS_DAYS ? Plugin.maxDays : Plugin.maxHours, count);
    }
    // Put together in one pass: this runs for every feed query. Every spelling of a Location ID
    // names one file (see SafeNamePart); the unit keeps its spelling. Both are escaped where they
    // could leave the folder.
    char separator[2] = {OsPathSeparator, '\0'};
    size_t n = 0;
    int fits = PutText(out, PATH_CAPACITY, &n, Plugin.cacheFolder) &&
               PutText(out, PATH_CAPACITY, &n, separator) &&
               PutText(out, PATH_CAPACITY, &n, info->prefix) &&
               PutText(out, PATH_CAPACITY, &n, info->name);
    if (info->scope != KIND_SHARED) {
        fits = fits && PutText(out, PATH_CAPACITY, &n, ".") &&
               PutNamePart(out, PATH_CAPACITY, &n, Plugin.callLocationId, !OsNamesIgnoreCase);
    }
    if (info->scope == KIND_PER_UNIT) {
        fits = fits && PutText(out, PATH_CAPACITY, &n, ".") &&
               PutNamePart(out, PATH_CAPACITY, &n, unit, 0) &&
               PutText(out, PATH_CAPACITY, &n, count);
    }
    fits = fits && PutText(out, PATH_CAPACITY, &n, info->suffix);
    if (!fits) {
        out[0] = '\0';
    }
    RememberCacheName(kind, unit, out);
    return out;
}

const char *CacheFilePathForKey(enum DocumentKind kind, const char *key) {
    char *out = Plugin.cacheFilePath;
    out[0] = '\0';
    const DocumentKindInfo *info = DocumentKindOf(kind);
    if (info == NULL || info->scope != KIND_PER_KEY || key == NULL || key[0] == '\0' ||
        Plugin.cacheFolder[0] == '\0') {
        return out;
    }
    char separator[2] = {OsPathSeparator, '\0'};
    size_t n = 0;
    if (!PutText(out, PATH_CAPACITY, &n, Plugin.cacheFolder) ||
        !PutText(out, PATH_CAPACITY, &n, separator) ||
        !PutText(out, PATH_CAPACITY, &n, info->prefix) ||
        !PutText(out, PATH_CAPACITY, &n, info->name) || !PutText(out, PATH_CAPACITY, &n, ".") ||
        !PutNamePart(out, PATH_CAPACITY, &n, key, !OsNamesIgnoreCase) ||
        !PutText(out, PATH_CAPACITY, &n, info->suffix)) {
        out[0] = '\0';
    }
    return out;
}

static long OffsetOf(const FeedDocument *document, const char *found) {
    return found ? (long)(found - document->bytes) : -1;
}

// Whether a document is whole: markup (a feed's XML, a page) must close its root element
// somewhere after it opens, as every document the services send and the provider writes does.
// A file cut short by a crash or a full disk does not; anything that is no markup (a picture,
// JSON) counts as whole.
static int DocumentIsWhole(const char *text, size_t length) {
    const char *at = text;
    const char *end = text + length;
    // The root element: the first one after the declaration, processing instructions, comments
    // and the document type.
    for (;;) {
        while (at < end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n')) {
            at++;
        }
        if (at + 1 >= end || at[0] != '<') {
            return at == text ? 1 : 0; // no markup at all; or markup that stops before its root
        }
        if (at[1] != '?' && at[1] != '!') {
            break;
        }
        const char *ending = strncmp(at, "<!--", 4) == 0 ? "-->" : ">";
        const char *close = strstr(at, ending);
        if (close == NULL) {
            return 0;
        }
        at = close + strlen(ending);
    }
    size_t nameLength = strcspn(at + 1, " \t\r\n/>");
    if (nameLength == 0 || nameLength > 64) {
        return 1; // no element name worth the look: not markup of the feed's kind
    }
    char closing[68];
    FormatText(closing, sizeof closing, "</%.*s", (int)nameLength, at + 1);
    size_t closingLength = nameLength + 2;
    if ((size_t)(end - at) < closingLength) {
        return 0;
    }
    for (const char *look = end - closingLength; look > at; look--) {
        if (*look == '<' && StartsWithIgnoreCase(look, closing)) {
            return 1;
        }
    }
    return 0;
}

// Finds the marks of the alert section and of a service error once, for every later query.
static void IndexDocument(FeedDocument *document, size_t length) {
    const char *text = document->bytes;
    document->alert = OffsetOf(document, strstr(text, "<swa>"));
    document->alertEnd = OffsetOf(document, strstr(text, "</swa>"));
    const char *last = NULL;
    for (const char *at = strstr(text, "<error>"); at != NULL; at = strstr(at + 1, "<error>")) {
        last = at;
    }
    document->lastError = OffsetOf(document, last);
    document->whole = DocumentIsWhole(text, length);
}

static void EmptyDocument(FeedDocument *document) {
    if (document->bytes != NULL) {
        document->bytes[0] = '\0';
    }
    document->path[0] = '\0';
    document->time = 0;
    document->lastUse = 0;
    document->alert = document->alertEnd = document->lastError = -1;
}

void StartFeedDocuments(void) {
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        FeedDocument *document = &Plugin.documents[i];
        if (document->bytes == NULL) { // a buffer that is there already serves again
            document->bytes = (char *)malloc(FEED_DOCUMENT_INITIAL);
            document->capacity = document->bytes != NULL ? FEED_DOCUMENT_INITIAL : 0;
        }
        EmptyDocument(document);
    }
    Plugin.document = &Plugin.documents[0];
    Plugin.documentUses = 0;
}

void FreeFeedDocuments(void) {
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        FeedDocument *document = &Plugin.documents[i];
        free(document->bytes);
        document->bytes = NULL;
        document->capacity = 0;
        EmptyDocument(document);
    }
    Plugin.document = &Plugin.documents[0];
}

static FeedDocument *FindDocument(const char *path) {
    if (path[0] == '\0') {
        return NULL;
    }
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        if (strcmp(Plugin.documents[i].path, path) == 0) {
            return &Plugin.documents[i];
        }
    }
    return NULL;
}

// The slot for a file that is not kept yet: a free one, or else the one asked for least
// recently.
static FeedDocument *SlotForNewDocument(void) {
    FeedDocument *slot = &Plugin.documents[0];
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        FeedDocument *candidate = &Plugin.documents[i];
        if (candidate->path[0] == '\0') {
            return candidate;
        }
        if (candidate->lastUse < slot->lastUse) {
            slot = candidate;
        }
    }
    return slot;
}

static void UseDocument(FeedDocument *document) {
    document->lastUse = ++Plugin.documentUses;
    Plugin.document = document;
}

void StartCallCacheChecks(void) {
    for (int i = 0; i < CACHE_CHECK_SLOTS; i++) {
        Plugin.cacheChecks[i].path[0] = '\0';
    }
    // Names are built anew in every call: the settings (the counts in the names, the cache
    // folder) may have been read again since the last one.
    for (int i = 0; i < CACHE_NAME_SLOTS; i++) {
        Plugin.cacheNames[i].kind = -1;
    }
    Plugin.cacheCheckClock = OsUtcNow();
    Plugin.cacheChecksActive = 1;
}

void EndCallCacheChecks(void) {
    Plugin.cacheChecksActive = 0;
}

void ForgetCacheCheck(const char *path) {
    if (path[0] == '\0') {
        return;
    }
    Plugin.cacheCheckClock = OsUtcNow(); // a file written now is judged by a clock after it
    for (int i = 0; i < CACHE_CHECK_SLOTS; i++) {
        if (EqualsIgnoreCase(Plugin.cacheChecks[i].path, path)) {
            Plugin.cacheChecks[i].path[0] = '\0';
        }
    }
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        if (EqualsIgnoreCase(Plugin.documents[i].path, path)) {
            EmptyDocument(&Plugin.documents[i]);
        }
    }
}

// The file's last-write time, and whether it exists. A file that is to be read is opened for
// it, so that one nobody may read counts as missing; for a file whose copy is kept in memory
// (`kept`), the time alone tells whether that copy still serves, and its name gives it without
// an open, which costs a trip to the kernel on Windows.
static int LookUpFileTime(const char *path, uint64_t *time, int kept) {
    return kept ? OsFileLastWriteByName(path, time) : OsFileLastWrite(path, time);
}

// The file's last-write time and whether it exists: from this call's earlier look, or from the
// file, then remembered in a free slot or in place of the first one.
static int CacheFileTime(const char *path, uint64_t *time, int kept) {
    if (!Plugin.cacheChecksActive) {
        return LookUpFileTime(path, time, kept);
    }
    CacheCheck *slot = &Plugin.cacheChecks[0];
    for (int i = 0; i < CACHE_CHECK_SLOTS; i++) {
        CacheCheck *check = &Plugin.cacheChecks[i];
        if (strcmp(check->path, path) == 0) {
            *time = check->time;
            return check->exists;
        }
        if (check->path[0] == '\0' && slot->path[0] != '\0') {
            slot = check;
        }
    }
    int exists = LookUpFileTime(path, time, kept);
    if (CopyText(slot->path, sizeof slot->path, path)) {
        slot->exists = exists;
        slot->time = exists ? *time : 0;
    } else {
        slot->path[0] = '\0';
    }
    return exists;
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
    FeedDocument *kept = FindDocument(path);
    if (!force && kept != NULL) {
        UseDocument(kept);
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
    FeedDocument *slot = kept != NULL ? kept : SlotForNewDocument();
    size_t needed = (size_t)size + 1;
    if (needed > slot->capacity) {
        char *grown = (char *)realloc(slot->bytes, needed);
        if (grown == NULL) {
            OsFileClose(file);
            return LOAD_NO_BYTES;
        }
        slot->bytes = grown;
        slot->capacity = needed;
    }
    // Read into the slot's buffer only once something arrives, so a failed read leaves the
    // copy there as it was. A file that shrank meanwhile is held as far as it now goes.
    size_t total = ReadUpTo(file, slot->bytes, (size_t)size);
    OsFileClose(file);
    if (total == 0) {
        return LOAD_NO_BYTES;
    }
    slot->bytes[total] = '\0';
    // A buffer that grew for a picture goes back to the common size when a feed takes its
    // place, so that the set never holds more than what it keeps.
    if (slot->capacity > FEED_DOCUMENT_INITIAL && total < FEED_DOCUMENT_INITIAL) {
        char *shrunk = (char *)realloc(slot->bytes, FEED_DOCUMENT_INITIAL);
        if (shrunk != NULL) {
            slot->bytes = shrunk;
            slot->capacity = FEED_DOCUMENT_INITIAL;
        }
    }
    IndexDocument(slot, total);
    // A path too long to keep is held for this extraction only, never found again.
    if (!CopyText(slot->path, sizeof slot->path, path)) {
        slot->path[0] = '\0';
    }
    uint64_t time = 0;
    CacheFileTime(path, &time, 1);
    slot->time = time;
    UseDocument(slot);
    return LOAD_OK;
}

int64_t CacheAgeMinutes(uint64_t fileTime, uint64_t now) {
    if (now >= fileTime) {
        return (int64_t)((now - fileTime) / kTicksPerMinute);
    }
    return -(int64_t)((fileTime - now) / kTicksPerMinute);
}

// The verdict and the file's time; `kept` as for LookUpFileTime.
static enum CacheVerdict Judge(const char *path, int limitMinutes, uint64_t *fileTime, int kept) {
    if (path[0] == '\0' || !CacheFileTime(path, fileTime, kept)) {
        return CACHE_MISSING;
    }
    int64_t age =
        CacheAgeMinutes(*fileTime, Plugin.cacheChecksActive ? Plugin.cacheCheckClock : OsUtcNow());
    // A file dated further ahead of the clock than the limit (the clock was set back) would
    // otherwise stay fresh until the clock caught up; it is stale like an old one.
    if (age > limitMinutes || age < -(int64_t)limitMinutes) {
        return CACHE_STALE;
    }
    return CACHE_FRESH;
}

enum CacheVerdict CacheFileAge(const char *path, int limitMinutes) {
    uint64_t fileTime = 0;
    return Judge(path, limitMinutes, &fileTime, 0);
}

enum CacheVerdict CheckCacheFile(const char *path, int limitMinutes) {
    const FeedDocument *kept = FindDocument(path);
    uint64_t fileTime = 0;
    enum CacheVerdict verdict = Judge(path, limitMinutes, &fileTime, kept != NULL);
    if (verdict == CACHE_FRESH && (kept == NULL || kept->time != fileTime)) {
        LoadFeedDocument(path, 1);
    }
    return verdict;
}

enum CacheVerdict CheckCacheDocument(const char *path, int limitMinutes) {
    enum CacheVerdict verdict = CheckCacheFile(path, limitMinutes);
    if (verdict != CACHE_MISSING && LoadFeedDocument(path, 0) == LOAD_OK &&
        !Plugin.document->whole) {
        return CACHE_MISSING;
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

enum Outcome WriteFileInPlace(const char *path, const char *partPath, const char *bytes,
                              size_t length) {
    OsFile *file = OsFileCreate(partPath);
    if (file == NULL) {
        return OUTCOME_FAILED;
    }
    int written = OsFileWrite(file, bytes, length) == length;
    int closed = OsFileClose(file);
    if (!written || !closed || OsFileReplace(partPath, path) != OUTCOME_DONE) {
        OsFileDelete(partPath);
        return OUTCOME_FAILED;
    }
    return OUTCOME_DONE;
}

enum Outcome StoreFile(const char *path, const char *bytes, size_t length) {
    char partPath[PATH_CAPACITY];
    if (!PartFilePath(path, "store.part", partPath, sizeof partPath) ||
        WriteFileInPlace(path, partPath, bytes, length) != OUTCOME_DONE) {
        return OUTCOME_FAILED;
    }
    ForgetCacheCheck(path);
    return OUTCOME_DONE;
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
