#include "support/local_clock.h"

#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

LocalClock ReadLocalClock() {
#if defined(_WIN32)
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    FILETIME localTime, utcTime;
    SystemTimeToFileTime(&local, &localTime);
    SystemTimeToFileTime(&utc, &utcTime);
    long long ticks =
        (long long)(((uint64_t)localTime.dwHighDateTime << 32) | localTime.dwLowDateTime) -
        (long long)(((uint64_t)utcTime.dwHighDateTime << 32) | utcTime.dwLowDateTime);
    // To the nearest minute either side of UTC: the two clocks are read a moment apart.
    const long long minute = 600000000LL, half = minute / 2;
    return {local.wHour, (int)((ticks + (ticks < 0 ? -half : half)) / minute)};
#else
    time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    return {local.tm_hour, (int)(local.tm_gmtoff / 60)};
#endif
}
