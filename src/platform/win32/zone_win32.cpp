// Zones of the time-zone database by name, through the system's own zone data. Windows names its
// zones otherwise ("W. Europe Standard Time") and has no conversion of the database's names
// before Windows 10's own ICU, which the module cannot count on: a table made at build time
// from CLDR's map of the names (windows_zones.inc, scripts/windows-zones.py) gives the Windows
// zone, and the system gives that zone's rules for the instant's year (the registry's "Time
// Zones" key, with its "Dynamic DST" years where the law changed). A build made without the map
// has an empty table and knows no zone by name.
#if defined(_WIN32)

#include <windows.h>

#include <stdint.h>
#include <string.h>

#include "platform/platform.h"

typedef struct WindowsZoneName {
    const char *zone;    // the database's name, "Europe/Berlin"
    const char *windows; // the Windows zone's key name, "W. Europe Standard Time"
} WindowsZoneName;

// Sorted by the database's name, byte by byte; the last entry only ends the table.
static const WindowsZoneName kWindowsZones[] = {
#include <windows_zones.inc> // written into the build folder, not part of src/
    {"", ""}};

static const size_t kWindowsZoneCount = sizeof kWindowsZones / sizeof kWindowsZones[0] - 1;
static const uint64_t kTicksPerSecond = 10000000ull;

// The Windows zone of a database name, or NULL for a name the table does not hold.
static const char *WindowsZoneOf(const char *zone) {
    size_t low = 0, high = kWindowsZoneCount;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        int order = strcmp(kWindowsZones[middle].zone, zone);
        if (order == 0) {
            return kWindowsZones[middle].windows;
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return NULL;
}

// The system's name of the zone's standard or daylight time shortened as the computer's zone
// is shown: capitals, digits and signs kept, small letters and blanks dropped ("W. Europe
// Daylight Time" is "W.EDT", "Pacific Standard Time" "PST").
static void ShortZoneName(const WCHAR *name, char *out, size_t capacity) {
    size_t n = 0;
    for (const WCHAR *p = name; *p != 0 && n + 1 < capacity; p++) {
        if (*p > ' ' && *p < 'a') {
            out[n++] = (char)*p;
        }
    }
    out[n] = '\0';
}

int OsZoneAt(const char *zone, uint64_t fileTime, int *offsetSeconds, char *abbreviation,
             size_t capacity) {
    *offsetSeconds = 0;
    if (capacity > 0) {
        abbreviation[0] = '\0';
    }
    const char *windows = WindowsZoneOf(zone);
    DYNAMIC_TIME_ZONE_INFORMATION dynamic;
    memset(&dynamic, 0, sizeof dynamic);
    FILETIME utcFile = {(DWORD)(fileTime & 0xFFFFFFFFu), (DWORD)(fileTime >> 32)};
    SYSTEMTIME utc, local;
    TIME_ZONE_INFORMATION rules;
    FILETIME localFile;
    if (windows == NULL || fileTime > 0x7FFFFFFFFFFFFFFFull ||
        MultiByteToWideChar(
            CP_ACP, 0, windows, -1, dynamic.TimeZoneKeyName,
            (int)(sizeof dynamic.TimeZoneKeyName / sizeof dynamic.TimeZoneKeyName[0])) == 0 ||
        !FileTimeToSystemTime(&utcFile, &utc) ||
        !GetTimeZoneInformationForYear(utc.wYear, &dynamic, &rules) ||
        !SystemTimeToTzSpecificLocalTime(&rules, &utc, &local) ||
        !SystemTimeToFileTime(&local, &localFile)) {
        return 0;
    }
    uint64_t localTime = ((uint64_t)localFile.dwHighDateTime << 32) | localFile.dwLowDateTime;
    int64_t seconds = ((int64_t)localTime - (int64_t)fileTime) / (int64_t)kTicksPerSecond;
    *offsetSeconds = (int)seconds;
    // Daylight time is in force when the offset is the daylight one and differs from standard.
    int daylight = rules.DaylightDate.wMonth != 0 && rules.DaylightBias != rules.StandardBias &&
                   seconds == -60LL * (rules.Bias + rules.DaylightBias);
    if (capacity > 0) {
        ShortZoneName(daylight ? rules.DaylightName : rules.StandardName, abbreviation, capacity);
    }
    return 1;
}

#endif
