// Night pictures carry the moon phase of their own period: forecast day p the phase p + 1 days
// ahead, hours and the current conditions the phase of the clock.
#include <gtest/gtest.h>

#include <string>

#include "images/icons.h"
#include "moon/moon.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/sandbox.h"

static const int kNightCodes[] = {27, 29, 31, 33, 45, 46, 47};
static const int kDays = 10;
static const int kHours = 24;

static int NightCode(int period) {
    return kNightCodes[period % 7];
}

class NightIcons : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("night-icons");
        cache = sandbox::Join(folder, "Nimbrel");
        images = sandbox::Join(folder, "pictures");
        sandbox::MakeFolderAt(images);
        // A closed loopback port: nothing is downloaded.
        ResetCoreState(cache, "127.0.0.1:9");
        Plugin.maxDays = kDays;
        Plugin.maxHours = kHours;
        Plugin.showMoonPhase = 1;
        // Every moon variant of every night code, and the plain day code: the phase alone
        // decides which one a period finds.
        for (int code : kNightCodes) {
            for (int phase = 1; phase <= 8; phase++) {
                Put(std::to_string(code) + "_" + std::to_string(phase) + ".png");
            }
        }
        Put("32.png");
        std::string forecast, hourly;
        for (int day = 1; day <= kDays; day++) {
            forecast += "<icon>32</icon><icon>" + std::to_string(NightCode(day)) + "</icon>";
        }
        for (int hour = 1; hour <= kHours; hour++) {
            hourly += "<icon>" + std::to_string(NightCode(hour)) + "</icon>";
        }
        sandbox::WriteFile(Cached("Forecast", ".10.Days"), forecast);
        sandbox::WriteFile(Cached("Hourly", ".24.Hours"), hourly);
        sandbox::WriteFile(Cached("Current", ""), "<cc><icon>33</icon></cc>");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    std::string Cached(const std::string &kind, const std::string &suffix) {
        return sandbox::Join(cache, "Weather." + kind + ".MN1.English" + suffix + ".xml");
    }
    std::string Picture(const std::string &name) { return sandbox::Join(images, name); }
    void Put(const std::string &name) { sandbox::WriteFile(Picture(name), "picture"); }
    std::string MoonPicture(int code, int phase) {
        return Picture(std::to_string(code) + "_" + std::to_string(phase) + ".png");
    }
    std::string Resolve(int period, int dayNight) {
        return ResolveIcon("MN1", images.c_str(), period, dayNight);
    }

    // Resolves with the phase index of the clock read just before and after the call; when the
    // phase changed meanwhile, tries again.
    void ExpectMoonPicture(int code, int phaseOffset, int period, int dayNight) {
        for (int attempt = 0; attempt < 5; attempt++) {
            int before = MoonPhaseIndexAt(OsUtcNow(), phaseOffset);
            std::string path = Resolve(period, dayNight);
            if (before == MoonPhaseIndexAt(OsUtcNow(), phaseOffset)) {
                EXPECT_EQ(MoonPicture(code, before), path) << "period " << period;
                return;
            }
        }
        ADD_FAILURE() << "the clock never held still around period " << period;
    }

    std::string folder, cache, images;
};

TEST_F(NightIcons, ForecastNightsTakeThePhaseOfTheirOwnDay) {
    for (int day = 1; day <= kDays; day++) {
        ExpectMoonPicture(NightCode(day), day, day, 0);
        // The day part is a day code: no moon.
        EXPECT_EQ(Picture("32.png"), Resolve(day, 1)) << "day " << day;
    }
    // The days span more than one phase, so a phase one day off shows on some day.
    uint64_t now = OsUtcNow();
    int changes = 0;
    for (int day = 1; day <= kDays; day++) {
        changes += MoonPhaseIndexAt(now, day) != MoonPhaseIndexAt(now, day - 1);
    }
    EXPECT_GT(changes, 0);
}

TEST_F(NightIcons, HoursAndTheCurrentConditionsTakeThePhaseOfTheClock) {
    for (int hour = 1; hour <= kHours; hour++) {
        ExpectMoonPicture(NightCode(hour), 0, -hour, 0);
    }
    ExpectMoonPicture(33, 0, 0, 0);
    // Without ShowMoonPhase the plain code is looked up, and only that.
    Plugin.showMoonPhase = 0;
    EXPECT_EQ(Picture("33.ico"), Resolve(0, 0));
}
