#include "feed/document_text.h"

#include <string.h>

#include "platform/platform.h"

// A declaration that does not end within this many bytes of the document's start is none.
static const size_t kDeclarationReach = 256;

static int IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void DeclaredCharset(const char *document, char *out, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    out[0] = '\0';
    if (strncmp(document, "\xEF\xBB\xBF", 3) == 0) {
        if (capacity > sizeof "UTF-8" - 1) {
            memcpy(out, "UTF-8", sizeof "UTF-8");
        }
        return;
    }
    if (strncmp(document, "<?xml", 5) != 0 || !IsXmlBlank(document[5])) {
        return;
    }
    // The declaration ends at the first "?>"; only its own text is searched.
    size_t end = 5;
    while (end < kDeclarationReach && document[end] != '\0' &&
           !(document[end] == '?' && document[end + 1] == '>')) {
        end++;
    }
    if (document[end] != '?') {
        return;
    }
    const char *at = NULL;
    for (size_t i = 5; i + 8 <= end; i++) {
        if (IsXmlBlank(document[i - 1]) && strncmp(document + i, "encoding", 8) == 0) {
            at = document + i + 8;
            break;
        }
    }
    if (at == NULL) {
        return;
    }
    const char *last = document + end;
    while (at < last && IsXmlBlank(*at)) {
        at++;
    }
    if (at == last || *at != '=') {
        return;
    }
    at++;
    while (at < last && IsXmlBlank(*at)) {
        at++;
    }
    if (at == last || (*at != '"' && *at != '\'')) {
        return;
    }
    char quote = *at++;
    const char *close = at;
    while (close < last && *close != quote) {
        close++;
    }
    size_t length = (size_t)(close - at);
    if (close == last || length == 0 || length >= capacity) {
        return;
    }
    memcpy(out, at, length);
    out[length] = '\0';
}

char *DocumentText(const char *document, const char *start, size_t length, char *out,
                   size_t capacity) {
    if (capacity == 0) {
        return out;
    }
    int ascii = 1;
    for (size_t i = 0; i < length && ascii; i++) {
        ascii = (unsigned char)start[i] < 0x80;
    }
    if (ascii) {
        // The case of nearly every value: the same bytes in every character set.
        size_t count = length < capacity ? length : capacity - 1;
        memmove(out, start, count);
        out[count] = '\0';
        return out;
    }
    char charset[CHARSET_NAME_CAPACITY];
    DeclaredCharset(document, charset, sizeof charset);
    OsDocumentText(charset, start, length, out, capacity);
    return out;
}
