// The time-picture formatter on arbitrary pictures, markers, clock values and capacities.
// Fields: clock bytes (hour, minute, second, capacity), AM marker, PM marker, picture.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "platform/posix/time_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 4);
    unsigned char b[4] = {13, 5, 9, 64};
    for (size_t i = 0; i < sizeof b && i < f[0].size(); i++) {
        b[i] = static_cast<unsigned char>(f[0][i]);
    }
    // Mostly real clock values, now and then anything.
    int hour = (b[0] & 0x80) ? static_cast<signed char>(b[0]) : b[0] % 24;
    int minute = b[1] % 60, second = b[2] % 60;
    size_t capacity = b[3];
    // Exactly `capacity` bytes, so that a write past the end is caught.
    char *out = static_cast<char *>(malloc(capacity ? capacity : 1));
    size_t length = FormatTimePicture(hour, minute, second, f[1].c_str(), f[2].c_str(),
                                      f[3].c_str(), out, capacity);
    if (capacity > 0 && (length >= capacity || strlen(out) != length)) {
        abort();
    }
    free(out);
    return 0;
}
