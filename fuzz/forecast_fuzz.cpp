// Forecast on arbitrary expressions, Location IDs, day numbers, unit types and degree flags,
// against arbitrary documents placed fresh in the cache.
// Fields: options, expression, Location ID, day, unit type, degree flag, language file,
// English document, Metric document, narrative page.
#include <stdlib.h>
#include <string.h>

#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "fuzz_support.h"
#include "base/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 10);
    const std::string &cache = CoreReady();
    ApplyOptions(f[0]);
    UseLanguage(f[6]);
    ForgetDocument();
    PlaceAllFeeds(f[2].c_str(), f[4].c_str(), f[7], f[8], f[9]);
    const char *text =
        ForecastText(f[1].c_str(), f[2].c_str(), f[3].c_str(), f[4].c_str(), f[5].c_str());
    if (text == NULL || strlen(text) >= TEXT_CAPACITY) {
        abort();
    }
    EmptyFolder(cache);
    return 0;
}
