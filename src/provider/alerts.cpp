#include "provider/alerts.h"

#include <string.h>

#include "base/state.h"
#include "base/text.h"
#include "provider/json.h"
#include "provider/service_text.h"

using rapidjson::Value;

typedef struct Box {
    double south, north, west, east;
} Box;

// The area the National Weather Service warns for: the contiguous states, Alaska, Hawaii and
// Puerto Rico, roughly; a point of a neighbour that falls inside only costs an empty answer.
static const Box kUnitedStates[] = {
    {24.0, 50.0, -125.0, -66.0},
    {51.0, 72.0, -180.0, -129.0},
    {18.5, 22.5, -161.0, -154.0},
    {17.5, 18.6, -67.5, -65.0},
};

// Countries and territories it warns for.
static const char *const kUnitedStatesCountries[] = {"US", "PR", "GU", "VI", "AS", "MP", "UM"};

static int CoversUnitedStates(const PlaceInfo *place) {
    if (place->country[0] != '\0') {
        for (size_t i = 0; i < sizeof kUnitedStatesCountries / sizeof kUnitedStatesCountries[0];
             i++) {
            if (strcmp(place->country, kUnitedStatesCountries[i]) == 0) {
                return 1;
            }
        }
        return 0;
    }
    for (size_t i = 0; i < sizeof kUnitedStates / sizeof kUnitedStates[0]; i++) {
        const Box *box = &kUnitedStates[i];
        if (place->latitude >= box->south && place->latitude <= box->north &&
            place->longitude >= box->west && place->longitude <= box->east) {
            return 1;
        }
    }
    return 0;
}

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

static int SeverityRank(const Value *severity) {
    static const char *const kRanks[] = {"Minor", "Moderate", "Severe", "Extreme"};
    if (severity == NULL || !severity->IsString()) {
        return 0;
    }
    for (int i = 0; i < 4; i++) {
        if (strcmp(severity->GetString(), kRanks[i]) == 0) {
            return i + 1;
        }
    }
    return 0;
}

// Keeps the most severe alerts, each after those at least as severe: the service's order
// among equals.
static void Insert(AlertList *alerts, const AlertInfo *alert) {
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

static enum AnswerKind NwsRead(const char *json, size_t length, const PlaceInfo *place,
                               AlertList *alerts) {
    alerts->count = 0;
    alerts->link[0] = '\0';
    rapidjson::Document document;
    if (!JsonParseObject(&document, json, length)) {
        return ANSWER_UNREADABLE;
    }
    const Value *features = JsonMember(&document, "features");
    if (features == NULL || !features->IsArray()) {
        return ANSWER_UNREADABLE;
    }
    for (rapidjson::SizeType i = 0; i < features->Size(); i++) {
        const Value *properties = JsonMember(&(*features)[i], "properties");
        const Value *headline = JsonMember(properties, "headline");
        const Value *event = JsonMember(properties, "event");
        const Value *title = (headline && headline->IsString() && headline->GetStringLength() > 0)
                                 ? headline
                                 : event;
        AlertInfo alert;
        if (title == NULL || !title->IsString() ||
            ServiceText(title->GetString(), title->GetStringLength(), alert.title,
                        sizeof alert.title) == 0) {
            continue; // an alert without words shows nothing
        }
        alert.severity = SeverityRank(JsonMember(properties, "severity"));
        Insert(alerts, &alert);
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
                                    CoversUnitedStates, NwsAddress, NwsRead};

static const AlertSource *const kAlertSources[] = {&NwsAlertSource};

const AlertSource *AlertSourceFor(const PlaceInfo *place) {
    for (size_t i = 0; i < sizeof kAlertSources / sizeof kAlertSources[0]; i++) {
        if (kAlertSources[i]->covers(place)) {
            return kAlertSources[i];
        }
    }
    return NULL;
}
