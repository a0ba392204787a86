#include "provider/wmo.h"

#include <stddef.h>

typedef struct WmoEntry {
    int code;
    int dayIcon;
    int nightIcon;
    const char *dayText;
    const char *nightText;
} WmoEntry;

// Each code takes the closest picture of the feed's table: a night picture where one exists
// (clear, fair, partly cloudy, rainy, snowy and stormy nights), the day picture otherwise. Rain
// and snow together (68, 69, 83, 84: sleet, which Open-Meteo never gives but MET Norway does)
// take the rain-and-snow and sleet pictures.
static const WmoEntry kWmoTable[] = {
    {0, 32, 31, "Sunny", "Clear"},
    {1, 34, 33, "Mostly Sunny", "Mostly Clear"},
    {2, 30, 29, "Partly Cloudy", "Partly Cloudy"},
    {3, 26, 26, "Cloudy", "Cloudy"},
    {45, 20, 20, "Fog", "Fog"},
    {48, 20, 20, "Freezing Fog", "Freezing Fog"},
    {51, 9, 45, "Light Drizzle", "Light Drizzle"},
    {53, 9, 45, "Drizzle", "Drizzle"},
    {55, 11, 45, "Heavy Drizzle", "Heavy Drizzle"},
    {56, 8, 8, "Light Freezing Drizzle", "Light Freezing Drizzle"},
    {57, 10, 10, "Freezing Drizzle", "Freezing Drizzle"},
    {61, 11, 45, "Light Rain", "Light Rain"},
    {63, 11, 45, "Rain", "Rain"},
    {65, 12, 45, "Heavy Rain", "Heavy Rain"},
    {66, 8, 8, "Light Freezing Rain", "Light Freezing Rain"},
    {67, 10, 10, "Freezing Rain", "Freezing Rain"},
    {68, 5, 5, "Light Rain and Snow", "Light Rain and Snow"},
    {69, 7, 7, "Rain and Snow", "Rain and Snow"},
    {71, 13, 46, "Light Snow", "Light Snow"},
    {73, 14, 46, "Snow", "Snow"},
    {75, 16, 46, "Heavy Snow", "Heavy Snow"},
    {77, 15, 46, "Snow Grains", "Snow Grains"},
    {80, 9, 45, "Light Rain Showers", "Light Rain Showers"},
    {81, 11, 45, "Rain Showers", "Rain Showers"},
    {82, 40, 45, "Heavy Rain Showers", "Heavy Rain Showers"},
    {83, 5, 5, "Light Rain and Snow Showers", "Light Rain and Snow Showers"},
    {84, 7, 7, "Rain and Snow Showers", "Rain and Snow Showers"},
    {85, 13, 46, "Snow Showers", "Snow Showers"},
    {86, 41, 46, "Heavy Snow Showers", "Heavy Snow Showers"},
    {95, 3, 47, "Thunderstorms", "Thunderstorms"},
    {96, 17, 47, "Thunderstorms with Hail", "Thunderstorms with Hail"},
    {99, 4, 47, "Severe Thunderstorms with Hail", "Severe Thunderstorms with Hail"},
};

static const WmoEntry *FindEntry(int code) {
    for (size_t i = 0; i < sizeof kWmoTable / sizeof kWmoTable[0]; i++) {
        if (kWmoTable[i].code == code) {
            return &kWmoTable[i];
        }
    }
    return NULL;
}

int WmoIconCode(int code, int isDay) {
    const WmoEntry *entry = FindEntry(code);
    if (entry == NULL) {
        return -1;
    }
    return isDay ? entry->dayIcon : entry->nightIcon;
}

const char *WmoConditionText(int code, int isDay) {
    const WmoEntry *entry = FindEntry(code);
    if (entry == NULL) {
        return NULL;
    }
    return isDay ? entry->dayText : entry->nightText;
}

int WmoSeverity(int code) {
    // The codes rise with severity (the model's own daily code is the highest of the day),
    // but fog lies below every kind of precipitation and above any sky.
    return FindEntry(code) != NULL ? code : -1;
}
