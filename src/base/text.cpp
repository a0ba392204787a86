#include "base/text.h"

#include "platform/platform.h"

#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// Upper bound of replacements in one ReplaceAll call. A text of at most 1023 characters cannot
// need more unless the replacements keep re-forming the pattern; this stops such a text too.
static const int kMaxReplacements = 4096;

// How many of the first `length` bytes of `text` fit into `room` bytes: all of them when they
// fit. Else `room`, and on POSIX, where texts are UTF-8, the start of the character that a cut
// at `room` would split: a cut text stays valid UTF-8. Only the bytes before `room` are read.
static size_t FitLength(const char *text, size_t length, size_t room) {
    if (length <= room || !OsTextIsUtf8) {
        return length <= room ? length : room;
    }
    return OsUtf8FitLength(text, length, room);
}

int CopyText(char *out, size_t capacity, const char *source) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = strlen(source);
    if (length >= capacity) {
        size_t count = FitLength(source, length, capacity - 1);
        memcpy(out, source, count);
        out[count] = '\0';
        return 0;
    }
    memcpy(out, source, length + 1);
    return 1;
}

int AppendText(char *out, size_t capacity, const char *source) {
    size_t used = strnlen(out, capacity);
    if (used >= capacity) {
        return 0;
    }
    return CopyText(out + used, capacity - used, source);
}

int FormatText(char *out, size_t capacity, const char *format, ...) {
    if (capacity == 0) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    int written = vsnprintf(out, capacity, format, args);
    va_end(args);
    if (written < 0) {
        out[0] = '\0';
        return 0;
    }
    if ((size_t)written >= capacity) {
        out[FitLength(out, (size_t)written, capacity - 1)] = '\0';
        return 0;
    }
    return 1;
}

int TextToInt(const char *text) {
    const char *p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
        p++;
    }
    int negative = 0;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        p++;
    }
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value <= (long long)INT_MAX + 1) {
            value = value * 10 + (*p - '0');
        }
        p++;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return (int)value;
}

void UpperCaseAscii(char *text) {
    for (char *p = text; *p; p++) {
        if (*p >= 'a' && *p <= 'z') {
            *p = (char)(*p - 'a' + 'A');
        }
    }
}

static char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

void LowerCaseAscii(char *text) {
    for (char *p = text; *p; p++) {
        *p = LowerAscii(*p);
    }
}

int EqualsIgnoreCase(const char *a, const char *b) {
    while (*a && LowerAscii(*a) == LowerAscii(*b)) {
        a++;
        b++;
    }
    return *a == '\0' && *b == '\0';
}

int StartsWithIgnoreCase(const char *text, const char *prefix) {
    while (*prefix && LowerAscii(*text) == LowerAscii(*prefix)) {
        text++;
        prefix++;
    }
    return *prefix == '\0';
}

// Writes text[0..at) + replacement + text[at+skip..] into text, cut to capacity less one.
// Returns the offset just past the inserted replacement (clamped to the new length).
static size_t SpliceAt(char *text, size_t capacity, size_t at, size_t skip,
                       const char *replacement) {
    size_t length = strlen(text);
    size_t insert = strlen(replacement);
    size_t tail = length - at - skip;
    size_t room = capacity - 1 - at; // bytes available after the prefix
    size_t keepInsert = FitLength(replacement, insert, room);
    // A replacement that was cut leaves no room for the rest of the text.
    size_t keepTail =
        keepInsert < insert ? 0 : FitLength(text + at + skip, tail, room - keepInsert);
    memmove(text + at + keepInsert, text + at + skip, keepTail);
    memcpy(text + at, replacement, keepInsert);
    text[at + keepInsert + keepTail] = '\0';
    return at + keepInsert;
}

int ReplaceAll(char *text, size_t capacity, const char *pattern, const char *replacement) {
    return ReplaceAllFrom(text, capacity, 0, pattern, replacement);
}

int ReplaceAllFrom(char *text, size_t capacity, size_t from, const char *pattern,
                   const char *replacement) {
    if (capacity == 0) {
        return 0;
    }
    size_t patternLength = strlen(pattern);
    int count = 0;
    if (patternLength == 0) {
        return 0; // an empty pattern names no text to replace
    }
    if (from > 0 && memchr(text, '\0', from) != NULL) {
        from = strlen(text);
    }
    int singlePass = -1; // looked at with the first occurrence: most texts hold none
    while (count < kMaxReplacements) {
        // The term walk's caller gives the very place of the first occurrence.
        char *hit = strncmp(text + from, pattern, patternLength) == 0
                        ? text + from
                        : strstr(text + from, pattern);
        if (hit == NULL) {
            break;
        }
        if (singlePass < 0) {
            singlePass = strstr(replacement, pattern) != NULL;
        }
        size_t at = (size_t)(hit - text);
        size_t after = SpliceAt(text, capacity, at, patternLength, replacement);
        count++;
        // Searching again from the start finds nothing before the earliest place where the
        // replacement can have formed a new pattern: the text before `at` held none.
        from = singlePass ? after : (at >= patternLength ? at - patternLength + 1 : 0);
    }
    return count;
}

const char *Latin1Text(unsigned char c) {
    // The characters the plugin shows: the degree sign, the pressure-trend symbols, and the micro
    // sign and superscript three of µg/m³.
    switch (c) {
    case 0xB0:
        return OsTextIsUtf8 ? "\xC2\xB0" : "\xB0";
    case 0xA1:
        return OsTextIsUtf8 ? "\xC2\xA1" : "\xA1";
    case 0xE1:
        return OsTextIsUtf8 ? "\xC3\xA1" : "\xE1";
    case 0xE2:
        return OsTextIsUtf8 ? "\xC3\xA2" : "\xE2";
    case 0xF4:
        return OsTextIsUtf8 ? "\xC3\xB4" : "\xF4";
    case 0xB5:
        return OsTextIsUtf8 ? "\xC2\xB5" : "\xB5";
    case 0xB3:
        return OsTextIsUtf8 ? "\xC2\xB3" : "\xB3";
    default:
        return "";
    }
}

int ParseDecimal(const char *text, size_t length, double *value) {
    size_t i = 0;
    while (i < length && text[i] == ' ') {
        i++;
    }
    while (length > i && text[length - 1] == ' ') {
        length--;
    }
    int negative = 0;
    if (i < length && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        i++;
    }
    double number = 0, scale = 1;
    int digits = 0, afterDot = 0;
    for (; i < length; i++) {
        char c = text[i];
        if (c == '.' && !afterDot) {
            afterDot = 1;
            continue;
        }
        if (c < '0' || c > '9' || digits >= 15) {
            return 0;
        }
        number = number * 10 + (c - '0');
        if (afterDot) {
            scale *= 10;
        }
        digits++;
    }
    if (digits == 0) {
        return 0;
    }
    *value = (negative ? -number : number) / scale;
    return 1;
}
