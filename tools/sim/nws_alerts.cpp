#include "nws_alerts.h"

#include "json_text.h"
#include "weather_model.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

const char *const kGeoJsonContentType = "application/geo+json";
const char *const kProblemJsonContentType = "application/problem+json";

namespace {

using PrettyJsonWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;
using CompactJsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Links inside the documents name the public service, as its own documents do.
const char *const kApiBase = "https://api.weather.gov";
const char *const kPointPattern = "^(-?\\d+(?:\\.\\d+)?),(-?\\d+(?:\\.\\d+)?)$";
const int kMaxPointDecimals = 4;
// At most this many unrecognized parameters are named in one problem document.
const size_t kMaxParameterErrors = 20;
// Nesting of the unknown member in hostile answers, deeper than a recursive parser may go.
const int kHostileDepth = 3000;

// --- the point

struct Point {
    std::string latitudeText;
    std::string longitudeText;
    double latitude = 0.0;
    double longitude = 0.0;
};

// Digits, then optionally a point and digits: one number of the point's pattern, without its
// sign. Counts the decimals.
bool UnsignedDecimal(const std::string &text, int *decimals) {
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    auto digitsOnly = [](const std::string &part) {
        if (part.empty())
            return false;
        for (char c : part) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return false;
        }
        return true;
    };
    if (!digitsOnly(whole) || (dot != std::string::npos && !digitsOnly(fraction)))
        return false;
    *decimals = static_cast<int>(fraction.size());
    return true;
}

bool PatternNumber(const std::string &text, int *decimals) {
    return !text.empty() && UnsignedDecimal(text[0] == '-' ? text.substr(1) : text, decimals);
}

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

const Zone kZoneNames[] = {{-10, "HST"}, {-9, "AKST"}, {-8, "PST"}, {-7, "MST"},
                           {-6, "CST"},  {-5, "EST"},  {-4, "AST"}};

Zone ZoneByLongitude(double longitude, int lowest, int highest) {
    long hours = std::lround(longitude / 15.0);
    hours = hours < lowest ? lowest : hours > highest ? highest : hours;
    for (const Zone &zone : kZoneNames) {
        if (zone.hours == hours)
            return zone;
    }
    return {static_cast<int>(hours), "UTC"};
}

const Box *CoveringBox(const Point &point) {
    for (const Box &box : kCoverage) {
        if (point.latitude >= box.south && point.latitude <= box.north &&
            point.longitude >= box.west && point.longitude <= box.east)
            return &box;
    }
    return nullptr;
}

// Standard time of the point (as everywhere in this service); outside coverage, by longitude.
Zone ZoneOf(const Point &point) {
    const Box *box = CoveringBox(point);
    if (box == nullptr)
        return ZoneByLongitude(point.longitude, -12, 14);
    if (box->zone.hours == 0)
        return ZoneByLongitude(point.longitude, -8, -5);
    return box->zone;
}

// --- text of times

std::tm BrokenDown(time_t utc, int zoneHours) {
    time_t local = utc + static_cast<time_t>(zoneHours) * 3600;
    std::tm broken{};
    gmtime_r(&local, &broken);
    return broken;
}

// 2026-12-08T01:00:00-07:00
std::string IsoTime(time_t utc, int zoneHours) {
    std::tm t = BrokenDown(utc, zoneHours);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%+03d:00", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, zoneHours);
    return text;
}

const char *const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

int Hour12(int hour) {
    return hour % 12 == 0 ? 12 : hour % 12;
}

// "December 8 at 1:00AM MST", as headlines name times.
std::string HeadlineTime(time_t utc, const Zone &zone) {
    std::tm t = BrokenDown(utc, zone.hours);
    char text[96];
    std::snprintf(text, sizeof text, "%s %d at %d:%02d%s %s", kMonths[t.tm_mon], t.tm_mday,
                  Hour12(t.tm_hour), t.tm_min, t.tm_hour < 12 ? "AM" : "PM", zone.abbreviation);
    return text;
}

// "10 AM MST", as the texts name times.
std::string ShortTime(time_t utc, const Zone &zone) {
    std::tm t = BrokenDown(utc, zone.hours);
    char text[64];
    std::snprintf(text, sizeof text, "%d %s %s", Hour12(t.tm_hour), t.tm_hour < 12 ? "AM" : "PM",
                  zone.abbreviation);
    return text;
}

// "261208T0800Z", as event codes name times.
std::string VtecTime(time_t utc) {
    std::tm t = BrokenDown(utc, 0);
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d%02dT%02d%02dZ", t.tm_year % 100, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min);
    return text;
}

// "080800": day, hour and minute in UTC, as bulletin headings name them.
std::string DayHourMinute(time_t utc) {
    std::tm t = BrokenDown(utc, 0);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", t.tm_mday, t.tm_hour, t.tm_min);
    return text;
}

uint64_t TextHash(const std::string &text, uint64_t hash = 0xCBF29CE484222325ULL) {
    for (unsigned char c : text) { // FNV-1a
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::string Hex(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return std::string(text).substr(static_cast<size_t>(16 - digits));
}

std::string Upper(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// --- problem documents

struct ParameterError {
    std::string parameter;
    std::string message;
};

TypedAnswer Problem(int status, const char *title, const char *typeName, const std::string &detail,
                    const std::string &target, const std::vector<ParameterError> &errors = {}) {
    std::string correlation = Hex(TextHash(target), 8);
    rapidjson::StringBuffer buffer;
    PrettyJsonWriter writer(buffer);
    writer.SetIndent(' ', 4);
    writer.StartObject();
    writer.Key("correlationId");
    writer.String(correlation.c_str());
    writer.Key("title");
    writer.String(title);
    writer.Key("type");
    writer.String((std::string(kApiBase) + "/problems/" + typeName).c_str());
    writer.Key("status");
    writer.Int(status);
    writer.Key("detail");
    writer.String(detail.c_str());
    writer.Key("instance");
    writer.String((std::string(kApiBase) + "/requests/" + correlation).c_str());
    if (!errors.empty()) {
        writer.Key("parameterErrors");
        writer.StartArray();
        for (const ParameterError &error : errors) {
            writer.StartObject();
            writer.Key("parameter");
            writer.String(error.parameter.c_str());
            writer.Key("message");
            writer.String(error.message.c_str());
            writer.EndObject();
        }
        writer.EndArray();
    }
    writer.EndObject();
    TypedAnswer answer;
    answer.status = status;
    answer.contentType = kProblemJsonContentType;
    answer.body.assign(buffer.GetString(), buffer.GetSize());
    return answer;
}

TypedAnswer BadRequest(const std::string &detail, const std::string &target,
                       const std::vector<ParameterError> &errors) {
    return Problem(400, "Bad Request", "BadRequest", detail, target, errors);
}

TypedAnswer PointError(const std::string &detail, const std::string &message,
                       const std::string &target) {
    return BadRequest(detail, target, {{"query.point", message}});
}

// Reads the query: only `point` is known. Returns false with the problem document to answer.
bool ParseQuery(const QueryParameters &query, const std::string &target, Point *point,
                TypedAnswer *problem) {
    std::vector<ParameterError> unknown;
    std::string details;
    for (auto entry = query.begin(); entry != query.end();
         entry = query.upper_bound(entry->first)) {
        if (entry->first == "point")
            continue;
        if (unknown.size() == kMaxParameterErrors)
            break;
        std::string name = EchoText(entry->first);
        std::string message = "Query parameter \"" + name + "\" is not recognized";
        details += (details.empty() ? "" : "; ") + message;
        unknown.push_back({"query." + name, message});
    }
    if (!unknown.empty()) {
        *problem = BadRequest(details, target, unknown);
        return false;
    }
    size_t points = query.count("point");
    if (points == 0) {
        *problem = PointError("Parameter \"point\" is required: this service answers the alerts "
                              "of one point (point=LATITUDE,LONGITUDE)",
                              "Missing required parameter", target);
        return false;
    }
    if (points > 1) {
        *problem = PointError("Parameter \"point\" is given more than once",
                              "Only one point is allowed", target);
        return false;
    }
    const std::string &text = query.find("point")->second;
    std::string echo = EchoText(text);
    size_t comma = text.find(',');
    int latitudeDecimals = 0, longitudeDecimals = 0;
    if (comma == std::string::npos || text.size() > 64 ||
        !PatternNumber(text.substr(0, comma), &latitudeDecimals) ||
        !PatternNumber(text.substr(comma + 1), &longitudeDecimals)) {
        *problem =
            PointError("Invalid point \"" + echo + "\"",
                       std::string("Does not match the regex pattern ") + kPointPattern, target);
        return false;
    }
    if (latitudeDecimals > kMaxPointDecimals || longitudeDecimals > kMaxPointDecimals) {
        *problem = PointError("Invalid point \"" + echo +
                                  "\": the coordinates may have at most 4 decimal places",
                              "Coordinates may have at most 4 decimal places", target);
        return false;
    }
    point->latitudeText = text.substr(0, comma);
    point->longitudeText = text.substr(comma + 1);
    point->latitude = std::strtod(point->latitudeText.c_str(), nullptr);
    point->longitude = std::strtod(point->longitudeText.c_str(), nullptr);
    if (!(std::fabs(point->latitude) <= 90.0) || !(std::fabs(point->longitude) <= 180.0)) {
        *problem = PointError("Invalid point \"" + echo +
                                  "\": the latitude must be within -90 to 90 and the longitude "
                                  "within -180 to 180",
                              "Coordinates out of range", target);
        return false;
    }
    return true;
}

// --- the alerts

struct Office {
    std::string city;   // "Alderbrook": the office's name, "NWS Alderbrook"
    std::string region; // "Westmark"
    std::string code;   // "KALD"
    std::string areaDesc;
    std::vector<std::string> zones; // "WEZ031"
    std::vector<std::string> same;  // "008031"
};

// An office of this service's own invention for the point's one-degree square.
Office OfficeFor(const Point &point) {
    long latitude = static_cast<long>(point.latitude);
    long longitude = static_cast<long>(point.longitude);
    std::string key = "NWS " + std::to_string(latitude) + " " + std::to_string(longitude);
    Location location = MakeLocation(key);
    Office office;
    size_t comma = location.cityName.find(", ");
    office.city = location.cityName.substr(0, comma);
    office.region = comma == std::string::npos ? "" : location.cityName.substr(comma + 2);
    office.code = "K" + Upper(office.city.substr(0, 3));
    std::string state = Upper(office.region.substr(0, 2));
    if (state.size() < 2)
        state = "XX";
    office.areaDesc = office.city + " Metro; " + office.region + " Foothills";
    for (int i = 0; i < 2; ++i) {
        uint64_t mix = location.seed >> (8 * i);
        char zone[16], same[16];
        std::snprintf(zone, sizeof zone, "%sZ%03d", state.c_str(), static_cast<int>(mix % 900) + 1);
        std::snprintf(same, sizeof same, "0%05d", static_cast<int>((mix >> 20) % 99999));
        office.zones.push_back(zone);
        office.same.push_back(same);
    }
    return office;
}

struct Alert {
    std::string id; // urn:oid:...
    time_t sent, onset, expires;
    time_t ends; // 0: no end given
    const char *event, *severity, *certainty, *urgency, *response;
    std::string headline; // empty: null
    std::string description, instruction;
    std::string awips, wmo, nwsHeadline, vtec; // nwsHeadline empty: not given
    const char *sameCode, *nwsCode;
};

std::string AlertId(const Office &office, int index, time_t sent) {
    uint64_t first = TextHash(office.code + office.areaDesc + std::to_string(sent) + "#" +
                              std::to_string(index));
    uint64_t second = TextHash("oid", first);
    uint64_t third = TextHash("alert", second);
    std::string digest = (Hex(first, 16) + Hex(second, 16) + Hex(third, 16)).substr(0, 40);
    return "urn:oid:2.49.0.1.840.0." + digest + ".001.1";
}

// The two alerts: a Wind Advisory, then a Winter Storm Warning without a headline. They were
// sent at the start of the hour before the current one, so they stay the same for an hour.
std::vector<Alert> AlertsFor(const Office &office, const Zone &zone, time_t utcNow) {
    time_t sent = utcNow - utcNow % 3600 - 3600;
    std::string by = " by NWS " + office.city;
    int eventNumber = static_cast<int>(TextHash(office.code) % 60) + 1;
    char number[8];

    Alert wind;
    wind.id = AlertId(office, 1, sent);
    wind.sent = sent;
    wind.onset = sent;
    wind.expires = sent + 9 * 3600;
    wind.ends = wind.expires;
    wind.event = "Wind Advisory";
    wind.severity = "Moderate";
    wind.certainty = "Likely";
    wind.urgency = "Expected";
    wind.response = "Execute";
    wind.headline = std::string("Wind Advisory issued ") + HeadlineTime(sent, zone) + " until " +
                    HeadlineTime(wind.expires, zone) + by;
    wind.description = "* WHAT...Southwest winds 25 to 35 mph with gusts up to 55 mph.\n\n"
                       "* WHERE..." +
                       office.areaDesc + ".\n\n* WHEN...Until " + ShortTime(wind.expires, zone) +
                       ".\n\n* IMPACTS...Gusty winds will blow around unsecured objects. Tree "
                       "limbs could be blown down and a few power outages may result.";
    wind.instruction = "Use extra caution when driving, especially if operating a high profile "
                       "vehicle. Secure outdoor objects.";
    wind.awips = "NPW" + office.code.substr(1);
    wind.wmo = "WWUS85 " + office.code + " " + DayHourMinute(sent);
    wind.nwsHeadline = "WIND ADVISORY IN EFFECT UNTIL " + ShortTime(wind.expires, zone);
    std::snprintf(number, sizeof number, "%04d", eventNumber);
    wind.vtec = "/O.NEW." + office.code + ".WI.Y." + number + "." + VtecTime(wind.onset) + "-" +
                VtecTime(wind.ends) + "/";
    wind.sameCode = "NWS";
    wind.nwsCode = "WIY";

    Alert snow;
    snow.id = AlertId(office, 2, sent);
    snow.sent = sent;
    snow.onset = sent + 3 * 3600;
    snow.expires = sent + 6 * 3600;
    snow.ends = 0;
    snow.event = "Winter Storm Warning";
    snow.severity = "Severe";
    snow.certainty = "Likely";
    snow.urgency = "Expected";
    snow.response = "Prepare";
    snow.description = "* WHAT...Heavy snow expected. Total snow accumulations between 10 and 16 "
                       "inches. Winds gusting as high as 40 mph.\n\n* WHERE..." +
                       office.areaDesc + ".\n\n* WHEN...From " + ShortTime(snow.onset, zone) +
                       " until further notice.\n\n* IMPACTS...Travel could be very difficult to "
                       "impossible.";
    snow.instruction = "If you must travel, keep an extra flashlight, food, and water in your "
                       "vehicle in case of an emergency.";
    snow.awips = "WSW" + office.code.substr(1);
    snow.wmo = "WWUS45 " + office.code + " " + DayHourMinute(sent);
    std::snprintf(number, sizeof number, "%04d", eventNumber / 2 + 1);
    snow.vtec =
        "/O.NEW." + office.code + ".WS.W." + number + "." + VtecTime(snow.onset) + "-000000T0000Z/";
    snow.sameCode = "WSW";
    snow.nwsCode = "WSW";
    return {wind, snow};
}

void StringArray(PrettyJsonWriter &writer, const char *key, const std::vector<std::string> &items) {
    writer.Key(key);
    writer.StartArray();
    for (const std::string &item : items)
        writer.String(item.c_str());
    writer.EndArray();
}

void WriteAlert(PrettyJsonWriter &writer, const Alert &alert, const Office &office,
                const Zone &zone, bool nulls) {
    auto text = [&](const char *key, const std::string &value, bool null) {
        writer.Key(key);
        if (nulls || null)
            writer.Null();
        else
            writer.String(value.c_str());
    };
    auto time = [&](const char *key, time_t value) {
        text(key, value == 0 ? std::string() : IsoTime(value, zone.hours), value == 0);
    };
    std::string link = std::string(kApiBase) + "/alerts/" + alert.id;
    writer.StartObject();
    writer.Key("id");
    writer.String(link.c_str());
    writer.Key("type");
    writer.String("Feature");
    writer.Key("geometry");
    writer.Null();
    writer.Key("properties");
    writer.StartObject();
    writer.Key("@id");
    writer.String(link.c_str());
    writer.Key("@type");
    writer.String("wx:Alert");
    writer.Key("id");
    writer.String(alert.id.c_str());
    text("areaDesc", office.areaDesc, false);
    writer.Key("geocode");
    writer.StartObject();
    StringArray(writer, "SAME", office.same);
    StringArray(writer, "UGC", office.zones);
    writer.EndObject();
    std::vector<std::string> zoneLinks;
    for (const std::string &code : office.zones)
        zoneLinks.push_back(std::string(kApiBase) + "/zones/forecast/" + code);
    StringArray(writer, "affectedZones", zoneLinks);
    writer.Key("references");
    writer.StartArray();
    writer.EndArray();
    time("sent", alert.sent);
    time("effective", alert.sent);
    time("onset", alert.onset);
    time("expires", alert.expires);
    time("ends", alert.ends);
    writer.Key("status");
    writer.String("Actual");
    writer.Key("messageType");
    writer.String("Alert");
    writer.Key("category");
    writer.String("Met");
    text("severity", alert.severity, false);
    text("certainty", alert.certainty, false);
    text("urgency", alert.urgency, false);
    text("event", alert.event, false);
    writer.Key("sender");
    writer.String("w-nws.webmaster@noaa.gov");
    text("senderName", "NWS " + office.city, false);
    text("headline", alert.headline, alert.headline.empty());
    text("description", alert.description, false);
    text("instruction", alert.instruction, false);
    text("response", alert.response, false);
    writer.Key("parameters");
    writer.StartObject();
    StringArray(writer, "AWIPSidentifier", {alert.awips});
    StringArray(writer, "WMOidentifier", {alert.wmo});
    if (!alert.nwsHeadline.empty())
        StringArray(writer, "NWSheadline", {alert.nwsHeadline});
    StringArray(writer, "BLOCKCHANNEL", {"EAS", "NWEM", "CMAS"});
    StringArray(writer, "VTEC", {alert.vtec});
    if (alert.ends != 0)
        StringArray(writer, "eventEndingTime", {IsoTime(alert.ends, zone.hours)});
    writer.EndObject();
    writer.Key("scope");
    writer.String("Public");
    writer.Key("code");
    writer.String("IPAWSv1.0");
    writer.Key("language");
    writer.String("en-US");
    writer.Key("web");
    writer.String("http://www.weather.gov");
    writer.Key("eventCode");
    writer.StartObject();
    StringArray(writer, "SAME", {alert.sameCode});
    StringArray(writer, "NationalWeatherService", {alert.nwsCode});
    writer.EndObject();
    writer.EndObject();
    writer.EndObject();
}

// "39.7392 N, 104.9903 W": the point as it was asked for.
std::string PointTitle(const Point &point) {
    auto part = [](const std::string &text, const char *positive, const char *negative) {
        bool minus = !text.empty() && text[0] == '-';
        return (minus ? text.substr(1) : text) + " " + (minus ? negative : positive);
    };
    return part(point.latitudeText, "N", "S") + ", " + part(point.longitudeText, "E", "W");
}

bool OddLatitude(const Point &point) {
    long whole = static_cast<long>(std::fabs(point.latitude));
    return whole % 2 == 1;
}

std::string CollectionBody(const Point &point, time_t utcNow, int alertCount, bool nulls) {
    Zone zone = ZoneOf(point);
    Office office = OfficeFor(point);
    std::vector<Alert> alerts = AlertsFor(office, zone, utcNow);
    rapidjson::StringBuffer buffer;
    PrettyJsonWriter writer(buffer);
    writer.SetIndent(' ', 4);
    writer.StartObject();
    writer.Key("@context");
    writer.StartArray();
    writer.String("https://geojson.org/geojson-ld/geojson-context.jsonld");
    writer.StartObject();
    writer.Key("@version");
    writer.String("1.1");
    writer.Key("wx");
    writer.String("https://api.weather.gov/ontology#");
    writer.Key("@vocab");
    writer.String("https://api.weather.gov/ontology#");
    writer.EndObject();
    writer.EndArray();
    writer.Key("type");
    writer.String("FeatureCollection");
    writer.Key("features");
    writer.StartArray();
    for (int i = 0; i < alertCount && i < static_cast<int>(alerts.size()); ++i)
        WriteAlert(writer, alerts[static_cast<size_t>(i)], office, zone, nulls);
    writer.EndArray();
    writer.Key("title");
    writer.String(("Current watches, warnings, and advisories for " + PointTitle(point)).c_str());
    writer.Key("updated");
    writer.String(IsoTime(utcNow - utcNow % 60, 0).c_str());
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

// Valid JSON in a shape no collection has: features of every type, alerts whose members have
// the wrong types, texts with markup, format directives and control characters, times that
// are no times, one member nested thousands deep, and "features" named twice.
std::string HostileCollectionBody() {
    rapidjson::StringBuffer buffer;
    CompactJsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("@context");
    writer.Int(42);
    writer.Key("type");
    writer.String("FeatureCollection");
    writer.Key("features");
    writer.StartArray();
    writer.String("not a feature");
    writer.Null();
    writer.Int(7);
    writer.StartArray();
    writer.EndArray();
    writer.StartObject();
    writer.Key("id");
    writer.Int(12);
    writer.Key("type");
    writer.String("Feature");
    writer.Key("geometry");
    writer.String("none");
    writer.Key("properties");
    writer.Null();
    writer.EndObject();
    writer.StartObject();
    writer.Key("type");
    writer.String("Feature");
    writer.Key("properties");
    writer.StartObject();
    writer.Key("event");
    writer.Int(42);
    writer.Key("severity");
    writer.String("Catastrophic");
    writer.Key("headline");
    std::string longText = std::string("Long\0headline\x01\x1f", 15) + std::string(8000, 'h');
    writer.String(longText.c_str(), static_cast<rapidjson::SizeType>(longText.size()));
    writer.Key("description");
    writer.StartArray();
    writer.String("a list");
    writer.EndArray();
    writer.Key("areaDesc");
    writer.StartObject();
    writer.Key("x");
    writer.Int(1);
    writer.EndObject();
    writer.Key("sent");
    writer.Double(1e308);
    writer.Key("effective");
    writer.String("yesterday");
    writer.Key("expires");
    writer.String("2026-13-45T25:61:00+99:00");
    writer.Key("parameters");
    writer.String("none");
    writer.EndObject();
    writer.EndObject();
    writer.StartObject();
    writer.Key("type");
    writer.String("Feature");
    writer.Key("properties");
    writer.StartObject();
    writer.Key("event");
    writer.String("Deep");
    writer.Key("x_nested");
    for (int i = 0; i < kHostileDepth; ++i)
        writer.StartArray();
    writer.Int(0);
    for (int i = 0; i < kHostileDepth; ++i)
        writer.EndArray();
    writer.EndObject();
    writer.EndObject();
    writer.StartObject();
    writer.Key("type");
    writer.String("Feature");
    writer.Key("properties");
    writer.StartObject();
    writer.Key("event");
    writer.String("Tornado Warning\t\n\"quoted\" <b>bold</b> & 'apostrophe' %s %n %x");
    writer.Key("severity");
    writer.String("Extreme");
    writer.Key("headline");
    writer.String("<script>alert(1)</script> %s%s%s%n \\ end");
    writer.Key("description");
    writer.String(std::string(1, '\x7f').c_str());
    writer.Key("effective");
    writer.String("");
    writer.Key("expires");
    writer.Int64(-9223372036854775807LL - 1);
    writer.EndObject();
    writer.EndObject();
    writer.EndArray();
    writer.Key("title");
    writer.Null();
    writer.Key("updated");
    writer.Double(-1e308);
    writer.Key("features");
    writer.String("named twice");
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace

TypedAnswer ActiveAlertsAnswer(const QueryParameters &query, const std::string &userAgent,
                               const std::string &target, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::ServiceError)
        return Problem(500, "Unexpected Problem", "UnexpectedProblem",
                       "An unexpected problem has occurred.", target);
    if (scenario == Scenario::RateLimit)
        return Problem(429, "Too Many Requests", "TooManyRequests",
                       "Too many requests from this client; try again in a few seconds.", target);
    if (userAgent.find_first_not_of(" \t") == std::string::npos)
        return Problem(403, "Forbidden", "Forbidden",
                       "A User-Agent header that names the application is required, such as "
                       "\"(myweatherapp.com, contact@myweatherapp.com)\".",
                       target);
    Point point;
    TypedAnswer problem;
    if (!ParseQuery(query, target, &point, &problem))
        return problem;

    TypedAnswer answer;
    answer.contentType = kGeoJsonContentType;
    if (scenario == Scenario::Hostile) {
        answer.body = HostileCollectionBody();
        return answer;
    }
    int alertCount = CoveringBox(point) != nullptr && OddLatitude(point) ? 2 : 0;
    if (scenario == Scenario::Alert)
        alertCount = 2;
    bool nulls = scenario == Scenario::Nulls || scenario == Scenario::NotAvailable;
    answer.body = CollectionBody(point, utcNow, alertCount, nulls);
    if (scenario == Scenario::BadJson)
        answer.body.resize(answer.body.size() / 2);
    return answer;
}
