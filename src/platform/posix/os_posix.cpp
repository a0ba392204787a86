// The POSIX backend: module, environment, folders, time, locale and the host's proxy.
#if !defined(_WIN32)

#include <dlfcn.h>
#include <errno.h>
#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/proxy_url.h"

const char OsPathSeparator = '/';
const char OsModuleExtension[] = ".so";
const int OsNamesIgnoreCase = 0;

// Seconds between 1601-01-01 and 1970-01-01, the two epochs.
static const uint64_t kEpochDifferenceSeconds = 11644473600ull;

static int CopyOut(const char *source, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = strlen(source);
    if (length >= capacity) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, source, length + 1);
    return 1;
}

uint64_t OsUtcNow(void) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return ((uint64_t)now.tv_sec + kEpochDifferenceSeconds) * 10000000ull +
           (uint64_t)now.tv_nsec / 100u;
}

uint64_t OsMonotonicMs(void) {
    struct timespec now;
    // Straight from the kernel: a clock faked for the process (as tests do to move the
    // calendar) must not move the bounds of waits and downloads.
    if (syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now) != 0) {
        clock_gettime(CLOCK_MONOTONIC, &now);
    }
    return (uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u;
}

int OsModulePath(void *instance, char *out, size_t capacity) {
    Dl_info info;
    if (capacity > 0) {
        out[0] = '\0';
    }
    if (instance == NULL || dladdr(instance, &info) == 0 || info.dli_fname == NULL ||
        info.dli_fname[0] != '/') {
        return 0;
    }
    return CopyOut(info.dli_fname, out, capacity);
}

int OsTempFolder(char *out, size_t capacity) {
    const char *folder = getenv("TEMP");
    if (folder == NULL || folder[0] == '\0') {
        folder = getenv("TMPDIR");
    }
    if (folder == NULL || folder[0] == '\0') {
        folder = "/tmp";
    }
    if (!CopyOut(folder, out, capacity)) {
        return 0;
    }
    size_t length = strlen(out);
    while (length > 1 && out[length - 1] == '/') {
        out[--length] = '\0';
    }
    return 1;
}

int OsCreateFolder(const char *path) {
    if (mkdir(path, 0700) == 0) {
        return 1;
    }
    return errno == EEXIST && OsFolderExists(path);
}

int OsFolderExists(const char *path) {
    struct stat status;
    return path[0] != '\0' && stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

int OsHostProxyValue(const char *name, char *out, size_t capacity) {
    if (capacity > 0) {
        out[0] = '\0';
    }
    const char *url = ProxyFromEnvironment();
    if (url == NULL) {
        return 0;
    }
    if (strcmp(name, "UseProxy") == 0) {
        return CopyOut("1", out, capacity);
    }
    ProxyParts parts;
    ParseProxyUrl(url, &parts);
    const char *value = strcmp(name, "ProxyServer") == 0     ? parts.server
                        : strcmp(name, "ProxyPort") == 0     ? parts.port
                        : strcmp(name, "ProxyUsername") == 0 ? parts.user
                        : strcmp(name, "ProxyPassword") == 0 ? parts.password
                                                             : NULL;
    return value != NULL && value[0] != '\0' && CopyOut(value, out, capacity);
}

#endif
