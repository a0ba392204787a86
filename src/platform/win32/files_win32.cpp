// Files of the Windows build, opened for shared reading and writing.
#if defined(_WIN32)

#include <windows.h>

#include "platform/platform.h"

struct OsFile {
    HANDLE handle;
    int failed; // a write failed
};

static OsFile *Wrap(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        return NULL;
    }
    OsFile *file = (OsFile *)HeapAlloc(GetProcessHeap(), 0, sizeof(OsFile));
    if (file == NULL) {
        CloseHandle(handle);
        return NULL;
    }
    file->handle = handle;
    file->failed = 0;
    return file;
}

static HANDLE OpenShared(const char *path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, NULL);
}

OsFile *OsFileOpenRead(const char *path) {
    return Wrap(OpenShared(path));
}

OsFile *OsFileCreate(const char *path) {
    return Wrap(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN,
                            NULL));
}

int64_t OsFileSize(OsFile *file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file->handle, &size)) {
        return -1;
    }
    return (int64_t)size.QuadPart;
}

size_t OsFileRead(OsFile *file, void *buffer, size_t count) {
    DWORD got = 0;
    DWORD ask = count > 0x40000000u ? 0x40000000u : (DWORD)count;
    if (!ReadFile(file->handle, buffer, ask, &got, NULL)) {
        return 0;
    }
    return got;
}

size_t OsFileWrite(OsFile *file, const void *bytes, size_t count) {
    DWORD wrote = 0;
    if (!WriteFile(file->handle, bytes, (DWORD)count, &wrote, NULL) || wrote != count) {
        file->failed = 1;
    }
    return wrote;
}

int OsFileClose(OsFile *file) {
    if (file == NULL) {
        return 1;
    }
    int ok = !file->failed && CloseHandle(file->handle);
    HeapFree(GetProcessHeap(), 0, file);
    return ok;
}

int OsFileLastWrite(const char *path, uint64_t *time) {
    HANDLE handle = OpenShared(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FILETIME written;
    int ok = GetFileTime(handle, NULL, NULL, &written);
    CloseHandle(handle);
    if (ok) {
        *time = ((uint64_t)written.dwHighDateTime << 32) | written.dwLowDateTime;
    }
    return ok;
}

int OsFileLastWriteByName(const char *path, uint64_t *time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        return 0;
    }
    *time =
        ((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
    return 1;
}

int OsFileStamp(const char *path, uint64_t *time, int64_t *size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        *time = 0;
        *size = 0;
        return 0;
    }
    *time =
        ((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
    *size = (int64_t)(((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow);
    return 1;
}

enum Outcome OsFileReplace(const char *from, const char *to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return OUTCOME_DONE;
    }
    // A reader elsewhere that holds the old file open without delete sharing blocks the
    // move; copying over it still gives it the whole new content.
    if (CopyFileA(from, to, FALSE)) {
        DeleteFileA(from);
        return OUTCOME_DONE;
    }
    return OUTCOME_FAILED;
}

int OsFileDelete(const char *path) {
    return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// A lock of the whole file through its handle: a second handle of the same file, in this
// process or another, is refused it too, and the system drops it when the handle closes or its
// process ends.
struct OsFileLock {
    HANDLE handle;
};

OsFileLock *OsFileLockTry(const char *path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        return NULL;
    }
    OVERLAPPED whole = {};
    OsFileLock *lock = NULL;
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        lock = (OsFileLock *)HeapAlloc(GetProcessHeap(), 0, sizeof(OsFileLock));
    }
    if (lock == NULL) {
        CloseHandle(handle); // drops a lock taken above
        return NULL;
    }
    lock->handle = handle;
    return lock;
}

void OsFileLockRelease(OsFileLock *lock) {
    if (lock != NULL) {
        CloseHandle(lock->handle); // drops the lock with it
        HeapFree(GetProcessHeap(), 0, lock);
    }
}

#endif
