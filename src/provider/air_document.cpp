#include "provider/air_document.h"

#include <math.h>

#include "base/air_scales.h"
#include "base/calendar.h"
#include "base/text.h"
#include "provider/region.h"

enum { NUMBER_CAPACITY = 32 };

// A value as the document keeps it: whole for an index, one decimal for a count; empty when
// absent.
static const char *ValueText(double value, int isIndex, char *out) {
    out[0] = '\0';
    if (ModelHas(value)) {
        FormatFixed(value, isIndex ? 0 : 1, out, NUMBER_CAPACITY);
    }
    return out;
}

static void Value(GrowText *out, const char *prefix, enum AirValue value, double number) {
    char text[NUMBER_CAPACITY];
    const char *word = AirValueWord(value);
    GrowTextFormat(out, "<%s%s>%s</%s%s>", prefix, word,
                   ValueText(number, value <= AIR_EUROPEAN_INDEX, text), prefix, word);
}

static void Pollen(GrowText *out, const char *name, const double grains[PLANT_COUNT]) {
    int plant;
    int level = TopPollenLevel(grains, &plant);
    if (level < 0) {
        GrowTextFormat(out, "<%s></%s>", name, name);
    } else {
        GrowTextFormat(out, "<%s>%d %d</%s>", name, level, plant, name);
    }
}

// The plants' counts of an hour.
static void HourPollen(const AirQualityRecord *air, int hour, double grains[PLANT_COUNT]) {
    for (int p = 0; p < PLANT_COUNT; p++) {
        grains[p] = air->hours[hour][AIR_FIRST_POLLEN + p];
    }
}

// The larger of two values, where either may be absent.
static double Higher(double a, double b) {
    return !ModelHas(a) ? b : !ModelHas(b) ? a : (a > b ? a : b);
}

// The local day (days since 1970-01-01) in which hour `hour` of the answer begins.
static int64_t LocalDayOf(const AirQualityRecord *air, int hour) {
    return DayOfMinutes(air->firstHourUtc + 60 * (int64_t)hour + air->utcOffsetSeconds / 60);
}

static void Days(const AirQualityRecord *air, GrowText *out) {
    int hour = 0;
    while (hour < air->hourCount) {
        int64_t day = LocalDayOf(air, hour);
        double us = NAN, european = NAN, grains[PLANT_COUNT];
        for (int p = 0; p < PLANT_COUNT; p++) {
            grains[p] = NAN;
        }
        for (; hour < air->hourCount && LocalDayOf(air, hour) == day; hour++) {
            us = Higher(us, air->hours[hour][AIR_US_INDEX]);
            european = Higher(european, air->hours[hour][AIR_EUROPEAN_INDEX]);
            for (int p = 0; p < PLANT_COUNT; p++) {
                grains[p] = Higher(grains[p], air->hours[hour][AIR_FIRST_POLLEN + p]);
            }
        }
        GrowTextAppend(out, " <day>");
        Value(out, "d", AIR_US_INDEX, us);
        Value(out, "d", AIR_EUROPEAN_INDEX, european);
        Pollen(out, "dpollen", grains);
        GrowTextAppend(out, "</day>\n");
    }
}

static void Hours(const AirQualityRecord *air, GrowText *out) {
    static const enum AirValue kHourValues[] = {AIR_US_INDEX, AIR_EUROPEAN_INDEX, AIR_PM2_5};
    for (int hour = 0; hour < air->hourCount; hour++) {
        GrowTextAppend(out, " <hour>");
        for (size_t v = 0; v < sizeof kHourValues / sizeof kHourValues[0]; v++) {
            Value(out, "h", kHourValues[v], air->hours[hour][kHourValues[v]]);
        }
        double grains[PLANT_COUNT];
        HourPollen(air, hour, grains);
        Pollen(out, "hpollen", grains);
        GrowTextAppend(out, "</hour>\n");
    }
}

void AirDocument(const RenderContext *context, GrowText *out) {
    const AirQualityRecord *air = context->air;
    GrowTextAppend(out, "<?xml version=\"1.0\"?>\n<air ver=\"1\">\n");
    if (air != NULL) {
        GrowTextFormat(out, " <europe>%d</europe>\n", RegionCovers(&EuropeRegion, context->place));
        GrowTextFormat(out, " <first>%lld</first>\n <offset>%d</offset>\n",
                       (long long)air->firstHourUtc, air->utcOffsetSeconds / 60);
        GrowTextFormat(out, " <firstday>%lld</firstday>\n", (long long)LocalDayOf(air, 0));
        GrowTextAppend(out, " <now>");
        for (int v = 0; v < AIR_VALUE_COUNT; v++) {
            Value(out, "", (enum AirValue)v, air->current[v]);
        }
        GrowTextAppend(out, "</now>\n");
        Days(air, out);
        Hours(air, out);
    }
    GrowTextAppend(out, "</air>\n");
}
