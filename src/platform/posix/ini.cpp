// Each lookup reads the whole file: settings and language files are small, and reading anew
// each time is what lets an edited language file take effect at the next call.
#if !defined(_WIN32)

#include "platform/posix/ini.h"

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

typedef struct Line {
    const char *start; // first byte of the line
    size_t length;     // bytes before the line ending
    size_t next;       // offset of the next line
} Line;

static int IsBlank(char c) {
    return c == ' ' || c == '\t';
}

static char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

// Reads the line starting at `offset`. Returns 0 at the end of the text.
static int NextLine(const char *text, size_t length, size_t offset, Line *line) {
    if (offset >= length) {
        return 0;
    }
    size_t end = offset;
    while (end < length && text[end] != '\n') {
        end++;
    }
    line->start = text + offset;
    line->next = end < length ? end + 1 : end;
    if (end > offset && text[end - 1] == '\r') {
        end--;
    }
    line->length = end - offset;
    return 1;
}

static void Trim(const char **start, size_t *length) {
    while (*length > 0 && IsBlank(**start)) {
        (*start)++;
        (*length)--;
    }
    while (*length > 0 && IsBlank((*start)[*length - 1])) {
        (*length)--;
    }
}

static int SpanEquals(const char *span, size_t length, const char *name) {
    const char *n = name;
    size_t nameLength = strlen(n);
    Trim(&n, &nameLength);
    if (length != nameLength) {
        return 0;
    }
    for (size_t i = 0; i < length; i++) {
        if (Lower(span[i]) != Lower(n[i])) {
            return 0;
        }
    }
    return 1;
}

// When the line is a section header, sets the name span and returns 1.
static int SectionName(const Line *line, const char **name, size_t *nameLength) {
    const char *p = line->start;
    size_t length = line->length;
    Trim(&p, &length);
    if (length == 0 || p[0] != '[') {
        return 0;
    }
    const char *close = (const char *)memchr(p, ']', length);
    *name = p + 1;
    *nameLength = close ? (size_t)(close - p - 1) : length - 1;
    Trim(name, nameLength);
    return 1;
}

// Splits a key line into the key span and the value span. A line without "=" is a key with an
// empty value. Returns 0 for a blank line.
static int KeyValue(const Line *line, const char **key, size_t *keyLength, const char **value,
                    size_t *valueLength) {
    const char *p = line->start;
    size_t length = line->length;
    Trim(&p, &length);
    if (length == 0) {
        return 0;
    }
    const char *equals = (const char *)memchr(p, '=', length);
    *key = p;
    if (equals == NULL) {
        *keyLength = length;
        *value = p + length;
        *valueLength = 0;
        return 1;
    }
    *keyLength = (size_t)(equals - p);
    Trim(key, keyLength);
    *value = equals + 1;
    *valueLength = length - (size_t)(equals + 1 - p);
    Trim(value, valueLength);
    if (*valueLength >= 2 && ((*value)[0] == '"' || (*value)[0] == '\'') &&
        (*value)[*valueLength - 1] == (*value)[0]) {
        (*value)++;
        *valueLength -= 2;
    }
    return 1;
}

int IniFind(const char *text, size_t length, const char *section, const char *key,
            const char **value, size_t *valueLength) {
    Line line;
    size_t offset = 0;
    int inSection = 0;
    while (NextLine(text, length, offset, &line)) {
        offset = line.next;
        const char *name;
        size_t nameLength;
        if (SectionName(&line, &name, &nameLength)) {
            inSection = SpanEquals(name, nameLength, section);
            continue;
        }
        const char *k;
        size_t kLength;
        if (inSection && KeyValue(&line, &k, &kLength, value, valueLength) &&
            SpanEquals(k, kLength, key)) {
            return 1;
        }
    }
    return 0;
}

// Appends bytes to a growing heap text. Returns 0 when memory runs out.
typedef struct Builder {
    char *bytes;
    size_t length;
    size_t capacity;
} Builder;

static int Put(Builder *b, const char *bytes, size_t count) {
    if (b->length + count + 1 > b->capacity) {
        size_t capacity = (b->length + count + 1) * 2;
        char *grown = (char *)realloc(b->bytes, capacity);
        if (grown == NULL) {
            return 0;
        }
        b->bytes = grown;
        b->capacity = capacity;
    }
    memcpy(b->bytes + b->length, bytes, count);
    b->length += count;
    b->bytes[b->length] = '\0';
    return 1;
}

static int PutText(Builder *b, const char *text) {
    return Put(b, text, strlen(text));
}

static int PutKeyLine(Builder *b, const char *key, size_t keyLength, const char *value,
                      const char *newline) {
    return Put(b, key, keyLength) && PutText(b, "=") && PutText(b, value) && PutText(b, newline);
}

// Ends the last line of the text before another line follows. A last line that stops at a
// bare "\r" only needs its "\n": a whole newline after it would leave the "\r" inside the
// line, and a section header would then name another section.
static int EndLastLine(Builder *b, const char *newline) {
    if (b->length == 0 || b->bytes[b->length - 1] == '\n') {
        return 1;
    }
    return PutText(b, b->bytes[b->length - 1] == '\r' ? "\n" : newline);
}

char *IniWithValue(const char *text, size_t length, const char *section, const char *key,
                   const char *value, size_t *newLength) {
    Builder b = {NULL, 0, 0};
    if (!Put(&b, "", 0)) {
        return NULL;
    }
    Line line;
    const char *newline = "\n";
    if (NextLine(text, length, 0, &line) && line.next > line.length + 1) {
        newline = "\r\n"; // keep the file's own line endings
    }
    const char *trimmedKey = key;
    size_t trimmedKeyLength = strlen(key);
    Trim(&trimmedKey, &trimmedKeyLength);

    size_t offset = 0;
    int inSection = 0, done = 0, ok = 1;
    size_t sectionEnd = 0; // in the builder: just after the last non-blank line of the section
    while (ok && NextLine(text, length, offset, &line)) {
        const char *name, *k, *v;
        size_t nameLength, kLength, vLength;
        if (SectionName(&line, &name, &nameLength)) {
            if (inSection && !done) {
                // The key was missing: add it after the section's last non-blank line.
                Builder tail = {NULL, 0, 0};
                ok = Put(&tail, b.bytes + sectionEnd, b.length - sectionEnd);
                b.length = sectionEnd;
                ok = ok && PutKeyLine(&b, trimmedKey, trimmedKeyLength, value, newline) &&
                     Put(&b, tail.bytes, tail.length);
                free(tail.bytes);
                done = 1;
            }
            inSection = !done && SpanEquals(name, nameLength, section);
        } else if (inSection && !done && KeyValue(&line, &k, &kLength, &v, &vLength) &&
                   SpanEquals(k, kLength, key)) {
            const char *ending = line.start + line.length;
            size_t endingLength = line.next - offset - line.length;
            ok = Put(&b, k, kLength) && PutText(&b, "=") && PutText(&b, value) &&
                 Put(&b, ending, endingLength);
            if (ok && endingLength == 0) {
                ok = PutText(&b, "");
            }
            done = 1;
            offset = line.next;
            continue;
        }
        ok = ok && Put(&b, line.start, line.next - offset);
        const char *p = line.start;
        size_t l = line.length;
        Trim(&p, &l);
        if (inSection && l > 0) {
            sectionEnd = b.length;
        }
        offset = line.next;
    }
    if (ok && inSection && !done) {
        if (sectionEnd == b.length) {
            ok = EndLastLine(&b, newline);
            sectionEnd = b.length;
        }
        Builder tail = {NULL, 0, 0};
        ok = ok && Put(&tail, b.bytes + sectionEnd, b.length - sectionEnd);
        b.length = sectionEnd;
        ok = ok && PutKeyLine(&b, trimmedKey, trimmedKeyLength, value, newline) &&
             Put(&b, tail.bytes ? tail.bytes : "", tail.length);
        free(tail.bytes);
        done = 1;
    }
    if (ok && !done) {
        ok = EndLastLine(&b, newline);
        if (ok && b.length > 0) {
            ok = PutText(&b, newline);
        }
        const char *s = section;
        size_t sLength = strlen(section);
        Trim(&s, &sLength);
        ok = ok && PutText(&b, "[") && Put(&b, s, sLength) && PutText(&b, "]") &&
             PutText(&b, newline) && PutKeyLine(&b, trimmedKey, trimmedKeyLength, value, newline);
    }
    if (!ok) {
        free(b.bytes);
        return NULL;
    }
    *newLength = b.length;
    return b.bytes;
}

// Reads the whole file. Returns a malloc'd text (zero-terminated) or NULL when the file is
// missing, unreadable or too large.
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
    *length = strlen(bytes);
    return bytes;
}

// The default, as the profile functions treat it: without trailing blanks.
static size_t CopyOut(const char *source, size_t length, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t n = length < capacity - 1 ? length : capacity - 1;
    memmove(out, source, n);
    out[n] = '\0';
    return n;
}

size_t OsProfileGetString(const char *path, const char *section, const char *key,
                          const char *fallback, char *out, size_t capacity) {
    size_t length = 0;
    char *text = ReadFile(path, &length);
    const char *value;
    size_t valueLength;
    size_t written;
    if (text != NULL && IniFind(text, length, section, key, &value, &valueLength)) {
        written = CopyOut(value, valueLength, out, capacity);
    } else {
        size_t fallbackLength = strlen(fallback);
        while (fallbackLength > 0 && IsBlank(fallback[fallbackLength - 1])) {
            fallbackLength--;
        }
        written = CopyOut(fallback, fallbackLength, out, capacity);
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
    const char *p = value;
    int negative = 0;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        p++;
    }
    long long number = 0;
    while (*p >= '0' && *p <= '9') {
        if (number < 10000000000LL) {
            number = number * 10 + (*p - '0');
        }
        p++;
    }
    if (negative) {
        number = -number;
    }
    return (int)(number > 2147483647LL        ? 2147483647LL
                 : number < -2147483647LL - 1 ? -2147483647LL - 1
                                              : number);
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
