#include "base/terms.h"

#include <string.h>

#include "base/state.h"
#include "base/text.h"

int ReplaceTerm(char *text, size_t capacity, const char *pattern, const char *replacement) {
    return ReplaceTermAt(text, capacity, 0, pattern, replacement);
}

int ReplaceTermAt(char *text, size_t capacity, size_t at, const char *pattern,
                  const char *replacement) {
    // A pattern that is present is replaced at least once, so the count says whether it was.
    return ReplaceAllFrom(text, capacity, at, pattern, replacement) > 0;
}

void ReplaceInValue(char *text, size_t capacity, const char *pattern, const char *replacement) {
    if (!ReplaceTerm(text, capacity, pattern, replacement)) {
        Plugin.tagCounter++;
    }
}

int CountTerms(const char *text) {
    int count = 0;
    for (const char *p = strchr(text, '<'); p != NULL; p = strchr(p + 1, '<')) {
        count++;
    }
    return count;
}
