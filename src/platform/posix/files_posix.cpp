// Files of the POSIX port.
#if !defined(_WIN32)

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

// Seconds between 1601-01-01 and 1970-01-01.
static const uint64_t kEpochDifferenceSeconds = 11644473600ull;

struct OsFile {
    int fd;
    int writing; // written files are flushed to the disk before they are closed
    int failed;  // a write failed
};

static OsFile *Wrap(int fd, int writing) {
    if (fd < 0) {
        return NULL;
    }
    OsFile *file = (OsFile *)malloc(sizeof(OsFile));
    if (file == NULL) {
        close(fd);
        return NULL;
    }
    file->fd = fd;
    file->writing = writing;
    file->failed = 0;
    return file;
}

OsFile *OsFileOpenRead(const char *path) {
    return Wrap(open(path, O_RDONLY | O_CLOEXEC), 0);
}

OsFile *OsFileCreate(const char *path) {
    return Wrap(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), 1);
}

int64_t OsFileSize(OsFile *file) {
    struct stat status;
    if (fstat(file->fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return -1;
    }
    return (int64_t)status.st_size;
}

size_t OsFileRead(OsFile *file, void *buffer, size_t count) {
    for (;;) {
        ssize_t got = read(file->fd, buffer, count);
        if (got >= 0) {
            return (size_t)got;
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

size_t OsFileWrite(OsFile *file, const void *bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t wrote = write(file->fd, (const char *)bytes + done, count - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            file->failed = 1;
            break;
        }
        done += (size_t)wrote;
    }
    return done;
}

int OsFileClose(OsFile *file) {
    if (file == NULL) {
        return 1;
    }
    int ok = !file->failed;
    // Written through to the disk, so that a file put in place of another is whole after a
    // crash too.
    if (file->writing && fdatasync(file->fd) != 0) {
        ok = 0;
    }
    if (close(file->fd) != 0) {
        ok = 0;
    }
    free(file);
    return ok;
}

int OsFileLastWrite(const char *path, uint64_t *time) {
    // One system call: this runs for every feed query. A file the user may not read counts as
    // missing, as a file that cannot be opened does.
    struct stat status;
    if (stat(path, &status) != 0 || (!(status.st_mode & S_IRUSR) && geteuid() != 0)) {
        return 0;
    }
    *time = ((uint64_t)status.st_mtim.tv_sec + kEpochDifferenceSeconds) * 10000000ull +
            (uint64_t)status.st_mtim.tv_nsec / 100u;
    return 1;
}

int OsFileLastWriteByName(const char *path, uint64_t *time) {
    struct stat status;
    if (stat(path, &status) != 0) {
        return 0;
    }
    *time = ((uint64_t)status.st_mtim.tv_sec + kEpochDifferenceSeconds) * 10000000ull +
            (uint64_t)status.st_mtim.tv_nsec / 100u;
    return 1;
}

int OsFileStamp(const char *path, uint64_t *time, int64_t *size) {
    struct stat status;
    if (stat(path, &status) != 0) {
        *time = 0;
        *size = 0;
        return 0;
    }
    *time = ((uint64_t)status.st_mtim.tv_sec + kEpochDifferenceSeconds) * 10000000ull +
            (uint64_t)status.st_mtim.tv_nsec / 100u;
    *size = (int64_t)status.st_size;
    return 1;
}

enum Outcome OsFileReplace(const char *from, const char *to) {
    return rename(from, to) == 0 ? OUTCOME_DONE : OUTCOME_FAILED;
}

int OsFileDelete(const char *path) {
    return unlink(path) == 0 || errno == ENOENT;
}

// A lock of the whole open file description: a second open of the same file, in this process
// or another, is refused it too, and the kernel drops it with the last descriptor.
struct OsFileLock {
    int fd;
};

OsFileLock *OsFileLockTry(const char *path) {
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return NULL;
    }
    int locked;
    while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    OsFileLock *lock = locked == 0 ? (OsFileLock *)malloc(sizeof(OsFileLock)) : NULL;
    if (lock == NULL) {
        close(fd);
        return NULL;
    }
    lock->fd = fd;
    return lock;
}

void OsFileLockRelease(OsFileLock *lock) {
    if (lock != NULL) {
        close(lock->fd); // drops the lock with it
        free(lock);
    }
}

#endif
