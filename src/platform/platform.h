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

// ---- Constants of the platform -------------------------------------------------------------

// The separator between folder names in a path: '\\' on Windows, '/' on POSIX.
extern const char OsPathSeparator;

// The file-name ending of the module itself: ".dll" on Windows, ".so" on POSIX.
extern const char OsModuleExtension[];

// ---- Time ----------------------------------------------------------------------------------

// The current UTC time as a count of 100-ns intervals since 1601-01-01 (a Windows file time).
uint64_t OsUtcNow(void);

// ---- Module and environment ----------------------------------------------------------------

// Writes the full path of the module that holds `instance` (a Windows instance handle, or on
// POSIX any address inside the module). Returns 1 on success; 0 when the path cannot be had or
// does not fit, and then `out` is empty.
int OsModulePath(void *instance, char *out, size_t capacity);

// Writes the user's folder for temporary files, without a trailing separator. Returns 1 on
// success; 0 when there is none or it does not fit, and then `out` is empty.
int OsTempFolder(char *out, size_t capacity);

// Creates one folder level with default security. Returns 1 when the folder was created or
// exists already, 0 otherwise.
int OsCreateFolder(const char *path);

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

// ---- Locale --------------------------------------------------------------------------------

// Writes the user's measurement system: "0" metric, "1" U.S. Returns 1 on success; 0 when it
// cannot be had, and then `out` is empty.
int OsLocaleMeasure(char *out, size_t capacity);

// Formats a calendar date in the user's short date format. Returns the length written, 0 on
// failure (and then `out` is empty).
size_t OsFormatShortDate(int year, int month, int day, char *out, size_t capacity);

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

// Creates the named mutex, not owned, or opens it when it exists. Returns NULL on failure.
OsMutex *OsMutexOpen(const char *name);

// Waits at most `milliseconds` for ownership. A NULL mutex gives OS_WAIT_FAILED.
enum OsWaitResult OsMutexWait(OsMutex *mutex, unsigned milliseconds);

// Gives up one ownership taken by OsMutexWait. Does nothing for NULL.
void OsMutexRelease(OsMutex *mutex);

// Closes this process's handle. Does nothing for NULL.
void OsMutexClose(OsMutex *mutex);

#endif
