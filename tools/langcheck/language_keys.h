// Every key the module looks up in a language file, from the module's own tables: the
// condition names, the wind words and Beaufort names, the UV bands, the named days and the moon
// phases.
#ifndef NIMBREL_LANGUAGE_KEYS_H
#define NIMBREL_LANGUAGE_KEYS_H

#include <stddef.h>

#include "base/language.h"

// One key the module looks up in a language file.
typedef struct LanguageKey {
    const char *section;             // "Conditions", "Wind", "UV", "Daynames" or "Moon"
    char key[LANGUAGE_KEY_CAPACITY]; // the key as the lookup forms it
    const char *english;             // the built-in English text that the entry replaces
    size_t capacity;                 // the lookup's capacity: a longer value is cut
} LanguageKey;

// Fills `out` with the key number `index` (0 upward) of every key the module reads from a
// language file, section by section. Returns 1, or 0 when `index` is past the last key (and
// then `out` is untouched).
int LanguageKeyAt(int index, LanguageKey *out);

#endif
