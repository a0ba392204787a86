#include "feed/nowcast.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "feed/query.h"
#include "platform/platform.h"

// Reads one block of steps, "MINUTES START RATE,KIND RATE,KIND ..." (a rate of "-" unknown), into
// `steps`, keeping those that end after `now` and begin before `until`. Returns the count.
static int ReadSteps(const char *text, int64_t now, int64_t until, PrecipStep *steps,
                     int capacity) {
    char *end = NULL;
    long minutes = strtol(text, &end, 10);
    if (end == text || (minutes != 5 && minutes != 15 && minutes != 60)) {
        return 0;
    }
    const char *at = end;
    long long start = strtoll(at, &end, 10);
    if (end == at) {
        return 0;
    }
    at = end;
    int count = 0;
    for (int64_t begins = start; *at == ' ' && count < capacity; begins += minutes) {
        at++;
        size_t length = strcspn(at, ",");
        double rate = NAN;
        if (length == 0 || at[length] != ',' ||
            (at[0] != '-' && !ParseDecimal(at, length, &rate))) {
            break;
        }
        at += length + 1;
        int kind = (int)strtol(at, &end, 10);
        if (end == at || kind < PRECIP_NONE || kind > PRECIP_SNOW) {
            break;
        }
        at = end;
        if (begins + minutes <= now || begins >= until) {
            continue;
        }
        steps[count].startUtc = begins;
        steps[count].minutes = (int)minutes;
        steps[count].rate = rate;
        steps[count].kind = (enum PrecipKind)kind;
        count++;
    }
    return count;
}

int PrecipTimeline(const char *locationId, int hours, PrecipStep *steps, int capacity) {
    int64_t now = UnixMinutesOf(OsUtcNow());
    int count = 0;
    int64_t from = now;
    if (hours <= 2) {
        const char *fine = QueryNowcast(locationId, "<fine>", "</fine>", 1);
        count = ReadSteps(fine, now, now + 120, steps, capacity);
        if (count > 0) {
            // Where the fine steps end before two hours are out (a kept answer that has aged),
            // the hours go on from there.
            from = steps[count - 1].startUtc + steps[count - 1].minutes;
        }
    }
    int64_t until = now + 60 * (int64_t)(hours <= 2 ? 2 : hours);
    if (from >= until) {
        return count;
    }
    const char *hourly = QueryNowcast(locationId, "<hourly>", "</hourly>", 1);
    return count + ReadSteps(hourly, from, until, steps + count, capacity - count);
}

uint64_t PrecipTimelineStamp(const char *locationId) {
    QueryNowcast(locationId, "<offset>", "</offset>", 1);
    uint64_t time = 0;
    if (!OsFileLastWriteByName(CacheFilePath(KIND_NOWCAST), &time)) {
        return 0;
    }
    return time;
}

int PrecipTimelineOffset(const char *locationId) {
    return TextToInt(QueryNowcast(locationId, "<offset>", "</offset>", 1));
}
