#include "base/terms.h"

#include <string.h>

#include "base/state.h"
#include "base/text.h"

int ReplaceTerm(char *text, size_t capacity, const char *pattern, const char *replacement) {
    // A pattern that is present is replaced at least once, so the count says whether it was.
    return ReplaceAll(text, capacity, pattern, replacement) > 0;
}

void ReplaceInValue(char *text, size_t capacity, const char *pattern, const char *replacement) {
    if (!ReplaceTerm(text, capacity, pattern, replacement)) {
        Plugin.tagCounter++;
    }
}

int CountTerms(const char *text) {
    int count = 0;
    for (const char *p = text; *p; p++) {
        count += (*p == '<');
    }
    return count;
}
