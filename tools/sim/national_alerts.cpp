#include "national_alerts.h"

#include "json_text.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

const char *const kJsonType = "application/json";
const char *const kGeoJsonType = "application/geo+json";
const int kHostileDepth = 3000;

// A ring of [longitude, latitude] corners, closed on writing.
using Ring = std::vector<std::pair<double, double>>;

// A rectangle as a ring.
Ring Rectangle(double west, double south, double east, double north) {
    return {{west, south}, {east, south}, {east, north}, {west, north}};
}

std::string UtcText(time_t utc, const char *zone) {
    std::tm broken{};
    gmtime_r(&utc, &broken);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &broken);
    return std::string(text) + zone;
}

void WriteRing(Writer &w, const Ring &ring) {
    w.StartArray();
    for (size_t i = 0; i <= ring.size(); ++i) {
        const auto &corner = ring[i % ring.size()];
        w.StartArray();
        w.Double(corner.first);
        w.Double(corner.second);
        w.EndArray();
    }
    w.EndArray();
}

// A polygon (its outer ring, then holes) or, with more than one, a multipolygon.
struct Area {
    std::vector<std::vector<Ring>> polygons;
};

void WriteGeometry(Writer &w, const Area &area) {
    w.StartObject();
    w.Key("type");
    w.String(area.polygons.size() == 1 ? "Polygon" : "MultiPolygon");
    w.Key("coordinates");
    if (area.polygons.size() > 1)
        w.StartArray();
    for (const auto &polygon : area.polygons) {
        w.StartArray();
        for (const Ring &ring : polygon)
            WriteRing(w, ring);
        w.EndArray();
    }
    if (area.polygons.size() > 1)
        w.EndArray();
    w.EndObject();
}

// The bounds of an area: west, south, east, north.
void Bounds(const Area &area, double bounds[4]) {
    bounds[0] = bounds[1] = 1e9;
    bounds[2] = bounds[3] = -1e9;
    for (const auto &polygon : area.polygons) {
        for (const auto &corner : polygon[0]) {
            bounds[0] = std::min(bounds[0], corner.first);
            bounds[1] = std::min(bounds[1], corner.second);
            bounds[2] = std::max(bounds[2], corner.first);
            bounds[3] = std::max(bounds[3], corner.second);
        }
    }
}

// A whole decimal number of the request, or false.
bool ParseNumber(const std::string &text, double *value, int *decimals = nullptr) {
    if (text.empty() || text.size() > 32)
        return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    size_t digits = 0, dot = std::string::npos;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && dot == std::string::npos)
            dot = i;
        else if (std::isdigit(static_cast<unsigned char>(text[i])))
            digits++;
        else
            return false;
    }
    if (digits == 0)
        return false;
    if (decimals)
        *decimals = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
    *value = std::strtod(text.c_str(), nullptr);
    return true;
}

std::string Param(const QueryParameters &query, const char *name, bool *present = nullptr) {
    auto found = query.find(name);
    if (present)
        *present = found != query.end();
    return found == query.end() ? std::string() : found->second;
}

TypedAnswer Json(int status, const std::string &body, const char *type = kJsonType) {
    TypedAnswer answer;
    answer.status = status;
    answer.contentType = type;
    answer.body = body;
    return answer;
}

std::string Build(const std::function<void(Writer &)> &write) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    write(w);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// An answer of valid JSON in no shape an alerts answer has: lists that are no lists, alerts
// that are numbers, titles that are objects, huge and hostile texts, times out of range, and a
// member nested deeper than a recursive parser may go.
std::string HostileBody(const char *listName) {
    return Build([&](Writer &w) {
        w.StartObject();
        w.Key(listName);
        w.StartArray();
        w.Int(7);
        w.Null();
        w.String("not an alert");
        for (int kind = 0; kind < 3; ++kind) {
            w.StartObject();
            w.Key("geometry");
            if (kind == 0) {
                w.String("everywhere");
            } else {
                w.StartObject();
                w.Key("type");
                w.String(kind == 1 ? "Polygon" : "MultiPolygon");
                w.Key("coordinates");
                w.StartArray();
                w.StartArray();
                w.Double(1e308);
                w.String("x");
                w.StartArray();
                w.EndArray();
                w.EndArray();
                w.EndArray();
                w.EndObject();
            }
            w.Key("properties");
            w.StartObject();
            for (const char *name : {"title", "headline_en", "alert_name_en"}) {
                w.Key(name);
                if (kind == 0) {
                    w.StartObject();
                    w.EndObject();
                } else {
                    std::string text =
                        std::string("<b>\"Storm\"</b> %s%n\x01", 17) + std::string(6000, 'w');
                    w.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
                }
            }
            for (const char *name : {"severity", "risk_colour_en", "awareness_level"}) {
                w.Key(name);
                if (kind == 1)
                    w.String("9; ultraviolet; Catastrophic");
                else
                    w.Int(-1);
            }
            for (const char *name : {"expires", "expiration_datetime", "web"}) {
                w.Key(name);
                w.String(kind == 2 ? "javascript:alert(1)" : "2026-13-45T25:61:00+99:00");
            }
            w.EndObject();
            w.Key("when");
            w.StartObject();
            w.Key("interval");
            w.String("always");
            w.EndObject();
            w.Key("x_nested");
            for (int i = 0; i < kHostileDepth; ++i)
                w.StartArray();
            for (int i = 0; i < kHostileDepth; ++i)
                w.EndArray();
            w.EndObject();
        }
        w.EndArray();
        w.Key(listName);
        w.String("named twice");
        w.EndObject();
    });
}

// The answers every service gives whatever was asked: its failures, or a hostile answer.
bool ScenarioAnswer(Scenario scenario, const char *listName, TypedAnswer *answer) {
    if (scenario == Scenario::ServiceError) {
        *answer = Json(500, "{\"detail\":\"Internal Server Error\"}");
        return true;
    }
    if (scenario == Scenario::RateLimit) {
        *answer = Json(429, "{\"detail\":\"Too Many Requests\"}");
        return true;
    }
    if (scenario == Scenario::Hostile) {
        *answer = Json(200, HostileBody(listName));
        return true;
    }
    return false;
}

// An answer cut in half when the scenario says so.
TypedAnswer Finish(TypedAnswer answer, Scenario scenario) {
    if (scenario == Scenario::BadJson && answer.status == 200)
        answer.body.resize(answer.body.size() / 2);
    return answer;
}

// A text property, or null in the nulls scenario.
void Text(Writer &w, bool nulls, const char *name, const std::string &value) {
    w.Key(name);
    if (nulls)
        w.Null();
    else
        w.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

bool IsNulls(Scenario scenario) {
    return scenario == Scenario::Nulls || scenario == Scenario::NotAvailable;
}

// --- Canada

struct CanadaAlert {
    const char *code, *type, *name, *shortName, *nameFr, *colour, *colourFr;
    long endsInMinutes; // negative: ended that long ago
    const char *region, *regionId;
    Area area;
};

// Around Maplecove (45.40, -75.70) and Hollowmere (45.62, -75.70): an orange warning whose
// region has a hole where Hollowmere lies, a yellow advisory of two parts, one holding Maplecove,
// a red warning over Maplecove that has ended, and a red one to the north that holds neither.
const std::vector<CanadaAlert> &CanadaAlerts() {
    static const std::vector<CanadaAlert> alerts = {
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
         {{{Rectangle(-76.2, 45.0, -75.2, 45.8), Rectangle(-75.9, 45.55, -75.5, 45.7)}}}},
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
         {{{Rectangle(-74.5, 46.0, -74.2, 46.3)}, {Rectangle(-75.8, 45.3, -75.6, 45.5)}}}},
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
         {{{Rectangle(-76.0, 45.2, -75.4, 45.6)}}}},
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
         {{{Rectangle(-76.0, 45.9, -75.4, 46.2)}}}},
    };
    return alerts;
}

TypedAnswer CanadaProblem(const std::string &description) {
    return Json(400, Build([&](Writer &w) {
                    w.StartObject();
                    w.Key("code");
                    w.String("InvalidParameterValue");
                    w.Key("description");
                    std::string echo = EchoText(description);
                    w.String(echo.c_str());
                    w.EndObject();
                }));
}

// Reads "W,S,E,N". Returns false unless there are four numbers with W <= E and S <= N.
bool ParseBox(const std::string &text, double box[4]) {
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 3))
            return false;
        if (!ParseNumber(text.substr(start, comma - start), &box[i]))
            return false;
        start = comma + 1;
    }
    return box[0] <= box[2] && box[1] <= box[3] && std::fabs(box[1]) <= 90 &&
           std::fabs(box[3]) <= 90 && std::fabs(box[0]) <= 180 && std::fabs(box[2]) <= 180;
}

} // namespace

TypedAnswer CanadaAlertsAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario) {
    TypedAnswer answer;
    if (ScenarioAnswer(scenario, "features", &answer))
        return answer;
    bool hasBox = false, hasLimit = false;
    std::string boxText = Param(query, "bbox", &hasBox),
                limitText = Param(query, "limit", &hasLimit);
    std::string format = Param(query, "f"), lang = Param(query, "lang");
    double box[4] = {-180, -90, 180, 90}, limit = 10; // the collection's own default
    if (hasBox && !ParseBox(boxText, box))
        return CanadaProblem("Invalid bbox: " + boxText);
    int decimals = 0;
    if (hasLimit &&
        (!ParseNumber(limitText, &limit, &decimals) || decimals != 0 || limit < 1 || limit > 10000))
        return CanadaProblem("limit value should be strictly positive: " + limitText);
    if (!format.empty() && format != "json")
        return CanadaProblem("Invalid format: " + format);
    bool french = lang == "fr";
    bool nulls = IsNulls(scenario);
    std::vector<const CanadaAlert *> matched;
    for (const CanadaAlert &alert : CanadaAlerts()) {
        double bounds[4];
        Bounds(alert.area, bounds);
        if (bounds[0] <= box[2] && bounds[2] >= box[0] && bounds[1] <= box[3] &&
            bounds[3] >= box[1])
            matched.push_back(&alert);
    }
    size_t returned = std::min(matched.size(), static_cast<size_t>(limit));
    std::string body = Build([&](Writer &w) {
        w.StartObject();
        w.Key("type");
        w.String("FeatureCollection");
        w.Key("features");
        w.StartArray();
        for (size_t i = 0; i < returned; ++i) {
            const CanadaAlert &alert = *matched[i];
            time_t ends = utcNow + alert.endsInMinutes * 60;
            w.StartObject();
            w.Key("type");
            w.String("Feature");
            w.Key("id");
            w.String(
                (std::string(alert.regionId) + "-" + alert.code + "-" + std::to_string(i)).c_str());
            w.Key("geometry");
            WriteGeometry(w, alert.area);
            w.Key("properties");
            w.StartObject();
            Text(w, nulls, "alert_code", alert.code);
            Text(w, nulls, "alert_type", alert.type);
            Text(w, nulls, "alert_name_en", alert.name);
            Text(w, nulls, "alert_short_name_en", alert.shortName);
            Text(w, nulls, "alert_name_fr", alert.nameFr);
            Text(w, nulls, "risk_colour_en", alert.colour);
            Text(w, nulls, "risk_colour_fr", alert.colourFr);
            Text(w, nulls, "province", "ON");
            Text(w, nulls, "feature_name_en", alert.region);
            Text(w, nulls, "feature_id", alert.regionId);
            Text(w, nulls, "publication_datetime", UtcText(utcNow - 3 * 3600, "Z"));
            Text(w, nulls, "validity_datetime", UtcText(utcNow - 3 * 3600, "Z"));
            Text(w, nulls, "expiration_datetime", UtcText(ends, "Z"));
            Text(w, nulls, "event_end_datetime", UtcText(ends, "Z"));
            Text(w, nulls, "status_en", alert.endsInMinutes < 0 ? "ended" : "active");
            Text(w, nulls, "alert_text_en",
                 std::string(french ? alert.nameFr : alert.name) + " in effect for " +
                     alert.region + ".");
            w.EndObject();
            w.EndObject();
        }
        w.EndArray();
        w.Key("numberMatched");
        w.Uint64(matched.size());
        w.Key("numberReturned");
        w.Uint64(returned);
        w.Key("timeStamp");
        w.String(UtcText(utcNow, ".000000Z").c_str());
        w.EndObject();
    });
    return Finish(Json(200, body, kGeoJsonType), scenario);
}

namespace {

// A point of the request, "lat" and "lon" in range; with `maxDecimals`, no more decimals.
bool ParsePointQuery(const QueryParameters &query, double *latitude, double *longitude,
                     int maxDecimals, bool *tooPrecise) {
    int latDecimals = 0, lonDecimals = 0;
    if (!ParseNumber(Param(query, "lat"), latitude, &latDecimals) ||
        !ParseNumber(Param(query, "lon"), longitude, &lonDecimals) || std::fabs(*latitude) > 90 ||
        std::fabs(*longitude) > 180)
        return false;
    *tooPrecise = latDecimals > maxDecimals || lonDecimals > maxDecimals;
    return true;
}

bool Inside(double latitude, double longitude, double south, double north, double west,
            double east) {
    return latitude >= south && latitude <= north && longitude >= west && longitude <= east;
}

} // namespace

TypedAnswer GermanyAlertsAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario) {
    TypedAnswer answer;
    if (ScenarioAnswer(scenario, "alerts", &answer))
        return answer;
    double latitude, longitude;
    bool tooPrecise = false;
    if (!ParsePointQuery(query, &latitude, &longitude, 20, &tooPrecise))
        return Json(400, "{\"detail\":\"Please supply both lat and lon, or a warn_cell_id\"}");
    bool inside = Inside(latitude, longitude, 47.27, 55.06, 5.87, 15.04);
    bool nulls = IsNulls(scenario);
    struct GermanAlert {
        const char *severity, *eventEn, *eventDe, *headlineEn, *headlineDe;
        int code;
    };
    // Listed in the service's order: the lesser one first.
    const GermanAlert alerts[] = {
        {"moderate", "wind gusts", "WINDB\u00D6EN", "Official WARNING of WIND GUSTS",
         "Amtliche WARNUNG vor WINDB\u00D6EN", 51},
        {"severe", "heavy snowfall", "STARKER SCHNEEFALL", "Official WARNING of HEAVY SNOWFALL",
         "Amtliche UNWETTERWARNUNG vor STARKEM SCHNEEFALL", 71},
    };
    std::string body = Build([&](Writer &w) {
        w.StartObject();
        w.Key("alerts");
        w.StartArray();
        for (int i = 0; inside && i < 2; ++i) {
            const GermanAlert &alert = alerts[i];
            w.StartObject();
            w.Key("id");
            w.Int(381000 + i);
            Text(w, nulls, "alert_id",
                 "2.49.0.0.276.0.DWD.PVW." + std::to_string(utcNow) + "." + std::to_string(i));
            Text(w, nulls, "status", "actual");
            Text(w, nulls, "effective", UtcText(utcNow - 3600, "+00:00"));
            Text(w, nulls, "onset", UtcText(utcNow - 3600, "+00:00"));
            Text(w, nulls, "expires", UtcText(utcNow + (i + 1) * 6 * 3600, "+00:00"));
            Text(w, nulls, "category", "met");
            Text(w, nulls, "response_type", "prepare");
            Text(w, nulls, "urgency", "immediate");
            Text(w, nulls, "severity", alert.severity);
            Text(w, nulls, "certainty", "likely");
            w.Key("event_code");
            w.Int(alert.code);
            Text(w, nulls, "event_en", alert.eventEn);
            Text(w, nulls, "event_de", alert.eventDe);
            Text(w, nulls, "headline_en", alert.headlineEn);
            Text(w, nulls, "headline_de", alert.headlineDe);
            Text(w, nulls, "description_en", std::string(alert.eventEn) + " are expected.");
            Text(w, nulls, "description_de", std::string(alert.eventDe) + " erwartet.");
            w.EndObject();
        }
        w.EndArray();
        w.Key("location");
        if (!inside) {
            w.Null();
        } else {
            w.StartObject();
            w.Key("warn_cell_id");
            w.Int64(802000000);
            Text(w, nulls, "name", "Gemeinde Elbwiesen");
            Text(w, nulls, "name_short", "Elbwiesen");
            Text(w, nulls, "district", "Elbwiesen");
            Text(w, nulls, "state", "Hamburg");
            Text(w, nulls, "state_short", "HH");
            w.EndObject();
        }
        w.EndObject();
    });
    return Finish(Json(200, body), scenario);
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

} // namespace

TypedAnswer NorwayAlertsAnswer(const QueryParameters &query, const std::string &userAgent,
                               time_t utcNow, Scenario scenario) {
    TypedAnswer answer;
    if (!IdentifyingAgent(userAgent))
        return Json(403, "{\"error\":\"Forbidden: identify your application in the User-Agent "
                         "header, see the Terms of Service\"}");
    if (ScenarioAnswer(scenario, "features", &answer))
        return answer;
    double latitude, longitude;
    bool tooPrecise = false;
    if (!ParsePointQuery(query, &latitude, &longitude, 4, &tooPrecise))
        return Json(400, "{\"error\":\"Bad Request: lat and lon must be decimal degrees\"}");
    if (tooPrecise)
        return Json(403, "{\"error\":\"Forbidden: coordinates with more than 4 decimals\"}");
    bool mainland = Inside(latitude, longitude, 57.95, 71.2, 4.5, 31.2);
    bool svalbard = Inside(latitude, longitude, 74.0, 81.0, 10.0, 35.0);
    bool nulls = IsNulls(scenario);
    std::string body = Build([&](Writer &w) {
        w.StartObject();
        w.Key("type");
        w.String("FeatureCollection");
        w.Key("lang");
        w.String("no");
        w.Key("lastChange");
        w.String(UtcText(utcNow - 1800, "+00:00").c_str());
        w.Key("features");
        w.StartArray();
        if (mainland || svalbard) {
            const char *event = mainland ? "snow" : "polarLow";
            const char *name = mainland ? "Sn\u00F8" : "Polart lavtrykk";
            const char *level = mainland ? "gult" : "oransje";
            time_t start = utcNow - 2 * 3600, end = utcNow + 10 * 3600;
            w.StartObject();
            w.Key("type");
            w.String("Feature");
            w.Key("geometry");
            WriteGeometry(
                w,
                {{{Rectangle(longitude - 0.5, latitude - 0.3, longitude + 0.5, latitude + 0.3)}}});
            w.Key("properties");
            w.StartObject();
            Text(w, nulls, "area", mainland ? "Fjordvik og omegn" : "Nordre Isfjorden");
            Text(w, nulls, "awareness_level",
                 mainland ? "2; yellow; Moderate" : "3; orange; Severe");
            Text(w, nulls, "awareness_type", mainland ? "2; snow-ice" : "1; Wind");
            Text(w, nulls, "certainty", "Likely");
            Text(w, nulls, "event", event);
            Text(w, nulls, "eventAwarenessName", name);
            Text(w, nulls, "geographicDomain", "land");
            Text(w, nulls, "id", "2.49.0.1.578.0." + std::to_string(utcNow) + ".001");
            Text(w, nulls, "riskMatrixColor", mainland ? "Yellow" : "Orange");
            Text(w, nulls, "severity", mainland ? "Moderate" : "Severe");
            Text(w, nulls, "status", "Actual");
            Text(w, nulls, "title",
                 std::string(name) + ", " + level + " niv\u00E5, " +
                     (mainland ? "Fjordvik og omegn" : "Nordre Isfjorden") + ", " +
                     UtcText(start, "+00:00") + ", " + UtcText(end, "+00:00"));
            Text(w, nulls, "type", "Alert");
            Text(w, nulls, "web",
                 std::string("https://www.met.no/vaer-og-klima/ekstremvaervarsler-og-andre-"
                             "farevarsler/vaerfenomener-som-kan-gi-farevarsel-fra-met/") +
                     (mainland ? "sno" : "polart-lavtrykk"));
            w.Key("resources");
            w.StartArray();
            w.StartObject();
            Text(w, nulls, "description", "CAP file");
            Text(w, nulls, "mimeType", "application/xml");
            Text(w, nulls, "uri",
                 "https://api.met.no/weatherapi/metalerts/2.0/current?cap=2.49.0.1.578.0.1");
            w.EndObject();
            w.EndArray();
            w.EndObject();
            w.Key("when");
            w.StartObject();
            w.Key("interval");
            w.StartArray();
            if (nulls) {
                w.Null();
                w.Null();
            } else {
                w.String(UtcText(start, "+00:00").c_str());
                w.String(UtcText(end, "+00:00").c_str());
            }
            w.EndArray();
            w.EndObject();
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
    });
    return Finish(Json(200, body, kGeoJsonType), scenario);
}
