#include "language_keys.h"

#include "base/air_scales.h"
#include "base/text.h"
#include "base/vocabulary.h"
#include "expr/measure.h"
#include "expr/nowcast_terms.h"
#include "moon/moon.h"

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
        out->english = ConditionEnglish(index);
        out->capacity = CONDITION_CAPACITY;
        return 1;
    }
    index -= CONDITION_COUNT;
    if (index < COMPASS_POINT_COUNT) {
        PlainKey(out, "Wind", CompassPointText(index), TRANSLATION_CAPACITY);
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
        PlainKey(out, "UV", UvBandText(index), TRANSLATION_CAPACITY);
        return 1;
    }
    index -= UV_BAND_COUNT;
    if (index < DAY_WORD_COUNT) {
        PlainKey(out, "Daynames", DayWordEnglish((enum DayWord)index), DAY_WORD_CAPACITY);
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
    index -= MOON_PHASE_COUNT;
    // The air's words: both scales' bands, the scales' names, the pollen levels and the plants.
    // A word both scales or the pollen use ("Good", "Moderate") is one key, checked each time.
    const char *air = NULL;
    if (index < AIR_BAND_COUNT) {
        air = AirBandName(AIR_SCALE_US, index + 1);
    } else if ((index -= AIR_BAND_COUNT) < AIR_BAND_COUNT) {
        air = AirBandName(AIR_SCALE_EUROPEAN, index + 1);
    } else if ((index -= AIR_BAND_COUNT) < 2) {
        air = AirScaleName(index == 0 ? AIR_SCALE_US : AIR_SCALE_EUROPEAN);
    } else if ((index -= 2) < POLLEN_LEVEL_COUNT) {
        air = PollenLevelName(index);
    } else if ((index -= POLLEN_LEVEL_COUNT) < PLANT_COUNT) {
        air = PlantName((enum Plant)index);
    }
    if (air != NULL) {
        PlainKey(out, "AirQuality", air, TRANSLATION_CAPACITY);
        return 1;
    }
    index -= PLANT_COUNT;
    // The nowcast's sentences.
    if (NowcastKeyAt(index, out->key, sizeof out->key)) {
        out->section = "Nowcast";
        out->english = out->key;
        out->capacity = TRANSLATION_CAPACITY;
        return 1;
    }
    return 0;
}
