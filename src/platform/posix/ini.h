// An INI reader and writer with the semantics of the Windows profile functions, for the POSIX
// backend. The lookups work on a text in memory, so they can be tested and fuzzed without files.
#ifndef NIMBREL_INI_H
#define NIMBREL_INI_H

#include <stddef.h>

// Finds `key` in the first `section` that holds it (names compared without regard to ASCII
// case, surrounding blanks ignored). On success sets *value and *valueLength to the value with
// surrounding blanks and one pair of enclosing quotes removed, and returns 1; returns 0 when the
// section or key is absent. The span points into `text`.
int IniFind(const char *text, size_t length, const char *section, const char *key,
            const char **value, size_t *valueLength);

// Returns a new text (malloc'd, zero-terminated, owned by the caller) that is `text` with
// key=value set in `section`: an existing key's line is replaced, a missing key is added at the
// end of the section, a missing section is appended. Every other line stays byte for byte.
// The new length goes to *newLength. Returns NULL when memory runs out.
char *IniWithValue(const char *text, size_t length, const char *section, const char *key,
                   const char *value, size_t *newLength);

#endif
