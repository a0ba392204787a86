// The INI reader and writer on arbitrary texts, section names, keys and values.
// Fields: section, key, value, text.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "platform/ini_text.h"

static bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A name the writer can put in a line that reads back as the same name.
static bool PlainName(const char *name, const char *forbidden) {
    size_t length = strlen(name);
    if (length == 0 || IsBlank(name[0]) || IsBlank(name[length - 1]) || name[0] == '[') {
        return false;
    }
    for (const char *p = name; *p; p++) {
        if (*p == '\n' || *p == '\r' || strchr(forbidden, *p)) {
            return false;
        }
    }
    return true;
}

static bool PlainValue(const char *value) {
    size_t length = strlen(value);
    if (length > 0 && (IsBlank(value[0]) || IsBlank(value[length - 1]))) {
        return false;
    }
    if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
        return false;
    }
    return strchr(value, '\n') == NULL && strchr(value, '\r') == NULL;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 4);
    const char *section = f[0].c_str(), *key = f[1].c_str(), *value = f[2].c_str();
    // The text is a buffer of exactly its length: a read past it is caught.
    char *text = static_cast<char *>(malloc(f[3].size() + 1));
    memcpy(text, f[3].data(), f[3].size());
    const char *found = NULL;
    size_t foundLength = 0;
    if (IniFind(text, f[3].size(), section, key, &found, &foundLength) &&
        (found < text || found + foundLength > text + f[3].size())) {
        abort();
    }

    size_t newLength = 0;
    char *updated = IniWithValue(text, f[3].size(), section, key, value, &newLength);
    if (updated == NULL || updated[newLength] != '\0') {
        abort();
    }
    // What was written reads back, whatever stood in the text before.
    if (PlainName(section, "]") && PlainName(key, "=") && PlainValue(value)) {
        if (!IniFind(updated, newLength, section, key, &found, &foundLength) ||
            foundLength != strlen(value) || memcmp(found, value, foundLength) != 0) {
            abort();
        }
        // Writing the same value again changes nothing.
        size_t againLength = 0;
        char *again = IniWithValue(updated, newLength, section, key, value, &againLength);
        if (again == NULL || againLength != newLength || memcmp(again, updated, newLength) != 0) {
            abort();
        }
        free(again);
    }
    free(updated);
    free(text);
    return 0;
}
