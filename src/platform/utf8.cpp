#include "platform/platform.h"

size_t OsUtf8Decode(const char *bytes, size_t left, uint32_t *codePoint) {
    const unsigned char *text = (const unsigned char *)bytes;
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
        *codePoint = OS_NOT_A_CHARACTER;
        return 1;
    }
    if (length > left) {
        *codePoint = OS_NOT_A_CHARACTER;
        return 1;
    }
    for (size_t i = 1; i < length; i++) {
        if ((text[i] & 0xC0) != 0x80) {
            *codePoint = OS_NOT_A_CHARACTER;
            return 1;
        }
        value = (value << 6) | (text[i] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        *codePoint = OS_NOT_A_CHARACTER;
        return length;
    }
    *codePoint = value;
    return length;
}

size_t OsUtf8Encode(uint32_t codePoint, char out[4]) {
    if (codePoint < 0x80) {
        out[0] = (char)codePoint;
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = (char)(0xC0 | (codePoint >> 6));
        out[1] = (char)(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = (char)(0xE0 | (codePoint >> 12));
        out[1] = (char)(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = (char)(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (codePoint >> 18));
    out[1] = (char)(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = (char)(0x80 | (codePoint & 0x3F));
    return 4;
}

size_t OsUtf8FitLength(const char *text, size_t length, size_t room) {
    if (length <= room) {
        return length;
    }
    const unsigned char *p = (const unsigned char *)text;
    // Look back over at most three continuation bytes for the lead byte of the character that
    // the cut falls into; the cut moves before it only when that character runs past the cut.
    for (size_t back = 1; back <= 3 && back <= room; back++) {
        unsigned char c = p[room - back];
        if ((c & 0xC0) == 0x80) {
            continue;
        }
        if (c >= 0xC0) {
            size_t count = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            if (count > back) {
                return room - back;
            }
        }
        break;
    }
    return room;
}
