#include "base/grow_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void GrowTextInit(GrowText *text, size_t limit) {
    text->bytes = NULL;
    text->length = 0;
    text->capacity = 0;
    text->limit = (limit == 0 || limit > GROW_TEXT_LIMIT) ? GROW_TEXT_LIMIT : limit;
    text->failed = 0;
}

void GrowTextFree(GrowText *text) {
    free(text->bytes);
    GrowTextInit(text, text->limit);
}

// Makes room for `more` bytes and the terminator. Returns 0 when that is not possible.
static int Reserve(GrowText *text, size_t more) {
    if (text->failed || more > text->limit - text->length) {
        text->failed = 1;
        return 0;
    }
    size_t needed = text->length + more + 1;
    if (needed <= text->capacity) {
        return 1;
    }
    size_t grown = text->capacity < 4096 ? 4096 : text->capacity;
    while (grown < needed) {
        grown *= 2;
    }
    char *bytes = (char *)realloc(text->bytes, grown);
    if (bytes == NULL) {
        text->failed = 1;
        return 0;
    }
    text->bytes = bytes;
    text->capacity = grown;
    return 1;
}

int GrowTextAppendBytes(GrowText *text, const char *bytes, size_t count) {
    if (!Reserve(text, count)) {
        return 0;
    }
    memcpy(text->bytes + text->length, bytes, count);
    text->length += count;
    text->bytes[text->length] = '\0';
    return 1;
}

int GrowTextAppend(GrowText *text, const char *source) {
    return GrowTextAppendBytes(text, source, strlen(source));
}

int GrowTextFormat(GrowText *text, const char *format, ...) {
    char piece[512];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(piece, sizeof piece, format, arguments);
    va_end(arguments);
    if (length < 0 || (size_t)length >= sizeof piece) {
        text->failed = 1; // every format of the core is short; a longer one is a mistake
        return 0;
    }
    return GrowTextAppendBytes(text, piece, (size_t)length);
}

const char *GrowTextChars(const GrowText *text) {
    return text->bytes ? text->bytes : "";
}
