#include "json_text.h"

namespace {

const size_t kMaxEchoBytes = 200;

} // namespace

size_t Utf8SequenceLength(const std::string &text, size_t at) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else
        return 0;
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[at + i]);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

std::string EchoText(const std::string &text) {
    std::string echo;
    size_t at = 0;
    while (at < text.size() && echo.size() < kMaxEchoBytes) {
        size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            echo += "\uFFFD";
            ++at;
        } else {
            echo.append(text, at, length);
            at += length;
        }
    }
    if (at < text.size())
        echo += "...";
    return echo;
}
