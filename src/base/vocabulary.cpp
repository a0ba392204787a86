#include "base/vocabulary.h"

#include <stddef.h>

static const char *const kConditionNames[CONDITION_COUNT] = {
    "Thunderstorms",
    "Windy Rain",
    "Windy Rain",
    "Thunderstorms",
    "Heavy Thunderstorm",
    "Snow/Rain Mix",
    "Hail",
    "Snow/Rain Icy Mix",
    "Light Rain Icy",
    "Light Rain",
    "Heavy Rain Icy",
    "Rain",
    "Heavy Rain",
    "Light Snow",
    "Snow",
    "Snowflakes",
    "Heavy Snow",
    "Thunderstorms",
    "Hail",
    "Dust",
    "Fog",
    "Haze",
    "Smoke",
    "Windy",
    "Windy",
    "Frigid",
    "Cloudy",
    "Mostly Cloudy Night",
    "Mostly Cloudy Day",
    "Partly Cloudy Night",
    "Partly Cloudy Day",
    "Clear Night",
    "Sunny Day ",
    "Fair Night",
    "Light Partly Cloudy Day",
    "Thunderstorms",
    "Hot Sunny Day",
    "Isolated Thunderstorms",
    "Lightening",
    "Heavy Rain",
    "Heavy Rain",
    "Heavy Snow",
    "Heavy Snow",
    "Windy/Snowy",
    "Partly Cloudy Day",
    "Rainy Night",
    "Snowy Night",
    "Thunderstorms Night",
};

static const char *const kCompassPoints[COMPASS_POINT_COUNT] = {
    "N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
    "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};

const char kWindCalmText[] = "CALM";
const char kWindVariableText[] = "VAR";

static const char *const kUvBands[UV_BAND_COUNT] = {"Low", "Moderate", "High", "Very High",
                                                    "Extreme"};

static const char *const kDayWords[DAY_WORD_COUNT] = {"Today", "Tonight", "Tomorrow"};

const char *ConditionEnglish(int code) {
    return code >= 0 && code < CONDITION_COUNT ? kConditionNames[code] : NULL;
}

const char *CompassPointText(int point) {
    int wrapped = point % COMPASS_POINT_COUNT;
    return kCompassPoints[wrapped < 0 ? wrapped + COMPASS_POINT_COUNT : wrapped];
}

const char *UvBandText(int band) {
    return kUvBands[band < 0 ? 0 : band >= UV_BAND_COUNT ? UV_BAND_COUNT - 1 : band];
}

const char *DayWordEnglish(enum DayWord word) {
    return kDayWords[word];
}
