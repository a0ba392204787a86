#include "feed/query.h"

#include <string.h>

#include "feed/cache.h"
#include "feed/document_text.h"
#include "feed/source.h"
#include "base/state.h"
#include "base/text.h"

// The head of the service's "<err ...>" element, counted from its "<".
static const size_t kErrorHeadLength = 14;

static const char *SetValue(const char *text) {
    CopyText(Plugin.value, sizeof Plugin.value, text);
    return Plugin.value;
}

// Copies [start, end) of the held document into the value buffer, in the plugin's encoding,
// cut to its capacity.
static const char *SetValueSpan(const char *start, const char *end) {
    return DocumentText(Plugin.document->bytes, start, (size_t)(end - start), Plugin.value,
                        sizeof Plugin.value);
}

// "ERROR: " and the service's message, which follows the head of its "<err " element up to
// the next "</err>". Without "<err " the message says so; without "</err>" it runs to the end.
static const char *ServiceError(const char *from) {
    static const char kPrefix[] = "ERROR: ";
    const char *element = strstr(from, "<err ");
    CopyText(Plugin.value, sizeof Plugin.value, kPrefix);
    if (element == NULL) {
        AppendText(Plugin.value, sizeof Plugin.value, "unknown service error");
        return Plugin.value;
    }
    const char *message = element;
    for (size_t i = 0; i < kErrorHeadLength && *message; i++) {
        message++;
    }
    const char *end = strstr(message, "</err>");
    if (end == NULL) {
        end = message + strlen(message);
    }
    size_t prefix = sizeof kPrefix - 1;
    DocumentText(Plugin.document->bytes, message, (size_t)(end - message), Plugin.value + prefix,
                 sizeof Plugin.value - prefix);
    return Plugin.value;
}

// The document at `path`: its copy kept in memory, or the file read now. NULL when it cannot
// be read. Owned by the set of kept documents, valid until the next load.
static const FeedDocument *LoadedDocument(const char *path) {
    if (LoadFeedDocument(path, 0) != LOAD_OK) {
        return NULL;
    }
    return Plugin.document;
}

const char *ExtractElement(const char *path, const char *open, const char *close, int n) {
    const FeedDocument *held = LoadedDocument(path);
    if (held == NULL) {
        return SetValue(TEXT_CACHE_READ_ERROR);
    }
    const char *document = held->bytes;
    const char *start = document;
    if (held->alert >= 0 && strcmp(open, "<t>") == 0 && n != 0) {
        // Alert titles are "<t>" too; count from the end of the section. A section that never
        // ends leaves nothing to count.
        start = held->alertEnd >= 0 ? document + held->alertEnd : document + strlen(document);
    }
    // The search start moves only when n is not 0, so the first "<swa>" answers for n = 0.
    if (n == 0 && held->alert < 0) {
        return SetValue(TEXT_NO_ALERT);
    }
    if (held->lastError >= (long)(start - document)) {
        return ServiceError(start);
    }
    if (n == 0) {
        n = 1;
    }
    if (n < 0 || open[0] == '\0' || close[0] == '\0') {
        return SetValue(TEXT_TOO_FEW_MARKS);
    }
    const char *closing = NULL;
    for (int pass = 0; pass < n; pass++) {
        const char *found = strstr(start, open);
        if (found == NULL) {
            return SetValue(TEXT_TOO_FEW_MARKS);
        }
        start = found + strlen(open);
        closing = strstr(start, close);
        if (closing == NULL) {
            return SetValue(TEXT_NO_CLOSING_MARK);
        }
    }
    return SetValueSpan(start, closing);
}

static const char *QueryFeed(enum DocumentKind kind, const char *locationId, const char *unitType,
                             const char *open, const char *close, int n) {
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId,
             locationId[0] ? locationId : Plugin.defaultLocationId);
    CopyText(Plugin.callUnit, sizeof Plugin.callUnit, unitType[0] ? unitType : Plugin.defaultUnit);
    // Built once: every name of the query is the same file, as the address builder upper-cases
    // the Location ID and the name holds it upper-cased, or where the file system matches names
    // without case, in a spelling that names the same file.
    char path[PATH_CAPACITY];
    CopyText(path, sizeof path, CacheFilePath(kind));
    enum CacheVerdict verdict = CheckCacheDocument(path, DocumentKindOf(kind)->ageLimit);
    if (verdict != CACHE_FRESH) {
        if (Plugin.source->refreshDocument(Plugin.source, kind, path) != OUTCOME_DONE) {
            if (kind == KIND_CURRENT && strcmp(open, "<l>") == 0) {
                return SetValue("ERROR");
            }
            if (verdict == CACHE_MISSING) {
                return SetValue(TEXT_NOT_AVAILABLE);
            }
        }
    }
    return ExtractElement(path, open, close, n);
}

// A NULL text from a careless caller reads as empty.
static const char *OrEmpty(const char *text) {
    return text ? text : "";
}

const char *QueryCurrent(const char *locationId, const char *unitType, const char *open,
                         const char *close, int n) {
    return QueryFeed(KIND_CURRENT, OrEmpty(locationId), OrEmpty(unitType), open, close, n);
}

const char *QueryForecast(const char *locationId, const char *unitType, const char *open,
                          const char *close, int n) {
    return QueryFeed(KIND_FORECAST, OrEmpty(locationId), OrEmpty(unitType), open, close, n);
}

const char *QueryDetails(const char *locationId, const char *unitType, const char *open,
                         const char *close, int n) {
    return QueryFeed(KIND_DETAILS, OrEmpty(locationId), OrEmpty(unitType), open, close, n);
}

const char *QueryHourly(const char *locationId, const char *unitType, const char *open,
                        const char *close, int n) {
    return QueryFeed(KIND_HOURLY, OrEmpty(locationId), OrEmpty(unitType), open, close, n);
}

const char *QueryAir(const char *locationId, const char *open, const char *close, int n) {
    return QueryFeed(KIND_AIR, OrEmpty(locationId), "", open, close, n);
}

const char *QueryNowcast(const char *locationId, const char *open, const char *close, int n) {
    return QueryFeed(KIND_NOWCAST, OrEmpty(locationId), "", open, close, n);
}
