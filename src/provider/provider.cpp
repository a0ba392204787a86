#include "provider/provider.h"

#include <stdlib.h>
#include <string.h>

#include "feed/address.h"
#include "feed/cache.h"
#include "feed/download.h"
#include "feed/source.h"
#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "provider/alerts.h"
#include "provider/model.h"
#include "provider/openmeteo.h"
#include "provider/rainviewer.h"
#include "provider/render.h"

// What came of asking for an answer: one of the AnswerKind values, or this.
enum { ANSWER_MISSING = -1 }; // no answer could be had

typedef enum AnswerKind (*AnswerReader)(const char *json, size_t length, void *record, char *reason,
                                        size_t reasonCapacity);

static enum AnswerKind ReadForecast(const char *json, size_t length, void *record, char *reason,
                                    size_t reasonCapacity) {
    return ReadForecastAnswer(json, length, (ModelWeather *)record, reason, reasonCapacity);
}

static enum AnswerKind ReadPlace(const char *json, size_t length, void *record, char *reason,
                                 size_t reasonCapacity) {
    return ReadPlaceAnswer(json, length, (PlaceInfo *)record, reason, reasonCapacity);
}

// An answer worth keeping: what the service says about the place, or its refusal. A refusal
// counts only from a successful status or a client error that is no throttling or time-out: a
// server in trouble says nothing about the request.
static int Keepable(enum AnswerKind kind, int status) {
    if (status >= 200 && status <= 299) {
        return kind != ANSWER_UNREADABLE;
    }
    return kind == ANSWER_REFUSED && status >= 400 && status <= 499 && status != 408 &&
           status != 429;
}

// The answer kept in the file `path`, read into `record`. Returns its kind, or ANSWER_MISSING
// when the file cannot be read (and then an unreadable one is removed).
static int ReadKeptAnswer(const char *path, AnswerReader read, void *record, char *reason,
                          size_t reasonCapacity) {
    size_t length = 0;
    char *bytes = ReadWholeFile(path, OPEN_METEO_ANSWER_LIMIT, &length);
    if (bytes == NULL) {
        return ANSWER_MISSING;
    }
    enum AnswerKind kind = read(bytes, length, record, reason, reasonCapacity);
    free(bytes);
    if (kind == ANSWER_UNREADABLE) {
        OsFileDelete(path);
        return ANSWER_MISSING;
    }
    return kind;
}

// The answer to `address`, kept in the file `path` for `limitMinutes` (a refusal only for
// ANSWER_AGE_LIMIT) and asked for anew after that. When the new request fails, a stale answer
// serves only where `staleServes`. Sets *fetched when the answer was fetched just now.
static int KeptAnswer(const char *path, const char *address, int limitMinutes, int staleServes,
                      AnswerReader read, void *record, char *reason, size_t reasonCapacity,
                      int *fetched) {
    *fetched = 0;
    if (path[0] == '\0') {
        return ANSWER_MISSING;
    }
    enum CacheVerdict verdict = CacheFileAge(path, limitMinutes);
    if (verdict == CACHE_FRESH) {
        int kind = ReadKeptAnswer(path, read, record, reason, reasonCapacity);
        if (kind == ANSWER_MISSING) {
            verdict = CACHE_MISSING;
        } else if (kind == ANSWER_REFUSED && limitMinutes > ANSWER_AGE_LIMIT &&
                   CacheFileAge(path, ANSWER_AGE_LIMIT) != CACHE_FRESH) {
            verdict = CACHE_STALE; // a refusal is asked about again sooner
        } else {
            return kind;
        }
    }
    GrowText body;
    GrowTextInit(&body, 0);
    int status = 0;
    if (address[0] != '\0' &&
        FetchAnswer(path, address, &body, OPEN_METEO_ANSWER_LIMIT, &status) == 0) {
        enum AnswerKind kind =
            read(GrowTextChars(&body), body.length, record, reason, reasonCapacity);
        if (Keepable(kind, status)) {
            StoreFile(path, body.bytes, body.length);
            GrowTextFree(&body);
            *fetched = 1;
            return kind;
        }
        RememberDownloadFailure(path);
    }
    GrowTextFree(&body);
    if (verdict == CACHE_STALE && staleServes) {
        return ReadKeptAnswer(path, read, record, reason, reasonCapacity);
    }
    return ANSWER_MISSING;
}

// The place of the per-call Location ID: its coordinates, or the first result of a search for
// it, which is kept for a month (and served stale while a new search fails: places stay put).
static int ResolvePlace(PlaceInfo *place, char *reason, size_t reasonCapacity) {
    place->name[0] = place->country[0] = '\0';
    if (ParseCoordinateId(Plugin.callLocationId, &place->latitude, &place->longitude)) {
        return ANSWER_WEATHER;
    }
    char path[PATH_CAPACITY], address[ADDRESS_CAPACITY];
    CopyText(path, sizeof path, CacheFilePath("Place"));
    PlaceRequestAddress(Plugin.geocodingApi, Plugin.callLocationId, address, sizeof address);
    int fetched = 0;
    int kind = KeptAnswer(path, address, PLACE_AGE_LIMIT, 1, ReadPlace, place, reason,
                          reasonCapacity, &fetched);
    if (kind == ANSWER_NO_PLACE) {
        CopyText(reason, reasonCapacity, TEXT_NO_PLACE);
        return ANSWER_REFUSED;
    }
    return kind;
}

// Whether the per-call unit type's documents are metric: what the feed would be asked for, its
// unit code, or for another unit type the default unit type's text, which it reads as metric
// when that is "Metric".
static int IsMetricUnit(void) {
    const char *code = UnitCode();
    return strcmp(code, "m") == 0 || EqualsIgnoreCase(code, "Metric");
}

// What a document is written from: the place, and its weather, or the reason there is none.
typedef struct DocumentSource {
    const PlaceInfo *place;
    const ModelWeather *model; // NULL: the service error document with `reason`
    const AlertList *alerts;   // or NULL
    uint64_t downloadTime;     // when the answer arrived
    const char *reason;
} DocumentSource;

// Writes the document of `kind` for the per-call unit type into `path`. The local page needs the
// place only.
static int WriteDocument(const char *kind, const char *path, const DocumentSource *source) {
    GrowText document;
    GrowTextInit(&document, 0);
    int local = strcmp(kind, "Home") == 0;
    int rendered;
    if (source->model != NULL || (local && source->reason[0] == '\0')) {
        RenderContext context;
        context.model = source->model;
        context.place = source->place;
        context.locationId = Plugin.callLocationId;
        context.metric = IsMetricUnit();
        context.days = Plugin.maxDays;
        context.hours = Plugin.maxHours;
        context.downloadTime = source->downloadTime;
        context.alerts = source->alerts;
        rendered = RenderFeedDocument(kind, &context, &document);
    } else {
        rendered = RenderServiceError(source->reason, &document);
    }
    int stored = rendered && StoreFile(path, document.bytes, document.length);
    GrowTextFree(&document);
    return stored;
}

// After a new answer, every other document of the Location ID that is cached already is written
// anew from it, so that the English and Metric values of one refresh agree and no file keeps
// older weather than its siblings.
static void RewriteSiblings(const char *path, const DocumentSource *source) {
    static const char *const kKinds[] = {"Current", "Forecast", "Details", "Hourly"};
    char callUnit[UNIT_CAPACITY];
    CopyText(callUnit, sizeof callUnit, Plugin.callUnit);
    const char *const units[] = {"English", "Metric", "Both", Plugin.defaultUnit, callUnit};
    for (size_t u = 0; u < sizeof units / sizeof units[0]; u++) {
        int seen = 0;
        for (size_t earlier = 0; earlier < u; earlier++) {
            seen = seen || strcmp(units[earlier], units[u]) == 0;
        }
        if (seen) {
            continue;
        }
        CopyText(Plugin.callUnit, sizeof Plugin.callUnit, units[u]);
        for (size_t k = 0; k < sizeof kKinds / sizeof kKinds[0]; k++) {
            char sibling[PATH_CAPACITY];
            CopyText(sibling, sizeof sibling, CacheFilePath(kKinds[k]));
            if (sibling[0] != '\0' && strcmp(sibling, path) != 0 && FileExists(sibling)) {
                WriteDocument(kKinds[k], sibling, source);
            }
        }
    }
    CopyText(Plugin.callUnit, sizeof Plugin.callUnit, callUnit);
}

// The alerts kept with the answer. Returns 1 with at least one alert.
static int KeptAlerts(const AlertSource *source, const PlaceInfo *place, const char *alertsPath,
                      AlertList *alerts) {
    size_t length = 0;
    char *bytes = source ? ReadWholeFile(alertsPath, ALERTS_ANSWER_LIMIT, &length) : NULL;
    int found =
        bytes != NULL &&
        source->read(bytes, length, place, AlertClockOf(OsUtcNow()), alerts) == ANSWER_WEATHER &&
        alerts->count > 0;
    free(bytes);
    return found;
}

// Asks the place's national weather service for its active alerts, with every new forecast
// answer, and keeps the answer beside it. Where no service warns, or the request fails, the
// place has no alerts until the next answer: an alert never costs the weather. A service that
// asks for fewer requests is not asked again before its time: its kept answer serves, and after
// a failure an empty file keeps the time of the request. Returns 1 with at least one alert in
// `alerts`.
static int RefreshAlerts(const PlaceInfo *place, const char *alertsPath, AlertList *alerts) {
    const AlertSource *source = AlertSourceFor(place);
    char address[ADDRESS_CAPACITY];
    if (source == NULL || alertsPath[0] == '\0' ||
        !source->address(place, address, sizeof address)) {
        return 0;
    }
    if (source->requestMinutes > 0 &&
        CacheFileAge(alertsPath, source->requestMinutes) == CACHE_FRESH) {
        return KeptAlerts(source, place, alertsPath, alerts);
    }
    GrowText body;
    GrowTextInit(&body, 0);
    int status = 0;
    int fetch = FetchAnswer(alertsPath, address, &body, ALERTS_ANSWER_LIMIT, &status);
    if (fetch == FETCH_PENDING) {
        // Still on its way past the call's wait: the kept alerts serve, as between two answers;
        // a failure is not what this is.
        GrowTextFree(&body);
        return KeptAlerts(source, place, alertsPath, alerts);
    }
    int asked = fetch == 0;
    if (asked && status >= 200 && status <= 299 &&
        source->read(GrowTextChars(&body), body.length, place, AlertClockOf(OsUtcNow()), alerts) ==
            ANSWER_WEATHER &&
        StoreFile(alertsPath, body.bytes, body.length)) {
        GrowTextFree(&body);
        return alerts->count > 0;
    }
    GrowTextFree(&body);
    if (asked) {
        RememberDownloadFailure(alertsPath);
    }
    if (source->requestMinutes == 0 || !StoreFile(alertsPath, "", 0)) {
        OsFileDelete(alertsPath);
        ForgetCacheCheck(alertsPath);
    }
    return 0;
}

static int RefreshProviderDocument(const WeatherSource *self, const char *kind, const char *path) {
    (void)self;
    UpperCaseAscii(Plugin.callLocationId);
    char reason[TEXT_CAPACITY] = "";
    PlaceInfo place;
    int placeKind = ResolvePlace(&place, reason, sizeof reason);
    if (placeKind == ANSWER_MISSING) {
        return 1;
    }
    DocumentSource source = {&place, NULL, NULL, OsUtcNow(), reason};
    if (strcmp(kind, "Home") == 0) {
        // The local page names the point; the radar picture's frame is chosen at its download.
        if (!WriteDocument(kind, path, &source)) {
            return 1;
        }
        LoadFeedDocument(path, 1);
        return 0;
    }
    ModelWeather *model = NULL;
    int fetched = 0;
    char answerPath[PATH_CAPACITY], alertsPath[PATH_CAPACITY];
    CopyText(answerPath, sizeof answerPath, CacheFilePath("OpenMeteo"));
    CopyText(alertsPath, sizeof alertsPath, CacheFilePath("Alerts"));
    AlertList alerts;
    int hasAlerts = 0;
    if (placeKind == ANSWER_WEATHER) {
        model = (ModelWeather *)malloc(sizeof *model);
        char latitude[32], longitude[32], address[ADDRESS_CAPACITY];
        if (model == NULL ||
            !FormatPoint(place.latitude, place.longitude, latitude, longitude, sizeof latitude)) {
            free(model);
            return 1;
        }
        ForecastRequestAddress(Plugin.forecastApi, latitude, longitude, address, sizeof address);
        int answerKind = KeptAnswer(answerPath, address, ANSWER_AGE_LIMIT, 0, ReadForecast, model,
                                    reason, sizeof reason, &fetched);
        if (answerKind == ANSWER_MISSING) {
            free(model);
            return 1;
        }
        if (answerKind != ANSWER_WEATHER) {
            free(model);
            model = NULL; // a refusal: the error document with the service's reason
        }
        OsFileLastWrite(answerPath, &source.downloadTime);
    }
    if (model != NULL) {
        hasAlerts = fetched ? RefreshAlerts(&place, alertsPath, &alerts)
                            : KeptAlerts(AlertSourceFor(&place), &place, alertsPath, &alerts);
    }
    source.model = model;
    source.alerts = hasAlerts ? &alerts : NULL;
    int written = WriteDocument(kind, path, &source);
    if (written && fetched) {
        RewriteSiblings(path, &source);
    }
    free(model);
    if (!written) {
        return 1;
    }
    LoadFeedDocument(path, 1);
    return 0;
}

static int RefreshProviderRadar(const WeatherSource *self, const char *path, const char *address) {
    (void)self;
    double latitude, longitude;
    if (!ParseRadarPointAddress(address, &latitude, &longitude)) {
        return FetchToFile(path, address); // a page of the feed, cached before the provider
    }
    // The index is asked anew for every picture: its frames move on every ten minutes.
    char key[PATH_CAPACITY], picture[ADDRESS_CAPACITY];
    GrowText body;
    GrowTextInit(&body, 0);
    int status = 0;
    if (!FormatText(key, sizeof key, "%s%cRadar.index", Plugin.cacheFolder, OsPathSeparator)) {
        return 1;
    }
    int found = FetchAnswer(key, Plugin.radarApi, &body, RADAR_INDEX_LIMIT, &status) == 0 &&
                status >= 200 && status <= 299 &&
                ReadRadarIndex(GrowTextChars(&body), body.length, Plugin.radarApi, latitude,
                               longitude, picture, sizeof picture) == ANSWER_WEATHER;
    if (!found && status != 0) {
        RememberDownloadFailure(key);
    }
    GrowTextFree(&body);
    return found ? FetchToFile(path, picture) : 1;
}

// The address of the connectivity test for the forecast address: its scheme, host and port with
// the path "/" ("https://api.open-meteo.com/"). Returns 1, or 0 when the address has no host
// (out empty).
static int ServiceRootAddress(const WeatherSource *self, char *out, size_t capacity) {
    (void)self;
    const char *address = Plugin.forecastApi;
    const char *scheme = strstr(address, "://");
    const char *host = scheme ? scheme + 3 : NULL;
    size_t hostLength = host ? strcspn(host, "/?#") : 0;
    if (hostLength == 0 ||
        !FormatText(out, capacity, "%.*s/", (int)(host + hostLength - address), address)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

const WeatherSource OpenMeteoSource = {
    "open-meteo",            // name
    Plugin.userAgent,        // userAgent: [Service] UserAgent
    NULL,                    // alertLinkHost: links lead to the alert service's own page
    RefreshProviderDocument, // refreshDocument
    RefreshProviderRadar,    // refreshRadar
    ServiceRootAddress,      // connectivityAddress
    NULL,                    // context
};
