#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "moon/moon.h"
#include "platform/platform.h"
#include "base/state.h"
#include "base/text.h"
#include "support/sandbox.h"

namespace {

// The reference instants of the phase index, the illumination, and the dates and age.
const uint64_t kPhaseReference = 126227844610010000ULL;
const uint64_t kIlluminationReference = 126227124610010000ULL;
const uint64_t kCalendarReference = 126226296610010000ULL;

const uint64_t kHour = 36000000000ULL;
const uint64_t kDay = 864000000000ULL;

// 2024-01-01 00:00:00 UTC.
const uint64_t kNewYear2024 = 133485408000000000ULL;

// The instant at which the lunation fraction against `reference` reads `fraction`, in the
// lunation that began in late 2023 (lunation 284 of the count) or `extra` lunations later.
uint64_t InstantAt(double fraction, uint64_t reference, int extra = 0) {
    double lunations = 284.0 + extra + fraction;
    double days = (lunations * 25101.0 - 5130.5769) / 850.0 + 1.0;
    return reference + (uint64_t)llround(days * 864e9);
}

// The locale's short date and time without seconds of a UTC date and time, as the next-moon
// texts show them.
std::string DateText(int year, int month, int day, int hour, int minute) {
    char date[128], clock[128];
    OsDateTime time = {year, month, day, hour, minute, 0, 0, 0};
    OsFormatShortDate(year, month, day, date, sizeof date);
    OsFormatTime(&time, OS_TIME_NO_SECONDS, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

std::string DateText(uint64_t instant) {
    OsDateTime time;
    EXPECT_EQ(1, OsFileTimeToDateTime(instant, &time));
    return DateText(time.year, time.month, time.day, time.hour, time.minute);
}

// The locale form of a plain number text ("53.14").
std::string NumberText(const char *plain) {
    char out[64];
    OsFormatNumber(plain, out, sizeof out);
    return out;
}

// Runs the test body with a locale that writes numbers with a point, where the process can
// choose one (POSIX); Windows keeps the locale of the process, and the expectations then go
// through NumberText.
struct LocaleEnv {
    std::string saved;
    bool hadValue;
};

LocaleEnv UsePointLocale() {
    LocaleEnv env;
    const char *value = getenv("LC_ALL");
    env.hadValue = value != NULL;
    env.saved = value ? value : "";
#if !defined(_WIN32)
    sandbox::SetEnv("LC_ALL", "en_US.UTF-8");
#endif
    return env;
}

void RestoreLocale(const LocaleEnv &env) {
#if !defined(_WIN32)
    if (env.hadValue) {
        sandbox::SetEnv("LC_ALL", env.saved);
    } else {
        sandbox::UnsetEnv("LC_ALL");
    }
#else
    (void)env;
#endif
}

// The language choice of the core, put back after a test.
struct LanguageChoice {
    char customLanguage[LANGUAGE_CAPACITY];
    char languagePath[PATH_CAPACITY];
};

LanguageChoice SaveLanguage() {
    LanguageChoice saved;
    memcpy(saved.customLanguage, Plugin.customLanguage, sizeof saved.customLanguage);
    memcpy(saved.languagePath, Plugin.languagePath, sizeof saved.languagePath);
    return saved;
}

void RestoreLanguage(const LanguageChoice &saved) {
    memcpy(Plugin.customLanguage, saved.customLanguage, sizeof saved.customLanguage);
    memcpy(Plugin.languagePath, saved.languagePath, sizeof saved.languagePath);
}

} // namespace

TEST(MoonFraction, InversionHelperHitsTheFractionsTheTestsAskFor) {
    const double fractions[] = {0.0 + 1e-9, 0.083, 0.25, 0.5 + 1e-9, 0.957, 0.999};
    for (double f : fractions) {
        EXPECT_NEAR(f, LunationFraction(InstantAt(f, kPhaseReference), kPhaseReference), 1e-10);
    }
    // A clock before the reference reads as the reference itself.
    EXPECT_EQ(LunationFraction(kPhaseReference, kPhaseReference),
              LunationFraction(kPhaseReference - 1, kPhaseReference));
    EXPECT_EQ(LunationFraction(kPhaseReference, kPhaseReference),
              LunationFraction(0, kPhaseReference));
    double far = LunationFraction(UINT64_MAX, 0);
    EXPECT_GE(far, 0.0);
    EXPECT_LT(far, 1.0);
}

TEST(MoonWorkedExample, NewYear2024) {
    LanguageChoice language = SaveLanguage();
    CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "None");
    LocaleEnv env = UsePointLocale();

    EXPECT_NEAR(0.6199, LunationFraction(kNewYear2024, kPhaseReference), 1e-4);
    EXPECT_EQ(6, MoonPhaseIndexAt(kNewYear2024, 0));
    EXPECT_STREQ("Waning Gibbous", MoonPhaseNameAt(kNewYear2024, 0));
    EXPECT_EQ(6, MoonPhaseIndexAt(kNewYear2024, 1));
    EXPECT_EQ(7, MoonPhaseIndexAt(kNewYear2024, 3));

    EXPECT_EQ(NumberText("81.68"), MoonIlluminationAt(kNewYear2024, 0, 0));
#if !defined(_WIN32)
    EXPECT_STREQ("81.68", MoonIlluminationAt(kNewYear2024, 0, 0));
#endif
    EXPECT_STREQ("25", MoonIlluminationAt(kNewYear2024, 0, 1));

    EXPECT_EQ(DateText(2024, 1, 25, 4, 44), NextMoonDateAt(kNewYear2024, 1));
    EXPECT_EQ(DateText(2024, 1, 11, 4, 5), NextMoonDateAt(kNewYear2024, 0));
    EXPECT_STREQ("20 days 2 hours", MoonAgeAt(kNewYear2024));

    RestoreLocale(env);
    RestoreLanguage(language);
}

TEST(MoonPhaseIndex, BandEdgesAndOffsets) {
    EXPECT_EQ(8, MoonPhaseIndexAt(InstantAt(0.957, kPhaseReference), 0));
    EXPECT_EQ(1, MoonPhaseIndexAt(InstantAt(0.958, kPhaseReference), 0));
    EXPECT_EQ(1, MoonPhaseIndexAt(InstantAt(0.082, kPhaseReference), 0));
    EXPECT_EQ(2, MoonPhaseIndexAt(InstantAt(0.083, kPhaseReference), 0));
    EXPECT_EQ(5, MoonPhaseIndexAt(InstantAt(0.5, kPhaseReference), 0));
    EXPECT_EQ(1, MoonPhaseIndexAt(InstantAt(0.0 + 1e-9, kPhaseReference), 0));

    // Zero and negative offsets read the instant itself; a positive one is offset + 1 days.
    // A day is 0.034 of a lunation: these instants lie so that the second (third) day ahead
    // crosses a band edge and the first (second) does not.
    uint64_t t = InstantAt(0.0325, kPhaseReference);
    EXPECT_EQ(1, MoonPhaseIndexAt(t, 0));
    EXPECT_EQ(1, MoonPhaseIndexAt(t, -5));
    EXPECT_EQ(1, MoonPhaseIndexAt(t, INT_MIN));
    EXPECT_EQ(1, MoonPhaseIndexAt(t + kDay, 0));
    EXPECT_EQ(2, MoonPhaseIndexAt(t, 1));
    uint64_t u = InstantAt(0.1225, kPhaseReference);
    EXPECT_EQ(2, MoonPhaseIndexAt(u + 2 * kDay, 0));
    EXPECT_EQ(3, MoonPhaseIndexAt(u, 2));

    // Offsets past the end of the file-time range stop at its end instead of wrapping.
    EXPECT_EQ(MoonPhaseIndexAt(UINT64_MAX, 0), MoonPhaseIndexAt(kNewYear2024, INT_MAX));
    EXPECT_EQ(MoonPhaseIndexAt(UINT64_MAX, 0), MoonPhaseIndexAt(UINT64_MAX - 1, INT_MAX));
    for (uint64_t clock : {(uint64_t)0, kPhaseReference - 1, (uint64_t)UINT64_MAX}) {
        int index = MoonPhaseIndexAt(clock, 0);
        EXPECT_GE(index, 1);
        EXPECT_LE(index, 8);
    }
}

TEST(MoonPhaseName, BuiltInOrFromTheLanguageFile) {
    LanguageChoice saved = SaveLanguage();
    uint64_t full = InstantAt(0.5, kPhaseReference);
    uint64_t firstQuarter = InstantAt(0.25, kPhaseReference);

    CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "None");
    EXPECT_STREQ("Full Moon", MoonPhaseNameAt(full, 0));
    EXPECT_STREQ("First Quarter", MoonPhaseNameAt(firstQuarter, 0));
    EXPECT_STREQ("New Moon", MoonPhaseNameAt(InstantAt(0.99, kPhaseReference), 0));
    EXPECT_STREQ("Waning Crescent", MoonPhaseNameAt(InstantAt(0.9, kPhaseReference), 0));

    std::string folder = sandbox::MakeFolder("moon-language");
    std::string file = sandbox::Join(folder, "Elvish.ini");
    sandbox::WriteFile(file, "[Moon]\nMoon5=Vollmond\n");
    CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "Elvish");
    CopyText(Plugin.languagePath, sizeof Plugin.languagePath, file.c_str());
    EXPECT_STREQ("Vollmond", MoonPhaseNameAt(full, 0));
    EXPECT_EQ(Plugin.value, MoonPhaseNameAt(full, 0));
    EXPECT_STREQ("Undefined Phase", MoonPhaseNameAt(firstQuarter, 0));

    // A chosen language without its file reads the default for every phase.
    CopyText(Plugin.languagePath, sizeof Plugin.languagePath,
             sandbox::Join(folder, "Missing.ini").c_str());
    EXPECT_STREQ("Undefined Phase", MoonPhaseNameAt(full, 0));

    // "None" goes back to the built-in names, with the file still on disk.
    CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "None");
    CopyText(Plugin.languagePath, sizeof Plugin.languagePath, file.c_str());
    EXPECT_STREQ("Full Moon", MoonPhaseNameAt(full, 0));

    sandbox::RemoveTree(folder);
    RestoreLanguage(saved);
}

TEST(MoonIllumination, PercentageAndPhaseAge) {
    LocaleEnv env = UsePointLocale();
    struct Case {
        double fraction;
        const char *percent;
    } cases[] = {{1e-9, "0.00"},  {0.1, "12.05"},  {0.9, "12.05"},
                 {0.25, "53.14"}, {0.75, "53.14"}, {0.5, "99.26"}};
    for (const Case &c : cases) {
        uint64_t t = InstantAt(c.fraction, kIlluminationReference);
        EXPECT_EQ(NumberText(c.percent), MoonIlluminationAt(t, 0, 0)) << c.fraction;
#if !defined(_WIN32)
        EXPECT_STREQ(c.percent, MoonIlluminationAt(t, 0, 0)) << c.fraction;
#endif
    }
    // Not monotonic near full moon: above the full moon's own reading a little before it.
    double beforeFull = atof(MoonIlluminationAt(InstantAt(0.485, kIlluminationReference), 0, 0));
    EXPECT_GT(beforeFull, 99.5);

    EXPECT_STREQ("0", MoonIlluminationAt(InstantAt(1e-9, kIlluminationReference), 0, 1));
    EXPECT_STREQ("20", MoonIlluminationAt(InstantAt(0.5 + 1e-9, kIlluminationReference), 0, 1));
    EXPECT_STREQ("39", MoonIlluminationAt(InstantAt(0.999, kIlluminationReference), 0, 1));

    // Negative offsets count hours, the others days.
    uint64_t t = InstantAt(0.3, kIlluminationReference);
    for (int age : {0, 1}) {
        std::string threeHours = MoonIlluminationAt(t + 3 * kHour, 0, age);
        EXPECT_EQ(threeHours, MoonIlluminationAt(t, -3, age));
        std::string threeDays = MoonIlluminationAt(t + 3 * kDay, 0, age);
        EXPECT_EQ(threeDays, MoonIlluminationAt(t, 3, age));
        EXPECT_NE(threeHours, threeDays);
    }

    // The largest offsets stop at the end of the file-time range instead of wrapping.
    std::string end = MoonIlluminationAt(UINT64_MAX, 0, 0);
    EXPECT_EQ(end, MoonIlluminationAt(kNewYear2024, INT_MAX, 0));
    EXPECT_EQ(end, MoonIlluminationAt(kNewYear2024, INT_MIN, 0));
    EXPECT_STREQ(MoonIlluminationAt(0, 0, 1), MoonIlluminationAt(kIlluminationReference, 0, 1));

#if !defined(_WIN32)
    // The locale of the user gives the separator.
    sandbox::SetEnv("LC_ALL", "de_DE.UTF-8");
    EXPECT_STREQ("53,14", MoonIlluminationAt(InstantAt(0.25, kIlluminationReference), 0, 0));
#endif
    RestoreLocale(env);
}

TEST(NextMoonDate, FollowsTheLunationInUtc) {
    // Every instant of one lunation points at the same next new moon, 1.025 lunations after
    // its start, so the one at 0.025 of the current lunation is passed over early in it.
    uint64_t early = InstantAt(0.01, kCalendarReference);
    std::string nextNew = NextMoonDateAt(early, 0);
    EXPECT_EQ(nextNew, NextMoonDateAt(InstantAt(0.9, kCalendarReference), 0));
    EXPECT_EQ(DateText(InstantAt(0.025, kCalendarReference, 1)), nextNew);
    EXPECT_NE(DateText(InstantAt(0.025, kCalendarReference)), nextNew);

    // The next full moon is the one of this lunation until it is reached, then the next one
    // (just past it: F = 0.5 itself lies within rounding of the edge on some toolchains).
    std::string thisFull = NextMoonDateAt(InstantAt(0.49, kCalendarReference), 1);
    EXPECT_EQ(thisFull, NextMoonDateAt(InstantAt(0.1, kCalendarReference), 1));
    EXPECT_EQ(DateText(InstantAt(0.5, kCalendarReference)), thisFull);
    std::string nextFull = NextMoonDateAt(InstantAt(0.5 + 1e-9, kCalendarReference), 1);
    EXPECT_EQ(DateText(InstantAt(0.5, kCalendarReference, 1)), nextFull);
    EXPECT_EQ(nextFull, NextMoonDateAt(InstantAt(0.9, kCalendarReference), 1));

    // Clocks outside the usable range give a bounded text and never wrap around.
    for (uint64_t clock : {(uint64_t)0, (uint64_t)UINT64_MAX, (uint64_t)UINT64_MAX - kDay}) {
        for (int full : {0, 1}) {
            const char *text = NextMoonDateAt(clock, full);
            EXPECT_LT(strlen(text), (size_t)TEXT_CAPACITY);
            EXPECT_NE('\0', text[0]);
        }
    }
}

TEST(MoonAge, DaysAndHoursWithBlanksForOne) {
    struct Case {
        double age;
        const char *text;
    } cases[] = {{1.25 + 1e-6, "1 day  6 hours"},
                 {12.05, "12 days 1 hour "},
                 {0.01, "0 days 0 hours"},
                 {29.51, "29 days 12 hours"}};
    for (const Case &c : cases) {
        uint64_t t = InstantAt(c.age / 29.53058867, kCalendarReference);
        EXPECT_STREQ(c.text, MoonAgeAt(t)) << c.age;
    }
    EXPECT_STREQ(MoonAgeAt(kCalendarReference), MoonAgeAt(0));
}
