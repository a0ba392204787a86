// A text that grows as it is written, for documents whose length is not known beforehand (a
// downloaded answer, a rendered feed). Everything else in the core uses fixed buffers.
#ifndef NIMBREL_GROW_TEXT_H
#define NIMBREL_GROW_TEXT_H

#include <stddef.h>

// The longest text a GrowText holds; a write past it fails the text.
#define GROW_TEXT_LIMIT (8u * 1024u * 1024u)

typedef struct GrowText {
    char *bytes;     // zero-terminated after the first write; heap, owned here, or NULL
    size_t length;   // bytes written, the terminator not counted
    size_t capacity; // bytes allocated for bytes
    size_t limit;    // the longest text allowed, at most GROW_TEXT_LIMIT
    int failed;      // 1 once a write did not fit (no memory, or past the limit)
} GrowText;

// Starts an empty text that may grow to `limit` bytes (0 or more than GROW_TEXT_LIMIT: the
// largest allowed). Owns nothing yet.
void GrowTextInit(GrowText *text, size_t limit);

// Frees the bytes and makes the text empty again.
void GrowTextFree(GrowText *text);

// Appends `count` bytes. Returns 1 when they fit; 0 when they did not, and then nothing of
// them is kept and the text is marked failed.
int GrowTextAppendBytes(GrowText *text, const char *bytes, size_t count);

// Appends a zero-terminated text; as GrowTextAppendBytes.
int GrowTextAppend(GrowText *text, const char *source);

// Appends a printf-style text; as GrowTextAppendBytes. Numbers are formatted by the C library,
// so callers keep decimal fractions out of the format (FormatFixed writes them).
int GrowTextFormat(GrowText *text, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The text: never NULL, "" before the first write.
const char *GrowTextChars(const GrowText *text);

#endif
