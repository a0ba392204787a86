// Texts of other character sets turned into UTF-8, the one encoding of the POSIX module: the
// texts of a locale whose code set is not UTF-8, and documents that declare another encoding.
#ifndef NIMBREL_CHARSET_POSIX_H
#define NIMBREL_CHARSET_POSIX_H

#include <stddef.h>

// 1 when the code set name (as nl_langinfo(CODESET) or an XML declaration gives it) names
// UTF-8, whatever its case and with or without the hyphen; else 0.
int IsUtf8Name(const char *charset);

// 1 when the `length` bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF); else 0.
int IsWellFormedUtf8(const char *bytes, size_t length);

// Writes `length` bytes of the code set `charset` (a name iconv knows) as UTF-8 into `out`, cut
// to `capacity` less one on a character boundary. A byte sequence that the code set does not
// define becomes U+FFFD. Returns the length written; when `charset` is unknown to iconv, 0 with
// `out` empty and *known (when not NULL) set to 0.
size_t ConvertToUtf8(const char *charset, const char *bytes, size_t length, char *out,
                     size_t capacity, int *known);

// Closes the converters kept between calls. Called at shutdown, when no export runs any more.
void ReleaseConverters(void);

#endif
