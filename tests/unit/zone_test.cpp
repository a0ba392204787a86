// Zones of the time-zone database by name: their offset and abbreviation at a moment, summer
// time and half-hour zones included, and nothing for a name that is no zone or would leave the
// database's folder. Windows has no such database: every name is unknown there.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "base/calendar.h"
#include "platform/platform.h"
#include "support/sandbox.h"

namespace {

// The file time of a UTC date at noon.
uint64_t Noon(int year, int month, int day) {
    const uint64_t epoch = 116444736000000000ull; // 1970-01-01
    int64_t seconds = DaysFromCivil(year, month, day) * 86400 + 12 * 3600;
    return epoch + (uint64_t)seconds * 10000000ull;
}

struct ZoneReading {
    int known;
    int offsetSeconds;
    std::string abbreviation;
};

ZoneReading ZoneAt(const char *zone, uint64_t fileTime) {
    int offset = 1;
    char abbreviation[16] = "x";
    int known = OsZoneAt(zone, fileTime, &offset, abbreviation, sizeof abbreviation);
    return {known, offset, abbreviation};
}

} // namespace

#if !defined(_WIN32)

TEST(Zones, OffsetAndAbbreviationAtTheMoment) {
    struct Case {
        const char *zone;
        uint64_t when;
        int offsetSeconds;
        const char *abbreviation;
    } cases[] = {
        {"America/Los_Angeles", Noon(2026, 1, 15), -8 * 3600, "PST"},
        {"America/Los_Angeles", Noon(2026, 7, 15), -7 * 3600, "PDT"},
        {"Europe/Oslo", Noon(2026, 12, 9), 3600, "CET"},
        {"Asia/Kolkata", Noon(2026, 7, 15), 19800, "IST"},
        {"Australia/Lord_Howe", Noon(2026, 1, 15), 11 * 3600, "+11"}, // summer: half an hour
        {"Australia/Lord_Howe", Noon(2026, 7, 15), 37800, "+1030"},   // ahead
        {"America/Sao_Paulo", Noon(2026, 1, 15), -3 * 3600, "-03"},   // no summer time now
        {"Etc/GMT+5", Noon(2026, 1, 15), -5 * 3600, "-05"},           // the sign turned round
        {"UTC", Noon(2026, 1, 15), 0, "UTC"},
    };
    for (const Case &c : cases) {
        ZoneReading reading = ZoneAt(c.zone, c.when);
        EXPECT_EQ(1, reading.known) << c.zone;
        EXPECT_EQ(c.offsetSeconds, reading.offsetSeconds) << c.zone;
        EXPECT_EQ(c.abbreviation, reading.abbreviation) << c.zone;
    }
}

TEST(Zones, NamesThatAreNoZoneAreUnknown) {
    for (const char *zone :
         {"", "America/Nowhere", "../../../etc/passwd", "/etc/localtime", "America/../../etc/hosts",
          "America//Denver", "America/", "/", "-America/Denver", ".hidden", "America/Denver ",
          "A/B/C/D", "Europe\\Oslo",
          "Aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}) {
        ZoneReading reading = ZoneAt(zone, Noon(2026, 1, 15));
        EXPECT_EQ(0, reading.known) << zone;
        EXPECT_EQ(0, reading.offsetSeconds) << zone;
        EXPECT_EQ("", reading.abbreviation) << zone;
    }
}

// Zone files of a folder of the test's own (TZDIR): only a file of the database's form with a
// rule the rule reader takes gives a zone, and only inside that folder.
TEST(Zones, OnlyAReadableRuleAtTheEndOfAZoneFileCounts) {
    std::string outside = sandbox::MakeFolder("zones");
    std::string folder = sandbox::Join(outside, "database");
    sandbox::MakeFolderAt(folder);
    auto zone = [&](const char *name, const std::string &bytes) {
        sandbox::WriteFile(sandbox::Join(folder, name), bytes);
    };
    std::string header = std::string("TZif2") + std::string(39, '\0');
    zone("Good", header + "\n<+0330>-3:30\n");
    sandbox::WriteFile(sandbox::Join(outside, "Outside"), header + "\nEST5\n");
    zone("Version1", std::string("TZif") + std::string(40, '\0') + "\nEST5\n");
    zone("NoRule", header + "\n\n");
    zone("Garbage", header + "\nnot a rule at all\n");
    zone("Unended", header + "\nEST5");
    zone("NotAZoneFile", "EST5\nEST5\n");
    zone("Empty", "");
    const char *previous = getenv("TZDIR");
    std::string kept = previous ? previous : "";
    setenv("TZDIR", folder.c_str(), 1);
    ZoneReading good = ZoneAt("Good", Noon(2026, 1, 15));
    EXPECT_EQ(1, good.known);
    EXPECT_EQ(12600, good.offsetSeconds);
    EXPECT_EQ("+0330", good.abbreviation);
    EXPECT_EQ(0, ZoneAt("../database/Good", Noon(2026, 1, 15)).known); // a way out and back
    std::string absolute = sandbox::Join(outside, "Outside");
    for (const char *name : {"Version1", "NoRule", "Garbage", "Unended", "NotAZoneFile", "Empty",
                             "../Outside", "database/../../Outside", absolute.c_str()}) {
        ZoneReading reading = ZoneAt(name, Noon(2026, 1, 15));
        EXPECT_EQ(0, reading.known) << name;
        EXPECT_EQ(0, reading.offsetSeconds) << name;
    }
    if (previous) {
        setenv("TZDIR", kept.c_str(), 1);
    } else {
        unsetenv("TZDIR");
    }
    sandbox::RemoveTree(outside);
}

#else

TEST(Zones, WindowsReadsAZoneOfTheDatabaseThroughItsOwnZoneOfThatName) {
    // Through the map of zone names to Windows zones and the system's rules for the year.
    ZoneReading winter = ZoneAt("America/Los_Angeles", Noon(2026, 1, 15));
    EXPECT_EQ(1, winter.known);
    EXPECT_EQ(-8 * 3600, winter.offsetSeconds);
    EXPECT_EQ("PST", winter.abbreviation);
    ZoneReading summer = ZoneAt("America/Los_Angeles", Noon(2026, 7, 15));
    EXPECT_EQ(1, summer.known);
    EXPECT_EQ(-7 * 3600, summer.offsetSeconds);
    EXPECT_EQ(1, ZoneAt("Europe/Berlin", Noon(2026, 7, 15)).known);
    EXPECT_EQ(2 * 3600, ZoneAt("Europe/Berlin", Noon(2026, 7, 15)).offsetSeconds);
    for (const char *name : {"Nowhere/City", "", "../Europe/Berlin"}) {
        ZoneReading reading = ZoneAt(name, Noon(2026, 1, 15));
        EXPECT_EQ(0, reading.known) << name;
        EXPECT_EQ(0, reading.offsetSeconds) << name;
    }
}

#endif
