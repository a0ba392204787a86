// The text of INI files as the Windows profile functions read and write it, in memory: the
// POSIX backend reads every settings and language file with it, the Windows backend the files
// its system's functions do not read whole (see OsProfileGetString). Being free of files, it
// can be tested and fuzzed as it stands.
#ifndef NIMBREL_INI_TEXT_H
#define NIMBREL_INI_TEXT_H

#include <stddef.h>

// Finds `key` in the first `section` that holds it (names compared without regard to ASCII
// case, surrounding blanks ignored). On success sets *value and *valueLength to the value with
// surrounding blanks and one pair of enclosing quotes removed, and returns 1; returns 0 when the
// section or key is absent. The span points into `text`. A UTF-8 byte-order mark at the start of
// the text is skipped; a NUL byte is a byte of its line like any other.
int IniFind(const char *text, size_t length, const char *section, const char *key,
            const char **value, size_t *valueLength);

// Returns a new text (malloc'd, zero-terminated, owned by the caller) that is `text` with
// key=value set in `section`: an existing key's line is replaced, a missing key is added at the
// end of the section, a missing section is appended. Every other line stays byte for byte, a
// UTF-8 byte-order mark at the start and lines that are neither sections nor keys included.
// The new length goes to *newLength. Returns NULL when memory runs out.
char *IniWithValue(const char *text, size_t length, const char *section, const char *key,
                   const char *value, size_t *newLength);

// Copies `length` bytes of a value into `out`, cut to `capacity` less one and zero-terminated.
// Returns the length written.
size_t IniCopyValue(const char *value, size_t length, char *out, size_t capacity);

// The length of the first `length` bytes of `text` without their trailing blanks (spaces and
// tabs): a default as the profile functions give it back.
size_t IniTrimmedLength(const char *text, size_t length);

// The integer of a profile value (zero-terminated): its leading decimal number after an optional
// sign, 0 when it does not begin with one, held to the range of int.
int IniInteger(const char *value);

#endif
