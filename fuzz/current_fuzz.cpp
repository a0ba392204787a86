// CurrentConditions on arbitrary expressions, Location IDs, unit types and degree flags, against
// arbitrary documents placed fresh in the cache.
// Fields: options, expression, Location ID, unit type, degree flag, language file, English
// document, Metric document, narrative page.
#include <stdlib.h>
#include <string.h>

#include "expr/current.h"
#include "plugin/expr_frame.h"
#include "fuzz_support.h"
#include "base/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 9);
    const std::string &cache = CoreReady();
    ApplyOptions(f[0]);
    UseLanguage(f[5]);
    ForgetDocument();
    PlaceAllFeeds(f[2].c_str(), f[3].c_str(), f[6], f[7], f[8]);
    const char *text =
        CurrentConditionsText(f[1].c_str(), f[2].c_str(), f[3].c_str(), f[4].c_str());
    if (text == NULL || strlen(text) >= TEXT_CAPACITY) {
        abort();
    }
    EmptyFolder(cache);
    return 0;
}
