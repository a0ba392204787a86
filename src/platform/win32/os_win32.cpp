// The Windows backend: module, environment, folders, time, profile files, the host's registry
// key, locale and the named mutex, each through the system's own functions (profile files that
// begin with a UTF-8 byte-order mark excepted, see below).
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
// The system's profile functions read a UTF-8 byte-order mark as bytes of the first line, so
// that the first section of a file an editor saved as "UTF-8 with BOM" goes unseen and a write
// to it appends a second one. Such a file is read and written here instead, with the INI text
// the POSIX backend uses: its values are UTF-8, read into the ANSI code page and written back
// from it, and its mark stays. Every other file goes to the system's functions.

// A file larger than this is not a settings or language file; it reads as missing.
static const int64_t kMaxProfileFileBytes = 4 << 20;

static const char kUtf8Mark[] = "\xEF\xBB\xBF";
enum { UTF8_MARK_LENGTH = 3 };

// Whether the file begins with the UTF-8 byte-order mark.
static int StartsWithUtf8Mark(const char *path) {
    OsFile *file = OsFileOpenRead(path);
    char head[UTF8_MARK_LENGTH];
    size_t got = file != NULL ? OsFileRead(file, head, sizeof head) : 0;
    OsFileClose(file);
    return got == UTF8_MARK_LENGTH && memcmp(head, kUtf8Mark, UTF8_MARK_LENGTH) == 0;
}

// Reads the whole file into a malloc'd text, zero-terminated after its *length bytes, which the
// caller frees. Returns NULL when it is missing, unreadable or too large.
static char *ReadProfileFile(const char *path, size_t *length) {
    OsFile *file = OsFileOpenRead(path);
    int64_t size = file != NULL ? OsFileSize(file) : -1;
    char *bytes =
        size >= 0 && size <= kMaxProfileFileBytes ? (char *)malloc((size_t)size + 1) : NULL;
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

// Finds the key in a file with the mark: sets *value to the value in the ANSI code page (malloc'd,
// the caller frees it) and returns 1; 0 when the file, the section or the key is missing.
static int FindMarked(const char *path, const char *section, const char *key, char **value,
                      size_t *valueLength) {
    size_t length = 0;
    char *text = ReadProfileFile(path, &length);
    const char *found;
    size_t foundLength;
    *value = NULL;
    if (text != NULL && IniFind(text, length, section, key, &found, &foundLength)) {
        *value = Recode(CP_UTF8, CP_ACP, found, foundLength, valueLength);
    }
    free(text);
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
    ok = ok && OsFileReplace(temporary, path);
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
    if (!StartsWithUtf8Mark(path)) {
        return GetPrivateProfileStringA(section, key, fallback, out, ClampCapacity(capacity), path);
    }
    char *value;
    size_t valueLength = 0;
    if (!FindMarked(path, section, key, &value, &valueLength)) {
        return IniCopyValue(fallback, IniTrimmedLength(fallback, strlen(fallback)), out, capacity);
    }
    size_t written = IniCopyValue(value, valueLength, out, capacity);
    free(value);
    return written;
}

int OsProfileGetInt(const char *path, const char *section, const char *key, int fallback) {
    if (!StartsWithUtf8Mark(path)) {
        return (int)GetPrivateProfileIntA(section, key, fallback, path);
    }
    char *value;
    size_t valueLength = 0;
    if (!FindMarked(path, section, key, &value, &valueLength)) {
        return fallback;
    }
    int number = valueLength > 0 ? IniInteger(value) : fallback;
    free(value);
    return number;
}

int OsProfileWriteString(const char *path, const char *section, const char *key,
                         const char *value) {
    if (value == NULL || !StartsWithUtf8Mark(path)) {
        return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
    }
    size_t length = 0, utf8Length = 0, newLength = 0;
    // It had its mark a moment ago: a file that cannot be read now is never overwritten.
    char *text = ReadProfileFile(path, &length);
    char *utf8 = text != NULL ? Recode(CP_ACP, CP_UTF8, value, strlen(value), &utf8Length) : NULL;
    char *updated =
        utf8 != NULL ? IniWithValue(text, length, section, key, utf8, &newLength) : NULL;
    int ok = updated != NULL && ReplaceProfileFile(path, updated, newLength);
    free(updated);
    free(utf8);
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

struct OsMutex {
    HANDLE handle;
};

OsMutex *OsMutexOpen(const char *name) {
    HANDLE handle = CreateMutexA(NULL, FALSE, name);
    if (handle == NULL) {
        return NULL;
    }
    OsMutex *mutex = (OsMutex *)HeapAlloc(GetProcessHeap(), 0, sizeof(OsMutex));
    if (mutex == NULL) {
        CloseHandle(handle);
        return NULL;
    }
    mutex->handle = handle;
    return mutex;
}

enum OsWaitResult OsMutexWait(OsMutex *mutex, unsigned milliseconds) {
    if (mutex == NULL) {
        return OS_WAIT_FAILED;
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
    if (mutex != NULL) {
        ReleaseMutex(mutex->handle);
    }
}

void OsMutexClose(OsMutex *mutex) {
    if (mutex != NULL) {
        CloseHandle(mutex->handle);
        HeapFree(GetProcessHeap(), 0, mutex);
    }
}

#endif
