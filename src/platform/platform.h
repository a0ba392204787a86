// The seam between the portable core and the operating system.
//
// The core reaches the system only through the Os* functions declared here. Each backend
// (win32/ and posix/) implements all of them; exactly one is compiled into a build. Unless a
// contract says otherwise, text arguments are zero-terminated, output buffers belong to the
// caller, and a text written into one of them is zero-terminated and cut to its capacity less
// one byte.
#ifndef NIMBREL_PLATFORM_H
#define NIMBREL_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

// ---- What came of an operation --------------------------------------------------------------

// The outcome of every operation that fetches, keeps, replaces or refreshes something, in every
// layer: it is done, it failed (and what it would have changed is as it was), or it is still
// under way and its result comes later. Functions that answer a question (does it fit, does it
// exist) return 1 for yes instead.
enum Outcome { OUTCOME_DONE = 0, OUTCOME_FAILED = 1, OUTCOME_PENDING = 2 };

// ---- Constants of the platform -------------------------------------------------------------

// The separator between folder names in a path: '\\' on Windows, '/' on POSIX.
extern const char OsPathSeparator;

// The file-name ending of the module itself: ".dll" on Windows, ".so" on POSIX.
extern const char OsModuleExtension[];

// Nonzero where the file system matches names without regard to case (Windows), so that names
// may keep the spelling a caller gave; zero where two spellings name two files (POSIX).
extern const int OsNamesIgnoreCase;

// ---- The backend's own state -------------------------------------------------------------

// Releases what the backend keeps between calls (the POSIX locales it has made). Called at
// shutdown, when no export runs any more.
void OsReleaseCaches(void);

// ---- Time ----------------------------------------------------------------------------------

// The current UTC time as a count of 100-ns intervals since 1601-01-01 (a Windows file time).
uint64_t OsUtcNow(void);

// Milliseconds from an arbitrary start on a clock that only moves forward: changes of the
// calendar clock, and clocks faked for the process, neither stretch nor shrink its intervals.
uint64_t OsMonotonicMs(void);

// ---- Module and environment ----------------------------------------------------------------

// Writes the full path of the module that holds `instance` (a Windows instance handle, or on
// POSIX any address inside the module). Returns 1 on success; 0 when the path cannot be had or
// does not fit, and then `out` is empty.
int OsModulePath(void *instance, char *out, size_t capacity);

// Writes the folder of the module's cache, `name` inside the user's TEMP folder, created when
// missing, without a trailing separator. On Windows TEMP is the user's own, and a folder that
// cannot be made is written all the same: downloads into it fail and say so. On POSIX, where TEMP
// (or TMPDIR) is often the shared /tmp, the folder must be private: a real folder (no symbolic
// link) of the user that nobody else may write, in a parent that others may write only where the
// sticky bit keeps them from moving it. Without TEMP and TMPDIR, or when TEMP's folder is not
// private, it is the user's XDG cache folder instead, `name` in lower case inside
// $XDG_CACHE_HOME, else inside ~/.cache. New folders are made mode 0700. Returns 1 on success;
// 0 when there is no usable folder, or TEMP's folder does not fit, and then `out` is empty.
int OsCacheFolder(const char *name, char *out, size_t capacity);

// Creates one folder level with default security. Returns 1 when the folder was created or
// exists already, 0 otherwise (a file of that name included).
int OsCreateFolder(const char *path);

// Returns 1 when `path` names an existing folder (or a link to one); 0 when it names a file,
// nothing, or something that cannot be looked at.
int OsFolderExists(const char *path);

// ---- Profile (INI) files -------------------------------------------------------------------
// Section and key names match without regard to case; a missing file, section or key gives the
// default; surrounding blanks of a value are dropped.

// Reads a text value into `out`. Returns the length written.
size_t OsProfileGetString(const char *path, const char *section, const char *key,
                          const char *fallback, char *out, size_t capacity);

// Reads an integer: the leading decimal number of the value, 0 for a value that does not begin
// with one, `fallback` for a missing or empty value.
int OsProfileGetInt(const char *path, const char *section, const char *key, int fallback);

// Writes key=value into the section, creating the file, the section or the key as needed and
// keeping every other line. Returns 1 on success, 0 when the file cannot be written.
int OsProfileWriteString(const char *path, const char *section, const char *key, const char *value);

// ---- The host application's proxy settings -------------------------------------------------

// Reads one proxy value of the host ("UseProxy", "ProxyUsername", "ProxyPort", "ProxyPassword",
// "ProxyServer") as text. Returns 1 when the value exists; 0 otherwise, and then `out` is empty.
int OsHostProxyValue(const char *name, char *out, size_t capacity);

// ---- Locale ----------------------------------------------------------------------------
// Every text is formatted for the user's default locale and the Gregorian calendar. On Windows
// texts are in the ANSI code page; on POSIX they are UTF-8.

// Reads the user's locale (on POSIX the environment's LC_* and LANG variables) once for the
// calling thread, which the locale functions below then use until OsLocaleCallEnd instead of
// reading it again for every text they format: an export calls it as it starts, so that a
// locale changed between two calls is seen by the next one. Without it, or after
// OsLocaleCallEnd, each function reads the locale itself. Windows reads its user locale
// through the system each time: both do nothing there.
void OsLocaleCallBegin(void);

// Ends what OsLocaleCallBegin began on the calling thread.
void OsLocaleCallEnd(void);

// Nonzero when texts are UTF-8 (POSIX); zero for the Windows ANSI code page, where the
// characters 0x80 to 0xFF of Latin-1 are single bytes.
extern const int OsTextIsUtf8;

// UTF-8 on every system (platform/utf8.cpp, compiled into both backends): the backends convert
// through it, the core cuts and reads service texts with it.

// The code point OsUtf8Decode gives for bytes that start no UTF-8 character.
#define OS_NOT_A_CHARACTER 0xFFFFFFFFu

// Decodes the UTF-8 character at `text`, of which `left` bytes (at least 1) may be read.
// Returns its length in bytes (at least 1) and its code point in *codePoint. A byte that starts
// no character, or a character cut short, is one byte of OS_NOT_A_CHARACTER; an overlong form, a
// surrogate or a code point above U+10FFFF is its whole length of OS_NOT_A_CHARACTER.
size_t OsUtf8Decode(const char *text, size_t left, uint32_t *codePoint);

// Encodes the code point `codePoint` (at most U+10FFFF) as UTF-8 into `out`, which holds four
// bytes. Returns the number of bytes written, 1 to 4.
size_t OsUtf8Encode(uint32_t codePoint, char out[4]);

// How many of the first `length` bytes of a UTF-8 text fit into `room` bytes without cutting a
// character in two: `length` when it fits, else `room` moved back to the start of the character
// it would cut. Only the bytes before `room` are read.
size_t OsUtf8FitLength(const char *text, size_t length, size_t room);

// Writes `length` bytes of a document from a service (a piece of a feed or a page) as a text of
// the platform's encoding, cut to `capacity` less one without splitting a character. `charset`
// is the character set the document declares (the encoding of its XML declaration), or empty
// when it declares none. On Windows the bytes stay as the service wrote them: they are shown in
// the ANSI code page. On POSIX they become UTF-8: a declared character set is converted (the
// names of Latin-1 and ASCII are read as code page 1252, as web browsers read them); a text that
// declares UTF-8 or nothing stays as it is when it is well-formed UTF-8 and is read as code page
// 1252 when it is not; a character set the system does not know counts as none declared.
// Returns the length written.
size_t OsDocumentText(const char *charset, const char *bytes, size_t length, char *out,
                      size_t capacity);

// Writes the user's measurement system: "0" metric, "1" U.S. Returns 1 on success; 0 when it
// cannot be had, and then `out` is empty.
int OsLocaleMeasure(char *out, size_t capacity);

// A calendar date and time of day.
typedef struct OsDateTime {
    int year, month, day;            // month 1 to 12, day 1 to 31
    int hour, minute, second, milli; // 0 to 23, 0 to 59, 0 to 59, 0 to 999
    int weekday;                     // 0 Sunday to 6 Saturday
} OsDateTime;

// Converts a file time (see OsUtcNow) to its UTC calendar date and time. Returns 1, or 0 for a
// time the calendar functions cannot show.
int OsFileTimeToDateTime(uint64_t fileTime, OsDateTime *out);

// The local date and time of the computer's clock.
void OsLocalNow(OsDateTime *out);

// Formats a date in the user's short date format. Returns the length written, 0 on failure
// (and then `out` is empty), as for a day past the end of its month (2/30), which never becomes
// a date of the next month.
size_t OsFormatShortDate(int year, int month, int day, char *out, size_t capacity);

enum OsTimeForm {
    OS_TIME_FULL = 0,       // the locale's time with seconds
    OS_TIME_NO_SECONDS = 1, // hours and minutes
    OS_TIME_HOUR_ONLY = 2   // the hour alone, with its AM/PM marker where the locale has one
};

// Formats a time of day in the locale's own form. Returns the length written, 0 on failure.
size_t OsFormatTime(const OsDateTime *time, enum OsTimeForm form, char *out, size_t capacity);

// Formats a time of day with a Windows time picture (h hh H HH m mm s ss t tt, text in single
// quotes as it stands). Returns the length written, 0 on failure (an empty or invalid picture).
size_t OsFormatTimePicture(const OsDateTime *time, const char *picture, char *out, size_t capacity);

// Formats a decimal number text ("2.8", "-12.05") with the locale's decimal separator,
// grouping and number of fractional digits. Returns the length written, 0 on failure.
size_t OsFormatNumber(const char *number, char *out, size_t capacity);

// Writes the locale's decimal separator (at most 3 characters). Returns 1, or 0 on failure.
int OsDecimalSeparator(char *out, size_t capacity);

// The day and month names of the locale's Gregorian calendar.
typedef enum OsCalendarNames {
    OS_LONG_DAY_NAMES,   // Monday to Sunday
    OS_SHORT_DAY_NAMES,  // their abbreviations
    OS_LONG_MONTH_NAMES, // January to December
    OS_SHORT_MONTH_NAMES // their abbreviations
} OsCalendarNames;

// Writes name `index` of the locale's `names`, counted from 0 for Monday or January. Returns
// the length written; 0 for an index out of range or a name that cannot be had (out empty).
size_t OsCalendarName(OsCalendarNames names, int index, char *out, size_t capacity);

// Writes the name of the computer's time zone as the system gives it: the daylight name while
// daylight time is in force, else the standard name. Returns 1, or 0 when it cannot be read.
int OsTimeZoneName(char *out, size_t capacity);

// The offset from UTC (local time minus UTC, in seconds) and the abbreviation ("PDT", "+0530")
// in force at `fileTime` (see OsUtcNow) in the zone of the time-zone database named `zone`
// ("America/Los_Angeles"), as a weather service names a place's zone. The name is only looked
// up, never used as a path as it stands: one that is no zone name ("../x", "/etc/x") is
// unknown. POSIX reads the system's zone files; Windows maps the name to its own zone through
// a table made at build time and reads that zone's rules for the instant's year, its
// abbreviation being the zone's name shortened ("W.EDT"). Returns 1; 0 when the zone is
// unknown, its rules cannot be read, or the build has no table of names, and then
// *offsetSeconds is 0 and `abbreviation` empty.
int OsZoneAt(const char *zone, uint64_t fileTime, int *offsetSeconds, char *abbreviation,
             size_t capacity);

// ---- Files -------------------------------------------------------------------------------
// Every open allows other readers and writers to keep the file open meanwhile.

typedef struct OsFile OsFile;

// Opens an existing file for reading. Returns NULL when it is missing or cannot be opened.
OsFile *OsFileOpenRead(const char *path);

// Creates the file, or truncates an existing one, for writing. Returns NULL on failure.
OsFile *OsFileCreate(const char *path);

// The size of an open file in bytes, or -1 when it cannot be had.
int64_t OsFileSize(OsFile *file);

// Reads up to `count` bytes. Returns the number read; 0 at the end or on failure.
size_t OsFileRead(OsFile *file, void *buffer, size_t count);

// Writes `count` bytes at the current end. Returns the number written (fewer on failure).
size_t OsFileWrite(OsFile *file, const void *bytes, size_t count);

// Closes the file. Returns 1 when everything written reached the file, 0 otherwise. NULL is
// ignored.
int OsFileClose(OsFile *file);

// The last-write time of a file as a file time (see OsUtcNow), read through a shared open.
// Returns 1 on success, 0 when the file cannot be opened.
int OsFileLastWrite(const char *path, uint64_t *time);

// The last-write time of a file from its directory entry, without opening it: no handle, and
// on Windows one trip to the kernel instead of three. A file that exists but cannot be opened
// still gives its time. Returns 1 on success, 0 when there is no such file.
int OsFileLastWriteByName(const char *path, uint64_t *time);

// The last-write time (see OsUtcNow) and the size in bytes of a file, from its directory entry
// without opening it, as OsFileLastWriteByName: one look that tells whether somebody changed
// the file since. Returns 1 on success; 0 when there is no such file, and then both are 0.
int OsFileStamp(const char *path, uint64_t *time, int64_t *size);

// Puts `from` in the place of `to` in one step where the system allows it, so that readers
// see the old whole file or the new whole file. Returns OUTCOME_DONE; OUTCOME_FAILED, and then
// `to` is unchanged.
enum Outcome OsFileReplace(const char *from, const char *to);

// Deletes a file. Returns 1 when it is gone.
int OsFileDelete(const char *path);

// ---- HTTP ----------------------------------------------------------------------------------

// Headers of an answer that a caller keeps with its body, to ask about it again politely.
enum { OS_HTTP_HEADER_CAPACITY = 64 }; // an HTTP date is 29 characters
typedef struct OsHttpAnswerHeaders {
    char expires[OS_HTTP_HEADER_CAPACITY];      // the Expires header as sent, or empty
    char lastModified[OS_HTTP_HEADER_CAPACITY]; // the Last-Modified header as sent, or empty
    char date[OS_HTTP_HEADER_CAPACITY];         // the Date header (the server's clock), or empty
} OsHttpAnswerHeaders;

typedef struct OsHttpRequest {
    const char *address;         // full http:// address
    const char *userAgent;       // sent as User-Agent
    int useProxy;                // nonzero: through the proxy, but names without a dot go direct
    const char *proxyAddress;    // "server:port"
    const char *proxyUser;       // or empty
    const char *proxyPassword;   // or empty
    unsigned connectTimeoutMs;   // bound of the connection
    unsigned readTimeoutMs;      // bound of the wait for each piece of the body
    unsigned totalTimeoutMs;     // bound of the whole request, body included
    const char *ifModifiedSince; // sent as If-Modified-Since; NULL or empty: not sent
    OsHttpAnswerHeaders *answerHeaders; // NULL, or filled with the answer's (emptied first)
} OsHttpRequest;

// Receives the body piece by piece, each at most OS_HTTP_PIECE bytes. Returns 1 to go on, 0 to
// stop the transfer.
typedef int (*OsBodySink)(void *context, const char *bytes, size_t count);

enum { OS_HTTP_PIECE = 4096 };

enum OsHttpResult {
    OS_HTTP_COMPLETE = 0,   // the whole body went to the sink; *status holds the HTTP status
    OS_HTTP_NO_SESSION = 1, // no internet session could be opened
    OS_HTTP_NOT_OPENED = 2, // the address could not be opened (no connection, no answer)
    OS_HTTP_INCOMPLETE = 3, // the body broke off, or a bound ran out
    OS_HTTP_STOPPED = 4     // the sink asked to stop
};

// Fetches the address with a reload that passes every cache on the way, and streams the body
// into the sink. The request accepts a gzip body, which reaches the sink decoded. A 304 answer
// (to If-Modified-Since) is complete with no body. The answer's Expires and Last-Modified go to
// the request's answerHeaders when it names them (cut to their capacity; emptied on failure).
// Never blocks longer than the request's bounds allow (plus a little).
enum OsHttpResult OsHttpGet(const OsHttpRequest *request, OsBodySink sink, void *context,
                            int *status);

// Why a request brought no whole answer, as far as the backend can tell.
enum OsHttpFailureKind {
    OS_HTTP_FAILURE_NONE = 0,    // none: the answer came whole (any status), or the sink stopped it
    OS_HTTP_FAILURE_DNS = 1,     // the server's or the proxy's name could not be resolved
    OS_HTTP_FAILURE_CONNECT = 2, // no connection could be made: refused, unreachable
    OS_HTTP_FAILURE_TLS = 3,     // the secure connection failed: the certificate, or the handshake
    OS_HTTP_FAILURE_TIMEOUT = 4, // a bound of the request ran out
    OS_HTTP_FAILURE_BROKEN = 5,  // the connection broke off, or the answer was not HTTP
    OS_HTTP_FAILURE_OTHER = 6    // anything else: an address that cannot be read, no session
};

enum { OS_HTTP_REASON_CAPACITY = 256 };

typedef struct OsHttpFailure {
    enum OsHttpFailureKind kind;
    // The backend's own words for it (libcurl's error buffer; WinINet's error code, and for a
    // certificate the flags of what failed its check), or empty.
    char reason[OS_HTTP_REASON_CAPACITY];
    int viaProxy; // nonzero: the request went to the proxy, not straight to the server
} OsHttpFailure;

// OsHttpGet, which also fills `failure` (the caller's) with why the request failed, for a user
// to read: a diagnostic asks through it, the downloads of the core do not need to.
enum OsHttpResult OsHttpGetExplained(const OsHttpRequest *request, OsBodySink sink, void *context,
                                     int *status, OsHttpFailure *failure);

// Nonzero when the machine has some network connection configured.
int OsInternetConnected(void);

// Nonzero when a connection to the server of the http:// address can be made now, within
// `timeoutMs`.
int OsCheckConnection(const char *address, unsigned timeoutMs);

// ---- Threads -------------------------------------------------------------------------------
// A thread keeps the module's code in place while it runs, so that the host may unload the
// module meanwhile: on Windows each thread holds a reference of its own to the module and
// leaves through FreeLibraryAndExitThread; on POSIX the first thread started makes the module
// stay mapped until the process ends (a later unload leaves it where it is, and its
// load and unload hooks then run once, at load and at the end of the process).

typedef struct OsThread OsThread;

typedef void (*OsThreadBody)(void *context);

// Starts a thread that runs body(context) and ends with it. Returns its handle, which the
// caller releases with OsThreadRelease; NULL when no thread could be started (body then never
// runs).
OsThread *OsThreadStart(OsThreadBody body, void *context);

// Waits at most `milliseconds` for the thread's body to return. Returns OUTCOME_DONE when it has
// returned, OUTCOME_PENDING when the time ran out (and it may be waited for again). A NULL
// thread is done.
enum Outcome OsThreadWait(OsThread *thread, unsigned milliseconds);

// Releases the handle; a thread still running goes on by itself. Does nothing for NULL.
void OsThreadRelease(OsThread *thread);

// Waits `milliseconds` on the calling thread.
void OsSleep(unsigned milliseconds);

// ---- Claims in the cache folder ------------------------------------------------------------
// An exclusive lock of the system on a small file, for work that at most one thread of all of
// the user's processes may do at a time. The system drops it when its holder closes it or ends,
// however it ends, so that a killed process never leaves it held.

typedef struct OsFileLock OsFileLock;

// Takes the lock of the file at `path`, creating the file when it is missing, without waiting.
// Returns the held lock; NULL when another handle holds it (of this process or another) or the
// file cannot be opened. The file stays when the lock is released.
OsFileLock *OsFileLockTry(const char *path);

// Releases the lock and closes its file. Does nothing for NULL.
void OsFileLockRelease(OsFileLock *lock);

// ---- The named mutex -----------------------------------------------------------------------
// One mutex per name for every thread and every process of the user that opens it. A holder
// that ends while holding it leaves it abandoned; the next waiter then owns it.

typedef struct OsMutex OsMutex;

enum OsWaitResult {
    OS_WAIT_OWNED = 0,     // the caller owns the mutex
    OS_WAIT_ABANDONED = 1, // the caller owns the mutex; its last holder ended without release
    OS_WAIT_TIMEOUT = 2,   // not owned: the time ran out
    OS_WAIT_FAILED = 3     // not owned: the mutex is unusable
};

// Creates the named mutex, not owned, or opens it when it exists; a NULL name makes a mutex of
// this process alone (its threads wait on it as on a named one). Returns NULL on failure.
OsMutex *OsMutexOpen(const char *name);

// Waits at most `milliseconds` for ownership. A NULL mutex gives OS_WAIT_FAILED.
enum OsWaitResult OsMutexWait(OsMutex *mutex, unsigned milliseconds);

// Gives up one ownership taken by OsMutexWait. Does nothing for NULL.
void OsMutexRelease(OsMutex *mutex);

// Closes this process's handle. Does nothing for NULL.
void OsMutexClose(OsMutex *mutex);

// ---- Provided by the core -------------------------------------------------------------------
// The backends' loader entries (DllMain's process attach and detach, the shared object's load
// and unload hooks) call these, which the core defines: so the seam never includes the core.

// Starts the module. `instance` is any address inside the module, from which OsModulePath finds
// its path (the module's instance handle on Windows). Never fails: a start-up that finds no
// settings or no cache folder leaves the module running on its defaults.
void CoreModuleLoaded(void *instance);

// Shuts the module down: writes the settings back and frees what start-up took.
void CoreModuleUnloaded(void);

// Gives the refreshes this process still runs their bound to finish, so that a one-shot host's
// refresh completes. The shared object's unload hook calls it before CoreModuleUnloaded;
// DllMain does not, since no thread can end while the loader lock is held.
void CoreFinishRefreshes(void);

#endif
