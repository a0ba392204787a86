#include "provider/service_text.h"

#include <stdint.h>
#include <string.h>

#include "platform/platform.h"

static const uint32_t kReplacement = '?';

// Decodes one UTF-8 character at `text`. Returns its length in bytes (at least 1); a byte that
// starts no valid character decodes as kReplacement.
static size_t DecodeUtf8(const unsigned char *text, size_t left, uint32_t *codePoint) {
    unsigned char c = text[0];
    size_t length;
    uint32_t value, least;
    if (c < 0x80) {
        *codePoint = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        length = 2, value = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, value = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, value = c & 0x07, least = 0x10000;
    } else {
        *codePoint = kReplacement;
        return 1;
    }
    if (length > left) {
        *codePoint = kReplacement;
        return 1;
    }
    for (size_t i = 1; i < length; i++) {
        if ((text[i] & 0xC0) != 0x80) {
            *codePoint = kReplacement;
            return 1;
        }
        value = (value << 6) | (text[i] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        *codePoint = kReplacement;
        return length;
    }
    *codePoint = value;
    return length;
}

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
    unsigned char bytes[4];
    size_t count;
    if (!OsTextIsUtf8) {
        bytes[0] = WindowsByte(codePoint);
        count = 1;
    } else if (codePoint < 0x80) {
        bytes[0] = (unsigned char)codePoint;
        count = 1;
    } else if (codePoint < 0x800) {
        bytes[0] = (unsigned char)(0xC0 | (codePoint >> 6));
        bytes[1] = (unsigned char)(0x80 | (codePoint & 0x3F));
        count = 2;
    } else if (codePoint < 0x10000) {
        bytes[0] = (unsigned char)(0xE0 | (codePoint >> 12));
        bytes[1] = (unsigned char)(0x80 | ((codePoint >> 6) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | (codePoint & 0x3F));
        count = 3;
    } else {
        bytes[0] = (unsigned char)(0xF0 | (codePoint >> 18));
        bytes[1] = (unsigned char)(0x80 | ((codePoint >> 12) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | ((codePoint >> 6) & 0x3F));
        bytes[3] = (unsigned char)(0x80 | (codePoint & 0x3F));
        count = 4;
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
    const unsigned char *text = (const unsigned char *)utf8;
    size_t n = 0, at = 0;
    int blankPending = 0;
    while (at < length) {
        uint32_t codePoint;
        at += DecodeUtf8(text + at, length - at, &codePoint);
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
