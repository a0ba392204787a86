// Term replacement on arbitrary texts, patterns, replacements and capacities.
// Fields: capacity byte, pattern, replacement, text.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "base/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 4);
    size_t capacity = 1 + (f[0].empty() ? 1023 : static_cast<unsigned char>(f[0][0]) * 4);
    // Exactly `capacity` bytes, so that a write past the end is caught.
    char *text = static_cast<char *>(malloc(capacity));
    CopyText(text, capacity, f[3].c_str());
    int count = ReplaceAll(text, capacity, f[1].c_str(), f[2].c_str());
    if (count < 0 || strlen(text) >= capacity) {
        abort();
    }
    // A replacement no longer than its pattern never makes the text grow, so nothing is cut:
    // unless the bound of 4096 replacements ran out, no occurrence is left.
    const char *pattern = f[1].c_str(), *replacement = f[2].c_str();
    if (pattern[0] != '\0' && strlen(replacement) <= strlen(pattern) &&
        strstr(replacement, pattern) == NULL && count < 4096 && strstr(text, pattern) != NULL) {
        abort();
    }
    free(text);
    return 0;
}
