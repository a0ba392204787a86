// The optional language file: translations of condition, wind, UV, day and moon texts.
#ifndef NIMBREL_LANGUAGE_H
#define NIMBREL_LANGUAGE_H

#include <stddef.h>

enum {
    CONDITION_COUNT = 48,       // condition codes 0 to 47 have a built-in name
    COMPASS_POINT_COUNT = 16,   // N, NNE, ... NNW
    UV_BAND_COUNT = 5,          // Low to Extreme
    TRANSLATION_CAPACITY = 256, // a Wind or UV translation
    CONDITION_CAPACITY = 128,   // a Conditions translation
    DAY_WORD_CAPACITY = 64,     // a Daynames translation
    MOON_NAME_CAPACITY = 256,   // a Moon translation
    LANGUAGE_KEY_CAPACITY = 32  // room for the longest key of the file
};

// The words for the three named days, in the order of their keys.
enum DayWord { DAY_WORD_TODAY, DAY_WORD_TONIGHT, DAY_WORD_TOMORROW, DAY_WORD_COUNT };

// 1 when a language file is chosen (CustomLanguage is not exactly "None").
int LanguageChosen(void);

// Reads `key` of `section` of the language file into `out`, with `fallback` for a missing file,
// section or key. Reads the file anew on every call. Returns `out`.
char *ReadLanguageText(const char *section, const char *key, const char *fallback, char *out,
                       size_t capacity);

// Translates the text in `text` (a buffer of at least 256 bytes) through `section`, in place:
// the entry of the same name, or the text itself. Without a language, the text stays as it is.
char *Translate(const char *section, char *text);

// The condition name of the code in `code` (a buffer of at least 128 bytes): the language
// file's "Cond<code>" entry of `section`, or the built-in English name of the code. A code that
// is not 0 to 47 without an entry keeps its text as it came.
const char *TranslateCondition(const char *section, char *code);

// The condition description of one period: t = 0 the current conditions, t > 0 occurrence t of
// the forecast, t < 0 occurrence -t of the hourly forecast; with a language, the condition code
// of icon occurrence i instead, translated. Always with the default unit type.
const char *ConditionText(const char *locationId, int t, int i);

// ---- The English texts the file translates, and every key it may hold ----------------------

// The wind direction the weather documents write for compass point `point` (0 north, counted
// clockwise in sixteenths, taken modulo 16). Returns a constant text.
const char *CompassPointText(int point);

// The wind directions the documents write for no wind and for a wind of no steady direction.
extern const char kWindCalmText[];     // "CALM"
extern const char kWindVariableText[]; // "VAR"

// The UV description the documents write for band 0 (an index up to 2) to 4 (11 and above).
// A band outside 0 to 4 is held at the nearer end. Returns a constant text.
const char *UvBandText(int band);

// The English day word, which is also its key in the "Daynames" section. Returns a constant.
const char *DayWordEnglish(enum DayWord word);

// Writes the day word into `out` (cut to `capacity`, and to DAY_WORD_CAPACITY when it comes
// from the language file): the file's "Daynames" entry, or the English word when the file
// lacks it or no language is chosen. Returns `out`.
char *DayWordText(enum DayWord word, char *out, size_t capacity);

// One key the module looks up in a language file.
typedef struct LanguageKey {
    const char *section;             // "Conditions", "Wind", "UV", "Daynames" or "Moon"
    char key[LANGUAGE_KEY_CAPACITY]; // the key as the lookup forms it
    const char *english;             // the built-in English text that the entry replaces
    size_t capacity;                 // the lookup's capacity: a longer value is cut
} LanguageKey;

// Fills `out` with the key number `index` (0 upward) of every key the module reads from a
// language file, section by section, from the module's own tables. Returns 1, or 0 when
// `index` is past the last key (and then `out` is untouched).
int LanguageKeyAt(int index, LanguageKey *out);

#endif
