// The computer's local clock as the system itself tells it (Windows' own functions, the C
// library elsewhere), never through the module: what the module's time-zone rules are checked
// against. On Windows the C library's reading of TZ differs from the system's, so it is not used.
#ifndef NIMBREL_TESTS_SUPPORT_LOCAL_CLOCK_H
#define NIMBREL_TESTS_SUPPORT_LOCAL_CLOCK_H

// The local hour and its distance from UTC in minutes.
struct LocalClock {
    int hour;          // 0 to 23
    int offsetMinutes; // local time minus UTC
};

LocalClock ReadLocalClock();

#endif
