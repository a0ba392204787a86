// The optional language file: translations of condition, wind, UV, day and moon texts.
#ifndef NIMBREL_LANGUAGE_H
#define NIMBREL_LANGUAGE_H

#include <stddef.h>

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

#endif
