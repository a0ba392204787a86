#include "provider/alerts.h"

#include <string.h>

#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "provider/geojson.h"
#include "provider/json.h"
#include "provider/region.h"
#include "provider/service_text.h"

using rapidjson::Value;

// ---- Regions -------------------------------------------------------------------------------

// The area the National Weather Service warns for: the contiguous states, Alaska, Hawaii and
// Puerto Rico, roughly; a point of a neighbour that falls inside only costs an empty answer.
static const Box kUnitedStatesBoxes[] = {
    {24.0, 50.0, -125.0, -66.0},
    {51.0, 72.0, -180.0, -129.0},
    {18.5, 22.5, -161.0, -154.0},
    {17.5, 18.6, -67.5, -65.0},
};
// Countries and territories it warns for.
static const char *const kUnitedStatesCountries[] = {"US", "PR", "GU", "VI", "AS", "MP", "UM"};
static const Region kUnitedStates = REGION(kUnitedStatesCountries, kUnitedStatesBoxes);

// Canada without its neighbours: boxes that stay clear of the United States along the border
// (the lakes' middle lines, the rivers) and of Greenland, so that Canada's source is asked
// before the United States' for coordinates. A strip along the border that no box holds falls
// to the United States' boxes, as before.
static const Box kCanadaBoxes[] = {
    {60.0, 74.0, -141.0, -60.0},   // the territories
    {74.0, 84.0, -141.0, -75.0},   // the Arctic islands, west of Greenland
    {49.0, 60.0, -130.0, -55.0},   // the provinces north of the 49th parallel
    {48.4, 54.6, -134.0, -123.25}, // Vancouver Island and the coast
    {48.3, 49.0, -90.0, -52.0},    // north of Lake Superior to the Gulf
    {47.5, 48.3, -88.3, -52.0},    // north of Maine
    {46.5, 47.5, -84.5, -70.1},    // Ontario and Quebec west of Maine
    {45.6, 47.5, -67.75, -52.0},   // New Brunswick to Newfoundland
    {46.5, 53.0, -60.0, -52.0},    // Newfoundland
    {43.0, 45.6, -66.9, -52.0},    // Nova Scotia
    {43.0, 46.5, -82.4, -79.07},   // Ontario between Lake Huron and the Niagara
    {42.6, 43.0, -82.4, -79.07},   // north of Lake Erie
    {42.05, 42.6, -82.4, -80.6},   // north of Lake Erie's western basin
    {43.62, 46.5, -79.07, -76.45}, // north of Lake Ontario
    {45.0, 46.5, -76.45, -71.5},   // Ottawa to the Eastern Townships
};
static const char *const kCanadaCountries[] = {"CA"};
static const Region kCanada = REGION(kCanadaCountries, kCanadaBoxes);

static const Box kGermanyBoxes[] = {{47.27, 55.06, 5.87, 15.04}};
static const char *const kGermanyCountries[] = {"DE"};
static const Region kGermany = REGION(kGermanyCountries, kGermanyBoxes);

// Norway's mainland, Svalbard and Jan Mayen.
static const Box kNorwayBoxes[] = {
    {57.95, 71.2, 4.5, 31.2}, {74.0, 81.0, 10.0, 35.0}, {70.8, 71.2, -9.1, -7.9}};
static const char *const kNorwayCountries[] = {"NO", "SJ"};
static const Region kNorway = REGION(kNorwayCountries, kNorwayBoxes);

static int CoversUnitedStates(const PlaceInfo *place) {
    return RegionCovers(&kUnitedStates, place);
}
static int CoversCanada(const PlaceInfo *place) {
    return RegionCovers(&kCanada, place);
}
static int CoversGermany(const PlaceInfo *place) {
    return RegionCovers(&kGermany, place);
}
static int CoversNorway(const PlaceInfo *place) {
    return RegionCovers(&kNorway, place);
}

// ---- Times ---------------------------------------------------------------------------------

AlertClock AlertClockOf(uint64_t fileTime) {
    return fileTime > UNIX_EPOCH_FILE_TIME
               ? (AlertClock)((fileTime - UNIX_EPOCH_FILE_TIME) / 10000000ull)
               : 0;
}

static int TwoDigits(const char *text, int *value) {
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') {
        return 0;
    }
    *value = (text[0] - '0') * 10 + (text[1] - '0');
    return 1;
}

int ParseServiceTime(const char *text, AlertClock *seconds) {
    size_t length = strlen(text);
    // The local part, "YYYY-MM-DDTHH:MM[:SS]", then a fraction, then the zone.
    if (length < 17 || (text[10] != 'T' && text[10] != ' ')) {
        return 0;
    }
    size_t local = length >= 19 && text[16] == ':' ? 19 : 16;
    char clock[20];
    memcpy(clock, text, local);
    clock[local] = '\0';
    clock[10] = 'T';
    int64_t minutes;
    if (!ParseLocalTime(clock, &minutes)) {
        return 0;
    }
    int second = 0;
    if (local == 19) {
        TwoDigits(text + 17, &second);
    }
    const char *zone = text + local;
    if (*zone == '.') {
        do {
            zone++;
        } while (*zone >= '0' && *zone <= '9');
    }
    int offset = 0, hours = 0, mins = 0;
    if (strcmp(zone, "Z") == 0 || strcmp(zone, "z") == 0) {
        offset = 0;
    } else if ((zone[0] == '+' || zone[0] == '-') && TwoDigits(zone + 1, &hours) &&
               ((zone[3] == ':' && TwoDigits(zone + 4, &mins) && zone[6] == '\0') ||
                (zone[3] != ':' && TwoDigits(zone + 3, &mins) && zone[5] == '\0')) &&
               hours <= 18 && mins <= 59) {
        offset = (zone[0] == '-' ? -1 : 1) * (hours * 60 + mins);
    } else {
        return 0;
    }
    *seconds = (minutes - offset) * 60 + second;
    return 1;
}

// ---- Reading alerts ------------------------------------------------------------------------

int AlertSeverityRank(const char *severity) {
    static const char *const kRanks[] = {"Minor", "Moderate", "Severe", "Extreme"};
    for (int i = 0; i < 4; i++) {
        if (EqualsIgnoreCase(severity, kRanks[i])) {
            return i + 1;
        }
    }
    return 0;
}

static int SeverityOf(const Value *severity) {
    return severity != NULL && severity->IsString() ? AlertSeverityRank(severity->GetString()) : 0;
}

// The first of two members that is a text with words, or NULL.
static const Value *FirstText(const Value *preferred, const Value *other) {
    if (preferred != NULL && preferred->IsString() && preferred->GetStringLength() > 0) {
        return preferred;
    }
    return other != NULL && other->IsString() && other->GetStringLength() > 0 ? other : NULL;
}

// Nonzero when the alert's end, a service time, has passed. An alert without a readable end is
// kept: it is the service's to end.
static int HasEnded(const Value *end, AlertClock now) {
    AlertClock seconds;
    return end != NULL && end->IsString() && ParseServiceTime(end->GetString(), &seconds) &&
           seconds <= now;
}

// The scheme, host and port of an address, as a length of it; 0 when it has none.
static size_t HostPartLength(const char *address) {
    const char *scheme = strstr(address, "://");
    return scheme == NULL ? 0 : (size_t)(scheme + 3 - address) + strcspn(scheme + 3, "/?#");
}

int AlertPageLink(const char *text, const char *api, char *out, size_t capacity) {
    out[0] = '\0';
    if (strlen(text) >= capacity) {
        return 0;
    }
    if (strncmp(text, "https://", 8) != 0 && strncmp(text, "http://", 7) != 0) {
        return 0;
    }
    for (const char *c = text; *c != '\0'; c++) {
        if (*c <= ' ' || *c > '~' || strchr("\"'<>\\`", *c) != NULL) {
            return 0;
        }
    }
    size_t host = HostPartLength(text);
    if (host <= 8 || (host == HostPartLength(api) && strncmp(text, api, host) == 0)) {
        return 0;
    }
    CopyText(out, capacity, text);
    return 1;
}

// AlertPageLink of a JSON member, which may be missing or no text.
static int WebPageLink(const Value *link, const char *api, char *out, size_t capacity) {
    if (link == NULL || !link->IsString()) {
        out[0] = '\0';
        return 0;
    }
    return AlertPageLink(link->GetString(), api, out, capacity);
}

void InsertAlert(AlertList *alerts, const AlertInfo *alert) {
    int at = alerts->count;
    while (at > 0 && alerts->alerts[at - 1].severity < alert->severity) {
        at--;
    }
    if (at >= ALERT_CAPACITY) {
        return;
    }
    int last = alerts->count < ALERT_CAPACITY ? alerts->count : ALERT_CAPACITY - 1;
    memmove(&alerts->alerts[at + 1], &alerts->alerts[at],
            (size_t)(last - at) * sizeof alerts->alerts[0]);
    alerts->alerts[at] = *alert;
    if (alerts->count < ALERT_CAPACITY) {
        alerts->count++;
    }
}

// Adds one alert of the answer: its title (an alert without words shows nothing), its rank and
// its own page (`link`, or NULL), unless it has ended.
static void AddAlert(AlertList *alerts, const Value *title, int severity, const Value *end,
                     AlertClock now, const char *link) {
    AlertInfo alert;
    if (title == NULL || HasEnded(end, now) ||
        ServiceText(title->GetString(), title->GetStringLength(), alert.title,
                    sizeof alert.title) == 0) {
        return;
    }
    alert.severity = severity;
    CopyText(alert.link, sizeof alert.link, link ? link : "");
    InsertAlert(alerts, &alert);
}

// Parses an answer that is an object with the array `member`. Returns it, or NULL.
static const Value *AnswerArray(rapidjson::Document *document, const char *json, size_t length,
                                const char *member, AlertList *alerts) {
    alerts->count = 0;
    alerts->link[0] = '\0';
    if (!JsonParseObject(document, json, length)) {
        return NULL;
    }
    const Value *array = JsonMember(document, member);
    return array != NULL && array->IsArray() ? array : NULL;
}

// ---- The United States ---------------------------------------------------------------------

// Only the point: the service refuses any parameter it does not know, a cache-busting one
// included.
static int NwsAddress(const PlaceInfo *place, char *out, size_t capacity) {
    char latitude[32], longitude[32];
    if (!FormatPoint(place->latitude, place->longitude, latitude, longitude, sizeof latitude) ||
        !FormatText(out, capacity, "%s?point=%s,%s", Plugin.alertsApi, latitude, longitude)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

static enum AnswerKind NwsRead(const char *json, size_t length, const PlaceInfo *place,
                               AlertClock now, AlertList *alerts) {
    rapidjson::Document document;
    const Value *features = AnswerArray(&document, json, length, "features", alerts);
    if (features == NULL) {
        return ANSWER_UNREADABLE;
    }
    for (rapidjson::SizeType i = 0; i < features->Size(); i++) {
        const Value *properties = JsonMember(&(*features)[i], "properties");
        AddAlert(alerts,
                 FirstText(JsonMember(properties, "headline"), JsonMember(properties, "event")),
                 SeverityOf(JsonMember(properties, "severity")), JsonMember(properties, "expires"),
                 now, NULL);
    }
    // The point's forecast page on the service's web site, which lists its alerts: an address
    // of the API would show a person raw data.
    char latitude[32], longitude[32];
    if (FormatPoint(place->latitude, place->longitude, latitude, longitude, sizeof latitude)) {
        FormatText(alerts->link, sizeof alerts->link,
                   "https://forecast.weather.gov/MapClick.php?lat=%s&lon=%s", latitude, longitude);
    }
    return ANSWER_WEATHER;
}

const AlertSource NwsAlertSource = {"the United States (National Weather Service)",
                                    CoversUnitedStates,
                                    NwsAddress,
                                    NwsRead,
                                    0,
                                    NULL};

// ---- Canada --------------------------------------------------------------------------------

// How far around the point the regions are asked for, in degrees, and how many at most: the
// collection gives ten without a limit, and a day of storms puts more than that around a city.
static const double kCanadaReach = 1.0;
enum { CANADA_FEATURE_LIMIT = 100 };

static double Clamp(double value, double low, double high) {
    return value < low ? low : value > high ? high : value;
}

// The regions whose bounds meet a box of about 200 km around the point, in English. The
// polygons come with them and are tested here, as the service answers by bounds alone.
static int CanadaAddress(const PlaceInfo *place, char *out, size_t capacity) {
    char west[32], south[32], east[32], north[32];
    if (!FormatFixed(Clamp(place->longitude - kCanadaReach, -180, 180), 4, west, sizeof west) ||
        !FormatFixed(Clamp(place->latitude - kCanadaReach, -90, 90), 4, south, sizeof south) ||
        !FormatFixed(Clamp(place->longitude + kCanadaReach, -180, 180), 4, east, sizeof east) ||
        !FormatFixed(Clamp(place->latitude + kCanadaReach, -90, 90), 4, north, sizeof north) ||
        !FormatText(out, capacity, "%s?f=json&lang=en&limit=%d&bbox=%s,%s,%s,%s",
                    Plugin.canadaAlertsApi, CANADA_FEATURE_LIMIT, west, south, east, north)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

// The risk colour as a severity: red Extreme, orange Severe, yellow Moderate; any other
// (a statement's grey) is unknown and stands last.
static int CanadaSeverity(const Value *colour) {
    static const char *const kColours[] = {"yellow", "orange", "red"};
    for (int i = 0; colour != NULL && colour->IsString() && i < 3; i++) {
        if (EqualsIgnoreCase(colour->GetString(), kColours[i])) {
            return i + 2;
        }
    }
    return 0;
}

// The warnings page of the point's province or territory ("on", "bc"), else the country's.
static void CanadaLink(const Value *province, AlertList *alerts) {
    static const char kPage[] = "https://weather.gc.ca/warnings/index_e.html";
    size_t length = province != NULL && province->IsString() ? province->GetStringLength() : 0;
    int code = length == 2;
    for (size_t i = 0; code && i < length; i++) {
        char c = province->GetString()[i];
        code = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    if (!code) {
        CopyText(alerts->link, sizeof alerts->link, kPage);
        return;
    }
    char lower[3] = {(char)(province->GetString()[0] | 0x20),
                     (char)(province->GetString()[1] | 0x20), '\0'};
    FormatText(alerts->link, sizeof alerts->link, "%s?prov=%s", kPage, lower);
}

static enum AnswerKind CanadaRead(const char *json, size_t length, const PlaceInfo *place,
                                  AlertClock now, AlertList *alerts) {
    rapidjson::Document document;
    const Value *features = AnswerArray(&document, json, length, "features", alerts);
    if (features == NULL) {
        return ANSWER_UNREADABLE;
    }
    const Value *province = NULL;
    for (rapidjson::SizeType i = 0; i < features->Size(); i++) {
        const Value *feature = &(*features)[i];
        if (!GeoJsonContains(JsonMember(feature, "geometry"), place->latitude, place->longitude)) {
            continue;
        }
        const Value *properties = JsonMember(feature, "properties");
        int before = alerts->count;
        AddAlert(alerts,
                 FirstText(JsonMember(properties, "alert_name_en"),
                           JsonMember(properties, "alert_short_name_en")),
                 CanadaSeverity(JsonMember(properties, "risk_colour_en")),
                 JsonMember(properties, "expiration_datetime"), now, NULL);
        if (province == NULL && alerts->count > before) {
            province = JsonMember(properties, "province");
        }
    }
    CanadaLink(province, alerts);
    return ANSWER_WEATHER;
}

const AlertSource CanadaAlertSource = {"Canada (Environment and Climate Change Canada)",
                                       CoversCanada,
                                       CanadaAddress,
                                       CanadaRead,
                                       0,
                                       NULL};

// ---- Germany and Norway: asked by the point ------------------------------------------------

static int PointAddress(const char *api, const PlaceInfo *place, char *out, size_t capacity) {
    char latitude[32], longitude[32];
    if (!FormatPoint(place->latitude, place->longitude, latitude, longitude, sizeof latitude) ||
        !FormatText(out, capacity, "%s?lat=%s&lon=%s", api, latitude, longitude)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

static int GermanyAddress(const PlaceInfo *place, char *out, size_t capacity) {
    return PointAddress(Plugin.germanyAlertsApi, place, out, capacity);
}

// Bright Sky's answer: the warnings of the point's municipality, in English and German.
static enum AnswerKind GermanyRead(const char *json, size_t length, const PlaceInfo *place,
                                   AlertClock now, AlertList *alerts) {
    (void)place;
    rapidjson::Document document;
    const Value *list = AnswerArray(&document, json, length, "alerts", alerts);
    if (list == NULL) {
        return ANSWER_UNREADABLE;
    }
    for (rapidjson::SizeType i = 0; i < list->Size(); i++) {
        const Value *alert = &(*list)[i];
        AddAlert(alerts, FirstText(JsonMember(alert, "headline_en"), JsonMember(alert, "event_en")),
                 SeverityOf(JsonMember(alert, "severity")), JsonMember(alert, "expires"), now,
                 NULL);
    }
    // The answer has no page of its own: the warnings map of the Deutscher Wetterdienst.
    CopyText(alerts->link, sizeof alerts->link,
             "https://www.dwd.de/DE/wetter/warnungen_gemeinden/warnWetter_node.html");
    return ANSWER_WEATHER;
}

const AlertSource GermanyAlertSource = {"Germany (Deutscher Wetterdienst, through Bright Sky)",
                                        CoversGermany,
                                        GermanyAddress,
                                        GermanyRead,
                                        0,
                                        NULL};

// MET Norway asks for no more than one poll of its alerts every ten minutes.
enum { NORWAY_REQUEST_MINUTES = 10 };

static int NorwayAddress(const PlaceInfo *place, char *out, size_t capacity) {
    return PointAddress(Plugin.norwayAlertsApi, place, out, capacity);
}

// The level of "2; yellow; Moderate", for an alert without a severity of its own: 4 red is
// Extreme, 3 orange Severe, 2 yellow Moderate, 1 green Minor.
static int AwarenessSeverity(const Value *level) {
    if (level == NULL || !level->IsString() || level->GetStringLength() < 2 ||
        level->GetString()[1] != ';' || level->GetString()[0] < '1' ||
        level->GetString()[0] > '4') {
        return 0;
    }
    return level->GetString()[0] - '0';
}

// The end of the alert's time of validity, the second of "when"'s interval.
static const Value *IntervalEnd(const Value *feature) {
    const Value *interval = JsonMember(JsonMember(feature, "when"), "interval");
    return interval != NULL && interval->IsArray() && interval->Size() >= 2 ? &(*interval)[1]
                                                                            : NULL;
}

static enum AnswerKind NorwayRead(const char *json, size_t length, const PlaceInfo *place,
                                  AlertClock now, AlertList *alerts) {
    (void)place;
    rapidjson::Document document;
    const Value *features = AnswerArray(&document, json, length, "features", alerts);
    if (features == NULL) {
        return ANSWER_UNREADABLE;
    }
    for (rapidjson::SizeType i = 0; i < features->Size(); i++) {
        const Value *feature = &(*features)[i];
        const Value *properties = JsonMember(feature, "properties");
        const Value *status = JsonMember(properties, "status");
        if (status != NULL && status->IsString() && EqualsIgnoreCase(status->GetString(), "Test")) {
            continue; // a trial of the service, no weather
        }
        int severity = SeverityOf(JsonMember(properties, "severity"));
        char link[ALERT_LINK_CAPACITY];
        WebPageLink(JsonMember(properties, "web"), Plugin.norwayAlertsApi, link, sizeof link);
        AddAlert(alerts,
                 FirstText(JsonMember(properties, "title"), JsonMember(properties, "event")),
                 severity ? severity : AwarenessSeverity(JsonMember(properties, "awareness_level")),
                 IntervalEnd(feature), now, link);
    }
    // Each alert links its own page; the list, MET Norway's page of warnings.
    CopyText(alerts->link, sizeof alerts->link,
             "https://www.met.no/vaer-og-klima/ekstremvaervarsler-og-andre-farevarsler");
    return ANSWER_WEATHER;
}

const AlertSource NorwayAlertSource = {"Norway and Svalbard (MET Norway)",
                                       CoversNorway,
                                       NorwayAddress,
                                       NorwayRead,
                                       NORWAY_REQUEST_MINUTES,
                                       NULL};
