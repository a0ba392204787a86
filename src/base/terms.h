// Term substitution: the replace-all of the expression functions and its early-exit counter.
#ifndef NIMBREL_TERMS_H
#define NIMBREL_TERMS_H

#include <stddef.h>

// Replaces every occurrence of `pattern` in `text` (a buffer of `capacity` bytes, 1024 for the
// plugin's texts) by `replacement`, as ReplaceAll does, and counts the call off the tag
// counter once when the pattern occurred. Returns the tag counter after the call.
int ReplaceTerm(char *text, size_t capacity, const char *pattern, const char *replacement);

// The number of "<" characters in the text.
int CountTerms(const char *text);

#endif
