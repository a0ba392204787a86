#include "expr/terms.h"

#include <string.h>

#include "plugin/state.h"
#include "plugin/text.h"

int ReplaceTerm(char *text, size_t capacity, const char *pattern, const char *replacement) {
    Plugin.work[0] = '\0';
    if (pattern[0] == '\0' || strstr(text, pattern) == NULL) {
        return Plugin.tagCounter;
    }
    Plugin.tagCounter--;
    ReplaceAll(text, capacity, pattern, replacement);
    return Plugin.tagCounter;
}

int CountTerms(const char *text) {
    int count = 0;
    for (const char *p = text; *p; p++) {
        count += (*p == '<');
    }
    return count;
}
