// Threads of the POSIX port. A thread is detached from the start and reports the end of its
// body through a condition of its own handle, so that a caller can wait for it with a bound,
// and several times. The handle is shared by the thread and its caller; the last one to let go
// frees it.
#if !defined(_WIN32)

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

#include "platform/platform.h"

struct OsThread {
    OsThreadBody body;
    void *context;
    pthread_mutex_t lock;
    pthread_cond_t ended; // signalled under `lock` when `done` is set
    int done;             // 1 once the body has returned
    int users;            // the thread and its caller, under `lock`
};

static void LeaveThread(OsThread *thread) {
    pthread_mutex_lock(&thread->lock);
    int last = --thread->users == 0;
    pthread_mutex_unlock(&thread->lock);
    if (last) {
        pthread_cond_destroy(&thread->ended);
        pthread_mutex_destroy(&thread->lock);
        free(thread);
    }
}

static void *RunThread(void *argument) {
    OsThread *thread = (OsThread *)argument;
    thread->body(thread->context);
    pthread_mutex_lock(&thread->lock);
    thread->done = 1;
    pthread_cond_broadcast(&thread->ended);
    pthread_mutex_unlock(&thread->lock);
    LeaveThread(thread);
    return NULL;
}

// Keeps the module that holds this code mapped until the process ends: an unload while one of
// its threads runs would otherwise take the code from under it. Asked once; a core linked into
// a program pins nothing that was not pinned already.
static void PinModule(void) {
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    struct Pin {
        static void Run(void) {
            Dl_info info;
            if (dladdr((void *)&PinModule, &info) != 0 && info.dli_fname != NULL) {
                // A new reference with RTLD_NODELETE marks the object to stay; the reference
                // itself is not needed afterwards.
                void *self = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
                if (self != NULL) {
                    dlclose(self);
                }
            }
        }
    };
    pthread_once(&once, Pin::Run);
}

OsThread *OsThreadStart(OsThreadBody body, void *context) {
    OsThread *thread = (OsThread *)calloc(1, sizeof(OsThread));
    if (thread == NULL) {
        return NULL;
    }
    pthread_condattr_t attributes;
    if (pthread_condattr_init(&attributes) != 0) {
        free(thread);
        return NULL;
    }
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    int made = pthread_cond_init(&thread->ended, &attributes) == 0;
    pthread_condattr_destroy(&attributes);
    if (!made) {
        free(thread);
        return NULL;
    }
    pthread_mutex_init(&thread->lock, NULL);
    thread->body = body;
    thread->context = context;
    thread->users = 2;
    PinModule();

    pthread_attr_t threadAttributes;
    pthread_t id;
    int started = pthread_attr_init(&threadAttributes) == 0;
    if (started) {
        pthread_attr_setdetachstate(&threadAttributes, PTHREAD_CREATE_DETACHED);
        started = pthread_create(&id, &threadAttributes, RunThread, thread) == 0;
        pthread_attr_destroy(&threadAttributes);
    }
    if (!started) {
        pthread_cond_destroy(&thread->ended);
        pthread_mutex_destroy(&thread->lock);
        free(thread);
        return NULL;
    }
    return thread;
}

enum Outcome OsThreadWait(OsThread *thread, unsigned milliseconds) {
    if (thread == NULL) {
        return OUTCOME_DONE;
    }
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += (long)(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec++;
        deadline.tv_nsec -= 1000000000L;
    }
    pthread_mutex_lock(&thread->lock);
    while (!thread->done &&
           pthread_cond_timedwait(&thread->ended, &thread->lock, &deadline) != ETIMEDOUT) {
    }
    int done = thread->done;
    pthread_mutex_unlock(&thread->lock);
    return done ? OUTCOME_DONE : OUTCOME_PENDING;
}

void OsThreadRelease(OsThread *thread) {
    if (thread != NULL) {
        LeaveThread(thread);
    }
}

void OsSleep(unsigned milliseconds) {
    struct timespec left = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

#endif
