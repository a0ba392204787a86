// Term substitution: the replace-all of the expression functions and its early-exit counter.
#ifndef NIMBREL_TERMS_H
#define NIMBREL_TERMS_H

#include <stddef.h>

// Replaces every occurrence of `pattern` in `text` (a buffer of `capacity` bytes, 1024 for the
// plugin's texts) by `replacement`, as ReplaceAll does. Returns 1 when the pattern occurred,
// else 0 (the text untouched). Counts nothing: the term walk keeps the early-exit counter.
int ReplaceTerm(char *text, size_t capacity, const char *pattern, const char *replacement);

// ReplaceTerm for a text whose first occurrence of `pattern` starts at offset `at` (the term walk
// has just found it there): the text before it is not searched again.
int ReplaceTermAt(char *text, size_t capacity, size_t at, const char *pattern,
                  const char *replacement);

// ReplaceTerm on a text that is no term of the expression (a value under formatting, the inside
// of a tag), within an expression call. The counting rule has such a replacement that finds no
// pattern leave the early-exit counter one higher: a counter that stands too high only delays
// the early exit, so the walk goes on to the end of its table.
void ReplaceInValue(char *text, size_t capacity, const char *pattern, const char *replacement);

// The number of "<" characters in the text.
int CountTerms(const char *text);

#endif
