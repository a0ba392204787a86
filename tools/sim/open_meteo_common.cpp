#include "open_meteo_common.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

const char *const kServiceErrorReason = "Simulated service error.";

const char *const kHostileArrays[kHostileArrayCount] = {
    R"([1e308,"12.5",null,-1e308,-9223372036854775808,true,{},[1.5],"",4.9e-324,)"
    R"(18446744073709551615,"NaN"])",
    "[7]", "[]", "\"not an array\""};

namespace {

const char *const kJsonContentType = "application/json; charset=utf-8";

// Keeps a cell's index whole where the division lands a hair below it (48.3 / 0.1).
const double kCellTolerance = 1e-9;

bool ParseCoordinate(const std::string &text, const char *key, const char *label, double limit,
                     double *value, std::string *reason) {
    if (!ParseDecimal(text, value)) {
        *reason = std::string("Data corrupted at path '") + key + "'. '" + EchoText(text) +
                  "' is not a number.";
        return false;
    }
    if (*value < -limit || *value > limit) {
        char range[64];
        std::snprintf(range, sizeof range,
                      " must be in range of -%d to %d\u00B0. Given: ", static_cast<int>(limit),
                      static_cast<int>(limit));
        *reason = std::string(label) + range + NumberText(*value) + ".";
        return false;
    }
    return true;
}

std::string LocalTimeText(long long localSeconds, bool withClock) {
    time_t moment = static_cast<time_t>(localSeconds);
    std::tm broken{};
    gmtime_r(&moment, &broken);
    char text[64];
    if (withClock)
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", broken.tm_year + 1900,
                      broken.tm_mon + 1, broken.tm_mday, broken.tm_hour, broken.tm_min);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", broken.tm_year + 1900, broken.tm_mon + 1,
                      broken.tm_mday);
    return text;
}

const char kPointAnswer[] =
    R"({"latitude":{{LATITUDE}},"longitude":{{LONGITUDE}},"generationtime_ms":{{MS}},)"
    R"("utc_offset_seconds":{{OFFSET}},"timezone":"{{ZONE}}",)"
    R"("timezone_abbreviation":"{{ABBREVIATION}}","elevation":{{ELEVATION}}{{SECTIONS}}})";

} // namespace

Answer JsonAnswer(int status, const std::string &body) {
    Answer answer;
    answer.status = status;
    answer.contentType = kJsonContentType;
    answer.body = body;
    return answer;
}

Answer ErrorAnswer(int status, const std::string &reason) {
    return JsonAnswer(status, "{\"error\":true,\"reason\":" + JsonString(reason) + "}");
}

bool ParseInteger(const std::string &text, long long *value) {
    size_t at = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (text.size() == at || text.size() - at > 18 || !AllDigits(text.substr(at)))
        return false;
    *value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

std::vector<std::string> SplitList(const std::string &text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        if (comma > start)
            items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

bool ParseCoordinates(const QueryParameters &query, double *latitude, double *longitude,
                      std::string *reason) {
    const std::string *latitudeText = QueryValue(query, "latitude");
    const std::string *longitudeText = QueryValue(query, "longitude");
    if (latitudeText == nullptr && longitudeText == nullptr) {
        *reason = "Parameter 'latitude' and 'longitude' are required.";
        return false;
    }
    size_t latitudes = latitudeText == nullptr ? 0 : SplitList(*latitudeText).size();
    size_t longitudes = longitudeText == nullptr ? 0 : SplitList(*longitudeText).size();
    if (latitudes != longitudes) {
        *reason = "Parameter 'latitude' and 'longitude' must have the same number of elements";
        return false;
    }
    if (latitudes > 1) {
        *reason = "This service answers one location per request.";
        return false;
    }
    return ParseCoordinate(*latitudeText, "latitude", "Latitude", 90, latitude, reason) &&
           ParseCoordinate(*longitudeText, "longitude", "Longitude", 180, longitude, reason);
}

bool ParseChoice(const QueryParameters &query, const char *key, std::vector<const char *> names,
                 const char *typeName, int *choice, std::string *reason) {
    const std::string *text = QueryValue(query, key);
    *choice = 0;
    if (text == nullptr)
        return true;
    for (size_t i = 0; i < names.size(); ++i) {
        if (*text == names[i]) {
            *choice = static_cast<int>(i);
            return true;
        }
    }
    *reason = std::string("Cannot initialize ") + typeName + " from invalid String value " +
              EchoText(*text) + " for key " + key;
    return false;
}

bool ParseCount(const QueryParameters &query, const char *key, const char *label, long long highest,
                long long *value, std::string *reason) {
    const std::string *text = QueryValue(query, key);
    if (text == nullptr)
        return true;
    if (!ParseInteger(*text, value)) {
        *reason = std::string("Value of type 'Int' required for key '") + key + "'.";
        return false;
    }
    if (*value < 0 || *value > highest) {
        *reason = std::string(label) + " is invalid. Allowed range 0 to " +
                  std::to_string(highest) + ". Given " + std::to_string(*value) + ".";
        return false;
    }
    return true;
}

bool ParseVariableList(const QueryParameters &query, const char *key,
                       const std::vector<const char *> &names, const char *typeName, bool namesKey,
                       std::vector<Requested> *requested, std::string *reason) {
    const std::string *text = QueryValue(query, key);
    if (text == nullptr)
        return true;
    for (const std::string &name : SplitList(*text)) {
        auto known = std::find_if(names.begin(), names.end(),
                                  [&](const char *candidate) { return name == candidate; });
        if (known == names.end()) {
            *reason = std::string("Cannot initialize ") + typeName + " from invalid String value " +
                      EchoText(name) + (namesKey ? std::string(" for key ") + key : "");
            return false;
        }
        bool repeated = std::any_of(requested->begin(), requested->end(),
                                    [&](const Requested &r) { return r.name == name; });
        if (!repeated)
            requested->push_back({name, static_cast<size_t>(known - names.begin())});
    }
    return true;
}

std::string TimeValue(long long localSeconds, bool withClock, bool unixTime, int utcOffsetSeconds) {
    if (unixTime)
        return std::to_string(localSeconds - utcOffsetSeconds);
    return "\"" + LocalTimeText(localSeconds, withClock) + "\"";
}

double CellCentre(double coordinate, double limit, double step) {
    double centre = (std::floor(coordinate / step + kCellTolerance) + 0.5) * step;
    double highest = limit - step / 2;
    centre = std::min(highest, std::max(-highest, centre));
    return std::round(centre * 1e6) / 1e6;
}

std::string UnitsText(bool unixTime, bool withInterval,
                      const std::vector<std::pair<std::string, std::string>> &variableUnits) {
    std::string text = std::string("{\"time\":\"") + (unixTime ? "unixtime" : "iso8601") +
                       (withInterval ? "\",\"interval\":\"seconds\"" : "\"");
    for (const auto &variable : variableUnits)
        text += ",\"" + variable.first + "\":\"" + variable.second + "\"";
    return text + "}";
}

std::string PointAnswerBody(const PointHeader &header, const std::string &sections) {
    return FillTemplate(kPointAnswer, {{"LATITUDE", NumberText(header.latitude)},
                                       {"LONGITUDE", NumberText(header.longitude)},
                                       {"MS", NumberText(header.generationMs)},
                                       {"OFFSET", std::to_string(header.utcOffsetSeconds)},
                                       {"ZONE", header.timezone},
                                       {"ABBREVIATION", header.abbreviation},
                                       {"ELEVATION", NumberText(header.elevationMetres)},
                                       {"SECTIONS", sections}});
}
