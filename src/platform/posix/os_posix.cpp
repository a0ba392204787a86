// The POSIX backend: module, environment, folders, time, locale and the host's proxy.
#if !defined(_WIN32)

#include <dlfcn.h>
#include <errno.h>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <stdio.h>
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

// Writes "folder/name" without the folder's trailing separators. Returns 1 when it fits.
static int JoinPath(const char *folder, const char *name, char *out, size_t capacity) {
    size_t length = strlen(folder);
    while (length > 1 && folder[length - 1] == '/') {
        length--;
    }
    int written = snprintf(out, capacity, "%.*s/%s", (int)length, folder, name);
    if (written < 0 || (size_t)written >= capacity) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

// The value of an environment variable when it is an absolute path, else NULL: a relative one
// would put the cache wherever the host happens to stand.
static const char *AbsolutePathFromEnvironment(const char *variable) {
    const char *value = getenv(variable);
    return value != NULL && value[0] == '/' ? value : NULL;
}

// Nonzero when `path` is a folder that only this user can change: not a symbolic link, owned
// by the user, writable by neither group nor others, and in a parent where others may not
// rename it away and put their own in its place (one that others may write needs the sticky
// bit, as /tmp has).
static int IsPrivateFolder(const char *path) {
    struct stat status;
    if (lstat(path, &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != geteuid() ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return 0;
    }
    char parent[4096];
    const char *slash = strrchr(path, '/');
    size_t length = slash == NULL || slash == path ? 1 : (size_t)(slash - path);
    if (slash == NULL || length >= sizeof parent) {
        return 0;
    }
    memcpy(parent, path, length);
    parent[length] = '\0';
    struct stat above;
    return stat(parent, &above) == 0 &&
           ((above.st_mode & S_IWOTH) == 0 || (above.st_mode & S_ISVTX) != 0);
}

// Makes `path` mode 0700 when it is missing. Returns 1 when it is then a private folder.
static int MakePrivateFolder(const char *path) {
    if (mkdir(path, 0700) != 0 && errno != EEXIST) {
        return 0;
    }
    return IsPrivateFolder(path);
}

// The user's XDG cache folder for `name` (in lower case): inside $XDG_CACHE_HOME, else inside
// ~/.cache, each made mode 0700 when missing.
static int XdgCacheFolder(const char *name, char *out, size_t capacity) {
    char base[4096], lowerName[256];
    size_t nameLength = strlen(name);
    if (nameLength >= sizeof lowerName) {
        return 0;
    }
    for (size_t i = 0; i <= nameLength; i++) {
        char c = name[i];
        lowerName[i] = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    }
    const char *cacheHome = AbsolutePathFromEnvironment("XDG_CACHE_HOME");
    if (cacheHome != NULL) {
        if (!CopyOut(cacheHome, base, sizeof base)) {
            return 0;
        }
    } else {
        const char *home = AbsolutePathFromEnvironment("HOME");
        struct passwd entry, *found = NULL;
        char lines[4096];
        if (home == NULL && getpwuid_r(geteuid(), &entry, lines, sizeof lines, &found) == 0 &&
            found != NULL && found->pw_dir != NULL && found->pw_dir[0] == '/') {
            home = found->pw_dir;
        }
        if (home == NULL || !JoinPath(home, ".cache", base, sizeof base)) {
            return 0;
        }
    }
    // The base folder may be shared or a link the user made (a cache on another disk): only the
    // folder the module writes into must be private.
    mkdir(base, 0700);
    return JoinPath(base, lowerName, out, capacity) && MakePrivateFolder(out);
}

int OsCacheFolder(const char *name, char *out, size_t capacity) {
    const char *temp = AbsolutePathFromEnvironment("TEMP");
    if (temp == NULL) {
        temp = AbsolutePathFromEnvironment("TMPDIR");
    }
    if (temp != NULL) {
        if (!JoinPath(temp, name, out, capacity)) {
            return 0;
        }
        if (MakePrivateFolder(out)) {
            return 1;
        }
    }
    if (XdgCacheFolder(name, out, capacity)) {
        return 1;
    }
    if (capacity > 0) {
        out[0] = '\0';
    }
    return 0;
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
