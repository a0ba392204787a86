// Element extraction on arbitrary documents and marks.
// Fields: open mark, close mark, occurrence, document.
#include <stdlib.h>
#include <string.h>

#include "feed/cache.h"
#include "feed/query.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "platform/posix/charset_posix.h"
#include "base/state.h"
#include "base/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 4);
    CoreReady();
    std::string path = ScratchFolder() + "/document.xml";
    if (!WriteWholeFile(path, f[3])) {
        abort();
    }
    ForgetDocument();
    // The callers ask for occurrences up to a few dozen (forecast day parts, hours).
    int n = TextToInt(f[2].c_str()) % 100;
    const char *value = ExtractElement(path.c_str(), f[0].c_str(), f[1].c_str(), n);
    if (value == NULL || strlen(value) >= TEXT_CAPACITY) {
        abort();
    }
    // Whatever the document's bytes and declared encoding, its texts come out as UTF-8.
    if (OsTextIsUtf8 && !IsWellFormedUtf8(value, strlen(value))) {
        abort();
    }
    // Again with the document held: the marks found at load time answer this time.
    std::string first = value;
    value = ExtractElement(path.c_str(), f[0].c_str(), f[1].c_str(), n);
    if (first != value) {
        abort();
    }
    // The alert section as the alert functions ask for it.
    ExtractElement(path.c_str(), "<t>", "</t>", 0);
    ExtractElement(path.c_str(), "<l>", "</l>", 1);
    // A document loaded again by force keeps the same answer.
    if (LoadFeedDocument(path.c_str(), 1) == LOAD_OK &&
        first != ExtractElement(path.c_str(), f[0].c_str(), f[1].c_str(), n)) {
        abort();
    }
    return 0;
}
