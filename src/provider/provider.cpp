#include "provider/provider.h"

#include <stdlib.h>
#include <string.h>

#include "base/calendar.h"
#include "feed/address.h"
#include "feed/cache.h"
#include "feed/download.h"
#include "feed/source.h"
#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "platform/platform.h"
#include "provider/alerts.h"
#include "provider/metno.h"
#include "provider/model.h"
#include "provider/openmeteo.h"
#include "provider/rainviewer.h"
#include "provider/render.h"

// What came of asking for an answer: one of the AnswerKind values, or one of these.
enum {
    ANSWER_MISSING = -1, // no answer could be had
    ANSWER_PENDING = -2  // the answer is on its way, for a later call
};

typedef enum AnswerKind (*AnswerReader)(const char *json, size_t length, void *record, char *reason,
                                        size_t reasonCapacity);

// Whether a refusal of the forecast service is about the place asked for (a point out of
// range), which every service would refuse too; any other refusal (a variable it no longer
// knows) is about the request, and another service may well answer it.
static int RefusalNamesPlace(const char *reason) {
    char upper[TEXT_CAPACITY];
    CopyText(upper, sizeof upper, reason);
    UpperCaseAscii(upper);
    return strstr(upper, "LATITUDE") != NULL || strstr(upper, "LONGITUDE") != NULL;
}

// A forecast answer; a refusal that is not about the place reads as unreadable: it is no answer
// to keep, and the service counts as failing.
static enum AnswerKind ReadForecast(const char *json, size_t length, void *record, char *reason,
                                    size_t reasonCapacity) {
    enum AnswerKind kind =
        ReadForecastAnswer(json, length, (ModelWeather *)record, reason, reasonCapacity);
    return kind == ANSWER_REFUSED && !RefusalNamesPlace(reason) ? ANSWER_UNREADABLE : kind;
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
// serves only where `staleServes`. Sets *fetched when the answer was fetched just now; it serves
// the call even when it cannot be kept (no room, no permission), and is then not asked for again
// within the failure memory's time. `showsCopy` as for FetchAnswer: the call has a document to
// show while the request runs.
static int KeptAnswer(const char *path, const char *address, int limitMinutes, int staleServes,
                      int showsCopy, AnswerReader read, void *record, char *reason,
                      size_t reasonCapacity, int *fetched) {
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
    enum Outcome fetch = address[0] != '\0' ? FetchAnswer(path, address, showsCopy, &body,
                                                          OPEN_METEO_ANSWER_LIMIT, &status)
                                            : OUTCOME_FAILED;
    if (fetch == OUTCOME_DONE) {
        enum AnswerKind kind =
            read(GrowTextChars(&body), body.length, record, reason, reasonCapacity);
        if (Keepable(kind, status)) {
            KeepAnswer(path, body.bytes, body.length);
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
    return fetch == OUTCOME_PENDING ? ANSWER_PENDING : ANSWER_MISSING;
}

// The place of the per-call Location ID: its coordinates, or the first result of a search for
// it, which is kept for a month (and served stale while a new search fails: places stay put).
// `showsCopy` as for KeptAnswer.
static int ResolvePlace(int showsCopy, PlaceInfo *place, char *reason, size_t reasonCapacity) {
    place->name[0] = place->country[0] = place->zone[0] = '\0';
    if (ParseCoordinateId(Plugin.callLocationId, &place->latitude, &place->longitude)) {
        return ANSWER_WEATHER;
    }
    char path[PATH_CAPACITY], address[ADDRESS_CAPACITY];
    CopyText(path, sizeof path, CacheFilePath(KIND_PLACE_ANSWER));
    PlaceRequestAddress(Plugin.geocodingApi, Plugin.callLocationId, address, sizeof address);
    int fetched = 0;
    int kind = KeptAnswer(path, address, PLACE_AGE_LIMIT, 1, showsCopy, ReadPlace, place, reason,
                          reasonCapacity, &fetched);
    if (kind == ANSWER_NO_PLACE) {
        CopyText(reason, reasonCapacity, TEXT_NO_PLACE);
        return ANSWER_REFUSED;
    }
    return kind;
}

// Whether the documents of unit type `unit` are metric: what the feed would be asked for, its
// unit code, or for another unit type the default unit type's text, which it reads as metric
// when that is "Metric".
static int IsMetricUnit(const char *unit) {
    const char *code = UnitCodeOf(unit);
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

// Writes the document of `kind` for the unit type `unit` into `path`. The local page needs the
// place only.
static int WriteDocument(enum DocumentKind kind, const char *unit, const char *path,
                         const DocumentSource *source) {
    GrowText document;
    GrowTextInit(&document, 0);
    int local = kind == KIND_HOME;
    int rendered;
    if (source->model != NULL || (local && source->reason[0] == '\0')) {
        RenderContext context;
        context.model = source->model;
        context.place = source->place;
        context.locationId = Plugin.callLocationId;
        context.metric = IsMetricUnit(unit);
        context.days = Plugin.maxDays;
        context.hours = Plugin.maxHours;
        context.downloadTime = source->downloadTime;
        context.alerts = source->alerts;
        rendered = RenderFeedDocument(kind, &context, &document);
    } else {
        rendered = RenderServiceError(source->reason, &document);
    }
    int stored = rendered && StoreFile(path, document.bytes, document.length) == OUTCOME_DONE;
    GrowTextFree(&document);
    return stored;
}

// After a new answer, every other document of the Location ID that is cached already is written
// anew from it, so that the English and Metric values of one refresh agree and no file keeps
// older weather than its siblings.
static void RewriteSiblings(const char *path, const DocumentSource *source) {
    const char *const units[] = {"English", "Metric", "Both", Plugin.defaultUnit, Plugin.callUnit};
    for (size_t u = 0; u < sizeof units / sizeof units[0]; u++) {
        int seen = 0;
        for (size_t earlier = 0; earlier < u; earlier++) {
            seen = seen || strcmp(units[earlier], units[u]) == 0;
        }
        if (seen) {
            continue;
        }
        for (int k = 0; k < KIND_COUNT; k++) {
            const DocumentKindInfo *info = DocumentKindOf((enum DocumentKind)k);
            if (info->writer != KIND_BY_SOURCE || info->scope != KIND_PER_UNIT) {
                continue; // the local page names the place, which no answer changes
            }
            char sibling[PATH_CAPACITY];
            CopyText(sibling, sizeof sibling, CacheFilePathForUnit((enum DocumentKind)k, units[u]));
            if (sibling[0] != '\0' && strcmp(sibling, path) != 0 && FileExists(sibling)) {
                WriteDocument((enum DocumentKind)k, units[u], sibling, source);
            }
        }
    }
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
// a failure an empty file keeps the time of the request. Alerts the service has just sent are
// shown even when their answer cannot be kept, and the kept one then stays as it was. Returns 1
// with at least one alert in `alerts`. `showsCopy` as for FetchAnswer.
static int RefreshAlerts(const PlaceInfo *place, const char *alertsPath, int showsCopy,
                         AlertList *alerts) {
    const AlertSource *source = AlertSourceFor(place);
    char address[ADDRESS_CAPACITY];
    if (source == NULL || alertsPath[0] == '\0' ||
        !source->address(place, address, sizeof address)) {
        return 0;
    }
    // Not asked again within its minimum interval, nor within the failure memory's time: a
    // failed request has already dropped what it could not confirm, and an answer that could
    // not be kept has left the kept one as it was.
    if ((source->requestMinutes > 0 &&
         CacheFileAge(alertsPath, source->requestMinutes) == CACHE_FRESH) ||
        DownloadFailedRecently(alertsPath)) {
        return KeptAlerts(source, place, alertsPath, alerts);
    }
    GrowText body;
    GrowTextInit(&body, 0);
    int status = 0;
    enum Outcome fetch =
        FetchAnswer(alertsPath, address, showsCopy, &body, ALERTS_ANSWER_LIMIT, &status);
    if (fetch == OUTCOME_PENDING) {
        // Still on its way past the call's wait: the kept alerts serve, as between two answers;
        // a failure is not what this is.
        GrowTextFree(&body);
        return KeptAlerts(source, place, alertsPath, alerts);
    }
    int asked = fetch == OUTCOME_DONE;
    if (asked && status >= 200 && status <= 299 &&
        source->read(GrowTextChars(&body), body.length, place, AlertClockOf(OsUtcNow()), alerts) ==
            ANSWER_WEATHER) {
        KeepAnswer(alertsPath, body.bytes, body.length);
        GrowTextFree(&body);
        return alerts->count > 0;
    }
    GrowTextFree(&body);
    if (asked) {
        RememberDownloadFailure(alertsPath);
    }
    if (source->requestMinutes == 0 || StoreFile(alertsPath, "", 0) != OUTCOME_DONE) {
        OsFileDelete(alertsPath);
        ForgetCacheCheck(alertsPath);
    }
    return 0;
}

// ---- The forecast services ------------------------------------------------------------------

// One forecast service of the provider: the place's weather from its answer, kept in the cache
// file of `answerKind` for the call's Location ID. Everything else (the place, the alerts, the
// documents, the radar) is shared.
typedef struct ForecastService {
    enum DocumentKind answerKind; // the kind of the kept answer
    const char *api;              // the state's field with the forecast address
    // Reads the weather of `place` at `latitude`,`longitude` (FormatPoint's texts of its
    // coordinates) into `model` from the answer kept at `answerPath`, asked for anew when it is
    // stale (`showsCopy` as for FetchAnswer). Returns ANSWER_WEATHER (with *fetched 1 when the
    // answer is new), ANSWER_REFUSED with the service's reason about the place, ANSWER_MISSING
    // or ANSWER_PENDING.
    int (*weather)(const struct ForecastService *self, const PlaceInfo *place, const char *latitude,
                   const char *longitude, const char *answerPath, int showsCopy,
                   ModelWeather *model, char *reason, size_t reasonCapacity, int *fetched);
} ForecastService;

static int OpenMeteoWeather(const ForecastService *self, const PlaceInfo *place,
                            const char *latitude, const char *longitude, const char *answerPath,
                            int showsCopy, ModelWeather *model, char *reason, size_t reasonCapacity,
                            int *fetched) {
    (void)place; // Open-Meteo finds the place's zone itself
    char address[ADDRESS_CAPACITY];
    ForecastRequestAddress(self->api, latitude, longitude, address, sizeof address);
    return KeptAnswer(answerPath, address, ANSWER_AGE_LIMIT, 0, showsCopy, ReadForecast, model,
                      reason, reasonCapacity, fetched);
}

// MET Norway's answer is kept with its cache headers in front of it, a line each and a blank
// line after them, as the service asks: it is not asked for again while it is fresh (its Expires
// minus its Date, from its arrival, which is the file's last write), and then only for an answer
// newer than its Last-Modified. Files kept before the Date was kept have no Date line.
typedef struct KeptMetAnswer {
    OsHttpAnswerHeaders headers; // empty when the file has none
    const char *json;            // within the file's bytes
    size_t length;
} KeptMetAnswer;

static const char kExpiresField[] = "Expires: ";
static const char kLastModifiedField[] = "Last-Modified: ";
static const char kDateField[] = "Date: ";

// The header line `field` of `text` (up to the blank line at `end`), into `out`.
static void HeaderField(const char *text, const char *end, const char *field, char *out,
                        size_t capacity) {
    out[0] = '\0';
    size_t fieldLength = strlen(field);
    for (const char *line = text; line < end;) {
        const char *next = (const char *)memchr(line, '\n', (size_t)(end - line));
        next = next ? next : end;
        if ((size_t)(next - line) > fieldLength && memcmp(line, field, fieldLength) == 0) {
            FormatText(out, capacity, "%.*s", (int)(next - line - fieldLength), line + fieldLength);
            return;
        }
        line = next + 1;
    }
}

// Splits a kept answer into its headers and its JSON; an answer without headers (as another
// process may have kept it) is JSON alone.
static void SplitMetAnswer(const char *bytes, size_t length, KeptMetAnswer *kept) {
    kept->headers.expires[0] = kept->headers.lastModified[0] = kept->headers.date[0] = '\0';
    kept->json = bytes;
    kept->length = length;
    if (length == 0 || bytes[0] == '{') {
        return;
    }
    const char *blank = NULL;
    for (size_t i = 0; i + 1 < length && blank == NULL; i++) {
        if (bytes[i] == '\n' && bytes[i + 1] == '\n') {
            blank = bytes + i;
        }
    }
    if (blank == NULL) {
        return;
    }
    HeaderField(bytes, blank, kExpiresField, kept->headers.expires, sizeof kept->headers.expires);
    HeaderField(bytes, blank, kLastModifiedField, kept->headers.lastModified,
                sizeof kept->headers.lastModified);
    HeaderField(bytes, blank, kDateField, kept->headers.date, sizeof kept->headers.date);
    kept->json = blank + 2;
    kept->length = (size_t)(bytes + length - kept->json);
}

static int StoreMetAnswer(const char *path, const OsHttpAnswerHeaders *headers, const char *json,
                          size_t length) {
    GrowText file;
    GrowTextInit(&file, 0);
    int stored =
        GrowTextFormat(&file, "%s%s\n%s%s\n%s%s\n\n", kExpiresField, headers->expires,
                       kLastModifiedField, headers->lastModified, kDateField, headers->date) &&
        GrowTextAppendBytes(&file, json, length) &&
        KeepAnswer(path, file.bytes, file.length) == OUTCOME_DONE;
    GrowTextFree(&file);
    return stored;
}

// Whether the kept answer may serve without asking: while fresh by its headers, counted from
// the file's last write, or for an answer kept without an Expires, within the age of an answer.
static int MetAnswerFresh(const char *path, const KeptMetAnswer *kept, AlertClock now) {
    int64_t expires = 0;
    uint64_t arrived = 0;
    if (ParseHttpDate(kept->headers.expires, &expires)) {
        return OsFileLastWrite(path, &arrived) &&
               MetNorwayAnswerFresh(kept->headers.expires, kept->headers.date,
                                    AlertClockOf(arrived), now);
    }
    return CacheFileAge(path, ANSWER_AGE_LIMIT) == CACHE_FRESH;
}

// The computer's own offset from UTC in seconds, to the quarter hour (its two clocks are read
// a moment apart), or 0 when the clock cannot be read as a date.
static int ComputerUtcOffsetSeconds(void) {
    OsDateTime utc, local;
    if (!OsFileTimeToDateTime(OsUtcNow(), &utc)) {
        return 0;
    }
    OsLocalNow(&local);
    int64_t days = DaysFromCivil(local.year, local.month, local.day) -
                   DaysFromCivil(utc.year, utc.month, utc.day);
    int64_t minutes = days * 1440 + (local.hour - utc.hour) * 60 + (local.minute - utc.minute);
    int64_t quarters = (minutes + (minutes >= 0 ? 7 : -7)) / 15;
    return (int)(quarters * 15 * 60);
}

// Makes `zone` the clock's, with its offset and abbreviation now, when the system knows the
// zone's rules. Returns 1, or 0 (and the clock unchanged) when it does not.
static int UseZone(const char *zone, MetNorwayClock *clock) {
    int offset = 0;
    char abbreviation[MODEL_ZONE_CAPACITY];
    if (!ZoneOffsetAt(zone, 0, clock->utcNowMinutes, &offset, abbreviation, sizeof abbreviation)) {
        return 0;
    }
    CopyText(clock->zone, sizeof clock->zone, zone);
    clock->utcOffsetSeconds = offset;
    CopyText(clock->zoneAbbreviation, sizeof clock->zoneAbbreviation, abbreviation);
    return 1;
}

// MET Norway names no zone. The place's zone is, in this order: the one its place search named
// (`zone`, or empty), where the system knows its rules; the one the last Open-Meteo answer kept
// for the Location ID named, or else that answer's one offset, which may be from before a change
// of summer time; else a guess from the computer's clock and the place's longitude, named by its
// hours ("GMT-8", "GMT"). With a zone, every time of the answer is read by its rules at its own
// instant.
static void MetClockFor(const char *zone, double latitude, double longitude, AlertClock now,
                        MetNorwayClock *clock) {
    clock->utcNowMinutes = now / 60;
    clock->latitude = latitude;
    clock->longitude = longitude;
    clock->hasOffset = 1;
    clock->zone[0] = '\0';
    if (UseZone(zone, clock)) {
        return;
    }
    ModelWeather *openMeteo = (ModelWeather *)malloc(sizeof *openMeteo);
    char path[PATH_CAPACITY], reason[TEXT_CAPACITY];
    CopyText(path, sizeof path, CacheFilePath(KIND_OPEN_METEO_ANSWER));
    int kept =
        openMeteo != NULL && path[0] != '\0' &&
        ReadKeptAnswer(path, ReadForecast, openMeteo, reason, sizeof reason) == ANSWER_WEATHER &&
        openMeteo->hasOffset;
    if (kept && (!UseZone(openMeteo->zone, clock) ||
                 (clock->utcOffsetSeconds == openMeteo->utcOffsetSeconds &&
                  openMeteo->zoneAbbreviation[0] != '\0'))) {
        // The answer's own offset, and its name of it while that is still the offset now.
        clock->utcOffsetSeconds = openMeteo->utcOffsetSeconds;
        CopyText(clock->zoneAbbreviation, sizeof clock->zoneAbbreviation,
                 openMeteo->zoneAbbreviation);
    } else if (!kept) {
        clock->utcOffsetSeconds = MetNorwayGuessOffset(longitude, ComputerUtcOffsetSeconds());
        CopyText(clock->zoneAbbreviation, sizeof clock->zoneAbbreviation,
                 clock->utcOffsetSeconds == 0 ? "GMT" : "");
    }
    free(openMeteo);
}

// The kept answer read, or ANSWER_UNREADABLE (and the file removed) when it cannot be.
static int ReadMetAnswer(const char *path, const KeptMetAnswer *kept, const MetNorwayClock *clock,
                         ModelWeather *model) {
    if (ReadMetNorwayAnswer(kept->json, kept->length, clock, model) == ANSWER_WEATHER) {
        return ANSWER_WEATHER;
    }
    OsFileDelete(path);
    ForgetCacheCheck(path);
    return ANSWER_UNREADABLE;
}

// Every status but success (203, a product about to be retired, included) and "not modified"
// is a failure the memory of failed downloads backs off from (a throttling 429 or a blocking
// 403 above all): MET Norway answers for every point of the globe, so a refusal is never the
// place's.
static int MetNorwayWeather(const ForecastService *self, const PlaceInfo *place,
                            const char *latitude, const char *longitude, const char *answerPath,
                            int showsCopy, ModelWeather *model, char *reason, size_t reasonCapacity,
                            int *fetched) {
    (void)reason;
    (void)reasonCapacity;
    *fetched = 0;
    double pointLatitude = 0, pointLongitude = 0;
    char address[ADDRESS_CAPACITY];
    if (answerPath[0] == '\0' || !ParseDecimal(latitude, strlen(latitude), &pointLatitude) ||
        !ParseDecimal(longitude, strlen(longitude), &pointLongitude) ||
        !MetNorwayRequestAddress(self->api, latitude, longitude, address, sizeof address)) {
        return ANSWER_MISSING;
    }
    AlertClock now = AlertClockOf(OsUtcNow());
    MetNorwayClock clock;
    MetClockFor(place->zone, pointLatitude, pointLongitude, now, &clock);

    // The kept answer is read first: it serves until its Expires, and after that a 304 says
    // it still holds. One that cannot be read is removed and asked for whole.
    size_t length = 0;
    char *bytes = ReadWholeFile(answerPath, OPEN_METEO_ANSWER_LIMIT, &length);
    KeptMetAnswer kept;
    SplitMetAnswer(bytes ? bytes : "", bytes ? length : 0, &kept);
    int keptReadable =
        bytes != NULL && ReadMetAnswer(answerPath, &kept, &clock, model) == ANSWER_WEATHER;
    if (keptReadable && MetAnswerFresh(answerPath, &kept, now)) {
        free(bytes);
        return ANSWER_WEATHER;
    }

    GrowText body;
    int status = 0;
    OsHttpAnswerHeaders headers;
    enum Outcome fetch = FetchAnswerSince(answerPath, address, showsCopy,
                                          keptReadable ? kept.headers.lastModified : NULL, &headers,
                                          &body, OPEN_METEO_ANSWER_LIMIT, &status);
    int kind = fetch == OUTCOME_PENDING ? ANSWER_PENDING : ANSWER_MISSING;
    if (fetch == OUTCOME_DONE && status == 304 && keptReadable) {
        // Not modified: the kept answer (in `model` already) serves on, until the new Expires.
        if (headers.lastModified[0] == '\0') {
            CopyText(headers.lastModified, sizeof headers.lastModified, kept.headers.lastModified);
        }
        StoreMetAnswer(answerPath, &headers, kept.json, kept.length);
        kind = ANSWER_WEATHER;
    } else if (fetch == OUTCOME_DONE && status >= 200 && status <= 299) {
        KeptMetAnswer answer;
        SplitMetAnswer(GrowTextChars(&body), body.length, &answer);
        kind = ReadMetNorwayAnswer(answer.json, answer.length, &clock, model);
        if (kind == ANSWER_WEATHER) {
            if (headers.expires[0] == '\0' && headers.lastModified[0] == '\0' &&
                headers.date[0] == '\0') {
                headers = answer.headers; // kept by another process with them
            }
            StoreMetAnswer(answerPath, &headers, answer.json, answer.length);
        }
    }
    if (fetch == OUTCOME_DONE && kind == ANSWER_WEATHER) {
        *fetched = 1;
    } else if (fetch == OUTCOME_DONE) {
        kind = ANSWER_MISSING;
        RememberDownloadFailure(answerPath);
    }
    GrowTextFree(&body);
    free(bytes);
    return kind;
}

static const ForecastService kOpenMeteoService = {KIND_OPEN_METEO_ANSWER, Plugin.forecastApi,
                                                  OpenMeteoWeather};
static const ForecastService kMetNorwayService = {KIND_MET_NORWAY_ANSWER, Plugin.metNorwayApi,
                                                  MetNorwayWeather};

static enum Outcome RefreshProviderDocument(const WeatherSource *self, enum DocumentKind kind,
                                            const char *path) {
    const ForecastService *service = (const ForecastService *)self->context;
    UpperCaseAscii(Plugin.callLocationId);
    // Whatever this source asks, the call has the document's copy to show meanwhile: a chain's
    // later member, whose own answer is not kept yet, holds the call no longer than its first.
    int showsCopy = FileExists(path);
    char reason[TEXT_CAPACITY] = "";
    PlaceInfo place;
    int placeKind = ResolvePlace(showsCopy, &place, reason, sizeof reason);
    if (placeKind == ANSWER_MISSING || placeKind == ANSWER_PENDING) {
        return placeKind == ANSWER_PENDING ? OUTCOME_PENDING : OUTCOME_FAILED;
    }
    DocumentSource source = {&place, NULL, NULL, OsUtcNow(), reason};
    if (kind == KIND_HOME) {
        // The local page names the point; the radar picture's frame is chosen at its download.
        if (!WriteDocument(kind, Plugin.callUnit, path, &source)) {
            return OUTCOME_FAILED;
        }
        LoadFeedDocument(path, 1);
        return OUTCOME_DONE;
    }
    ModelWeather *model = NULL;
    int fetched = 0;
    char answerPath[PATH_CAPACITY], alertsPath[PATH_CAPACITY];
    CopyText(answerPath, sizeof answerPath, CacheFilePath(service->answerKind));
    CopyText(alertsPath, sizeof alertsPath, CacheFilePath(KIND_ALERTS_ANSWER));
    AlertList alerts;
    int hasAlerts = 0;
    if (placeKind == ANSWER_WEATHER) {
        model = (ModelWeather *)malloc(sizeof *model);
        char latitude[32], longitude[32];
        if (model == NULL ||
            !FormatPoint(place.latitude, place.longitude, latitude, longitude, sizeof latitude)) {
            free(model);
            return OUTCOME_FAILED;
        }
        int answerKind = service->weather(service, &place, latitude, longitude, answerPath,
                                          showsCopy, model, reason, sizeof reason, &fetched);
        if (answerKind == ANSWER_MISSING || answerKind == ANSWER_PENDING) {
            free(model);
            return answerKind == ANSWER_PENDING ? OUTCOME_PENDING : OUTCOME_FAILED;
        }
        if (answerKind != ANSWER_WEATHER) {
            free(model);
            model = NULL; // a refusal: the error document with the service's reason
        }
        if (!fetched) {
            // A new answer arrived now, whether or not its file could be kept.
            OsFileLastWrite(answerPath, &source.downloadTime);
        }
    }
    if (model != NULL) {
        hasAlerts = fetched ? RefreshAlerts(&place, alertsPath, showsCopy, &alerts)
                            : KeptAlerts(AlertSourceFor(&place), &place, alertsPath, &alerts);
    }
    source.model = model;
    source.alerts = hasAlerts ? &alerts : NULL;
    int written = WriteDocument(kind, Plugin.callUnit, path, &source);
    if (written && fetched) {
        RewriteSiblings(path, &source);
    }
    free(model);
    if (!written) {
        return OUTCOME_FAILED;
    }
    LoadFeedDocument(path, 1);
    return OUTCOME_DONE;
}

static enum Outcome RefreshProviderRadar(const WeatherSource *self, const char *path,
                                         const char *address) {
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
    CopyText(key, sizeof key, CacheFilePath(KIND_RADAR_INDEX));
    if (key[0] == '\0') {
        return OUTCOME_FAILED;
    }
    int found = FetchAnswer(key, Plugin.radarApi, FileExists(path), &body, RADAR_INDEX_LIMIT,
                            &status) == OUTCOME_DONE &&
                status >= 200 && status <= 299 &&
                ReadRadarIndex(GrowTextChars(&body), body.length, Plugin.radarApi, latitude,
                               longitude, picture, sizeof picture) == ANSWER_WEATHER;
    if (!found && status != 0) {
        RememberDownloadFailure(key);
    }
    GrowTextFree(&body);
    if (!found) {
        return OUTCOME_FAILED;
    }
    // A picture that cannot be had (or kept) leaves the index alone too: it would be asked again
    // at every call only to name a picture that is not tried again yet.
    if (FetchToFile(path, picture) != OUTCOME_DONE) {
        RememberDownloadFailure(key);
        return OUTCOME_FAILED;
    }
    return OUTCOME_DONE;
}

// The address of the connectivity test for the forecast address: its scheme, host and port with
// the path "/" ("https://api.open-meteo.com/"). Returns 1, or 0 when the address has no host
// (out empty).
static int ServiceRootAddress(const WeatherSource *self, char *out, size_t capacity) {
    const char *address = ((const ForecastService *)self->context)->api;
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

static int OpenMeteoPointAddress(const WeatherSource *self, const char *latitude,
                                 const char *longitude, char *out, size_t capacity) {
    (void)self;
    return ForecastRequestAddress(Plugin.forecastApi, latitude, longitude, out, capacity);
}

static int MetNorwayPointAddress(const WeatherSource *self, const char *latitude,
                                 const char *longitude, char *out, size_t capacity) {
    (void)self;
    return MetNorwayRequestAddress(Plugin.metNorwayApi, latitude, longitude, out, capacity);
}

const WeatherSource OpenMeteoSource = {
    "open-meteo",            // name
    Plugin.userAgent,        // userAgent: [Service] UserAgent
    NULL,                    // alertLinkHost: links lead to the alert service's own page
    RefreshProviderDocument, // refreshDocument
    RefreshProviderRadar,    // refreshRadar
    ServiceRootAddress,      // connectivityAddress
    OpenMeteoPointAddress,   // pointForecastAddress
    SourceAlone,             // members
    &kOpenMeteoService,      // context
};

const WeatherSource MetNorwaySource = {
    "met-norway",            // name
    Plugin.userAgent,        // userAgent: [Service] UserAgent, which MET Norway requires
    NULL,                    // alertLinkHost
    RefreshProviderDocument, // refreshDocument
    RefreshProviderRadar,    // refreshRadar
    ServiceRootAddress,      // connectivityAddress
    MetNorwayPointAddress,   // pointForecastAddress
    SourceAlone,             // members
    &kMetNorwayService,      // context
};
