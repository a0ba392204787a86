// Bounded text helpers shared by every layer of the core. A text cut to a capacity is cut on a
// character boundary on POSIX, where texts are UTF-8, so that a cut text stays valid UTF-8; on
// Windows, where they are single bytes of the ANSI code page, at the capacity itself.
#ifndef NIMBREL_TEXT_H
#define NIMBREL_TEXT_H

#include <stddef.h>

// Copies `source` into `out` (capacity bytes), cut to capacity less one. Returns 1 when the
// whole text fit, 0 when it was cut. A capacity of 0 writes nothing and returns 0.
int CopyText(char *out, size_t capacity, const char *source);

// Appends `source` to the text in `out`, cut to capacity less one. Returns 1 when it fit.
int AppendText(char *out, size_t capacity, const char *source);

// printf-style formatting into `out`, cut to capacity less one. Returns 1 when the whole text
// fit, 0 when it was cut or the format failed (and then `out` holds what fit, or is empty).
int FormatText(char *out, size_t capacity, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// The leading decimal integer of a text: blanks skipped, an optional sign, digits up to the first
// non-digit. Text without digits reads as 0; values beyond the int range saturate.
int TextToInt(const char *text);

// Upper-cases the ASCII letters a to z in place; every other byte stays.
void UpperCaseAscii(char *text);

// Lower-cases the ASCII letters A to Z in place; every other byte stays.
void LowerCaseAscii(char *text);

// Case-insensitive (ASCII) comparison of two whole texts: 1 when equal.
int EqualsIgnoreCase(const char *a, const char *b);

// Whether `text` starts with `prefix`, ASCII case aside: 1 when it does.
int StartsWithIgnoreCase(const char *text, const char *prefix);

// Replaces every occurrence of `pattern` in `text` (a buffer of `capacity` bytes) by
// `replacement`, searching again from the start of the text after each replacement, so that
// an occurrence formed with the neighbouring text is replaced as well. A pattern contained in
// its replacement would never be used up that way; such a pair is replaced in one left-to-right
// pass instead. An empty pattern replaces nothing. A result longer than capacity less one is cut,
// and the number of replacements is bounded, so the call always ends. Returns the number of
// replacements made.
int ReplaceAll(char *text, size_t capacity, const char *pattern, const char *replacement);

// ReplaceAll for a text whose first occurrence of `pattern` is known to start at offset `from`
// or later (a caller that has just found it there): the same result, without searching the text
// before it again. An offset past the end of the text is read as the end.
int ReplaceAllFrom(char *text, size_t capacity, size_t from, const char *pattern,
                   const char *replacement);

// A Latin-1 character the plugin shows (the degree sign 0xB0 and the trend symbols 0xA1, 0xE1,
// 0xE2, 0xF4, 0xB5, 0xB3) as a text of the platform's encoding: the byte itself in the Windows code
// page, its UTF-8 form on POSIX. Returns a constant text; "" for any other character.
const char *Latin1Text(unsigned char c);

// Reads a plain decimal number ("-118.25", "34", "+5.5"), blanks around it allowed, whatever
// the C library's locale says. Returns 1, or 0 for anything else.
int ParseDecimal(const char *text, size_t length, double *value);

#endif
