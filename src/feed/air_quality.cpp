#include "feed/air_quality.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/query.h"
#include "platform/platform.h"

enum { MARK_CAPACITY = 32 };

// A whole number of the document's head; 0 with *found 0 when it has none.
static long long HeadNumber(const char *locationId, const char *name, int *found) {
    char open[MARK_CAPACITY], close[MARK_CAPACITY];
    FormatText(open, sizeof open, "<%s>", name);
    FormatText(close, sizeof close, "</%s>", name);
    const char *text = QueryAir(locationId, open, close, 1);
    char *end = NULL;
    long long number = strtoll(text, &end, 10);
    *found = end != text && *end == '\0';
    return *found ? number : 0;
}

// The occurrence (1 on) of the element of `period` in the document: 1 for now; the day's or the
// hour's place counted from the answer's first at the call's clock. 0 when the period comes
// before the answer's first or the head cannot be read.
static int Occurrence(const char *locationId, int period) {
    if (period == 0) {
        return 1;
    }
    int found;
    long long now = UnixMinutesOf(OsUtcNow());
    long long first = HeadNumber(locationId, "first", &found);
    long long index;
    if (!found) {
        return 0;
    }
    if (period > 0) {
        long long firstDay = HeadNumber(locationId, "firstday", &found);
        long long offset = found ? HeadNumber(locationId, "offset", &found) : 0;
        index = FloorDivide(now + offset, 1440) - firstDay + (period - 1);
    } else {
        index = FloorDivide(now - first, 60) + 1 + (-(long long)period - 1);
    }
    return found && index >= 0 && index < 100000 ? (int)index + 1 : 0;
}

const char *AirText(const char *locationId, int period, const char *word) {
    int n = Occurrence(locationId, period);
    if (n == 0) {
        return NULL;
    }
    const char *prefix = period > 0 ? "d" : period < 0 ? "h" : "";
    char open[MARK_CAPACITY], close[MARK_CAPACITY];
    if (!FormatText(open, sizeof open, "<%s%s>", prefix, word) ||
        !FormatText(close, sizeof close, "</%s%s>", prefix, word)) {
        return NULL;
    }
    const char *text = QueryAir(locationId, open, close, n);
    if (text[0] == '\0' || strcmp(text, TEXT_NOT_AVAILABLE) == 0 ||
        strcmp(text, TEXT_TOO_FEW_MARKS) == 0) {
        return NULL; // nothing given, or a day or an hour beyond the answer
    }
    return text;
}

enum AirScale AirScaleFor(const char *locationId) {
    if (Plugin.airQualityScale != AIR_SCALE_AUTO) {
        return (enum AirScale)Plugin.airQualityScale;
    }
    int found;
    long long europe = HeadNumber(locationId, "europe", &found);
    return found && europe ? AIR_SCALE_EUROPEAN : AIR_SCALE_US;
}

// Reads a number that the document wrote, whatever the C library's locale says.
static int ParseNumber(const char *text, double *value) {
    return ParseDecimal(text, strlen(text), value);
}

int AirBandOf(const char *indexText, enum AirScale scale) {
    double index;
    return indexText != NULL && ParseNumber(indexText, &index) ? AirBand(scale, index) : 0;
}

int AirBandFor(const char *locationId, int period, enum AirScale scale) {
    return AirBandOf(
        AirText(locationId, period,
                AirValueWord(scale == AIR_SCALE_EUROPEAN ? AIR_EUROPEAN_INDEX : AIR_US_INDEX)),
        scale);
}

int AirPollenFor(const char *locationId, int period, int *plant) {
    *plant = -1;
    if (period != 0) {
        const char *text = AirText(locationId, period, "pollen");
        int level, which;
        if (text == NULL || sscanf(text, "%d %d", &level, &which) != 2 || level < 0 ||
            level >= POLLEN_LEVEL_COUNT || which < -1 || which >= PLANT_COUNT) {
            return -1;
        }
        *plant = level > 0 ? which : -1;
        return level;
    }
    double grains[PLANT_COUNT];
    for (int p = 0; p < PLANT_COUNT; p++) {
        const char *text =
            AirText(locationId, 0, AirValueWord((enum AirValue)(AIR_FIRST_POLLEN + p)));
        if (text == NULL || !ParseNumber(text, &grains[p])) {
            grains[p] = -1; // absent: PollenLevel reads a negative count as none given
        }
    }
    int level = TopPollenLevel(grains, plant);
    if (level <= 0) {
        *plant = -1;
    }
    return level;
}
