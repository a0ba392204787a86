// The text of INI files: the lookups and the merge of the profile functions, over a text in
// memory, so that both backends share them and they can be tested and fuzzed without files.
#include "platform/ini_text.h"

#include <stdlib.h>
#include <string.h>

typedef struct Line {
    const char *start; // first byte of the line
    size_t length;     // bytes before the line ending
    size_t next;       // offset of the next line
} Line;

// The UTF-8 byte-order mark an editor may put before the first line ("UTF-8 with BOM").
static const char kUtf8Mark[] = "\xEF\xBB\xBF";
enum { UTF8_MARK_LENGTH = 3 };

// The length of the byte-order mark at the start of the text: UTF8_MARK_LENGTH or 0.
static size_t MarkLength(const char *text, size_t length) {
    return length >= UTF8_MARK_LENGTH && memcmp(text, kUtf8Mark, UTF8_MARK_LENGTH) == 0
               ? UTF8_MARK_LENGTH
               : 0;
}

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
    size_t offset = MarkLength(text, length);
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
    size_t start; // bytes before the first line (a byte-order mark kept as it was)
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
    if (b->length == b->start || b->bytes[b->length - 1] == '\n') {
        return 1;
    }
    return PutText(b, b->bytes[b->length - 1] == '\r' ? "\n" : newline);
}

char *IniWithValue(const char *text, size_t length, const char *section, const char *key,
                   const char *value, size_t *newLength) {
    Builder b = {NULL, 0, 0, 0};
    // A byte-order mark stays where it is, before the first line.
    size_t offset = MarkLength(text, length);
    if (!Put(&b, text, offset)) {
        return NULL;
    }
    b.start = offset;
    Line line;
    const char *newline = "\n";
    if (NextLine(text, length, offset, &line) && line.next - offset > line.length + 1) {
        newline = "\r\n"; // keep the file's own line endings
    }
    const char *trimmedKey = key;
    size_t trimmedKeyLength = strlen(key);
    Trim(&trimmedKey, &trimmedKeyLength);

    int inSection = 0, done = 0, ok = 1;
    size_t sectionEnd = 0; // in the builder: just after the last non-blank line of the section
    while (ok && NextLine(text, length, offset, &line)) {
        const char *name, *k, *v;
        size_t nameLength, kLength, vLength;
        if (SectionName(&line, &name, &nameLength)) {
            if (inSection && !done) {
                // The key was missing: add it after the section's last non-blank line.
                Builder tail = {NULL, 0, 0, 0};
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
        Builder tail = {NULL, 0, 0, 0};
        ok = ok && Put(&tail, b.bytes + sectionEnd, b.length - sectionEnd);
        b.length = sectionEnd;
        ok = ok && PutKeyLine(&b, trimmedKey, trimmedKeyLength, value, newline) &&
             Put(&b, tail.bytes ? tail.bytes : "", tail.length);
        free(tail.bytes);
        done = 1;
    }
    if (ok && !done) {
        ok = EndLastLine(&b, newline);
        if (ok && b.length > b.start) {
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

size_t IniCopyValue(const char *value, size_t length, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t n = length < capacity - 1 ? length : capacity - 1;
    memmove(out, value, n);
    out[n] = '\0';
    return n;
}

size_t IniTrimmedLength(const char *text, size_t length) {
    while (length > 0 && IsBlank(text[length - 1])) {
        length--;
    }
    return length;
}

int IniInteger(const char *value) {
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
