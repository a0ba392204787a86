#include "provider/service_text.h"

#include <stdint.h>
#include <string.h>

#include "platform/platform.h"

static const uint32_t kReplacement = '?';

// The code page 1252 byte of a character, or '?' when it has none.
static unsigned char WindowsByte(uint32_t codePoint) {
    static const struct {
        uint32_t codePoint;
        unsigned char byte;
    } kSpecials[] = {{0x20AC, 0x80}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93},
                     {0x201D, 0x94}, {0x2013, 0x96}, {0x2014, 0x97}, {0x2026, 0x85}};
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return (unsigned char)codePoint;
    }
    for (size_t i = 0; i < sizeof kSpecials / sizeof kSpecials[0]; i++) {
        if (kSpecials[i].codePoint == codePoint) {
            return kSpecials[i].byte;
        }
    }
    return '?';
}

// Writes one character in the plugin's encoding. Returns 0 when it does not fit.
static int PutCharacter(uint32_t codePoint, char *out, size_t capacity, size_t *n) {
    char bytes[4];
    size_t count;
    if (!OsTextIsUtf8) {
        bytes[0] = (char)WindowsByte(codePoint);
        count = 1;
    } else {
        count = OsUtf8Encode(codePoint, bytes);
    }
    if (*n + count >= capacity) {
        return 0;
    }
    memcpy(out + *n, bytes, count);
    *n += count;
    return 1;
}

size_t ServiceText(const char *utf8, size_t length, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t n = 0, at = 0;
    int blankPending = 0;
    while (at < length) {
        uint32_t codePoint;
        at += OsUtf8Decode(utf8 + at, length - at, &codePoint);
        if (codePoint == OS_NOT_A_CHARACTER) {
            codePoint = kReplacement;
        }
        if (codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0) ||
            codePoint == ' ' || codePoint == 0xA0 || codePoint == 0x2028 || codePoint == 0x2029) {
            blankPending = n > 0;
            continue;
        }
        if (codePoint == '<' || codePoint == '>' || codePoint == '"') {
            continue;
        }
        if (codePoint == '\'') {
            codePoint = 0x2019;
        }
        if (blankPending && !PutCharacter(' ', out, capacity, &n)) {
            break;
        }
        blankPending = 0;
        if (!PutCharacter(codePoint, out, capacity, &n)) {
            break;
        }
    }
    while (n > 0 && out[n - 1] == ' ') {
        n--; // a blank written just before the text was cut
    }
    out[n] = '\0';
    return n;
}
