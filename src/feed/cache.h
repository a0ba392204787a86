// Cache files: their names, their freshness, and the documents kept in memory.
#ifndef NIMBREL_CACHE_H
#define NIMBREL_CACHE_H

#include <stddef.h>
#include <stdint.h>

#include "base/state.h"
#include "feed/kinds.h"

// The largest file LoadFeedDocument holds; far above any feed, page or image.
#define FEED_DOCUMENT_LIMIT (8u * 1024u * 1024u)

enum CacheVerdict { CACHE_FRESH = 0, CACHE_STALE = 1, CACHE_MISSING = 2 };

enum LoadResult {
    LOAD_OK = 0,      // the file is held in the feed document
    LOAD_NO_FILE = 1, // the file cannot be opened
    LOAD_EMPTY = 2,   // the file is empty
    LOAD_NO_BYTES = 3 // nothing could be read (or the file is beyond the limit)
};

// Writes the cache file name of `kind` (feed/kinds.h) for the per-call Location ID and unit
// type into the cache file path field and returns it. Returns the field empty when the kind is
// unknown, there is no cache folder, or the name would not fit: such a name opens nothing and
// creates nothing.
const char *CacheFilePath(enum DocumentKind kind);

// CacheFilePath for the unit type `unit` instead of the call's.
const char *CacheFilePathForUnit(enum DocumentKind kind, const char *unit);

// The cache file name of a kind kept per key (KIND_PER_KEY), for the key `key` (a country's
// name), in the cache file path field as CacheFilePath writes it. Returns the field empty for
// another kind, an empty key, no cache folder, or a name that does not fit.
const char *CacheFilePathForKey(enum DocumentKind kind, const char *key);

// Writes `text` into `out` as a piece of a file name: every byte that could leave the folder or
// is not allowed in a Windows name as %XX, ASCII letters in upper case where the file system tells
// case apart (as written where it does not), and every other character as it is. Returns 1 when
// it fit, else 0 (out empty).
int SafeNamePart(const char *text, char *out, size_t capacity);

// The documents kept in memory. Start empties them and gives every one without a buffer its
// buffer of FEED_DOCUMENT_INITIAL bytes (one that cannot be had grows at the first load
// instead); Free releases them at shutdown.
void StartFeedDocuments(void);
void FreeFeedDocuments(void);

// Makes the file at `path` the document that extraction reads (Plugin.document): its kept
// copy when there is one and `force` is 0, else the file read anew into its own slot, or into
// a free one, or in place of the copy asked for least recently. A failed load leaves every
// kept copy as it was.
enum LoadResult LoadFeedDocument(const char *path, int force);

// Freshness under an age limit in minutes. A fresh file that is not kept in memory, or whose
// kept copy is older than the file, is loaded again. A file that cannot be opened counts as
// missing, unless its copy is kept: then its time alone is looked at, by its name.
enum CacheVerdict CheckCacheFile(const char *path, int limitMinutes);

// CheckCacheFile for a document that extraction reads (a feed, a page): one that is not whole
// (markup whose root element never closes: a file cut by a crash or a full disk) counts as
// missing whatever its age, so that it is refreshed at once and its values read "N/A" until
// then, never a wrong value. One that cannot be read is judged by its time alone, and its
// extraction reports the read error.
enum CacheVerdict CheckCacheDocument(const char *path, int limitMinutes);

// Freshness alone, as CheckCacheFile judges it, without loading anything.
enum CacheVerdict CacheFileAge(const char *path, int limitMinutes);

// The temporary file `partName` in the folder of `path`, where a new file is written before it
// takes the place of the old one in one step. Returns 1 when it fits, else 0.
int PartFilePath(const char *path, const char *partName, char *out, size_t capacity);

// Puts `length` bytes in place as the file `path`, in one step: they go to a temporary file in
// the same folder first, so that a reader sees the old whole file or the new whole file.
// Returns OUTCOME_DONE; OUTCOME_FAILED when they could not be written, and then `path` is
// unchanged.
enum Outcome StoreFile(const char *path, const char *bytes, size_t length);

// Writes `length` bytes to the temporary file `partPath` and puts it in place of `path` in one
// step. Returns OUTCOME_DONE; OUTCOME_FAILED when that failed, and then `path` is unchanged and
// `partPath` gone. Reads and writes nothing but the two files.
enum Outcome WriteFileInPlace(const char *path, const char *partPath, const char *bytes,
                              size_t length);

// The whole content of a file, zero-terminated, in a heap block the caller frees; its length
// (without the terminator) in *length. Returns NULL when the file cannot be read, is empty or is
// longer than `limit` bytes. Reads nothing but the file.
char *ReadWholeFile(const char *path, size_t limit, size_t *length);

// Within one export call each file's time is looked up once, missing or not: every writer of
// the cache holds the mutex the call holds, and an expression with every term asks the same few
// files some sixty times. (Without a mutex, a file another process rewrites while a call runs
// is seen by the next call.) Start and end bracket the call. Forget drops what is known of one
// file, its time in this call and its copy kept in memory, as every writer of a cache file
// does: the names are compared without regard to case, as the file system may match them.
void StartCallCacheChecks(void);
void EndCallCacheChecks(void);
void ForgetCacheCheck(const char *path);

// Whole minutes from `fileTime` to `now` (file times); negative when the file is younger than
// the clock says it can be.
int64_t CacheAgeMinutes(uint64_t fileTime, uint64_t now);

// 1 when the file can be opened for reading, else 0.
int FileExists(const char *path);

#endif
