// The formatters on their own: measurement, date and time, places, the narrative, and the
// language file.
#include <stdlib.h>

#include <string>

#include "expr/current.h"
#include "plugin/expr_frame.h"
#include "expr/datetime.h"
#include "expr/measure.h"
#include "base/language.h"
#include "tests/expr/expr_fixture.h"

static std::string Beaufort(const char *speed, int number) {
    char text[1024];
    CopyText(text, sizeof text, speed);
    return BeaufortWind(text, number);
}

TEST_F(ExprTest, BeaufortBandsAndTheirEnds) {
    const struct {
        const char *mph, *number, *name;
    } cases[] = {{"1", "0", "Calm"},        {"2", "1", "Light Air"},   {"10", "3", "Gentle Breeze"},
                 {"73", "12", "Hurricane"}, {"79", "13", "Hurricane"}, {"100", "17", "Hurricane"},
                 {"-40", "-20", "Calm"},    {"0", "0", "0"},           {"N/A", "N/A", "N/A"},
                 {"calm", "calm", "calm"}};
    for (const auto &c : cases) {
        EXPECT_EQ(c.number, Beaufort(c.mph, 1)) << c.mph;
        EXPECT_EQ(c.name, Beaufort(c.mph, 0)) << c.mph;
    }
    char text[1024] = "10";
    EXPECT_EQ(Number("8.7"), std::string(FormatKnots(text)));
    CopyText(text, sizeof text, "N/A");
    EXPECT_STREQ("N/A", FormatKnots(text));
}

TEST_F(ExprTest, MeasuresReadTheirUnitsFromTheCurrentFeed) {
    Place("Forecast", "T1", "English", "<day><hi>80</hi><hi>81</hi><hi>82</hi></day>");
    EXPECT_EQ("82" + Degree() + "F",
              std::string(FormatMeasure("T1", "English", "1", "1", "<hi>", "</hi>", 3)));
    EXPECT_EQ("72" + Degree() + "F",
              std::string(FormatMeasure("T1", "", "1", "1", "<tmp>", "</tmp>", 0)));
    EXPECT_EQ("72" + Degree(),
              std::string(FormatMeasure("T1", "English", "1", "0", "<tmp>", "</tmp>", 0)));
    EXPECT_EQ("72F", std::string(FormatMeasure("T1", "English", "0", "1", "<tmp>", "</tmp>", 0)));
    // One half "N/A": the whole value is "N/A".
    Place("Current", "T6", "Metric", "<ut>C</ut><tmp>N/A</tmp>");
    Place("Current", "T6", "English", "<ut>F</ut><tmp>50</tmp>");
    EXPECT_STREQ("N/A", FormatMeasure("T6", "Both", "1", "1", "<tmp>", "</tmp>", 0));
    // Wind and visibility keep it in both halves.
    EXPECT_EQ("10 mph (16 km/h)", std::string(FormatWind("T1", "Both", "0", "<s>", "</s>", 0)));
    EXPECT_EQ("Unlimited", std::string(FormatVisibility("T1", "English", "0", "<vis>", "</vis>")));
    EXPECT_EQ("Unlimited mi",
              std::string(FormatVisibility("T1", "English", "1", "<vis>", "</vis>")));
}

TEST_F(ExprTest, PressureTakesTheLocaleSeparator) {
    char separator[8];
    OsDecimalSeparator(separator, 4);
    std::string metric = std::string("1019") + separator + "9";
    EXPECT_EQ(metric, std::string(FormatPressure("T1", "Metric", "0", "<r>", "</r>")));
    EXPECT_EQ(metric + " mb", std::string(FormatPressure("T1", "Metric", "1", "<r>", "</r>")));
    EXPECT_EQ(std::string("30") + separator + "12 in (" + metric + " mb)",
              std::string(FormatPressure("T1", "Both", "0", "<r>", "</r>")));
    EXPECT_EQ(Latin1Text(0xA1), std::string(PressureSymbol("steady")));
    EXPECT_EQ(Latin1Text(0xE2), std::string(PressureSymbol("falling")));
    EXPECT_EQ(Latin1Text(0xF4), std::string(PressureSymbol("Steady")));
    EXPECT_EQ(Latin1Text(0xF4), std::string(PressureSymbol("N/A")));
}

static std::string Apply(char *(*format)(char *), const char *input) {
    char text[1024];
    CopyText(text, sizeof text, input);
    return format(text);
}

TEST_F(ExprTest, ClockTimesDatesAndStamps) {
    EXPECT_EQ(Time(0, 5), Apply(FormatClockTime, "12:05 AM"));
    EXPECT_EQ(Time(12, 30), Apply(FormatClockTime, "12:30 PM"));
    EXPECT_EQ(Time(13, 15), Apply(FormatClockTime, "1:15 PM"));
    EXPECT_EQ("N/A", Apply(FormatClockTime, "N/A"));
    EXPECT_EQ("ERROR(7): problem parsing.", Apply(FormatClockTime, "ERROR(7): problem parsing."));
    EXPECT_EQ("noon", Apply(FormatClockTime, "noon"));
    // Hours past any clock stay as the feed wrote them, even ones past an int.
    EXPECT_EQ("13:15 PM", Apply(FormatClockTime, "13:15 PM"));
    EXPECT_EQ("99999999999:00 PM", Apply(FormatClockTime, "99999999999:00 PM"));
    std::string stamp = Apply(FormatUpdateStamp, "1/2 99999999999:00 PM");
    EXPECT_EQ(" 99999999999:00 PM", stamp.substr(stamp.find(' '))) << stamp;
    EXPECT_EQ("1/23/05 10:45 PM", Apply(CutAfterMeridiem, "1/23/05 10:45 PM EST"));
    EXPECT_EQ("2/1 9:00 AM", Apply(CutAfterMeridiem, "2/1 9:00 AM CAMT"));
    EXPECT_EQ("N/A", Apply(CutAfterMeridiem, "N/A"));
    EXPECT_EQ("N/A", Apply(FormatUpdateStamp, "N/A"));
    EXPECT_EQ("nostamp", Apply(FormatUpdateStamp, "nostamp"));
    char text[1024] = "1/23/05 10:45 PM EST";
    EXPECT_STREQ("EST", TimeZoneFromStamp(text));
    CopyText(text, sizeof text, "1/23/05 10:45");
    EXPECT_STREQ("???", TimeZoneFromStamp(text));
    EXPECT_EQ(Time(14, 0, OS_TIME_HOUR_ONLY), Apply(FormatHourName, "14"));
    EXPECT_EQ("N/A", Apply(FormatHourName, "N/A"));
}

TEST_F(ExprTest, DayAndMonthNames) {
    char text[1024] = "Wednesday";
    EXPECT_STREQ("Today", DayName(text, 1));
    char sunday[64];
    OsCalendarName(Plugin.dayNames, 6, sunday, sizeof sunday);
    CopyText(text, sizeof text, "Sunday");
    EXPECT_STREQ(sunday, DayName(text, 3));
    CopyText(text, sizeof text, "Someday");
    EXPECT_STREQ("Someday", DayName(text, 2));
    char january[64];
    OsCalendarName(Plugin.monthNames, 0, january, sizeof january);
    CopyText(text, sizeof text, "Jan 3");
    EXPECT_EQ(std::string(january) + " 3", std::string(FormatDayDate(text)));
    CopyText(text, sizeof text, "N/A");
    EXPECT_STREQ("N/A", FormatDayDate(text));
}

TEST_F(ExprTest, PlacesZonesAndTheNarrative) {
    EXPECT_EQ("Springfield, ST", Apply(CityName, "Springfield, ST (T1)"));
    EXPECT_EQ("A (x)", Apply(CityName, "A (x) (y)"));
    EXPECT_EQ("(only)", Apply(CityName, "(only)"));
    EXPECT_EQ("Plain", Apply(CityName, "Plain"));
    char zone[64];
    EXPECT_STREQ("PST", AbbreviateZoneName("Pacific Standard Time", zone, sizeof zone));
    EXPECT_STREQ("W.EST", AbbreviateZoneName("W. Europe Standard Time", zone, sizeof zone));
    EXPECT_STREQ("GMT-5", GmtZoneText("T1"));
    EXPECT_STREQ("T1", LocationIdText("T1"));
    EXPECT_STREQ("90210", LocationIdText(""));

    char narrative[1024] = "mpdNarr('1','X','d','Dec 8','Tue','Cloudy. High 48F.','Today');";
    EXPECT_STREQ("Today');: Cloudy. High 48F.", FormatNarrative(narrative));
    CopyText(narrative, sizeof narrative, "'a','b','c','d','e','f'");
    EXPECT_STREQ(": f", FormatNarrative(narrative));
    CopyText(narrative, sizeof narrative, "N/A");
    EXPECT_STREQ("N/A", FormatNarrative(narrative));
    CopyText(narrative, sizeof narrative, "ERROR(5): Cache read error.");
    EXPECT_STREQ("Data Unavailable", FormatNarrative(narrative));
    char stamp[1024] = "Issued Tuesday, Dec 8, at 12:17 AM PST";
    EXPECT_STREQ("Tuesday, Dec 8, 12:17 AM", FormatNarrativeStamp(stamp));
    CopyText(stamp, sizeof stamp, "no time");
    EXPECT_STREQ("", FormatNarrativeStamp(stamp));
}

TEST_F(ExprTest, TheLanguageFile) {
    Place("Current", "T7", "English",
          "<ut>F</ut><cc><t>Clouds</t><icon>26</icon><wind><s>1</s><t>NNE</t></wind></cc>");
    UseLanguage("[conditions]\ncond26=Bedeckt\n[Wind]\nNNE=Nordnordost\nCalm=Windstill\n");
    char code[1024] = "26";
    EXPECT_STREQ("Bedeckt", TranslateCondition("Conditions", code));
    CopyText(code, sizeof code, "28");
    EXPECT_STREQ("Mostly Cloudy Day", TranslateCondition("Conditions", code));
    CopyText(code, sizeof code, "32");
    EXPECT_STREQ("Sunny Day ", TranslateCondition("Conditions", code));
    // Texts that name no row of the table come back as they came.
    for (const char *odd : {"N/A", "99", "-1", "ERROR(7): problem parsing."}) {
        CopyText(code, sizeof code, odd);
        EXPECT_STREQ(odd, TranslateCondition("Conditions", code)) << odd;
    }
    // A text the section lacks comes back as it was, less trailing blanks as with any default.
    char wind[1024] = "SSW";
    EXPECT_STREQ("SSW", Translate("Wind", wind));
    CopyText(wind, sizeof wind, "SW  ");
    EXPECT_STREQ("SW", Translate("Wind", wind));
    EXPECT_EQ("Bedeckt Nordnordost Windstill",
              std::string(
                  CurrentConditionsText("<cond> <winddir> <windstrength>", "T7", "English", "1")));

    // A language that names a missing file: built-in condition names, English elsewhere.
    CopyText(Plugin.languagePath, sizeof Plugin.languagePath,
             sandbox::Join(folder, "Missing.ini").c_str());
    EXPECT_EQ("Cloudy NNE",
              std::string(CurrentConditionsText("<cond> <winddir>", "T7", "English", "1")));
    char day[1024] = "Monday";
    EXPECT_STREQ("Today", DayName(day, 1));
}

#if !defined(_WIN32)
// The locale-dependent texts in two locales: the C library reads the environment at each call.
TEST_F(ExprTest, TextsFollowTheLocale) {
    const char *saved = getenv("LC_ALL");
    std::string restore = saved ? saved : "";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_STREQ("1019,9", FormatPressure("T1", "Metric", "0", "<r>", "</r>"));
    EXPECT_EQ("4,40", std::string(FormatWind("T1", "Metric", "0", "<s>", "</s>", 1)));
    char text[1024] = "1:15 PM";
    EXPECT_STREQ("13:15", FormatClockTime(text));
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_STREQ("1019.9", FormatPressure("T1", "Metric", "0", "<r>", "</r>"));
    EXPECT_EQ("4.40", std::string(FormatWind("T1", "Metric", "0", "<s>", "</s>", 1)));
    CopyText(text, sizeof text, "1:15 PM");
    EXPECT_STREQ("01:15 PM", FormatClockTime(text));
    if (saved) {
        setenv("LC_ALL", restore.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}
#endif
