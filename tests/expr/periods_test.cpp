// Forecast days, hours, Now and Later read each value at its own offset: the moon terms, the
// night forms, the last-update stamp and its raw form when the probe fails, and the condition
// codes that a language file names. Every day and hour has values of its own, so a value read
// at a neighbouring offset shows.
#include <string>

#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "moon/moon.h"
#include "tests/expr/expr_fixture.h"

static const int kDays = 10;
static const int kHours = 24;

// The condition code of forecast occurrence k (day part 2d - 1, night part 2d) and of hour h.
static int ForecastCode(int occurrence) {
    return 10 + occurrence;
}
static int HourCode(int hour) {
    return 50 + hour;
}

// One day part of day d: every value tagged with the day and "d" or "n".
static std::string DayPart(int day, char part) {
    std::string tag = std::to_string(day) + part;
    int occurrence = 2 * day - (part == 'd');
    return "<part p=\"" + std::string(1, part) + "\"><icon>" +
           std::to_string(ForecastCode(occurrence)) + "</icon><t>C" + tag + "</t><wind><s>S" + tag +
           "</s><d>D" + tag + "</d><t>W" + tag + "</t></wind><ppcp>P" + tag + "</ppcp><hmid>H" +
           tag + "</hmid></part>";
}

// The stamps carry a zone whose name holds "PM": the stamp must be cut after its "AM" before
// the time is read, or the morning turns into evening.
static const char kForecastStamp[] = "3/4/05 8:00 AM PMDT";
static const char kHourlyStamp[] = "3/4/05 8:30 AM PMST";

static std::string ForecastDocument() {
    std::string doc = std::string("<weather><head><ut>F</ut><us>mph</us></head><loc><dnam>Lake"
                                  "</dnam><tm>9:05 AM</tm><lsup>") +
                      kForecastStamp +
                      "</lsup><sunr>5:00 AM</sunr><suns>5:00 PM</suns></loc><dayf>";
    for (int d = 1; d <= kDays; d++) {
        doc += "<day d=\"" + std::to_string(d - 1) + "\" t=\"Monday\" dt=\"Mar 4\"><hi>" +
               std::to_string(60 + d) + "</hi><low>" + std::to_string(40 + d) +
               "</low><sunr>6:00 AM</sunr><suns>6:00 PM</suns>" + DayPart(d, 'd') +
               DayPart(d, 'n') + "</day>";
    }
    return doc + "</dayf></weather>";
}

static std::string HourlyDocument() {
    std::string doc = std::string("<weather><head><ut>F</ut><us>mph</us></head><lsup>") +
                      kHourlyStamp + "</lsup><tm>9:10 AM</tm><hbhf>";
    for (int h = 1; h <= kHours; h++) {
        std::string n = std::to_string(h);
        doc += "<hour h=\"" + n + "\" c=\"" + std::to_string(h % 24) + "\"><tmp>" + n +
               "</tmp><icon>" + std::to_string(HourCode(h)) + "</icon><t>HC" + n + "</t><wind><s>" +
               n + "</s><t>HW" + n + "</t></wind></hour>";
    }
    return doc + "</hbhf></weather>";
}

// A language file that names every condition code n "Ln".
static std::string ConditionNames() {
    std::string text = "[Conditions]\n";
    for (int code = 0; code < 100; code++) {
        text += "Cond" + std::to_string(code) + "=L" + std::to_string(code) + "\n";
    }
    return text + "[Daynames]\nToday=Heute\nTonight=Heute Nacht\nTomorrow=Morgen\n";
}

class PeriodTest : public ExprTest {
  protected:
    void SetUp() override {
        ExprTest::SetUp();
        Plugin.maxDays = kDays;
        Plugin.maxHours = kHours;
        Place("Forecast", "T1", "English", ForecastDocument());
        Place("Hourly", "T1", "English", HourlyDocument());
    }
    static std::string Day(const std::string &expression, int day, const char *id = "T1") {
        return ForecastText(expression.c_str(), id, std::to_string(day).c_str(), "English", "0");
    }
    static std::string Hour(const std::string &expression, int hour, const char *id = "T1") {
        return HourlyText(expression.c_str(), id, std::to_string(hour).c_str(), "English", "0");
    }
    static std::string NowOrLater(const std::string &expression, int later, int hour) {
        return NowOrLaterText(expression.c_str(), "T1", "English", "0", later, hour);
    }
    // The short date of the stamps' 4 March in the current UTC year, as the stamp shows it.
    // The stamps' date, in their own year.
    static std::string MarchFourth() {
        char date[128];
        OsFormatShortDate(2005, 3, 4, date, sizeof date);
        return date;
    }
};

// Checks `call` against what `expect` gives for the clock read just before and just after it;
// when the clock crossed a change of the value meanwhile, tries again.
template <typename Expect, typename Call>
static void ExpectAtTheClock(Expect expect, Call call, const std::string &label) {
    for (int attempt = 0; attempt < 5; attempt++) {
        std::string before = expect(OsUtcNow());
        std::string actual = call();
        if (before == expect(OsUtcNow())) {
            EXPECT_EQ(before, actual) << label;
            return;
        }
    }
    ADD_FAILURE() << "the clock never held still around " << label;
}

TEST_F(PeriodTest, ForecastMoonTermsReadTheirOwnDayOffsets) {
    // <moon> of day d is the phase d + 1 days ahead, <moonvis> the illumination d - 1 days ahead,
    // <moonphase> the phase age d days ahead.
    auto expect = [](int d) {
        return [d](uint64_t now) {
            std::string text = MoonPhaseNameAt(now, d);
            text += "|" + std::string(MoonIlluminationAt(now, d - 1, 0));
            return text + "|" + MoonIlluminationAt(now, d, 1);
        };
    };
    for (int d = 1; d <= kDays; d++) {
        ExpectAtTheClock(
            expect(d), [d] { return Day("<moon>|<moonvis>|<moonphase>", d); },
            "day " + std::to_string(d));
    }
    // The days span more than one phase, so an offset one day off shows on some day.
    uint64_t now = OsUtcNow();
    int changes = 0;
    for (int d = 1; d <= kDays; d++) {
        changes += MoonPhaseIndexAt(now, d) != MoonPhaseIndexAt(now, d - 1);
    }
    EXPECT_GT(changes, 0);
}

TEST_F(PeriodTest, HourlyMoonTermsReadHoursAhead) {
    auto expect = [](int h) {
        return [h](uint64_t now) {
            std::string text = MoonIlluminationAt(now, -h, 0);
            return text + "|" + MoonIlluminationAt(now, -h, 1) + "|<moon>";
        };
    };
    for (int h = 1; h <= kHours; h++) {
        ExpectAtTheClock(
            expect(h), [h] { return Hour("<moonvis>|<moonphase>|<moon>", h); },
            "hour " + std::to_string(h));
    }
    // Hours, not days: hour 3 and day 3 differ.
    uint64_t now = OsUtcNow();
    std::string hours = MoonIlluminationAt(now, -3, 0);
    EXPECT_NE(hours, std::string(MoonIlluminationAt(now, 3, 0)));
}

TEST_F(PeriodTest, NowAndLaterRewriteEveryDayTermIntoItsNightForm) {
    const std::string expression =
        "<name>: <temp> <precip> <humidity> <cond> <wind> <winddir> <winddeg>";
    const std::string tonight = "Tonight: 41 P1n H1n C1n S1n W1n D1n";
    const std::string today = "Today: 61 P1d H1d C1d S1d W1d D1d";
    const std::string tomorrow = "Tomorrow: 62 P2d H2d C2d S2d W2d D2d";
    EXPECT_EQ(today, NowOrLater(expression, 0, 9));
    EXPECT_EQ(tonight, NowOrLater(expression, 0, 15));
    EXPECT_EQ(tonight, NowOrLater(expression, 0, 0));
    EXPECT_EQ(tonight, NowOrLater(expression, 1, 9));
    EXPECT_EQ(tomorrow, NowOrLater(expression, 1, 15));
    EXPECT_EQ(tomorrow, NowOrLater(expression, 1, 0));
    // Terms already in their night form, and terms that only begin like a day term, stay.
    EXPECT_EQ("41 61 P1n C1n <windy>", NowOrLater("<low> <high> <precipn> <condn> <windy>", 0, 20));

    UseLanguage(ConditionNames());
    EXPECT_EQ("Heute", NowOrLater("<name>", 0, 9));
    EXPECT_EQ("Heute Nacht", NowOrLater("<name>", 0, 20));
    EXPECT_EQ("Heute Nacht", NowOrLater("<name>", 1, 9));
    EXPECT_EQ("Morgen", NowOrLater("<name>", 1, 20));
}

TEST_F(PeriodTest, TheLastUpdateStampOfForecastAndHourly) {
    EXPECT_EQ(MarchFourth() + " " + Time(8, 0) + " PMDT", Day("<update> <timezone>", 2));
    EXPECT_EQ(MarchFourth() + " " + Time(8, 30) + " PMST", Hour("<update> <timezone>", 2));
}

TEST_F(PeriodTest, AFailedProbeGivesTheRawStampForAnUpdateTerm) {
    // A forecast without its unit element fails its probe; "N/A" does not.
    Place("Forecast", "P1", "English", std::string("<lsup>") + kForecastStamp + "</lsup>");
    EXPECT_EQ(kForecastStamp, Day("<high> <update>", 1, "P1"));
    EXPECT_EQ("ERROR(7): problem parsing.", Day("<high> <timezone>", 1, "P1"));
    Place("Forecast", "P2", "English",
          std::string("<ut>N/A</ut><lsup>") + kForecastStamp + "</lsup>");
    EXPECT_EQ(MarchFourth() + " " + Time(8, 0), Day("<update>", 1, "P2"));

    // An hourly feed fails its probe without a condition text, and with "N/A" as one when
    // its stamp is "N/A" too (the feed's document of no data).
    Place("Hourly", "P1", "English", std::string("<lsup>") + kHourlyStamp + "</lsup>");
    EXPECT_EQ(kHourlyStamp, Hour("<temp> <update>", 1, "P1"));
    EXPECT_EQ("ERROR(7): problem parsing.", Hour("<temp>", 1, "P1"));
    Place("Hourly", "P2", "English", "<t>N/A</t><lsup>N/A</lsup><tmp>50</tmp>");
    EXPECT_EQ("N/A", Hour("<update>", 1, "P2"));
    EXPECT_EQ("N/A", Hour("<moonvis> <temp>", 1, "P2"));
    Place("Hourly", "P4", "English", "<t>N/A</t><tmp>50</tmp>");
    EXPECT_EQ("N/A", Hour("<temp>", 1, "P4"));
    // With its stamp the document is there: only the condition is missing from it.
    Place("Hourly", "P5", "English",
          std::string("<t>N/A</t><lsup>") + kHourlyStamp + "</lsup><tmp>50</tmp>");
    EXPECT_EQ("N/A 50 " + MarchFourth() + " " + Time(8, 30),
              Hour("<cond> <temp> <update>", 1, "P5"));

    // A service error document has no stamp: its message is the answer either way.
    const char error[] = "<error><err type=\"2\">Invalid location provided.</err></error>";
    Place("Forecast", "P3", "English", error);
    Place("Hourly", "P3", "English", error);
    for (const char *expression : {"<update>", "<high>"}) {
        EXPECT_EQ("ERROR: Invalid location provided.", Day(expression, 1, "P3")) << expression;
    }
    EXPECT_EQ("ERROR: Invalid location provided.", Hour("<update>", 1, "P3"));
}

TEST_F(PeriodTest, ALanguageNamesEachPeriodByItsOwnConditionCode) {
    // Without a language the feed's texts; with one, the name of the period's own code.
    EXPECT_EQ("C3d|C3n", Day("<cond>|<condn>", 3));
    EXPECT_EQ("HC5", Hour("<cond>", 5));
    UseLanguage(ConditionNames());
    for (int d = 1; d <= kDays; d++) {
        EXPECT_EQ("L" + std::to_string(ForecastCode(2 * d - 1)) + "|L" +
                      std::to_string(ForecastCode(2 * d)),
                  Day("<cond>|<condn>", d))
            << "day " << d;
    }
    for (int h = 1; h <= kHours; h++) {
        EXPECT_EQ("L" + std::to_string(HourCode(h)) + " HW" + std::to_string(h),
                  Hour("<cond> <winddir>", h))
            << "hour " << h;
    }
}
