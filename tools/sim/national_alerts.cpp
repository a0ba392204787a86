#include "national_alerts.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const char *const kJsonType = "application/json";
const char *const kGeoJsonType = "application/geo+json";

Answer Json(int status, const std::string &body, const char *type = kJsonType) {
    Answer answer;
    answer.status = status;
    answer.contentType = type;
    answer.body = body;
    return answer;
}

// A rectangle's ring of [longitude, latitude] corners, closed.
std::string Rectangle(double west, double south, double east, double north) {
    char text[256];
    std::snprintf(text, sizeof text, "[[%g,%g],[%g,%g],[%g,%g],[%g,%g],[%g,%g]]", west, south, east,
                  south, east, north, west, north, west, south);
    return text;
}

// Valid JSON in no shape an alerts answer has: lists that are no lists, alerts that are
// numbers, titles that are objects, huge and hostile texts, times out of range, and a member
// nested deeper than a recursive parser may go; the list is named twice.
const char kHostileAlerts[] = R"json({"{{LIST}}":[7,null,"not an alert",
{"geometry":"everywhere","properties":{"title":{},"headline_en":{},"alert_name_en":{},
"severity":-1,"risk_colour_en":-1,"awareness_level":-1,"expires":"2026-13-45T25:61:00+99:00",
"expiration_datetime":"2026-13-45T25:61:00+99:00","web":"2026-13-45T25:61:00+99:00"},
"when":{"interval":"always"},"x_nested":{{DEEP}}},
{"geometry":{"type":"Polygon","coordinates":[[1e308,"x",[]]]},"properties":{
"title":"{{TEXT}}","headline_en":"{{TEXT}}","alert_name_en":"{{TEXT}}",
"severity":"9; ultraviolet; Catastrophic","risk_colour_en":"9; ultraviolet; Catastrophic",
"awareness_level":"9; ultraviolet; Catastrophic","expires":"2026-13-45T25:61:00+99:00",
"expiration_datetime":"2026-13-45T25:61:00+99:00","web":"2026-13-45T25:61:00+99:00"},
"when":{"interval":"always"},"x_nested":{{DEEP}}},
{"geometry":{"type":"MultiPolygon","coordinates":[[1e308,"x",[]]]},"properties":{
"title":"{{TEXT}}","headline_en":"{{TEXT}}","alert_name_en":"{{TEXT}}",
"severity":-1,"risk_colour_en":-1,"awareness_level":-1,"expires":"javascript:alert(1)",
"expiration_datetime":"javascript:alert(1)","web":"javascript:alert(1)"},
"when":{"interval":"always"},"x_nested":{{DEEP}}}],"{{LIST}}":"named twice"})json";

// The answers every service gives whatever was asked: its failures, or a hostile answer.
bool ScenarioAnswer(Scenario scenario, const char *listName, Answer *answer) {
    if (scenario == Scenario::ServiceError)
        *answer = Json(500, "{\"detail\":\"Internal Server Error\"}");
    else if (scenario == Scenario::RateLimit)
        *answer = Json(429, "{\"detail\":\"Too Many Requests\"}");
    else if (scenario == Scenario::Hostile)
        *answer =
            Json(200, FillTemplate(kHostileAlerts, {{"LIST", listName},
                                                    {"DEEP", DeepArrays(kHostileDepth)},
                                                    {"TEXT", "<b>\\\"Storm\\\"</b> %s%n\\u0001" +
                                                                 std::string(6000, 'w')}}));
    else
        return false;
    return true;
}

// --- Canada

struct CanadaAlert {
    const char *code, *type, *name, *shortName, *nameFr, *colour, *colourFr;
    long endsInMinutes; // negative: ended that long ago
    const char *region, *regionId;
    double bounds[4];           // west, south, east, north of the region
    const char *geometryFormat; // the region's geometry
};

// Around Maplecove (45.40, -75.70) and Hollowmere (45.62, -75.70): an orange warning whose
// region has a hole where Hollowmere lies, a yellow advisory of two parts, one holding Maplecove,
// a red warning over Maplecove that has ended, and a red one to the north that holds neither.
const CanadaAlert kCanadaAlerts[] = {
    {"SN",
     "warning",
     "snowfall warning",
     "snowfall",
     "avertissement de neige",
     "orange",
     "orange",
     360,
     "Maplecove - Riverside",
     "on61",
     {-76.2, 45.0, -75.2, 45.8},
     "Polygon"},
    {"ZL",
     "advisory",
     "freezing drizzle advisory",
     "freezing drizzle",
     "avis de bruine verglacante",
     "yellow",
     "jaune",
     180,
     "Maplecove - Lowlands",
     "on62",
     {-75.8, 45.3, -74.2, 46.3},
     "MultiPolygon"},
    {"BZ",
     "warning",
     "blizzard warning",
     "blizzard",
     "avertissement de blizzard",
     "red",
     "rouge",
     -60,
     "Maplecove - Riverside",
     "on61",
     {-76.0, 45.2, -75.4, 45.6},
     "Polygon"},
    {"XC",
     "warning",
     "extreme cold warning",
     "extreme cold",
     "avertissement de froid extreme",
     "red",
     "rouge",
     720,
     "Northwood - Pinecrest",
     "on70",
     {-76.0, 45.9, -75.4, 46.2},
     "Polygon"},
};

std::string CanadaGeometry(size_t index) {
    const double *b = kCanadaAlerts[index].bounds;
    std::string coordinates;
    if (index == 0) // the outer ring, then the hole
        coordinates = "[" + Rectangle(b[0], b[1], b[2], b[3]) + "," +
                      Rectangle(-75.9, 45.55, -75.5, 45.7) + "]";
    else if (index == 1) // two parts
        coordinates = "[[" + Rectangle(-74.5, 46.0, -74.2, 46.3) + "],[" +
                      Rectangle(-75.8, 45.3, -75.6, 45.5) + "]]";
    else
        coordinates = "[" + Rectangle(b[0], b[1], b[2], b[3]) + "]";
    return std::string("{\"type\":\"") + kCanadaAlerts[index].geometryFormat +
           "\",\"coordinates\":" + coordinates + "}";
}

const char kCanadaFeature[] = R"({"type":"Feature","id":"{{ID}}","geometry":{{GEOMETRY}},)"
                              R"("properties":{"alert_code":{{CODE}},"alert_type":{{TYPE}},)"
                              R"("alert_name_en":{{NAME}},"alert_short_name_en":{{SHORT}},)"
                              R"("alert_name_fr":{{NAME_FR}},"risk_colour_en":{{COLOUR}},)"
                              R"("risk_colour_fr":{{COLOUR_FR}},"province":{{PROVINCE}},)"
                              R"("feature_name_en":{{REGION}},"feature_id":{{REGION_ID}},)"
                              R"("publication_datetime":{{ISSUED}},)"
                              R"("validity_datetime":{{ISSUED}},"expiration_datetime":{{ENDS}},)"
                              R"("event_end_datetime":{{ENDS}},"status_en":{{STATUS}},)"
                              R"("alert_text_en":{{TEXT}}}})";

Answer CanadaProblem(const std::string &description) {
    return Json(400, "{\"code\":\"InvalidParameterValue\",\"description\":" +
                         JsonString(EchoText(description)) + "}");
}

// Reads "W,S,E,N". Returns false unless there are four numbers with W <= E and S <= N.
bool ParseBox(const std::string &text, double box[4]) {
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 3) ||
            !ParseDecimal(text.substr(start, comma - start), &box[i]))
            return false;
        start = comma + 1;
    }
    return box[0] <= box[2] && box[1] <= box[3] && std::fabs(box[1]) <= 90 &&
           std::fabs(box[3]) <= 90 && std::fabs(box[0]) <= 180 && std::fabs(box[2]) <= 180;
}

} // namespace

Answer CanadaAlertsAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario) {
    Answer answer;
    if (ScenarioAnswer(scenario, "features", &answer))
        return answer;
    const std::string *boxText = QueryValue(query, "bbox"), *limitText = QueryValue(query, "limit");
    const std::string *format = QueryValue(query, "f");
    double box[4] = {-180, -90, 180, 90}, limit = 10; // the collection's own default
    int decimals = 0;
    if (boxText != nullptr && !ParseBox(*boxText, box))
        return CanadaProblem("Invalid bbox: " + *boxText);
    if (limitText != nullptr && (!ParseDecimal(*limitText, &limit, &decimals) || decimals != 0 ||
                                 limit < 1 || limit > 10000))
        return CanadaProblem("limit value should be strictly positive: " + *limitText);
    if (format != nullptr && !format->empty() && *format != "json")
        return CanadaProblem("Invalid format: " + *format);
    bool nulls = WantsNulls(scenario);
    std::string features;
    size_t matched = 0, returned = 0;
    for (size_t i = 0; i < sizeof kCanadaAlerts / sizeof kCanadaAlerts[0]; ++i) {
        const CanadaAlert &alert = kCanadaAlerts[i];
        const double *b = alert.bounds;
        if (!(b[0] <= box[2] && b[2] >= box[0] && b[1] <= box[3] && b[3] >= box[1]))
            continue;
        if (matched++ >= static_cast<size_t>(limit))
            continue;
        auto text = [&](const std::string &value) { return JsonString(value, nulls); };
        std::string ends = IsoTime(utcNow + alert.endsInMinutes * 60, "Z");
        features +=
            std::string(returned == 0 ? "" : ",") +
            FillTemplate(
                kCanadaFeature,
                {{"ID",
                  std::string(alert.regionId) + "-" + alert.code + "-" + std::to_string(returned)},
                 {"GEOMETRY", CanadaGeometry(i)},
                 {"CODE", text(alert.code)},
                 {"TYPE", text(alert.type)},
                 {"NAME", text(alert.name)},
                 {"SHORT", text(alert.shortName)},
                 {"NAME_FR", text(alert.nameFr)},
                 {"COLOUR", text(alert.colour)},
                 {"COLOUR_FR", text(alert.colourFr)},
                 {"PROVINCE", text("ON")},
                 {"REGION", text(alert.region)},
                 {"REGION_ID", text(alert.regionId)},
                 {"ISSUED", text(IsoTime(utcNow - 3 * 3600, "Z"))},
                 {"ENDS", text(ends)},
                 {"STATUS", text(alert.endsInMinutes < 0 ? "ended" : "active")},
                 {"TEXT", text(std::string(alert.name) + " in effect for " + alert.region + ".")}});
        ++returned;
    }
    std::string body = "{\"type\":\"FeatureCollection\",\"features\":[" + features +
                       "],\"numberMatched\":" + std::to_string(matched) +
                       ",\"numberReturned\":" + std::to_string(returned) + ",\"timeStamp\":\"" +
                       IsoTime(utcNow, ".000000Z") + "\"}";
    return CutUnderBadJson(Json(200, body, kGeoJsonType), scenario);
}

namespace {

// A point of the request, "lat" and "lon" in range; sets the most decimals either has.
bool ParsePointQuery(const QueryParameters &query, double *latitude, double *longitude,
                     int *decimals) {
    const std::string *lat = QueryValue(query, "lat"), *lon = QueryValue(query, "lon");
    int latDecimals = 0, lonDecimals = 0;
    if (lat == nullptr || lon == nullptr || !ParseDecimal(*lat, latitude, &latDecimals) ||
        !ParseDecimal(*lon, longitude, &lonDecimals) || std::fabs(*latitude) > 90 ||
        std::fabs(*longitude) > 180)
        return false;
    *decimals = std::max(latDecimals, lonDecimals);
    return true;
}

bool Inside(double latitude, double longitude, double south, double north, double west,
            double east) {
    return latitude >= south && latitude <= north && longitude >= west && longitude <= east;
}

// Bright Sky's answer for a point in Germany, its times and ids filled in. The service lists
// the lesser warning first.
const char kGermanWarning[] = R"({"id":{{NUMBER}},"alert_id":{{ALERT_ID}},"status":{{ACTUAL}},)"
                              R"("effective":{{ONSET}},"onset":{{ONSET}},"expires":{{EXPIRES}},)"
                              R"("category":{{MET}},"response_type":{{PREPARE}},)"
                              R"("urgency":{{IMMEDIATE}},"severity":{{SEVERITY}},)"
                              R"("certainty":{{LIKELY}},"event_code":{{EVENT_CODE}},)"
                              R"("event_en":{{EVENT_EN}},"event_de":{{EVENT_DE}},)"
                              R"("headline_en":{{HEADLINE_EN}},"headline_de":{{HEADLINE_DE}},)"
                              R"("description_en":{{TEXT_EN}},"description_de":{{TEXT_DE}}})";
const char kGermanPlace[] = R"({"warn_cell_id":802000000,"name":{{NAME}},)"
                            R"("name_short":{{SHORT}},"district":{{SHORT}},"state":{{STATE}},)"
                            R"("state_short":{{STATE_SHORT}}})";

} // namespace

Answer GermanyAlertsAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario) {
    Answer answer;
    if (ScenarioAnswer(scenario, "alerts", &answer))
        return answer;
    double latitude, longitude;
    int decimals = 0;
    if (!ParsePointQuery(query, &latitude, &longitude, &decimals))
        return Json(400, "{\"detail\":\"Please supply both lat and lon, or a warn_cell_id\"}");
    if (!Inside(latitude, longitude, 47.27, 55.06, 5.87, 15.04))
        return CutUnderBadJson(Json(200, "{\"alerts\":[],\"location\":null}"), scenario);
    bool nulls = WantsNulls(scenario);
    auto text = [&](const std::string &value) { return JsonString(value, nulls); };
    struct GermanAlert {
        const char *severity, *eventEn, *eventDe, *headlineEn, *headlineDe, *code;
    };
    const GermanAlert alerts[] = {
        {"moderate", "wind gusts", "WINDB\u00D6EN", "Official WARNING of WIND GUSTS",
         "Amtliche WARNUNG vor WINDB\u00D6EN", "51"},
        {"severe", "heavy snowfall", "STARKER SCHNEEFALL", "Official WARNING of HEAVY SNOWFALL",
         "Amtliche UNWETTERWARNUNG vor STARKEM SCHNEEFALL", "71"},
    };
    std::string body = "{\"alerts\":[";
    for (int i = 0; i < 2; ++i) {
        const GermanAlert &alert = alerts[i];
        body += std::string(i == 0 ? "" : ",") +
                FillTemplate(kGermanWarning,
                             {{"NUMBER", std::to_string(381000 + i)},
                              {"ALERT_ID", text("2.49.0.0.276.0.DWD.PVW." + std::to_string(utcNow) +
                                                "." + std::to_string(i))},
                              {"ACTUAL", text("actual")},
                              {"ONSET", text(IsoTime(utcNow - 3600, "+00:00"))},
                              {"EXPIRES", text(IsoTime(utcNow + (i + 1) * 6 * 3600, "+00:00"))},
                              {"MET", text("met")},
                              {"PREPARE", text("prepare")},
                              {"IMMEDIATE", text("immediate")},
                              {"SEVERITY", text(alert.severity)},
                              {"LIKELY", text("likely")},
                              {"EVENT_CODE", alert.code},
                              {"EVENT_EN", text(alert.eventEn)},
                              {"EVENT_DE", text(alert.eventDe)},
                              {"HEADLINE_EN", text(alert.headlineEn)},
                              {"HEADLINE_DE", text(alert.headlineDe)},
                              {"TEXT_EN", text(std::string(alert.eventEn) + " are expected.")},
                              {"TEXT_DE", text(std::string(alert.eventDe) + " erwartet.")}});
    }
    body += "],\"location\":" +
            FillTemplate(kGermanPlace, {{"NAME", text("Gemeinde Elbwiesen")},
                                        {"SHORT", text("Elbwiesen")},
                                        {"STATE", text("Hamburg")},
                                        {"STATE_SHORT", text("HH")}}) +
            "}";
    return CutUnderBadJson(Json(200, body), scenario);
}

namespace {

// MET Norway refuses a missing or generic User-Agent with 403.
bool IdentifyingAgent(const std::string &agent) {
    if (agent.find_first_not_of(" \t") == std::string::npos)
        return false;
    for (const char *generic : {"curl/", "Wget/", "python-requests", "okhttp", "Java/", "libwww"}) {
        if (agent.compare(0, std::string(generic).size(), generic) == 0)
            return false;
    }
    return true;
}

// MetAlerts' one alert around a point, its place, times and polygon filled in.
const char kNorwayFeature[] =
    R"({"type":"Feature","geometry":{"type":"Polygon","coordinates":[{{RING}}]},)"
    R"("properties":{"area":{{AREA}},"awareness_level":{{LEVEL}},"awareness_type":{{KIND}},)"
    R"("certainty":{{LIKELY}},"event":{{EVENT}},"eventAwarenessName":{{NAME}},)"
    R"("geographicDomain":{{LAND}},"id":{{ID}},"riskMatrixColor":{{COLOUR}},)"
    R"("severity":{{SEVERITY}},"status":{{ACTUAL}},"title":{{TITLE}},"type":{{ALERT}},)"
    R"("web":{{WEB}},"resources":[{"description":{{CAP}},"mimeType":{{XML}},"uri":{{URI}}}]},)"
    R"("when":{"interval":[{{START}},{{END}}]}})";

} // namespace

Answer NorwayAlertsAnswer(const QueryParameters &query, const std::string &userAgent, time_t utcNow,
                          Scenario scenario) {
    Answer answer;
    if (!IdentifyingAgent(userAgent))
        return Json(403, "{\"error\":\"Forbidden: identify your application in the User-Agent "
                         "header, see the Terms of Service\"}");
    if (ScenarioAnswer(scenario, "features", &answer))
        return answer;
    double latitude, longitude;
    int decimals = 0;
    if (!ParsePointQuery(query, &latitude, &longitude, &decimals))
        return Json(400, "{\"error\":\"Bad Request: lat and lon must be decimal degrees\"}");
    if (decimals > 4)
        return Json(403, "{\"error\":\"Forbidden: coordinates with more than 4 decimals\"}");
    bool mainland = Inside(latitude, longitude, 57.95, 71.2, 4.5, 31.2);
    bool svalbard = Inside(latitude, longitude, 74.0, 81.0, 10.0, 35.0);
    std::string feature;
    if (mainland || svalbard) {
        bool nulls = WantsNulls(scenario);
        auto text = [&](const std::string &value) { return JsonString(value, nulls); };
        std::string name = mainland ? "Sn\u00F8" : "Polart lavtrykk";
        std::string area = mainland ? "Fjordvik og omegn" : "Nordre Isfjorden";
        std::string start = IsoTime(utcNow - 2 * 3600, "+00:00");
        std::string end = IsoTime(utcNow + 10 * 3600, "+00:00");
        feature = FillTemplate(
            kNorwayFeature,
            {{"RING", Rectangle(longitude - 0.5, latitude - 0.3, longitude + 0.5, latitude + 0.3)},
             {"AREA", text(area)},
             {"LEVEL", text(mainland ? "2; yellow; Moderate" : "3; orange; Severe")},
             {"KIND", text(mainland ? "2; snow-ice" : "1; Wind")},
             {"LIKELY", text("Likely")},
             {"EVENT", text(mainland ? "snow" : "polarLow")},
             {"NAME", text(name)},
             {"LAND", text("land")},
             {"ID", text("2.49.0.1.578.0." + std::to_string(utcNow) + ".001")},
             {"COLOUR", text(mainland ? "Yellow" : "Orange")},
             {"SEVERITY", text(mainland ? "Moderate" : "Severe")},
             {"ACTUAL", text("Actual")},
             {"TITLE", text(name + ", " + (mainland ? "gult" : "oransje") + " niv\u00E5, " + area +
                            ", " + start + ", " + end)},
             {"ALERT", text("Alert")},
             {"WEB", text(std::string("https://www.met.no/vaer-og-klima/ekstremvaervarsler-og-"
                                      "andre-farevarsler/vaerfenomener-som-kan-gi-farevarsel-fra-"
                                      "met/") +
                          (mainland ? "sno" : "polart-lavtrykk"))},
             {"CAP", text("CAP file")},
             {"XML", text("application/xml")},
             {"URI",
              text("https://api.met.no/weatherapi/metalerts/2.0/current?cap=2.49.0.1.578.0.1")},
             {"START", text(start)},
             {"END", text(end)}});
    }
    std::string body = "{\"type\":\"FeatureCollection\",\"lang\":\"no\",\"lastChange\":\"" +
                       IsoTime(utcNow - 1800, "+00:00") + "\",\"features\":[" + feature + "]}";
    return CutUnderBadJson(Json(200, body, kGeoJsonType), scenario);
}
