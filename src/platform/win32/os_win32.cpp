// The Windows backend: module, environment, folders, time, profile files, the host's registry
// key, locale and the named mutex, each through the system's own functions.
#if defined(_WIN32)

#include <windows.h>

#include <string.h>

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

size_t OsProfileGetString(const char *path, const char *section, const char *key,
                          const char *fallback, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    return GetPrivateProfileStringA(section, key, fallback, out, ClampCapacity(capacity), path);
}

int OsProfileGetInt(const char *path, const char *section, const char *key, int fallback) {
    return (int)GetPrivateProfileIntA(section, key, fallback, path);
}

int OsProfileWriteString(const char *path, const char *section, const char *key,
                         const char *value) {
    return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
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
