// A UTF-8 check shared by the tests of the POSIX module's texts.
#pragma once

#include <string>

// 1 when the text is well-formed UTF-8: no stray continuation byte, no overlong two-byte lead,
// no sequence cut short.
inline bool IsUtf8(const std::string &text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = (unsigned char)text[i];
        size_t count = c < 0x80                   ? 1
                       : (c >= 0xC2 && c <= 0xDF) ? 2
                       : (c & 0xF0) == 0xE0       ? 3
                       : (c >= 0xF0 && c <= 0xF4) ? 4
                                                  : 0;
        if (count == 0 || i + count > text.size()) {
            return false;
        }
        for (size_t k = 1; k < count; k++) {
            if (((unsigned char)text[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += count;
    }
    return true;
}
