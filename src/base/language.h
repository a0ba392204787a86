// The optional language file: translations of condition, wind, UV, day and moon texts. The
// English words it translates stand in base/vocabulary.h.
#ifndef NIMBREL_LANGUAGE_H
#define NIMBREL_LANGUAGE_H

#include <stddef.h>

#include "base/vocabulary.h"

enum {
    TRANSLATION_CAPACITY = 256, // a Wind or UV translation
    CONDITION_CAPACITY = 128,   // a Conditions translation
    DAY_WORD_CAPACITY = 64,     // a Daynames translation
    MOON_NAME_CAPACITY = 256,   // a Moon translation
    LANGUAGE_KEY_CAPACITY = 32  // room for the longest key of the file
};

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

// Writes the Conditions key of a condition code text into `out`: "Cond" and the text as it
// stands. Returns `out`.
char *ConditionKey(const char *code, char *out, size_t capacity);

// Writes the day word into `out` (cut to `capacity`, and to DAY_WORD_CAPACITY when it comes
// from the language file): the file's "Daynames" entry, or the English word when the file
// lacks it or no language is chosen. Returns `out`.
char *DayWordText(enum DayWord word, char *out, size_t capacity);

#endif
