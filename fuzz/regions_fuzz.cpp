// The warning regions search over an arbitrary regions file, at points inside, outside, on the
// edges and corners of the seed's made-up regions, and off the earth.
// The input is the whole file; every point is asked of it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "provider/warning_regions.h"

static void CheckCodes(const PlaceCodes &codes) {
    if (codes.count < 0 || codes.count > PLACE_CODES_CAPACITY ||
        memchr(codes.country, '\0', sizeof codes.country) == NULL) {
        abort();
    }
    for (int i = 0; i < codes.count; i++) {
        const WarningCode &code = codes.codes[i];
        if (memchr(code.scheme, '\0', sizeof code.scheme) == NULL ||
            memchr(code.value, '\0', sizeof code.value) == NULL) {
            abort();
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const double points[][2] = {{10.5, 10.5},    {11.0, 11.0},  {10.0, 10.0}, {12.0, 12.0},
                                       {10.5, 20.5},    {11.0, 13.0},  {10.5, 30.7}, {0.0, 0.0},
                                       {-90.0, -180.0}, {90.0, 180.0}, {95.0, 0.0}};
    // A block of the input's exact size, so that any read past its end is seen.
    std::vector<unsigned char> bytes(data, data + size);
    for (const auto &point : points) {
        PlaceCodes codes;
        int whole = FindPlaceCodes(bytes.empty() ? NULL : bytes.data(), bytes.size(), point[0],
                                   point[1], &codes);
        CheckCodes(codes);
        if (!whole && (codes.count != 0 || codes.country[0] != '\0')) {
            abort();
        }
    }
    return 0;
}
