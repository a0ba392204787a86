// Takes the plugin mutex, or a claim in the cache folder, from a process of its own, for the
// tests of the mutex frame and of claims.
//   nimbrel-mutex-holder hold MILLISECONDS READY_FILE   hold it, then release it and exit
//   nimbrel-mutex-holder abandon READY_FILE             take it and exit without releasing
//   nimbrel-mutex-holder claim PATH MILLISECONDS READY  hold the claim PATH, then exit without
//                                                       releasing it
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "plugin/lifecycle.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

static void SignalReady(const char *path) {
    FILE *file = fopen(path, "wb");
    if (file != NULL) {
        fputs("held\n", file);
        fclose(file);
    }
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: nimbrel-mutex-holder hold MS READY | abandon READY | claim "
                        "PATH MS READY\n");
        return 2;
    }
    if (strcmp(argv[1], "claim") == 0) {
        if (argc < 5 || OsFileLockTry(argv[2]) == NULL) {
            fprintf(stderr, "nimbrel-mutex-holder: cannot take the claim\n");
            return 1;
        }
        SignalReady(argv[4]);
        std::this_thread::sleep_for(std::chrono::milliseconds(atoi(argv[3])));
#if defined(_WIN32)
        ExitProcess(0);
#else
        _exit(0);
#endif
    }
    OsMutex *mutex = OsMutexOpen(PLUGIN_MUTEX_NAME);
    if (mutex == NULL || OsMutexWait(mutex, 30000) >= OS_WAIT_TIMEOUT) {
        fprintf(stderr, "nimbrel-mutex-holder: cannot take the mutex\n");
        return 1;
    }
    if (strcmp(argv[1], "abandon") == 0) {
        SignalReady(argv[2]);
#if defined(_WIN32)
        ExitProcess(0);
#else
        _exit(0);
#endif
    }
    if (argc < 4) {
        return 2;
    }
    SignalReady(argv[3]);
    std::this_thread::sleep_for(std::chrono::milliseconds(atoi(argv[2])));
    OsMutexRelease(mutex);
    OsMutexClose(mutex);
    return 0;
}
