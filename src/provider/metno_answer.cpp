// MET Norway's forecast as a kept answer: kept with its cache headers, as the service asks. It
// is not asked for again while it is fresh (its Expires minus its Date, from its arrival, which
// is the file's last write), and then only for an answer newer than its Last-Modified; a 304
// keeps the kept answer. Every status but success (203, a product about to be retired,
// included) and "not modified" is a failure the memory of failed downloads backs off from (a
// throttling 429 or a blocking 403 above all): MET Norway answers for every point of the globe,
// so a refusal is never the place's.
#include <string.h>

#include "base/text.h"
#include "provider/answers.h"
#include "provider/model.h"
#include "provider/openmeteo.h"
#include "provider/region.h"
#include "provider/zone_guess.h"

static int MetHeadersFresh(const OsHttpAnswerHeaders *headers, uint64_t arrived, uint64_t now) {
    int64_t expires = 0;
    if (!ParseHttpDate(headers->expires, &expires)) {
        return -1;
    }
    return MetNorwayAnswerFresh(headers->expires, headers->date, AlertClockOf(arrived),
                                AlertClockOf(now));
}

// MET Norway names no zone: the place's is found before its answer is read (zone_guess.h).
static enum AnswerStep PrepareMetNorway(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                        size_t capacity) {
    (void)rule;
    char latitude[32], longitude[32];
    double pointLatitude = 0, pointLongitude = 0;
    if (!FormatPoint(set->place.latitude, set->place.longitude, latitude, longitude,
                     sizeof latitude) ||
        !ParseDecimal(latitude, strlen(latitude), &pointLatitude) ||
        !ParseDecimal(longitude, strlen(longitude), &pointLongitude) ||
        !MetNorwayRequestAddress(Plugin.metNorwayApi, latitude, longitude, address, capacity)) {
        return STEP_NONE;
    }
    MetClockFor(set->place.zone, pointLatitude, pointLongitude, AlertClockOf(OsUtcNow()),
                &set->clock);
    return STEP_ASK;
}

static enum AnswerKind ReadMetNorway(const char *bytes, size_t length, void *record, char *reason,
                                     size_t reasonCapacity) {
    (void)reason;
    (void)reasonCapacity;
    AnswerSet *set = (AnswerSet *)record;
    return ReadMetNorwayAnswer(bytes, length, &set->clock, &set->model);
}

const ProviderAnswer MetNorwayAnswer = {
    {
        KIND_MET_NORWAY_ANSWER,  // kind
        OPEN_METEO_ANSWER_LIMIT, // limit
        1,                       // keepsCopy
        0,                       // refusalMinutes: it never refuses a place
        0,                       // minimumMinutes: its Expires says when
        0,                       // staleServes: the next member of a chain answers instead
        0,                       // failureDrops
        1,                       // keepsHeaders
        MetHeadersFresh,         // headersFresh
        NULL,                    // key: the call's Location ID
    },
    FORECAST_KINDS, // feeds
    1,              // needed
    1,              // isForecast
    0,              // followsWeather
    PrepareMetNorway,
    ReadMetNorway,
    NULL,
};

// ---- The nowcast ---------------------------------------------------------------------------

// Asked only for the nowcast's document, which only the nowcast's terms and the precipitation
// graph read, and only where its radar covers: Norway, Sweden, Finland and Denmark.
static enum AnswerStep PrepareMetNowcast(AnswerSet *set, KeptAnswerRule *rule, char *address,
                                         size_t capacity) {
    (void)rule;
    char latitude[32], longitude[32];
    if (!RegionCovers(&NordicRegion, &set->place) ||
        !FormatPoint(set->place.latitude, set->place.longitude, latitude, longitude,
                     sizeof latitude) ||
        !MetNorwayRequestAddress(Plugin.metNowcastApi, latitude, longitude, address, capacity)) {
        return STEP_NONE;
    }
    return STEP_ASK;
}

static enum AnswerKind ReadMetNowcast(const char *bytes, size_t length, void *record, char *reason,
                                      size_t reasonCapacity) {
    (void)reason;
    (void)reasonCapacity;
    AnswerSet *set = (AnswerSet *)record;
    enum AnswerKind kind = ReadMetNowcastAnswer(bytes, length, &set->nowcast);
    set->hasNowcast = kind == ANSWER_WEATHER && set->nowcast.radarCovers;
    return kind;
}

static void DiscardMetNowcast(AnswerSet *set) {
    set->hasNowcast = 0;
}

const ProviderAnswer MetNowcastAnswer = {
    {
        KIND_NOWCAST_ANSWER,     // kind
        OPEN_METEO_ANSWER_LIMIT, // limit
        1,                       // keepsCopy
        0,                       // refusalMinutes
        NOWCAST_AGE_LIMIT,       // minimumMinutes: at most one request a place every 5 minutes
        0,                       // staleServes: a stale nowcast says nothing of now
        1,                       // failureDrops: the forecast's steps serve instead
        1,                       // keepsHeaders: its Expires, and If-Modified-Since
        MetHeadersFresh,         // headersFresh
        NULL,                    // key: the call's Location ID
    },
    KindBit(KIND_NOWCAST), // feeds
    0,                     // needed: without it the forecast's steps serve
    0,                     // isForecast
    0,                     // followsWeather
    PrepareMetNowcast,
    ReadMetNowcast,
    DiscardMetNowcast,
};
