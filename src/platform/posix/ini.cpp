// Each lookup reads the whole file: settings and language files are small, and reading anew
// each time is what lets an edited language file take effect at the next call.
#if !defined(_WIN32)

#include "platform/ini_text.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

// A file larger than this is not a settings or language file; it reads as missing.
static const size_t kMaxIniFileBytes = 4u << 20;

// Symbolic links followed from the settings path to the file it names, as the system follows
// them (its own limit is 40).
static const int kMaxLinkDepth = 40;

// Capacity of the resolved path and of the temporary file's path.
enum { INI_PATH_CAPACITY = PATH_MAX };

// Reads the whole file, NUL bytes included: a NUL is a byte of its line like any other, so that
// the lines after it are read, and written back, as they stand. Returns a malloc'd text
// (zero-terminated after its *length bytes) or NULL when the file is missing, unreadable or too
// large.
static char *ReadFile(const char *path, size_t *length) {
    FILE *file = fopen(path, "rb");
    if (file == NULL) {
        return NULL;
    }
    char *bytes = NULL;
    size_t used = 0, capacity = 0;
    for (;;) {
        if (used + 4096 + 1 > capacity) {
            capacity = (used + 4096 + 1) * 2;
            char *grown =
                capacity <= kMaxIniFileBytes * 2 ? (char *)realloc(bytes, capacity) : NULL;
            if (grown == NULL) {
                free(bytes);
                fclose(file);
                return NULL;
            }
            bytes = grown;
        }
        size_t got = fread(bytes + used, 1, 4096, file);
        used += got;
        if (used > kMaxIniFileBytes) {
            free(bytes);
            fclose(file);
            return NULL;
        }
        if (got < 4096) {
            break;
        }
    }
    int failed = ferror(file);
    fclose(file);
    if (failed) {
        free(bytes);
        return NULL;
    }
    bytes[used] = '\0';
    *length = used;
    return bytes;
}

size_t OsProfileGetString(const char *path, const char *section, const char *key,
                          const char *fallback, char *out, size_t capacity) {
    size_t length = 0;
    char *text = ReadFile(path, &length);
    const char *value;
    size_t valueLength;
    size_t written;
    if (text != NULL && IniFind(text, length, section, key, &value, &valueLength)) {
        written = IniCopyValue(value, valueLength, out, capacity);
    } else {
        written =
            IniCopyValue(fallback, IniTrimmedLength(fallback, strlen(fallback)), out, capacity);
    }
    free(text);
    return written;
}

int OsProfileGetInt(const char *path, const char *section, const char *key, int fallback) {
    char value[64];
    // A sentinel that no value can hold tells a missing key from a present one.
    static const char kAbsent[] = "\x01";
    OsProfileGetString(path, section, key, kAbsent, value, sizeof value);
    if (strcmp(value, kAbsent) == 0 || value[0] == '\0') {
        return fallback;
    }
    return IniInteger(value);
}

// Writes the file that `path` names into `out`: `path` itself, or, where it is a symbolic link,
// the link's target, followed through every link on the way (a relative target counts from the
// link's folder). The target need not exist yet. Returns 1; 0 when a link cannot be read, the
// links loop, or the path does not fit `capacity`.
static int ResolveLinks(const char *path, char *out, size_t capacity) {
    size_t length = strlen(path);
    if (length >= capacity) {
        return 0;
    }
    memcpy(out, path, length + 1);
    for (int depth = 0; depth <= kMaxLinkDepth; depth++) {
        char target[INI_PATH_CAPACITY];
        ssize_t got = readlink(out, target, sizeof target);
        if (got < 0) {
            // Not a link, or nothing there yet: this is the file. Anything else is a failure.
            return errno == EINVAL || errno == ENOENT;
        }
        if ((size_t)got >= sizeof target) {
            return 0;
        }
        target[got] = '\0';
        if (target[0] == '/') {
            if ((size_t)got >= capacity) {
                return 0;
            }
            memcpy(out, target, (size_t)got + 1);
            continue;
        }
        char *slash = strrchr(out, '/');
        size_t folder = slash != NULL ? (size_t)(slash - out) + 1 : 0;
        if (folder + (size_t)got >= capacity) {
            return 0;
        }
        memcpy(out + folder, target, (size_t)got + 1);
    }
    return 0; // the links loop
}

// Puts `length` bytes in place as the file `path` names. They go to a temporary file beside that
// file first, which then takes its place in one step, so an interrupted write never leaves half
// a settings file. A symbolic link stays a link and its target is what changes; an existing file
// keeps its permissions, and its owner where the system allows. Returns 1 on success; 0 with the
// file unchanged.
static int WriteInPlace(const char *path, const char *bytes, size_t length) {
    char target[INI_PATH_CAPACITY];
    char temporary[INI_PATH_CAPACITY];
    if (!ResolveLinks(path, target, sizeof target)) {
        return 0;
    }
    int fits = snprintf(temporary, sizeof temporary, "%s.%ld.tmp", target, (long)getpid());
    if (fits <= 0 || (size_t)fits >= sizeof temporary) {
        return 0;
    }
    struct stat existing;
    int exists = stat(target, &existing) == 0;
    // Until it has the old file's mode, the new file is the owner's alone.
    int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0) {
        return 0;
    }
    // The owner and group stay where the system lets them: a change of owner needs root, and a
    // failure leaves the writer's. The mode comes after them, as a change of owner clears the
    // set-ID bits.
    if (exists && (existing.st_uid != geteuid() || existing.st_gid != getegid())) {
        int kept = fchown(fd, existing.st_uid, existing.st_gid) == 0;
        (void)kept;
    }
    int ok = !exists || fchmod(fd, existing.st_mode & 07777) == 0;
    size_t done = 0;
    while (ok && done < length) {
        ssize_t wrote = write(fd, bytes + done, length - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            ok = 0;
            break;
        }
        done += (size_t)wrote;
    }
    // On the disk before it takes the old file's place, so that a crash leaves one whole file.
    if (ok && fdatasync(fd) != 0) {
        ok = 0;
    }
    if (close(fd) != 0) {
        ok = 0;
    }
    if (ok && rename(temporary, target) != 0) {
        ok = 0;
    }
    if (!ok) {
        unlink(temporary);
    }
    return ok;
}

int OsProfileWriteString(const char *path, const char *section, const char *key,
                         const char *value) {
    size_t length = 0;
    char *text = ReadFile(path, &length);
    if (text == NULL && errno != ENOENT) {
        FILE *probe = fopen(path, "rb");
        if (probe != NULL) {
            fclose(probe); // exists but unreadable or too large: never overwrite it
            return 0;
        }
    }
    size_t newLength = 0;
    char *updated =
        IniWithValue(text ? text : "", text ? length : 0, section, key, value, &newLength);
    free(text);
    if (updated == NULL) {
        return 0;
    }
    int ok = WriteInPlace(path, updated, newLength);
    free(updated);
    return ok;
}

#endif
