#if !defined(_WIN32)

#include "platform/posix/time_picture.h"

#include <stdio.h>
#include <string.h>

typedef struct Output {
    char *out;
    size_t capacity;
    size_t length;
    int overflow;
} Output;

static void Put(Output *o, const char *text, size_t count) {
    if (o->length + count >= o->capacity) {
        o->overflow = 1;
        return;
    }
    memcpy(o->out + o->length, text, count);
    o->length += count;
    o->out[o->length] = '\0';
}

static void PutNumber(Output *o, int value, int width) {
    char digits[16];
    int n = snprintf(digits, sizeof digits, width >= 2 ? "%02d" : "%d", value);
    Put(o, digits, (size_t)n);
}

size_t FormatTimePicture(int hour, int minute, int second, const char *am, const char *pm,
                         const char *picture, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    if (picture == NULL || picture[0] == '\0') {
        return 0;
    }
    Output o = {out, capacity, 0, 0};
    const char *marker = hour < 12 ? am : pm;
    for (const char *p = picture; *p && !o.overflow;) {
        char c = *p;
        if (c == '\'') {
            p++;
            for (;;) {
                if (*p == '\0') {
                    out[0] = '\0';
                    return 0; // an unclosed quote
                }
                if (*p == '\'' && p[1] == '\'') {
                    Put(&o, "'", 1);
                    p += 2;
                    continue;
                }
                if (*p == '\'') {
                    p++;
                    break;
                }
                Put(&o, p, 1);
                p++;
            }
            continue;
        }
        if (c != 'h' && c != 'H' && c != 'm' && c != 's' && c != 't') {
            Put(&o, p, 1);
            p++;
            continue;
        }
        int run = 0;
        while (p[run] == c) {
            run++;
        }
        p += run;
        switch (c) {
        case 'h':
            PutNumber(&o, hour % 12 == 0 ? 12 : hour % 12, run);
            break;
        case 'H':
            PutNumber(&o, hour, run);
            break;
        case 'm':
            PutNumber(&o, minute, run);
            break;
        case 's':
            PutNumber(&o, second, run);
            break;
        default: // 't'
            if (run == 1) {
                // The first character of the marker: a whole UTF-8 sequence.
                size_t width = 1;
                while (marker[0] != '\0' && (marker[width] & 0xC0) == 0x80) {
                    width++;
                }
                Put(&o, marker, marker[0] ? width : 0);
            } else {
                Put(&o, marker, strlen(marker));
            }
            break;
        }
    }
    if (o.overflow) {
        out[0] = '\0';
        return 0;
    }
    return o.length;
}

#endif
