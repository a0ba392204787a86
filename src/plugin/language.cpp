#include "plugin/language.h"

#include <string.h>

#include "feed/query.h"
#include "plugin/state.h"
#include "plugin/text.h"

enum { TRANSLATION_CAPACITY = 256, CONDITION_CAPACITY = 128, CONDITION_COUNT = 48 };

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

const char *TranslateCondition(const char *section, char *code) {
    int index = 0;
    int known = ConditionIndex(code, &index);
    char original[CONDITION_CAPACITY];
    CopyText(original, sizeof original, code);
    char key[CONDITION_CAPACITY + 8];
    FormatText(key, sizeof key, "Cond%s", original);
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
