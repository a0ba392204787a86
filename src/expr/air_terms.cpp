#include "expr/air_terms.h"

#include <string.h>

#include "base/language.h"
#include "base/state.h"
#include "base/text.h"
#include "expr/measure.h"
#include "feed/air_quality.h"
#include "feed/query.h"

// The language file's section of the air's words.
static const char kSection[] = "AirQuality";

static const char *SetValue(const char *text) {
    CopyText(Plugin.value, sizeof Plugin.value, text);
    return Plugin.value;
}

// A fixed English word of the air, translated into the value buffer.
static const char *TranslatedWord(const char *word) {
    if (word == NULL) {
        return SetValue(TEXT_NOT_AVAILABLE);
    }
    SetValue(word);
    return Translate(kSection, Plugin.value);
}

// The value buffer as the query left it, or "N/A" where it found nothing.
static const char *Shown(const char *text) {
    return text != NULL ? text : SetValue(TEXT_NOT_AVAILABLE);
}

static enum AirValue IndexOf(enum AirScale scale) {
    return scale == AIR_SCALE_EUROPEAN ? AIR_EUROPEAN_INDEX : AIR_US_INDEX;
}

const char *AirIndexText(const char *locationId, int period) {
    enum AirScale scale = AirScaleFor(locationId);
    return Shown(AirText(locationId, period, AirValueWord(IndexOf(scale))));
}

const char *AirBandText(const char *locationId, int period) {
    enum AirScale scale = AirScaleFor(locationId);
    const char *text = AirText(locationId, period, AirValueWord(IndexOf(scale)));
    if (text != NULL && strncmp(text, "ERROR", 5) == 0) {
        return text;
    }
    // The index just read is the band's: no second look at the document.
    return TranslatedWord(AirBandName(scale, AirBandOf(text, scale)));
}

const char *AirScaleText(const char *locationId) {
    return TranslatedWord(AirScaleName(AirScaleFor(locationId)));
}

const char *AirAmountText(const char *locationId, int period, enum AirValue value) {
    const char *text = AirText(locationId, period, AirValueWord(value));
    if (text == NULL) {
        return SetValue(TEXT_NOT_AVAILABLE);
    }
    return WithLocaleDecimal(Plugin.value, sizeof Plugin.value);
}

const char *AirUnitText(void) {
    FormatText(Plugin.value, sizeof Plugin.value, "%sg/m%s", Latin1Text(0xB5), Latin1Text(0xB3));
    return Plugin.value;
}

const char *PollenText(const char *locationId, int period) {
    int plant;
    int level = AirPollenFor(locationId, period, &plant);
    if (level < 0) {
        return SetValue(TEXT_NOT_AVAILABLE);
    }
    if (plant < 0) {
        return TranslatedWord(PollenLevelName(0));
    }
    char name[TEXT_CAPACITY];
    CopyText(name, sizeof name, TranslatedWord(PlantName((enum Plant)plant)));
    TranslatedWord(PollenLevelName(level));
    char levelWord[TEXT_CAPACITY];
    CopyText(levelWord, sizeof levelWord, Plugin.value);
    FormatText(Plugin.value, sizeof Plugin.value, "%s: %s", name, levelWord);
    return Plugin.value;
}

const char *PlantPollenText(const char *locationId, enum Plant plant) {
    const char *text =
        AirText(locationId, 0, AirValueWord((enum AirValue)(AIR_FIRST_POLLEN + plant)));
    double grains;
    if (text == NULL || !ParseDecimal(text, strlen(text), &grains)) {
        return Shown(text != NULL && strncmp(text, "ERROR", 5) == 0 ? text : NULL);
    }
    return TranslatedWord(PollenLevelName(PollenLevel(plant, grains)));
}
