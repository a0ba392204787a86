#include "provider/documents.h"

#include <string.h>

#include "base/text.h"
#include "feed/cache.h"
#include "feed/address.h"
#include "provider/render.h"

// Whether the documents of unit type `unit` are metric: what the feed would be asked for, its
// unit code, or for another unit type the default unit type's text, which it reads as metric
// when that is "Metric".
static int IsMetricUnit(const char *unit) {
    const char *code = UnitCodeOf(unit);
    return strcmp(code, "m") == 0 || EqualsIgnoreCase(code, "Metric");
}

int WriteDocument(enum DocumentKind kind, const char *unit, const char *path,
                  const AnswerSet *set) {
    GrowText document;
    GrowTextInit(&document, 0);
    int local = kind == KIND_HOME;
    int rendered;
    if (set->hasWeather || set->hasAir || (local && set->reason[0] == '\0')) {
        RenderContext context;
        context.model = set->hasWeather ? &set->model : NULL;
        context.place = &set->place;
        context.locationId = Plugin.callLocationId;
        context.metric = IsMetricUnit(unit);
        context.days = Plugin.maxDays;
        context.hours = Plugin.maxHours;
        context.downloadTime = set->downloadTime;
        context.alerts = set->hasWeather && set->alerts.count > 0 ? &set->alerts : NULL;
        context.air = set->hasAir ? &set->air : NULL;
        context.nowcast = set->hasNowcast ? &set->nowcast : NULL;
        rendered = RenderFeedDocument(kind, &context, &document);
    } else {
        rendered = RenderServiceError(set->reason, &document);
    }
    int stored = rendered && StoreFile(path, document.bytes, document.length) == OUTCOME_DONE;
    GrowTextFree(&document);
    return stored;
}

void RewriteSiblings(const char *path, const AnswerSet *set) {
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
                WriteDocument((enum DocumentKind)k, units[u], sibling, set);
            }
        }
    }
}
