// The Windows backend: module, environment, folders, time, profile files, the host's registry
// key, locale and the named mutex, each through the system's own functions (profile files with
// a UTF-8 byte-order mark or a NUL byte excepted, see below).
#if defined(_WIN32)

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/ini_text.h"
#include "platform/platform.h"

const char OsPathSeparator = '\\';
const char OsModuleExtension[] = ".dll";
const int OsNamesIgnoreCase = 1;

static const char kHostKey[] = "Software\\Orvane Studio\\General";

static DWORD ClampCapacity(size_t capacity) {
    return capacity > 0x7fffffffu ? 0x7fffffffu : (DWORD)capacity;
}

void OsReleaseCaches(void) {}

uint64_t OsUtcNow(void) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((uint64_t)now.dwHighDateTime << 32) | now.dwLowDateTime;
}

uint64_t OsMonotonicMs(void) {
    return GetTickCount64();
}

int OsModulePath(void *instance, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    DWORD length = GetModuleFileNameA((HMODULE)instance, out, ClampCapacity(capacity));
    // A path cut to the buffer is no path: the settings would land in another file.
    if (length == 0 || length >= capacity) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int OsCacheFolder(const char *name, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    DWORD length = GetEnvironmentVariableA("TEMP", out, ClampCapacity(capacity));
    if (length == 0 || length >= capacity) {
        out[0] = '\0';
        return 0;
    }
    while (length > 3 && (out[length - 1] == '\\' || out[length - 1] == '/')) {
        out[--length] = '\0';
    }
    // A drive's root keeps its separator ("C:\\"), which then is the only one.
    size_t separator = out[length - 1] == '\\' || out[length - 1] == '/' ? 0 : 1;
    size_t nameLength = strlen(name);
    if (length + separator + nameLength >= capacity) {
        out[0] = '\0';
        return 0;
    }
    if (separator) {
        out[length] = '\\';
    }
    memcpy(out + length + separator, name, nameLength + 1);
    // A folder that cannot be made is not reported here: downloads into it fail and say so.
    OsCreateFolder(out);
    return 1;
}

int OsCreateFolder(const char *path) {
    return CreateDirectoryA(path, NULL) || OsFolderExists(path);
}

int OsFolderExists(const char *path) {
    if (path[0] == '\0') {
        return 0;
    }
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---- Profile files -----------------------------------------------------------------------
// The system's profile functions take a UTF-8 byte-order mark for bytes of the first line, so
// that the first section of a file an editor saved as "UTF-8 with BOM" goes unseen and a write
// to it appends a second one; and a NUL byte may end their reading of the file. Such files are
// read and written here instead, with the INI text code the POSIX backend uses: the mark stays
// first in the file and its values, UTF-8, are read into the ANSI code page and written back
// from it; a NUL byte is a byte of its line. Every other file goes to the system's functions.

// A file larger than this is not a settings or language file; it goes to the system.
static const int64_t kMaxProfileFileBytes = 4 << 20;

static const char kUtf8Mark[] = "\xEF\xBB\xBF";
enum { UTF8_MARK_LENGTH = 3 };

static int StartsWithUtf8Mark(const char *text, size_t length) {
    return length >= UTF8_MARK_LENGTH && memcmp(text, kUtf8Mark, UTF8_MARK_LENGTH) == 0;
}

// The files last found to be for the system's functions, with the time and size they had before
// that reading: while a file keeps both, a lookup goes straight to the system instead of reading
// the whole file first only to find that again (each lookup of a language file would read it
// twice). A file changed since is read here again. Slots are taken in turn.
enum { SYSTEM_READ_SLOTS = 4 };

typedef struct SystemRead {
    char path[MAX_PATH]; // or empty
    uint64_t time;       // the file's last-write time before it was read
    int64_t size;        // its size in bytes then
} SystemRead;

static SystemRead gSystemReads[SYSTEM_READ_SLOTS];
static int gNextSystemRead;
static SRWLOCK gSystemReadsLock = SRWLOCK_INIT;

// Whether the file at `path` was found to be for the system's functions when it had this time
// and size.
static int KnownSystemRead(const char *path, uint64_t time, int64_t size) {
    int known = 0;
    AcquireSRWLockShared(&gSystemReadsLock);
    for (int i = 0; i < SYSTEM_READ_SLOTS && !known; i++) {
        const SystemRead *read = &gSystemReads[i];
        known = read->time == time && read->size == size && lstrcmpiA(read->path, path) == 0;
    }
    ReleaseSRWLockShared(&gSystemReadsLock);
    return known;
}

static void NoteSystemRead(const char *path, uint64_t time, int64_t size) {
    if (strlen(path) >= MAX_PATH) {
        return;
    }
    AcquireSRWLockExclusive(&gSystemReadsLock);
    SystemRead *read = &gSystemReads[gNextSystemRead];
    gNextSystemRead = (gNextSystemRead + 1) % SYSTEM_READ_SLOTS;
    strcpy(read->path, path);
    read->time = time;
    read->size = size;
    ReleaseSRWLockExclusive(&gSystemReadsLock);
}

// The whole file, when the module reads it itself (it begins with the mark or holds a NUL byte):
// a malloc'd text, zero-terminated after its *length bytes, which the caller frees. Returns NULL
// for a file the system's functions read, and for one that is missing, unreadable or too large.
static char *TextReadHere(const char *path, size_t *length) {
    uint64_t stampTime = 0;
    int64_t stampSize = 0;
    // The look comes before the reading, so that a change made while it reads is seen next time.
    int stamped = OsFileStamp(path, &stampTime, &stampSize);
    if (stamped && KnownSystemRead(path, stampTime, stampSize)) {
        return NULL;
    }
    OsFile *file = OsFileOpenRead(path);
    int64_t size = file != NULL ? OsFileSize(file) : -1;
    char *bytes =
        size > 0 && size <= kMaxProfileFileBytes ? (char *)malloc((size_t)size + 1) : NULL;
    size_t used = 0;
    while (bytes != NULL && used < (size_t)size) {
        size_t got = OsFileRead(file, bytes + used, (size_t)size - used);
        if (got == 0) {
            free(bytes);
            bytes = NULL;
        }
        used += got;
    }
    OsFileClose(file);
    if (bytes != NULL && !StartsWithUtf8Mark(bytes, used) && memchr(bytes, '\0', used) == NULL) {
        free(bytes);
        bytes = NULL;
        if (stamped) {
            NoteSystemRead(path, stampTime, stampSize);
        }
    }
    if (bytes != NULL) {
        bytes[used] = '\0';
        *length = used;
    }
    return bytes;
}

// Converts `length` bytes of code page `from` into code page `to`. Returns a malloc'd text,
// zero-terminated after its *outLength bytes, which the caller frees; NULL on failure.
static char *Recode(UINT from, UINT to, const char *text, size_t length, size_t *outLength) {
    int wideLength =
        length > 0 ? MultiByteToWideChar(from, 0, text, ClampCapacity(length), NULL, 0) : 0;
    WCHAR *wide = (WCHAR *)malloc(((size_t)wideLength + 1) * sizeof(WCHAR));
    if (wide == NULL || (length > 0 && wideLength == 0)) {
        free(wide);
        return NULL;
    }
    MultiByteToWideChar(from, 0, text, ClampCapacity(length), wide, wideLength);
    int bytes =
        wideLength > 0 ? WideCharToMultiByte(to, 0, wide, wideLength, NULL, 0, NULL, NULL) : 0;
    char *out = (char *)malloc((size_t)bytes + 1);
    if (out != NULL) {
        WideCharToMultiByte(to, 0, wide, wideLength, out, bytes, NULL, NULL);
        out[bytes] = '\0';
        *outLength = (size_t)bytes;
    }
    free(wide);
    return out;
}

// Finds the key in a text read here: sets *value to the value in the ANSI code page (malloc'd,
// the caller frees it) and returns 1; 0 when the section or the key is missing.
static int FindHere(const char *text, size_t length, const char *section, const char *key,
                    char **value, size_t *valueLength) {
    const char *found;
    size_t foundLength;
    *value = NULL;
    if (!IniFind(text, length, section, key, &found, &foundLength)) {
        return 0;
    }
    if (StartsWithUtf8Mark(text, length)) {
        *value = Recode(CP_UTF8, CP_ACP, found, foundLength, valueLength);
    } else if ((*value = (char *)malloc(foundLength + 1)) != NULL) {
        *valueLength = IniCopyValue(found, foundLength, *value, foundLength + 1);
    }
    return *value != NULL;
}

// Puts `length` bytes in place as the file: written beside it first, then moved over it in one
// step, so that an interrupted write never leaves half a file. Returns 1, or 0 with the file
// unchanged.
static int ReplaceProfileFile(const char *path, const char *bytes, size_t length) {
    char temporary[MAX_PATH];
    int fits = snprintf(temporary, sizeof temporary, "%s.%lu.tmp", path,
                        (unsigned long)GetCurrentProcessId());
    if (fits <= 0 || (size_t)fits >= sizeof temporary) {
        return 0;
    }
    OsFile *file = OsFileCreate(temporary);
    if (file == NULL) {
        return 0;
    }
    int ok = OsFileWrite(file, bytes, length) == length;
    ok = OsFileClose(file) && ok;
    ok = ok && OsFileReplace(temporary, path) == OUTCOME_DONE;
    if (!ok) {
        OsFileDelete(temporary);
    }
    return ok;
}

size_t OsProfileGetString(const char *path, const char *section, const char *key,
                          const char *fallback, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = 0;
    char *text = TextReadHere(path, &length);
    if (text == NULL) {
        return GetPrivateProfileStringA(section, key, fallback, out, ClampCapacity(capacity), path);
    }
    char *value;
    size_t valueLength = 0, written;
    if (FindHere(text, length, section, key, &value, &valueLength)) {
        written = IniCopyValue(value, valueLength, out, capacity);
        free(value);
    } else {
        written =
            IniCopyValue(fallback, IniTrimmedLength(fallback, strlen(fallback)), out, capacity);
    }
    free(text);
    return written;
}

int OsProfileGetInt(const char *path, const char *section, const char *key, int fallback) {
    size_t length = 0;
    char *text = TextReadHere(path, &length);
    if (text == NULL) {
        return (int)GetPrivateProfileIntA(section, key, fallback, path);
    }
    char *value;
    size_t valueLength = 0;
    int number = fallback;
    if (FindHere(text, length, section, key, &value, &valueLength)) {
        number = valueLength > 0 ? IniInteger(value) : fallback;
        free(value);
    }
    free(text);
    return number;
}

int OsProfileWriteString(const char *path, const char *section, const char *key,
                         const char *value) {
    size_t length = 0;
    char *text = value != NULL ? TextReadHere(path, &length) : NULL;
    if (text == NULL) {
        return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
    }
    size_t valueLength = strlen(value), newLength = 0;
    char *recoded = StartsWithUtf8Mark(text, length)
                        ? Recode(CP_ACP, CP_UTF8, value, valueLength, &valueLength)
                        : NULL;
    const char *written = StartsWithUtf8Mark(text, length) ? recoded : value;
    char *updated =
        written != NULL ? IniWithValue(text, length, section, key, written, &newLength) : NULL;
    int ok = updated != NULL && ReplaceProfileFile(path, updated, newLength);
    free(updated);
    free(recoded);
    free(text);
    return ok;
}

int OsHostProxyValue(const char *name, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kHostKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    DWORD size = ClampCapacity(capacity);
    LONG status = RegQueryValueExA(key, name, NULL, &type, (BYTE *)out, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        out[0] = '\0';
        return 0;
    }
    // A stored string need not carry its terminator.
    size_t length = size < capacity ? size : capacity - 1;
    out[length] = '\0';
    return 1;
}

// A named mutex is the system's kernel mutex, which every process of the user shares. A mutex of
// this process alone never needs the kernel while nobody else holds it: a wait on a kernel
// object costs a trip to the kernel (under Wine to the Wine server) even when it is free, and
// every export takes this one. Its owner and count of nested waits live here; a thread that
// finds it taken sleeps on an event, which the releasing owner sets while anyone waits.
struct OsMutex {
    HANDLE handle;         // the kernel mutex of a named one; NULL for one of this process alone
    volatile LONG taken;   // this process's own: 1 while a thread owns it
    volatile LONG waiters; // this process's own: threads in the slow part of a wait
    volatile DWORD owner;  // this process's own: the owning thread's id, 0 when none
    LONG depth;            // this process's own: the owner's waits not yet released
    HANDLE wake;           // this process's own: auto-reset event set by a release for a waiter
};

OsMutex *OsMutexOpen(const char *name) {
    OsMutex *mutex = (OsMutex *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(OsMutex));
    if (mutex == NULL) {
        return NULL;
    }
    if (name != NULL) {
        mutex->handle = CreateMutexA(NULL, FALSE, name);
    } else {
        mutex->wake = CreateEventA(NULL, FALSE, FALSE, NULL);
    }
    if (mutex->handle == NULL && mutex->wake == NULL) {
        HeapFree(GetProcessHeap(), 0, mutex);
        return NULL;
    }
    return mutex;
}

// Takes a mutex of this process for the calling thread when it is free. Returns 1 when taken.
static int TakeLocal(OsMutex *mutex, DWORD self) {
    if (InterlockedCompareExchange(&mutex->taken, 1, 0) != 0) {
        return 0;
    }
    mutex->owner = self;
    mutex->depth = 1;
    return 1;
}

// OsMutexWait for a mutex of this process alone: nested waits of its owner count, as a kernel
// mutex's do; a free mutex is taken without the kernel.
static enum OsWaitResult WaitLocal(OsMutex *mutex, unsigned milliseconds) {
    DWORD self = GetCurrentThreadId();
    // Only the owner itself ever wrote its own id there.
    if (mutex->owner == self) {
        mutex->depth++;
        return OS_WAIT_OWNED;
    }
    if (TakeLocal(mutex, self)) {
        return OS_WAIT_OWNED;
    }
    if (milliseconds == 0) {
        return OS_WAIT_TIMEOUT;
    }
    ULONGLONG start = GetTickCount64();
    // Counted before the next look, so that a release after it sets the event for this thread.
    InterlockedIncrement(&mutex->waiters);
    enum OsWaitResult result = OS_WAIT_TIMEOUT;
    for (;;) {
        if (TakeLocal(mutex, self)) {
            result = OS_WAIT_OWNED;
            break;
        }
        ULONGLONG waited = GetTickCount64() - start;
        if (milliseconds != INFINITE && waited >= milliseconds) {
            break;
        }
        DWORD left = milliseconds == INFINITE ? INFINITE : (DWORD)(milliseconds - waited);
        if (WaitForSingleObject(mutex->wake, left) == WAIT_FAILED) {
            result = OS_WAIT_FAILED;
            break;
        }
    }
    InterlockedDecrement(&mutex->waiters);
    return result;
}

enum OsWaitResult OsMutexWait(OsMutex *mutex, unsigned milliseconds) {
    if (mutex == NULL) {
        return OS_WAIT_FAILED;
    }
    if (mutex->handle == NULL) {
        return WaitLocal(mutex, milliseconds);
    }
    switch (WaitForSingleObject(mutex->handle, milliseconds)) {
    case WAIT_OBJECT_0:
        return OS_WAIT_OWNED;
    case WAIT_ABANDONED:
        return OS_WAIT_ABANDONED;
    case WAIT_TIMEOUT:
        return OS_WAIT_TIMEOUT;
    default:
        return OS_WAIT_FAILED;
    }
}

void OsMutexRelease(OsMutex *mutex) {
    if (mutex == NULL) {
        return;
    }
    if (mutex->handle != NULL) {
        ReleaseMutex(mutex->handle);
        return;
    }
    // As ReleaseMutex, a thread that does not own it releases nothing.
    if (mutex->owner != GetCurrentThreadId() || --mutex->depth > 0) {
        return;
    }
    mutex->owner = 0;
    InterlockedExchange(&mutex->taken, 0);
    if (InterlockedCompareExchange(&mutex->waiters, 0, 0) > 0) {
        SetEvent(mutex->wake);
    }
}

void OsMutexClose(OsMutex *mutex) {
    if (mutex != NULL) {
        CloseHandle(mutex->handle != NULL ? mutex->handle : mutex->wake);
        HeapFree(GetProcessHeap(), 0, mutex);
    }
}

#endif
