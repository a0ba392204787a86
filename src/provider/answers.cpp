#include "provider/answers.h"

#include <string.h>

#include "base/text.h"
#include "provider/alert_sources.h"
#include "provider/openmeteo.h"
#include "provider/rainviewer.h"
#include "provider/region.h"

void StartAnswerSet(AnswerSet *set) {
    memset(set, 0, sizeof *set);
    set->downloadTime = OsUtcNow();
}

// The service's words for a name or postal code that names no place.
#define TEXT_NO_PLACE "Invalid location provided."

// ---- The place -------------------------------------------------------------------------------

// The place of the call's Location ID: its coordinates, or the first result of a search for it.
static enum AnswerStep PreparePlace(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                    size_t capacity) {
    (void)rule;
    if (ParseCoordinateId(Plugin.callLocationId, &set->place.latitude, &set->place.longitude)) {
        return STEP_HELD;
    }
    // An address that does not fit is asked for nothing; a kept place still serves.
    PlaceRequestAddress(Plugin.geocodingApi, Plugin.callLocationId, address, capacity);
    return STEP_ASK;
}

static enum AnswerKind ReadPlace(const char *bytes, size_t length, void *record, char *reason,
                                 size_t reasonCapacity) {
    AnswerSet *set = (AnswerSet *)record;
    enum AnswerKind kind = ReadPlaceAnswer(bytes, length, &set->place, reason, reasonCapacity);
    if (kind == ANSWER_NO_PLACE) {
        CopyText(reason, reasonCapacity, TEXT_NO_PLACE);
    }
    return kind;
}

const ProviderAnswer PlaceAnswer = {
    {
        KIND_PLACE_ANSWER,       // kind: kept for a month
        OPEN_METEO_ANSWER_LIMIT, // limit
        1,                       // keepsCopy
        ANSWER_AGE_LIMIT,        // refusalMinutes
        0,                       // minimumMinutes
        1,                       // staleServes: places stay put
        0,                       // failureDrops
        0,                       // keepsHeaders
        NULL,                    // headersFresh
        NULL,                    // key: the call's Location ID
    },
    FORECAST_KINDS | KindBit(KIND_HOME) | KindBit(KIND_AIR), // feeds
    1,                                                       // needed
    0,                                                       // isForecast
    0,                                                       // followsWeather
    PreparePlace,
    ReadPlace,
    NULL,
};

// ---- Open-Meteo's forecast -------------------------------------------------------------------

// Whether a refusal of the forecast service is about the place asked for (a point out of
// range), which every service would refuse too; any other refusal (a variable it no longer
// knows) is about the request, and another service may well answer it.
static int RefusalNamesPlace(const char *reason) {
    char upper[TEXT_CAPACITY];
    CopyText(upper, sizeof upper, reason);
    UpperCaseAscii(upper);
    return strstr(upper, "LATITUDE") != NULL || strstr(upper, "LONGITUDE") != NULL;
}

enum AnswerKind ReadOpenMeteoForecast(const char *bytes, size_t length, void *record, char *reason,
                                      size_t reasonCapacity) {
    enum AnswerKind kind =
        ReadForecastAnswer(bytes, length, (ModelWeather *)record, reason, reasonCapacity);
    return kind == ANSWER_REFUSED && !RefusalNamesPlace(reason) ? ANSWER_UNREADABLE : kind;
}

static enum AnswerKind ReadOpenMeteo(const char *bytes, size_t length, void *record, char *reason,
                                     size_t reasonCapacity) {
    return ReadOpenMeteoForecast(bytes, length, &((AnswerSet *)record)->model, reason,
                                 reasonCapacity);
}

static enum AnswerStep PrepareOpenMeteo(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                        size_t capacity) {
    (void)rule;
    char latitude[32], longitude[32];
    if (!FormatPoint(set->place.latitude, set->place.longitude, latitude, longitude,
                     sizeof latitude)) {
        return STEP_NONE;
    }
    // Open-Meteo finds the place's zone itself.
    ForecastRequestAddress(
        Plugin.forecastApi, latitude, longitude,
        BoxesCover(&QuarterHourRegion, set->place.latitude, set->place.longitude), address,
        capacity);
    return STEP_ASK;
}

const ProviderAnswer OpenMeteoAnswer = {
    {
        KIND_OPEN_METEO_ANSWER,  // kind
        OPEN_METEO_ANSWER_LIMIT, // limit
        1,                       // keepsCopy
        ANSWER_AGE_LIMIT,        // refusalMinutes
        0,                       // minimumMinutes
        0,                       // staleServes: the next member of a chain answers instead
        0,                       // failureDrops
        0,                       // keepsHeaders
        NULL,                    // headersFresh
        NULL,                    // key: the call's Location ID
    },
    FORECAST_KINDS, // feeds
    1,              // needed
    1,              // isForecast
    0,              // followsWeather
    PrepareOpenMeteo,
    ReadOpenMeteo,
    NULL,
};

// ---- The national alerts ---------------------------------------------------------------------

// The place's national weather service, asked for its active alerts with every new forecast
// answer. Where no service warns, or the request fails, the place has no alerts until the next
// answer: an alert never costs the weather. A service that asks for fewer requests is not asked
// again before its time.
static enum AnswerStep PrepareAlerts(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                     size_t capacity) {
    set->alertSource = AlertSourceFor(&set->place);
    if (set->alertSource == NULL || !set->alertSource->address(&set->place, address, capacity)) {
        return STEP_NONE;
    }
    rule->minimumMinutes = set->alertSource->requestMinutes;
    if (set->alertSource->countryKey != NULL) {
        // One answer for the whole country, kept under its name. Its reader leaves out what has
        // ended by the clock, so a failed request keeps it.
        rule->kind = KIND_COUNTRY_ALERTS_ANSWER;
        rule->key = set->alertSource->countryKey(&set->place);
        rule->failureDrops = 0;
    }
    return STEP_ASK;
}

static enum AnswerKind ReadAlerts(const char *bytes, size_t length, void *record, char *reason,
                                  size_t reasonCapacity) {
    (void)reason;
    (void)reasonCapacity;
    AnswerSet *set = (AnswerSet *)record;
    return set->alertSource->read(bytes, length, &set->place, AlertClockOf(OsUtcNow()),
                                  &set->alerts);
}

static void DiscardAlerts(AnswerSet *set) {
    set->alerts.count = 0;
}

const ProviderAnswer AlertsAnswer = {
    {
        KIND_ALERTS_ANSWER,  // kind
        ALERTS_ANSWER_LIMIT, // limit
        1,                   // keepsCopy
        0,                   // refusalMinutes
        0,                   // minimumMinutes: the place's service's (PrepareAlerts)
        1,                   // staleServes: while a failure is remembered or an answer is on
                             // its way, the kept alerts serve
        1,                   // failureDrops: kept alerts may be over by now
        0,                   // keepsHeaders
        NULL,                // headersFresh
        NULL,                // key: the call's Location ID, or the country's (PrepareAlerts)
    },
    FEED_DOCUMENT_KINDS, // feeds
    0,                   // needed: an alert never costs the weather
    0,                   // isForecast
    1,                   // followsWeather
    PrepareAlerts,
    ReadAlerts,
    DiscardAlerts,
};

// ---- The radar index -------------------------------------------------------------------------

static enum AnswerStep PrepareRadarIndex(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                         size_t capacity) {
    (void)set;
    (void)rule;
    CopyText(address, capacity, Plugin.radarApi);
    return STEP_ASK;
}

static enum AnswerKind ReadIndex(const char *bytes, size_t length, void *record, char *reason,
                                 size_t reasonCapacity) {
    (void)reason;
    (void)reasonCapacity;
    AnswerSet *set = (AnswerSet *)record;
    return ReadRadarIndex(bytes, length, Plugin.radarApi, set->place.latitude, set->place.longitude,
                          set->radarPicture, sizeof set->radarPicture);
}

const ProviderAnswer RadarIndexAnswer = {
    {
        KIND_RADAR_INDEX,  // kind
        RADAR_INDEX_LIMIT, // limit
        0,                 // keepsCopy: asked anew for every picture, as its frames move on
                           // every ten minutes; only its failure memory is kept
        0,                 // refusalMinutes
        0,                 // minimumMinutes
        0,                 // staleServes
        0,                 // failureDrops
        0,                 // keepsHeaders
        NULL,              // headersFresh
        NULL,              // key: the call's Location ID
    },
    KindBit(KIND_RADAR), // feeds
    1,                   // needed
    0,                   // isForecast
    0,                   // followsWeather
    PrepareRadarIndex,
    ReadIndex,
    NULL,
};

// ---- The air -------------------------------------------------------------------------------

// Asked only for the air's own document, which only the air's terms and badge read: a panel that
// shows none of them never asks the service.
static enum AnswerStep PrepareAirQuality(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                         size_t capacity) {
    (void)rule;
    char latitude[32], longitude[32];
    if (!FormatPoint(set->place.latitude, set->place.longitude, latitude, longitude,
                     sizeof latitude)) {
        return STEP_NONE;
    }
    AirQualityRequestAddress(Plugin.airQualityApi, latitude, longitude, address, capacity);
    return STEP_ASK;
}

static enum AnswerKind ReadAir(const char *bytes, size_t length, void *record, char *reason,
                               size_t reasonCapacity) {
    AnswerSet *set = (AnswerSet *)record;
    enum AnswerKind kind = ReadAirQualityAnswer(bytes, length, &set->air, reason, reasonCapacity);
    set->hasAir = kind == ANSWER_WEATHER;
    return kind;
}

static void DiscardAir(AnswerSet *set) {
    set->hasAir = 0;
}

const ProviderAnswer AirQualityAnswer = {
    {
        KIND_AIR_ANSWER,         // kind: kept for an hour
        OPEN_METEO_ANSWER_LIMIT, // limit
        1,                       // keepsCopy
        ANSWER_AGE_LIMIT,        // refusalMinutes
        0,                       // minimumMinutes
        0,                       // staleServes: the air's document keeps serving meanwhile, and
                                 // stays stale, so the service is asked again once the failure
                                 // is forgotten
        0,                       // failureDrops
        0,                       // keepsHeaders
        NULL,                    // headersFresh
        NULL,                    // key: the call's Location ID
    },
    KindBit(KIND_AIR), // feeds
    1,                 // needed
    0,                 // isForecast
    0,                 // followsWeather
    PrepareAirQuality,
    ReadAir,
    DiscardAir,
};

// ---- The walk --------------------------------------------------------------------------------

// Has one row read into the set. Returns its outcome, with what the answer said in *said.
static enum Outcome AskAnswer(const ProviderAnswer *row, AnswerSet *set, int showsCopy,
                              enum AnswerKind *said) {
    KeptAnswerRule rule = row->rule;
    char address[ADDRESS_CAPACITY] = "";
    enum AnswerStep step = row->prepare(set, &rule, address, sizeof address);
    *said = ANSWER_WEATHER;
    if (step != STEP_ASK) {
        return step == STEP_HELD ? OUTCOME_DONE : OUTCOME_FAILED;
    }
    KeptAnswerResult result;
    enum Outcome outcome =
        row->followsWeather && !set->weatherIsNew
            ? ReadKeptCopy(&rule, row->read, set, set->reason, sizeof set->reason, &result)
            : KeepAndRefresh(&rule, address, showsCopy, row->read, set, set->reason,
                             sizeof set->reason, &result);
    *said = result.kind;
    if (outcome == OUTCOME_DONE && row->isForecast) {
        set->downloadTime = result.arrived;
        set->weatherIsNew = result.isNew;
        set->hasWeather = result.kind == ANSWER_WEATHER;
    }
    return outcome;
}

enum Outcome WalkAnswers(const ProviderAnswer *const *rows, size_t count, enum DocumentKind kind,
                         int showsCopy, AnswerSet *set) {
    for (size_t i = 0; i < count; i++) {
        if ((rows[i]->feeds & KindBit(kind)) == 0) {
            continue;
        }
        enum AnswerKind said;
        enum Outcome outcome = AskAnswer(rows[i], set, showsCopy, &said);
        if (outcome != OUTCOME_DONE) {
            if (rows[i]->discard != NULL) {
                rows[i]->discard(set);
            }
            if (rows[i]->needed) {
                return outcome;
            }
            continue;
        }
        if (said != ANSWER_WEATHER) {
            break; // a refusal: the error document with the service's reason
        }
    }
    return OUTCOME_DONE;
}
