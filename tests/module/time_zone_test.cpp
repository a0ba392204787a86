// Under a time zone other than UTC: Now, Later, IconNow and IconLater choose their period by
// the local hour, while the next full and new moon stay in UTC. The test command runs these
// tests under several zones, so that at any hour of the day some zone puts the local hour and
// the UTC hour on different sides of the day's boundaries.
#include <gtest/gtest.h>

#include <string>

#include "moon/moon.h"
#include "platform/platform.h"
#include "support/local_clock.h"
#include "support/plugin_copy.h"
#include "support/sandbox.h"

static bool Daytime(int hour) {
    return hour >= 1 && hour <= 13;
}

static std::string DayPart(int day, char part, int icon) {
    std::string tag = std::to_string(day) + part;
    return "<part><icon>" + std::to_string(icon) + "</icon><t>C" + tag + "</t><t>W" + tag +
           "</t></part>";
}

class TimeZone : public ::testing::Test {
  protected:
    void SetUp() override {
        // Nothing is downloaded: every value is cached below.
        plugin.UseServiceAt("127.0.0.1:9", "[Unit]\nDefaultUnit=English\n");
        cache = sandbox::Join(plugin.temp, "Nimbrel");
        sandbox::MakeFolderAt(cache);
        images = sandbox::Join(plugin.folder, "pictures");
        sandbox::MakeFolderAt(images);
        for (const char *name : {"11.png", "12.png", "13.png", "14.png"}) {
            sandbox::WriteFile(sandbox::Join(images, name), "picture");
        }
        sandbox::WriteFile(sandbox::Join(cache, "Weather.Forecast.TZ1.English.5.Days.xml"),
                           "<ut>F</ut><day><hi>61</hi><low>41</low>" + DayPart(1, 'd', 11) +
                               DayPart(1, 'n', 12) + "</day><day><hi>62</hi><low>42</low>" +
                               DayPart(2, 'd', 13) + DayPart(2, 'n', 14) + "</day>");
        sandbox::WriteFile(sandbox::Join(cache, "Weather.Current.TZ1.English.xml"),
                           "<ut>F</ut><cc><tmp>50</tmp></cc>");
        ASSERT_TRUE(plugin.Load());
    }

    // Calls `call` with the local hour read just before it; when the hour changed meanwhile,
    // calls it again. Returns the result and the hour it belongs to.
    template <typename Call> std::pair<std::string, int> AtLocalHour(Call call) {
        for (;;) {
            int before = ReadLocalClock().hour;
            std::string result = call();
            if (ReadLocalClock().hour == before) {
                return {result, before};
            }
        }
    }

    std::string Picture(const char *name) { return sandbox::Join(images, name); }

    PluginCopy plugin{"time-zone"};
    std::string cache, images;
};

TEST_F(TimeZone, TheZoneIsNotUtc) {
    EXPECT_NE(0, ReadLocalClock().offsetMinutes) << "run these tests with TZ set to another zone";
}

TEST_F(TimeZone, NowAndLaterFollowTheLocalHour) {
    auto now = plugin.loaded.Get<Export4>("Now");
    auto later = plugin.loaded.Get<Export4>("Later");
    auto result =
        AtLocalHour([&] { return std::string(now("<name> <temp> <cond>", "TZ1", "", "0")); });
    EXPECT_EQ(Daytime(result.second) ? "Today 61 C1d" : "Tonight 41 C1n", result.first)
        << "local hour " << result.second;
    result =
        AtLocalHour([&] { return std::string(later("<name> <temp> <cond>", "TZ1", "", "0")); });
    EXPECT_EQ(Daytime(result.second) ? "Tonight 41 C1n" : "Tomorrow 62 C2d", result.first)
        << "local hour " << result.second;
}

TEST_F(TimeZone, IconNowAndIconLaterFollowTheLocalHour) {
    auto iconNow = plugin.loaded.Get<Export2>("IconNow");
    auto iconLater = plugin.loaded.Get<Export2>("IconLater");
    auto result = AtLocalHour([&] { return std::string(iconNow("TZ1", images.c_str())); });
    EXPECT_EQ(Picture(Daytime(result.second) ? "11.png" : "12.png"), result.first)
        << "local hour " << result.second;
    result = AtLocalHour([&] { return std::string(iconLater("TZ1", images.c_str())); });
    EXPECT_EQ(Picture(Daytime(result.second) ? "12.png" : "13.png"), result.first)
        << "local hour " << result.second;
}

// The locale's short date and time without seconds of a UTC date and time.
static std::string DateText(int year, int month, int day, int hour, int minute) {
    char date[128], clock[128];
    OsDateTime time = {year, month, day, hour, minute, 0, 0, 0};
    OsFormatShortDate(year, month, day, date, sizeof date);
    OsFormatTime(&time, OS_TIME_NO_SECONDS, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

TEST_F(TimeZone, TheNextFullAndNewMoonStayInUtc) {
    // 2024-01-01 00:00 UTC: full moon on the 25th at 04:44 UTC, new moon on the 11th at 04:05.
    const uint64_t newYear2024 = 133485408000000000ULL;
    EXPECT_EQ(DateText(2024, 1, 25, 4, 44), std::string(NextMoonDateAt(newYear2024, 1)));
    EXPECT_EQ(DateText(2024, 1, 11, 4, 5), std::string(NextMoonDateAt(newYear2024, 0)));

    // The module reads the UTC clock for them.
    auto current = plugin.loaded.Get<Export4>("CurrentConditions");
    auto moonDates = [](uint64_t clock) {
        std::string text = NextMoonDateAt(clock, 1);
        return text + "|" + NextMoonDateAt(clock, 0);
    };
    for (int attempt = 0;; attempt++) {
        std::string want = moonDates(OsUtcNow());
        std::string got = current("<nextfullmoon>|<nextnewmoon>", "TZ1", "", "0");
        if (want == moonDates(OsUtcNow()) || attempt == 4) {
            EXPECT_EQ(want, got);
            break;
        }
    }
}
