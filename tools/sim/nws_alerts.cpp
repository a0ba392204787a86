#include "nws_alerts.h"

#include <cmath>
#include <cstdio>
#include <regex>
#include <vector>

namespace {

const char *const kGeoJsonType = "application/geo+json";
const char *const kProblemType = "application/problem+json";
const char *const kPointPattern = "^(-?\\d+(?:\\.\\d+)?),(-?\\d+(?:\\.\\d+)?)$";
const size_t kMaxPointDecimals = 4;
// At most this many unrecognized parameters are named in one problem document.
const size_t kMaxParameterErrors = 20;

// --- coverage and zones

struct Zone {
    int hours;
    const char *abbreviation;
};

struct Box {
    double south, north, west, east;
    Zone zone; // hours 0: the contiguous states, whose zone follows the longitude
};

const Box kCoverage[] = {
    {24.0, 50.0, -125.0, -66.0, {0, ""}},       // the contiguous states
    {51.0, 72.0, -180.0, -129.0, {-9, "AKST"}}, // Alaska
    {18.5, 22.5, -161.0, -154.0, {-10, "HST"}}, // Hawaii
    {17.5, 18.6, -67.5, -65.0, {-4, "AST"}},    // Puerto Rico
};

const Box *CoveringBox(double latitude, double longitude) {
    for (const Box &box : kCoverage) {
        if (latitude >= box.south && latitude <= box.north && longitude >= box.west &&
            longitude <= box.east)
            return &box;
    }
    return nullptr;
}

// Standard time of a covered point: PST to EST by longitude in the contiguous states.
Zone ZoneOf(const Box &box, double longitude) {
    static const Zone kContiguous[] = {{-8, "PST"}, {-7, "MST"}, {-6, "CST"}, {-5, "EST"}};
    if (box.zone.hours != 0)
        return box.zone;
    long hours = std::lround(longitude / 15.0);
    return kContiguous[std::min(3L, std::max(0L, hours + 8))];
}

// --- times as the alerts write them

std::string ZoneTime(time_t utc, const Zone &zone) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%+03d:00", zone.hours);
    return IsoTime(utc, suffix, zone.hours * 3600L);
}

// "December 8 at 1:00AM MST" (headlines) or "10 AM MST" (texts).
std::string SpokenTime(time_t utc, const Zone &zone, bool withDate) {
    static const char *const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    time_t local = utc + zone.hours * 3600L;
    std::tm t{};
    gmtime_r(&local, &t);
    int hour = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    const char *half = t.tm_hour < 12 ? "AM" : "PM";
    char text[96];
    if (withDate)
        std::snprintf(text, sizeof text, "%s %d at %d:%02d%s %s", kMonths[t.tm_mon], t.tm_mday,
                      hour, t.tm_min, half, zone.abbreviation);
    else
        std::snprintf(text, sizeof text, "%d %s %s", hour, half, zone.abbreviation);
    return text;
}

// --- problem documents

Answer Problem(int status, const char *title, const char *typeName, const std::string &detail,
               const std::string &parameterErrors = std::string()) {
    Answer answer;
    answer.status = status;
    answer.contentType = kProblemType;
    answer.body =
        FillTemplate(R"({
    "title": "{{TITLE}}",
    "type": "https://api.weather.gov/problems/{{TYPE}}",
    "status": {{STATUS}},
    "detail": {{DETAIL}}{{ERRORS}}
})",
                     {{"TITLE", title},
                      {"TYPE", typeName},
                      {"STATUS", std::to_string(status)},
                      {"DETAIL", JsonString(detail)},
                      {"ERRORS", parameterErrors.empty()
                                     ? std::string()
                                     : ",\n    \"parameterErrors\": [" + parameterErrors + "]"}});
    return answer;
}

Answer PointError(const std::string &detail, const std::string &message) {
    return Problem(400, "Bad Request", "BadRequest", detail,
                   "{\"parameter\": \"query.point\", \"message\": " + JsonString(message) + "}");
}

struct Point {
    std::string latitudeText, longitudeText;
    double latitude = 0.0, longitude = 0.0;
};

// Reads the query: only `point` is known. Returns false with the problem document to answer.
bool ParseQuery(const QueryParameters &query, Point *point, Answer *problem) {
    std::string errors, details;
    size_t unknown = 0;
    for (auto entry = query.begin(); entry != query.end() && unknown < kMaxParameterErrors;
         entry = query.upper_bound(entry->first)) {
        if (entry->first == "point")
            continue;
        std::string name = EchoText(entry->first);
        std::string message = "Query parameter \"" + name + "\" is not recognized";
        details += (details.empty() ? "" : "; ") + message;
        errors += std::string(unknown++ == 0 ? "" : ", ") +
                  "{\"parameter\": " + JsonString("query." + name) +
                  ", \"message\": " + JsonString(message) + "}";
    }
    if (unknown > 0) {
        *problem = Problem(400, "Bad Request", "BadRequest", details, errors);
        return false;
    }
    size_t points = query.count("point");
    if (points != 1) {
        *problem = points == 0 ? PointError("Parameter \"point\" is required: this service "
                                            "answers the alerts of one point "
                                            "(point=LATITUDE,LONGITUDE)",
                                            "Missing required parameter")
                               : PointError("Parameter \"point\" is given more than once",
                                            "Only one point is allowed");
        return false;
    }
    const std::string &text = query.find("point")->second;
    std::string echo = EchoText(text);
    std::smatch match;
    if (text.size() > 64 || !std::regex_match(text, match, std::regex(kPointPattern))) {
        *problem = PointError("Invalid point \"" + echo + "\"",
                              std::string("Does not match the regex pattern ") + kPointPattern);
        return false;
    }
    point->latitudeText = match[1];
    point->longitudeText = match[2];
    for (const std::string &number : {point->latitudeText, point->longitudeText}) {
        size_t dot = number.find('.');
        if (dot != std::string::npos && number.size() - dot - 1 > kMaxPointDecimals) {
            *problem = PointError("Invalid point \"" + echo +
                                      "\": the coordinates may have at most 4 decimal places",
                                  "Coordinates may have at most 4 decimal places");
            return false;
        }
    }
    point->latitude = std::strtod(point->latitudeText.c_str(), nullptr);
    point->longitude = std::strtod(point->longitudeText.c_str(), nullptr);
    if (!(std::fabs(point->latitude) <= 90.0) || !(std::fabs(point->longitude) <= 180.0)) {
        *problem = PointError("Invalid point \"" + echo +
                                  "\": the latitude must be within -90 to 90 and the longitude "
                                  "within -180 to 180",
                              "Coordinates out of range");
        return false;
    }
    return true;
}

// --- the alerts: one recorded feature, its times, texts and codes filled in

const char kFeature[] = R"(
        {
            "id": "https://api.weather.gov/alerts/{{ID}}",
            "type": "Feature",
            "geometry": null,
            "properties": {
                "@id": "https://api.weather.gov/alerts/{{ID}}",
                "@type": "wx:Alert",
                "id": "{{ID}}",
                "areaDesc": {{AREA}},
                "geocode": {
                    "SAME": ["008031", "008059"],
                    "UGC": ["WEZ826", "WEZ334"]
                },
                "affectedZones": [
                    "https://api.weather.gov/zones/forecast/WEZ826",
                    "https://api.weather.gov/zones/forecast/WEZ334"
                ],
                "references": [],
                "sent": {{SENT}},
                "effective": {{SENT}},
                "onset": {{ONSET}},
                "expires": {{EXPIRES}},
                "ends": {{ENDS}},
                "status": "Actual",
                "messageType": "Alert",
                "category": "Met",
                "severity": {{SEVERITY}},
                "certainty": {{CERTAINTY}},
                "urgency": {{URGENCY}},
                "event": {{EVENT}},
                "sender": "w-nws.webmaster@noaa.gov",
                "senderName": {{SENDER}},
                "headline": {{HEADLINE}},
                "description": {{DESCRIPTION}},
                "instruction": {{INSTRUCTION}},
                "response": {{RESPONSE}},
                "parameters": {
                    "AWIPSidentifier": ["{{AWIPS}}FRN"],
                    "WMOidentifier": ["{{WMO}} KFRN {{DAY_HOUR}}"],{{PARAMETERS}}
                    "BLOCKCHANNEL": ["EAS", "NWEM", "CMAS"]
                },
                "scope": "Public",
                "code": "IPAWSv1.0",
                "language": "en-US",
                "web": "http://www.weather.gov",
                "eventCode": {
                    "SAME": ["{{SAME}}"],
                    "NationalWeatherService": ["{{CODE}}"]
                }
            }
        })";

const char kCollection[] = R"({
    "@context": [
        "https://geojson.org/geojson-ld/geojson-context.jsonld",
        {
            "@version": "1.1",
            "wx": "https://api.weather.gov/ontology#",
            "@vocab": "https://api.weather.gov/ontology#"
        }
    ],
    "type": "FeatureCollection",
    "features": [{{FEATURES}}
    ],
    "title": "Current watches, warnings, and advisories for {{POINT}}",
    "updated": "{{UPDATED}}"
})";

const char kArea[] = "Ferncrest Metro; Westmark Foothills";

// The two alerts: a Wind Advisory, then a Winter Storm Warning without a headline or an end.
// They were sent at the start of the hour before the current one, so they stay the same for an
// hour.
std::string Features(time_t utcNow, const Zone &zone, int count, bool nulls) {
    time_t sent = utcNow - utcNow % 3600 - 3600;
    char dayHour[16];
    std::tm t{};
    gmtime_r(&sent, &t);
    std::snprintf(dayHour, sizeof dayHour, "%02d%02d%02d", t.tm_mday, t.tm_hour, t.tm_min);
    auto time = [&](time_t at) { return JsonString(ZoneTime(at, zone), nulls || at == 0); };
    auto text = [&](const std::string &value) { return JsonString(value, nulls); };
    std::string features;
    for (int i = 0; i < count && i < 2; ++i) {
        bool wind = i == 0;
        time_t onset = wind ? sent : sent + 3 * 3600;
        time_t expires = sent + (wind ? 9 : 6) * 3600;
        time_t ends = wind ? expires : 0;
        char id[96];
        std::snprintf(id, sizeof id, "urn:oid:2.49.0.1.840.0.%016llx.%03d.1",
                      static_cast<unsigned long long>(TextHash(std::to_string(sent))), i + 1);
        std::string event = wind ? "Wind Advisory" : "Winter Storm Warning";
        std::string headline = wind
                                   ? event + " issued " + SpokenTime(sent, zone, true) + " until " +
                                         SpokenTime(expires, zone, true) + " by NWS Ferncrest"
                                   : std::string();
        std::string description =
            wind ? "* WHAT...Southwest winds 25 to 35 mph with gusts up to 55 mph.\n\n* WHERE..." +
                       std::string(kArea) + ".\n\n* WHEN...Until " +
                       SpokenTime(expires, zone, false) +
                       ".\n\n* IMPACTS...Gusty winds will blow around unsecured objects."
                 : "* WHAT...Heavy snow expected. Total snow accumulations between 10 and 16 "
                   "inches.\n\n* WHERE..." +
                       std::string(kArea) + ".\n\n* WHEN...From " + SpokenTime(onset, zone, false) +
                       " until further notice.\n\n* IMPACTS...Travel could be very difficult.";
        std::string parameters =
            wind ? "\n                    \"NWSheadline\": [\"WIND ADVISORY IN EFFECT UNTIL " +
                       SpokenTime(expires, zone, false) +
                       "\"],\n                    \"eventEndingTime\": [\"" + ZoneTime(ends, zone) +
                       "\"],"
                 : std::string();
        features +=
            std::string(i == 0 ? "" : ",") +
            FillTemplate(kFeature, {{"ID", id},
                                    {"AREA", text(kArea)},
                                    {"SENT", time(sent)},
                                    {"ONSET", time(onset)},
                                    {"EXPIRES", time(expires)},
                                    {"ENDS", time(ends)},
                                    {"SEVERITY", text(wind ? "Moderate" : "Severe")},
                                    {"CERTAINTY", text("Likely")},
                                    {"URGENCY", text("Expected")},
                                    {"EVENT", text(event)},
                                    {"SENDER", text("NWS Ferncrest")},
                                    {"HEADLINE", JsonString(headline, nulls || headline.empty())},
                                    {"DESCRIPTION", text(description)},
                                    {"INSTRUCTION", text(wind ? "Secure outdoor objects."
                                                              : "If you must travel, keep an "
                                                                "extra flashlight, food, and "
                                                                "water in your vehicle.")},
                                    {"RESPONSE", text(wind ? "Execute" : "Prepare")},
                                    {"AWIPS", wind ? "NPW" : "WSW"},
                                    {"WMO", wind ? "WWUS85" : "WWUS45"},
                                    {"DAY_HOUR", dayHour},
                                    {"SAME", wind ? "NWS" : "WSW"},
                                    {"CODE", wind ? "WIY" : "WSW"},
                                    {"PARAMETERS", parameters}});
    }
    return features;
}

// "39.7392 N, 104.9903 W": the point as it was asked for.
std::string PointTitle(const Point &point) {
    auto part = [](const std::string &text, const char *positive, const char *negative) {
        bool minus = !text.empty() && text[0] == '-';
        return (minus ? text.substr(1) : text) + " " + (minus ? negative : positive);
    };
    return part(point.latitudeText, "N", "S") + ", " + part(point.longitudeText, "E", "W");
}

// Valid JSON in a shape no collection has: features of every type, alerts whose members have
// the wrong types, texts with markup, format directives and control characters, times that
// are no times, one member nested thousands deep, and "features" named twice.
const char kHostileCollection[] = R"({"@context":42,"type":"FeatureCollection","features":[
"not a feature",null,7,[],{"id":12,"type":"Feature","geometry":"none","properties":null},
{"type":"Feature","properties":{"event":42,"severity":"Catastrophic",
"headline":"Long\u0000headline\u0001\u001f{{LONG}}","description":["a list"],"areaDesc":{"x":1},
"sent":1e308,"effective":"yesterday","expires":"2026-13-45T25:61:00+99:00","parameters":"none"}},
{"type":"Feature","properties":{"event":"Deep","x_nested":{{DEEP}}}},
{"type":"Feature","properties":{
"event":"Tornado Warning\t\n\"quoted\" <b>bold</b> & 'apostrophe' %s %n %x",
"severity":"Extreme","headline":"<script>alert(1)</script> %s%s%s%n \\ end",
"description":"\u007f","effective":"","expires":-9223372036854775808}}],
"title":null,"updated":-1e308,"features":"named twice"})";

} // namespace

Answer ActiveAlertsAnswer(const QueryParameters &query, const std::string &userAgent, time_t utcNow,
                          Scenario scenario) {
    if (scenario == Scenario::ServiceError)
        return Problem(500, "Unexpected Problem", "UnexpectedProblem",
                       "An unexpected problem has occurred.");
    if (scenario == Scenario::RateLimit)
        return Problem(429, "Too Many Requests", "TooManyRequests",
                       "Too many requests from this client; try again in a few seconds.");
    if (userAgent.find_first_not_of(" \t") == std::string::npos)
        return Problem(403, "Forbidden", "Forbidden",
                       "A User-Agent header that names the application is required, such as "
                       "\"(myweatherapp.com, contact@myweatherapp.com)\".");
    Point point;
    Answer answer;
    if (!ParseQuery(query, &point, &answer))
        return answer;
    answer.contentType = kGeoJsonType;
    if (scenario == Scenario::Hostile) {
        answer.body = FillTemplate(kHostileCollection, {{"LONG", std::string(8000, 'h')},
                                                        {"DEEP", DeepArrays(kHostileDepth)}});
        return answer;
    }
    const Box *box = CoveringBox(point.latitude, point.longitude);
    bool odd = static_cast<long>(std::fabs(point.latitude)) % 2 == 1;
    int count = scenario == Scenario::Alert ? 2 : box != nullptr && odd ? 2 : 0;
    // Outside coverage the zone is of no matter unless the alert scenario gives alerts there.
    Zone zone =
        box != nullptr ? ZoneOf(*box, point.longitude) : ZoneOf(kCoverage[0], point.longitude);
    answer.body = FillTemplate(kCollection,
                               {{"FEATURES", Features(utcNow, zone, count, WantsNulls(scenario))},
                                {"POINT", PointTitle(point)},
                                {"UPDATED", IsoTime(utcNow - utcNow % 60, "+00:00")}});
    return CutUnderBadJson(answer, scenario);
}
