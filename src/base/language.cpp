#include "base/language.h"

#include <string.h>

#include "expr/measure.h"
#include "feed/query.h"
#include "moon/moon.h"
#include "base/state.h"
#include "base/text.h"

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

int LanguageChosen(void) {
    return strcmp(Plugin.customLanguage, "None") != 0;
}

char *ReadLanguageText(const char *section, const char *key, const char *fallback, char *out,
                       size_t capacity) {
    if (Plugin.languagePath[0] == '\0') {
        CopyText(out, capacity, fallback);
        return out;
    }
    // The lookup may read its default from the buffer it writes: copy it first.
    char fallbackCopy[TEXT_CAPACITY];
    CopyText(fallbackCopy, sizeof fallbackCopy, fallback);
    OsProfileGetString(Plugin.languagePath, section, key, fallbackCopy, out, capacity);
    return out;
}

char *Translate(const char *section, char *text) {
    if (!LanguageChosen()) {
        return text;
    }
    char key[TRANSLATION_CAPACITY];
    CopyText(key, sizeof key, text);
    return ReadLanguageText(section, key, key, text, TRANSLATION_CAPACITY);
}

// 1 when the text is a plain decimal number from 0 to 47.
static int ConditionIndex(const char *code, int *index) {
    const char *p = code;
    while (*p == ' ') {
        p++;
    }
    if (*p < '0' || *p > '9') {
        return 0;
    }
    *index = TextToInt(code);
    return *index >= 0 && *index < CONDITION_COUNT;
}

// The Conditions key of a condition code text: "Cond" and the text as it stands.
static char *ConditionKey(const char *code, char *out, size_t capacity) {
    FormatText(out, capacity, "Cond%s", code);
    return out;
}

const char *TranslateCondition(const char *section, char *code) {
    int index = 0;
    int known = ConditionIndex(code, &index);
    char original[CONDITION_CAPACITY];
    CopyText(original, sizeof original, code);
    char key[CONDITION_CAPACITY + 8];
    ConditionKey(original, key, sizeof key);
    ReadLanguageText(section, key, "undefined", code, CONDITION_CAPACITY);
    if (strcmp(code, "undefined") != 0) {
        return code;
    }
    if (known) {
        return kConditionNames[index];
    }
    // No row for this text ("N/A", an error, a code beyond the table): shown as it came.
    CopyText(code, CONDITION_CAPACITY, original);
    return code;
}

const char *ConditionText(const char *locationId, int t, int i) {
    const char *unit = Plugin.defaultUnit;
    int language = LanguageChosen();
    const char *open = language ? "<icon>" : "<t>";
    const char *close = language ? "</icon>" : "</t>";
    const char *value;
    if (t == 0) {
        value = QueryCurrent(locationId, unit, open, close, 1);
    } else if (t > 0) {
        value = QueryForecast(locationId, unit, open, close, language ? i : t);
    } else {
        value = QueryHourly(locationId, unit, open, close, language ? i : -t);
    }
    return language ? TranslateCondition("Conditions", Plugin.value) : value;
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

char *DayWordText(enum DayWord word, char *out, size_t capacity) {
    const char *english = kDayWords[word];
    if (!LanguageChosen()) {
        CopyText(out, capacity, english);
        return out;
    }
    size_t limit = DAY_WORD_CAPACITY;
    return ReadLanguageText("Daynames", english, english, out, capacity < limit ? capacity : limit);
}

// Fills one key of a section whose keys are the English texts themselves.
static void PlainKey(LanguageKey *out, const char *section, const char *english, size_t capacity) {
    out->section = section;
    CopyText(out->key, sizeof out->key, english);
    out->english = english;
    out->capacity = capacity;
}

int LanguageKeyAt(int index, LanguageKey *out) {
    // The sections in the order a language file lists them; each block counts its keys off.
    if (index < 0) {
        return 0;
    }
    if (index < CONDITION_COUNT) {
        char code[16];
        FormatText(code, sizeof code, "%d", index);
        out->section = "Conditions";
        ConditionKey(code, out->key, sizeof out->key);
        out->english = kConditionNames[index];
        out->capacity = CONDITION_CAPACITY;
        return 1;
    }
    index -= CONDITION_COUNT;
    if (index < COMPASS_POINT_COUNT) {
        PlainKey(out, "Wind", kCompassPoints[index], TRANSLATION_CAPACITY);
        return 1;
    }
    index -= COMPASS_POINT_COUNT;
    if (index < 2) {
        PlainKey(out, "Wind", index == 0 ? kWindCalmText : kWindVariableText, TRANSLATION_CAPACITY);
        return 1;
    }
    index -= 2;
    if (index < BEAUFORT_NAME_COUNT) {
        PlainKey(out, "Wind", BeaufortName(index), TRANSLATION_CAPACITY);
        return 1;
    }
    index -= BEAUFORT_NAME_COUNT;
    if (index < UV_BAND_COUNT) {
        PlainKey(out, "UV", kUvBands[index], TRANSLATION_CAPACITY);
        return 1;
    }
    index -= UV_BAND_COUNT;
    if (index < DAY_WORD_COUNT) {
        PlainKey(out, "Daynames", kDayWords[index], DAY_WORD_CAPACITY);
        return 1;
    }
    index -= DAY_WORD_COUNT;
    if (index < MOON_PHASE_COUNT) {
        out->section = "Moon";
        MoonPhaseKey(index + 1, out->key, sizeof out->key);
        out->english = MoonPhaseEnglish(index + 1);
        out->capacity = MOON_NAME_CAPACITY;
        return 1;
    }
    return 0;
}
