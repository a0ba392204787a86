// The named mutex of the POSIX port: a robust, process-shared pthread mutex in a shared memory
// object of the user's own, so that every thread of every process of the user that opens the
// same name waits on one mutex, and a holder that dies leaves it to the next waiter.
#if !defined(_WIN32)

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/platform.h"

// Marks a block whose mutex has been initialised.
static const uint32_t kBlockMagic = 0x4e424d58u;

typedef struct SharedBlock {
    uint32_t magic;
    pthread_mutex_t mutex;
} SharedBlock;

struct OsMutex {
    SharedBlock *block;
    int private_; // 1: the block is this process's own heap, not a shared mapping
};

static int InitialiseMutex(pthread_mutex_t *mutex) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) {
        return 0;
    }
    // Recursive like a Windows mutex: a thread that owns it may wait on it again.
    int ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
             pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
             pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
             pthread_mutex_init(mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return ok;
}

// A mutex of this process alone: the same kind of mutex in a block of the heap.
static OsMutex *OpenPrivate(void) {
    OsMutex *mutex = (OsMutex *)malloc(sizeof(OsMutex));
    SharedBlock *block = (SharedBlock *)malloc(sizeof(SharedBlock));
    if (mutex == NULL || block == NULL || !InitialiseMutex(&block->mutex)) {
        free(mutex);
        free(block);
        return NULL;
    }
    block->magic = kBlockMagic;
    mutex->block = block;
    mutex->private_ = 1;
    return mutex;
}

OsMutex *OsMutexOpen(const char *name) {
    if (name == NULL) {
        return OpenPrivate();
    }
    char objectName[128];
    if (snprintf(objectName, sizeof objectName, "/%s.%lu", name, (unsigned long)getuid()) >=
        (int)sizeof objectName) {
        return NULL;
    }
    int fd = shm_open(objectName, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return NULL;
    }
    // The file lock orders the first initialisation among processes that start together; the
    // kernel drops it when its holder dies, so a crash here never blocks anyone.
    if (flock(fd, LOCK_EX) != 0) {
        close(fd);
        return NULL;
    }
    struct stat status;
    int ok = fstat(fd, &status) == 0;
    if (ok && (size_t)status.st_size < sizeof(SharedBlock)) {
        ok = ftruncate(fd, sizeof(SharedBlock)) == 0;
    }
    SharedBlock *block = NULL;
    if (ok) {
        void *mapped = mmap(NULL, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        block = mapped == MAP_FAILED ? NULL : (SharedBlock *)mapped;
    }
    if (block != NULL && block->magic != kBlockMagic) {
        if (InitialiseMutex(&block->mutex)) {
            block->magic = kBlockMagic;
        } else {
            munmap(block, sizeof(SharedBlock));
            block = NULL;
        }
    }
    flock(fd, LOCK_UN);
    close(fd); // the mapping stays valid without the descriptor
    if (block == NULL) {
        return NULL;
    }
    OsMutex *mutex = (OsMutex *)malloc(sizeof(OsMutex));
    if (mutex == NULL) {
        munmap(block, sizeof(SharedBlock));
        return NULL;
    }
    mutex->block = block;
    mutex->private_ = 0;
    return mutex;
}

// How long one wait for a held mutex sleeps before it looks again, in milliseconds. A release
// wakes one sleeper; when that one is a thread of a process that is killed at that moment, or
// one whose own wait has just run out, the wake is lost and the others would sleep out their
// whole time beside a free mutex. Each of them looks again after a slice, and takes it then.
enum { MUTEX_WAIT_SLICE_MS = 50 };

enum OsWaitResult OsMutexWait(OsMutex *mutex, unsigned milliseconds) {
    if (mutex == NULL) {
        return OS_WAIT_FAILED;
    }
    // A free mutex is taken without a look at the clock, which costs a system call.
    int result = pthread_mutex_trylock(&mutex->block->mutex);
    if (result == EBUSY) {
        uint64_t end = OsMonotonicMs() + milliseconds;
        for (;;) {
            uint64_t now = OsMonotonicMs();
            uint64_t until = now + MUTEX_WAIT_SLICE_MS < end ? now + MUTEX_WAIT_SLICE_MS : end;
            struct timespec deadline;
            deadline.tv_sec = (time_t)(until / 1000u);
            deadline.tv_nsec = (long)(until % 1000u) * 1000000L;
            do {
                result = pthread_mutex_clocklock(&mutex->block->mutex, CLOCK_MONOTONIC, &deadline);
            } while (result == EINTR);
            if (result != ETIMEDOUT || until >= end) {
                break;
            }
        }
    }
    switch (result) {
    case 0:
        return OS_WAIT_OWNED;
    case EOWNERDEAD:
        // The holder died: the mutex is ours, and its state is as consistent as a Windows
        // mutex's after an abandonment.
        pthread_mutex_consistent(&mutex->block->mutex);
        return OS_WAIT_ABANDONED;
    case ETIMEDOUT:
        return OS_WAIT_TIMEOUT;
    default:
        return OS_WAIT_FAILED;
    }
}

void OsMutexRelease(OsMutex *mutex) {
    if (mutex != NULL) {
        pthread_mutex_unlock(&mutex->block->mutex);
    }
}

void OsMutexClose(OsMutex *mutex) {
    if (mutex != NULL) {
        if (mutex->private_) {
            pthread_mutex_destroy(&mutex->block->mutex);
            free(mutex->block);
        } else {
            munmap(mutex->block, sizeof(SharedBlock));
        }
        free(mutex);
    }
}

#endif
