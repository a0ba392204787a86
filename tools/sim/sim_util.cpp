#include "sim_util.h"

#include <httplib.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kMaxEchoBytes = 200;
const size_t kMaxDecimalLength = 40;

} // namespace

QueryParameters ParseQueryText(const std::string &query) {
    httplib::Params params;
    httplib::detail::parse_query_text(query, params);
    return QueryParameters(params.begin(), params.end());
}

const std::string *QueryValue(const QueryParameters &query, const char *name) {
    auto found = query.find(name);
    return found == query.end() ? nullptr : &found->second;
}

bool ParseDecimal(const std::string &text, double *value, int *decimals) {
    if (text.empty() || text.size() > kMaxDecimalLength)
        return false;
    size_t at = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    size_t digits = 0, point = std::string::npos;
    for (; at < text.size(); ++at) {
        if (std::isdigit(static_cast<unsigned char>(text[at])))
            ++digits;
        else if (text[at] == '.' && point == std::string::npos)
            point = at;
        else
            return false;
    }
    double parsed = std::strtod(text.c_str(), nullptr);
    if (digits == 0 || !std::isfinite(parsed))
        return false;
    *value = parsed;
    if (decimals != nullptr)
        *decimals = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
    return true;
}

bool AllDigits(const std::string &text, size_t maxLength) {
    return !text.empty() && text.size() <= maxLength &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

std::string UpperAscii(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string LowerAscii(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

uint64_t TextHash(const std::string &text, uint64_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::string IsoTime(time_t utc, const char *suffix, long offsetSeconds) {
    time_t moved = utc + static_cast<time_t>(offsetSeconds);
    std::tm broken{};
    gmtime_r(&moved, &broken);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &broken);
    return std::string(text) + suffix;
}

std::string HttpDate(time_t utc) {
    static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm broken{};
    gmtime_r(&utc, &broken);
    char text[80];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[broken.tm_wday],
                  broken.tm_mday, kMonths[broken.tm_mon], broken.tm_year + 1900, broken.tm_hour,
                  broken.tm_min, broken.tm_sec);
    return text;
}

bool ParseHttpDate(const std::string &text, time_t *utc) {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char weekday[4], month[4], zone[4], extra;
    int day, year, hour, minute, second;
    if (std::sscanf(text.c_str(), "%3s, %2d %3s %4d %2d:%2d:%2d %3s%c", weekday, &day, month, &year,
                    &hour, &minute, &second, zone, &extra) != 8 ||
        std::strcmp(zone, "GMT") != 0)
        return false;
    const char *found = std::strstr(kMonths, month);
    if (found == nullptr || (found - kMonths) % 3 != 0)
        return false;
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = static_cast<int>((found - kMonths) / 3);
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    broken.tm_sec = second;
    *utc = timegm(&broken);
    return true;
}

std::string FillTemplate(std::string text,
                         std::initializer_list<std::pair<const char *, std::string>> values) {
    // One pass, so that a filled-in text (which may echo a caller's words) is never read for
    // marks itself.
    std::string filled;
    size_t at = 0;
    for (size_t open = text.find("{{"); open != std::string::npos; open = text.find("{{", at)) {
        size_t close = text.find("}}", open + 2);
        if (close == std::string::npos)
            break;
        std::string name = text.substr(open + 2, close - open - 2);
        const std::string *value = nullptr;
        for (const auto &entry : values) {
            if (name == entry.first)
                value = &entry.second;
        }
        filled.append(text, at, open - at);
        if (value != nullptr)
            filled += *value;
        else
            filled.append(text, open, close + 2 - open);
        at = close + 2;
    }
    filled.append(text, at, std::string::npos);
    return filled;
}

std::string NumberText(double value) {
    // Plain decimals within the range a JSON writer keeps them plain, else the exponent form.
    bool plain = value == 0.0 || (std::fabs(value) >= 1e-6 && std::fabs(value) < 1e17);
    char text[400] = "0";
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, plain ? "%.*f" : "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}

std::string JsonString(const std::string &text, bool null) {
    if (null)
        return "null";
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string DeepArrays(int depth) {
    size_t count = static_cast<size_t>(depth);
    return std::string(count, '[') + "0" + std::string(count, ']');
}

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
