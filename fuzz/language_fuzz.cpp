// Language files: arbitrary files, sections, keys and texts through every lookup.
// Fields: section, text to translate, capacity byte, language file.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 4);
    CoreReady();
    UseLanguage(f[3].empty() ? std::string(1, '\n') : f[3]);
    const char *section = f[0].c_str();

    // Translate works in a buffer of 256 bytes, TranslateCondition in one of 128: exactly those
    // sizes, on the heap, so that a write past them is caught.
    char *text = static_cast<char *>(malloc(256));
    CopyText(text, 256, f[1].c_str());
    if (strlen(Translate(section, text)) >= 256) {
        abort();
    }
    char *code = static_cast<char *>(malloc(128));
    CopyText(code, 128, f[1].c_str());
    if (strlen(TranslateCondition(section, code)) >= 256 || strlen(code) >= 128) {
        abort();
    }
    CopyText(code, 128, f[1].c_str());
    TranslateCondition("Conditions", code);

    size_t capacity = f[2].empty() ? 64 : static_cast<unsigned char>(f[2][0]);
    char *out = static_cast<char *>(malloc(capacity ? capacity : 1));
    ReadLanguageText(section, f[1].c_str(), f[1].c_str(), out, capacity);
    if (capacity > 0 && strlen(out) >= capacity) {
        abort();
    }
    // The lookup may take its default from the buffer it writes.
    if (capacity > 0) {
        ReadLanguageText(section, "Missing", out, out, capacity);
    }
    free(out);
    free(code);
    free(text);
    return 0;
}
