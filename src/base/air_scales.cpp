#include "base/air_scales.h"

#include <math.h>
#include <stddef.h>

#include "base/text.h"

static const char *const kAirValueWords[AIR_VALUE_COUNT] = {
    "us",   "eu",    "pm25",  "pm10",  "o3",      "no2",   "so2",    "co",
    "dust", "alder", "birch", "grass", "mugwort", "olive", "ragweed"};

const char *AirValueWord(enum AirValue value) {
    return (unsigned)value < AIR_VALUE_COUNT ? kAirValueWords[value] : NULL;
}

// Each scale's upper bounds of bands 1 to 5; band 6 has none.
static const int kUsUpperBounds[AIR_BAND_COUNT - 1] = {50, 100, 150, 200, 300};
static const int kEuropeanUpperBounds[AIR_BAND_COUNT - 1] = {20, 40, 60, 80, 100};

static const char *const kUsBandNames[AIR_BAND_COUNT] = {
    "Good",      "Moderate",       "Unhealthy for Sensitive Groups",
    "Unhealthy", "Very Unhealthy", "Hazardous"};
static const char *const kEuropeanBandNames[AIR_BAND_COUNT] = {
    "Good", "Fair", "Moderate", "Poor", "Very poor", "Extremely poor"};

int AirBand(enum AirScale scale, double index) {
    const int *bounds = scale == AIR_SCALE_US         ? kUsUpperBounds
                        : scale == AIR_SCALE_EUROPEAN ? kEuropeanUpperBounds
                                                      : NULL;
    if (bounds == NULL || !(index >= 0)) {
        return 0;
    }
    double whole = floor(index + 0.5);
    for (int band = 0; band < AIR_BAND_COUNT - 1; band++) {
        if (whole <= bounds[band]) {
            return band + 1;
        }
    }
    return AIR_BAND_COUNT;
}

const char *AirBandName(enum AirScale scale, int band) {
    if (band < 1 || band > AIR_BAND_COUNT) {
        return NULL;
    }
    return scale == AIR_SCALE_US         ? kUsBandNames[band - 1]
           : scale == AIR_SCALE_EUROPEAN ? kEuropeanBandNames[band - 1]
                                         : NULL;
}

const char *AirScaleName(enum AirScale scale) {
    return scale == AIR_SCALE_US ? "US AQI" : scale == AIR_SCALE_EUROPEAN ? "European AQI" : NULL;
}

static const char *const kScaleSettingWords[] = {"Auto", "US", "European"};

const char *AirScaleSettingWord(enum AirScale scale) {
    return (unsigned)scale < 3 ? kScaleSettingWords[scale] : kScaleSettingWords[0];
}

enum AirScale AirScaleFromSetting(const char *word) {
    for (int scale = AIR_SCALE_US; scale <= AIR_SCALE_EUROPEAN; scale++) {
        if (word != NULL && EqualsIgnoreCase(word, kScaleSettingWords[scale])) {
            return (enum AirScale)scale;
        }
    }
    return AIR_SCALE_AUTO;
}

// Each plant's name and the counts (grains/m³) at which "Low", "Moderate", "High" and
// "Very high" begin; any count above 0 is at least "Very low".
typedef struct PlantRow {
    const char *name;
    double thresholds[POLLEN_LEVEL_COUNT - 2];
} PlantRow;

static const PlantRow kPlants[PLANT_COUNT] = {
    {"Alder", {10, 60, 100, 500}}, {"Birch", {10, 60, 100, 500}},  {"Grass", {3, 30, 50, 250}},
    {"Mugwort", {3, 30, 50, 250}}, {"Olive", {20, 100, 200, 500}}, {"Ragweed", {3, 30, 50, 250}},
};

static const char *const kPollenLevelNames[POLLEN_LEVEL_COUNT] = {
    "None", "Very low", "Low", "Moderate", "High", "Very high"};

int PollenLevel(enum Plant plant, double grains) {
    if ((unsigned)plant >= PLANT_COUNT || !(grains >= 0)) {
        return -1;
    }
    if (grains == 0) {
        return 0;
    }
    int level = 1;
    while (level < POLLEN_LEVEL_COUNT - 1 && grains >= kPlants[plant].thresholds[level - 1]) {
        level++;
    }
    return level;
}

int TopPollenLevel(const double grains[PLANT_COUNT], int *plant) {
    int top = -1;
    *plant = -1;
    for (int p = 0; p < PLANT_COUNT; p++) {
        int level = PollenLevel((enum Plant)p, grains[p]);
        if (level > top) {
            top = level;
            *plant = p;
        }
    }
    return top;
}

const char *PollenLevelName(int level) {
    return level >= 0 && level < POLLEN_LEVEL_COUNT ? kPollenLevelNames[level] : NULL;
}

const char *PlantName(enum Plant plant) {
    return (unsigned)plant < PLANT_COUNT ? kPlants[plant].name : NULL;
}
