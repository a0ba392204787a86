#include "moon/moon.h"

#include <math.h>
#include <stdint.h>

#include "platform/platform.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"

// File-time units (100 ns) of one day and of one hour.
static const uint64_t kDayUnits = 864000000000ULL;
static const uint64_t kHourUnits = 36000000000ULL;

// The lunation of the date arithmetic: 29.53058867 days in file-time units.
static const double kLunationUnits = 25514428610880.0;
static const double kLunationDays = 29.53058867;

// The constants of the lunation count. The divisions are written as multiplications by their
// reciprocals so that every build rounds the same way.
static const double kUnitsToDays = 1.1574074074074074e-12; // 1 / 864e9
static const double kDayShift = 1.0;
static const double kLunationsPerDay850 = 850.0;
static const double kPhaseShift = 5130.5769;
static const double kPerLunation25101 = 3.9839050237042346e-05; // 1 / 25101

// The reference instant of each operation: they are not the same instant, and each operation
// keeps its own so that its results stay as they always were.
static const uint64_t kPhaseReference = 126227844610010000ULL;        // 2001-01-01 01:01:01.001
static const uint64_t kIlluminationReference = 126227124610010000ULL; // 2000-12-31 05:01:01.001
static const uint64_t kCalendarReference = 126226296610010000ULL;     // 2000-12-30 06:01:01.001

// The lunation fraction aimed at for the next new moon; kept in single precision, as the dates
// it gives have always been computed with it.
static const float kNewMoonTarget = 1.025f;

static const char kUndefinedPhase[] = "Undefined Phase";
enum { PHASE_KEY_CAPACITY = 64, DATE_PART_CAPACITY = 128 };

static const char *const kPhaseNames[MOON_PHASE_COUNT] = {
    "New Moon",  "Waxing Crescent", "First Quarter", "Waxing Gibbous",
    "Full Moon", "Waning Gibbous",  "Last Quarter",  "Waning Crescent",
};

// `instant` moved ahead by `count` units of `unit`, held at the largest file time instead of
// wrapping around.
static uint64_t AddUnits(uint64_t instant, uint64_t count, uint64_t unit) {
    if (count != 0 && count > (UINT64_MAX - instant) / unit) {
        return UINT64_MAX;
    }
    return instant + count * unit;
}

double LunationFraction(uint64_t instant, uint64_t reference) {
    // A clock before the reference has no meaningful lunation; it reads as the reference itself
    // rather than as a wrapped-around count far in the future.
    uint64_t elapsed = instant > reference ? instant - reference : 0;
    double days = (double)elapsed * kUnitsToDays;
    double lunations = ((days - kDayShift) * kLunationsPerDay850 + kPhaseShift) * kPerLunation25101;
    double fraction = lunations - floor(lunations);
    if (!(fraction >= 0.0 && fraction < 1.0)) {
        return 0.0;
    }
    return fraction;
}

int MoonPhaseIndexAt(uint64_t now, int offset) {
    uint64_t instant = now;
    if (offset > 0) {
        // offset + 1 days: forecast day 1 shows the phase of the day after tomorrow.
        instant = AddUnits(now, (uint64_t)offset + 1, kDayUnits);
    }
    double fraction = LunationFraction(instant, kPhaseReference);
    int index = (int)floor(8.0 * fraction + 1.34);
    if (index < 1 || index > 8) {
        return 1; // 9 is the new moon at the end of the lunation
    }
    return index;
}

const char *MoonPhaseEnglish(int index) {
    int held = index < 1 ? 1 : index > MOON_PHASE_COUNT ? MOON_PHASE_COUNT : index;
    return kPhaseNames[held - 1];
}

char *MoonPhaseKey(int index, char *out, size_t capacity) {
    FormatText(out, capacity, "Moon%d", index);
    return out;
}

int MoonPhaseIndex(int offset) {
    return MoonPhaseIndexAt(OsUtcNow(), offset);
}

const char *MoonPhaseNameAt(uint64_t now, int offset) {
    int index = MoonPhaseIndexAt(now, offset);
    if (!LanguageChosen()) {
        return kPhaseNames[index - 1];
    }
    char key[PHASE_KEY_CAPACITY];
    MoonPhaseKey(index, key, sizeof key);
    return ReadLanguageText("Moon", key, kUndefinedPhase, Plugin.value, MOON_NAME_CAPACITY);
}

const char *MoonPhaseName(int offset) {
    return MoonPhaseNameAt(OsUtcNow(), offset);
}

// Makes the decimal mark of a number that the C library formatted a point again, whatever
// numeric locale the host process has set: the locale's own form is applied afterwards.
static void PlainDecimalPoint(char *number) {
    char *p = number;
    if (*p == '-') {
        p++;
    }
    while (*p >= '0' && *p <= '9') {
        p++;
    }
    if (*p == '\0' || *p == '.') {
        return;
    }
    char *fraction = p;
    while (*fraction != '\0' && (*fraction < '0' || *fraction > '9')) {
        fraction++;
    }
    *p++ = '.';
    while ((*p++ = *fraction++) != '\0') {
    }
}

const char *MoonIlluminationAt(uint64_t now, int offset, int age) {
    uint64_t instant;
    if (offset >= 0) {
        instant = AddUnits(now, (uint64_t)offset, kDayUnits);
    } else {
        instant = AddUnits(now, (uint64_t)(-(int64_t)offset), kHourUnits);
    }
    double fraction = LunationFraction(instant, kIlluminationReference);
    if (age != 0) {
        int fortieths = (int)floor(40.0 * fraction);
        if (fortieths < 0 || fortieths > 39) {
            fortieths = 0;
        }
        FormatText(Plugin.value, TEXT_CAPACITY, "%d", fortieths);
        return Plugin.value;
    }
    // The lit part grows linearly to full moon and back; the polynomial maps it to the visible
    // percentage (it peaks just before full moon and reads 99.26 at full moon itself).
    double lit = 1.0 - 2.0 * fabs(0.5 - fraction);
    double percent = (0.0861 * lit - 2.0941 * pow(lit, 3.0) + 3.0006 * pow(lit, 2.0)) * 100.0;
    FormatText(Plugin.numberScratch, SCRATCH_CAPACITY, "%0.2f", percent);
    PlainDecimalPoint(Plugin.numberScratch);
    if (OsFormatNumber(Plugin.numberScratch, Plugin.value, TEXT_CAPACITY) == 0) {
        // The locale could not format it: the plain number is still the right value.
        CopyText(Plugin.value, TEXT_CAPACITY, Plugin.numberScratch);
    }
    return Plugin.value;
}

const char *MoonIllumination(int offset, int age) {
    return MoonIlluminationAt(OsUtcNow(), offset, age);
}

const char *NextMoonDateAt(uint64_t now, int full) {
    double fraction = LunationFraction(now, kCalendarReference);
    double target;
    if (full == 0) {
        target = kNewMoonTarget;
    } else {
        target = fraction < 0.5 ? 0.5 : 1.5;
    }
    double when = (double)now + (target - fraction) * kLunationUnits;
    // 2^64 is exact in a double; anything from there on is held at the largest file time.
    uint64_t instant;
    if (when >= 18446744073709551616.0) {
        instant = UINT64_MAX;
    } else if (when > 0.0) {
        instant = (uint64_t)when;
    } else {
        instant = 0;
    }
    OsDateTime time;
    if (!OsFileTimeToDateTime(instant, &time)) {
        CopyText(Plugin.value, TEXT_CAPACITY, "N/A");
        return Plugin.value;
    }
    // The instant is shown in UTC, as the calendar of moon phases is.
    char date[DATE_PART_CAPACITY];
    char clock[DATE_PART_CAPACITY];
    OsFormatShortDate(time.year, time.month, time.day, date, sizeof date);
    OsFormatTime(&time, OS_TIME_NO_SECONDS, clock, sizeof clock);
    FormatText(Plugin.value, TEXT_CAPACITY, "%s %s", date, clock);
    return Plugin.value;
}

const char *NextMoonDate(int full) {
    return NextMoonDateAt(OsUtcNow(), full);
}

const char *MoonAgeAt(uint64_t now) {
    double age = LunationFraction(now, kCalendarReference) * kLunationDays;
    double whole = floor(age);
    int days = (int)whole;
    int hours = (int)((age - whole) * 24.0);
    FormatText(Plugin.value, TEXT_CAPACITY, "%d day%c %d hour%c", days, days == 1 ? ' ' : 's',
               hours, hours == 1 ? ' ' : 's');
    return Plugin.value;
}

const char *MoonAge(void) {
    return MoonAgeAt(OsUtcNow());
}
