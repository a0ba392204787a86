// The fixed English words of the weather documents' vocabulary: condition names, compass
// points, the calm and variable wind, UV bands and the named days. The documents a source
// writes and the language file's keys are both made of these words, so they stand here once,
// below every layer that writes or translates them.
#ifndef NIMBREL_VOCABULARY_H
#define NIMBREL_VOCABULARY_H

enum {
    CONDITION_COUNT = 48,     // condition codes 0 to 47 have a built-in name
    COMPASS_POINT_COUNT = 16, // N, NNE, ... NNW
    UV_BAND_COUNT = 5         // Low to Extreme
};

// The words for the three named days, in the order of their keys.
enum DayWord { DAY_WORD_TODAY, DAY_WORD_TONIGHT, DAY_WORD_TOMORROW, DAY_WORD_COUNT };

// The built-in English name of condition code 0 to 47, or NULL for a code outside. Returns a
// constant text.
const char *ConditionEnglish(int code);

// The wind direction the weather documents write for compass point `point` (0 north, counted
// clockwise in sixteenths, taken modulo 16). Returns a constant text.
const char *CompassPointText(int point);

// The wind directions the documents write for no wind and for a wind of no steady direction.
extern const char kWindCalmText[];     // "CALM"
extern const char kWindVariableText[]; // "VAR"

// The UV description the documents write for band 0 (an index up to 2) to 4 (11 and above).
// A band outside 0 to 4 is held at the nearer end. Returns a constant text.
const char *UvBandText(int band);

// The English word of a named day ("Today", "Tonight", "Tomorrow"). Returns a constant text.
const char *DayWordEnglish(enum DayWord word);

#endif
