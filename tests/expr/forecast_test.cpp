// Forecast, Now, Later and Hourly over documents of known values: the occurrence arithmetic of
// days and hours, the bounds, the clock's choice of period, and the unit split.
#include <string>

#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "tests/expr/expr_fixture.h"

// One day part: icon, precipitation, humidity, wind speed, gust and degrees, condition and wind
// direction, each tagged with its day and part ("2n" is the night of day 2).
static std::string Part(int day, char part) {
    std::string tag = std::to_string(day) + part;
    return "<part p=\"" + std::string(1, part) + "\"><icon>" + std::to_string(day * 2) +
           "</icon><t>Cond" + tag + "</t><wind><s>" + std::to_string(day * 10 + (part == 'n')) +
           "</s><gust>G" + tag + "</gust><d>" + std::to_string(day * 100 + (part == 'n')) +
           "</d><t>Dir" + tag + "</t></wind><ppcp>P" + tag + "</ppcp><hmid>H" + tag +
           "</hmid></part>";
}

static std::string ForecastDocument(const char *unit, int offset) {
    static const char *const kDays[] = {"Monday", "Tuesday", "Wednesday"};
    std::string doc = std::string("<weather><head><ut>") + unit + "</ut><us>" +
                      (unit[0] == 'F' ? "mph" : "km/h") +
                      "</us></head><loc><dnam>Lakeside, LS (T1)</dnam><tm>9:05 AM</tm>"
                      "<lsup>3/4/05 8:00 AM CST</lsup><sunr>5:00 AM</sunr><suns>5:00 PM</suns>"
                      "</loc><dayf>";
    for (int d = 1; d <= 3; d++) {
        doc += "<day d=\"" + std::to_string(d - 1) + "\" t=\"" + kDays[d - 1] + "\" dt=\"Mar " +
               std::to_string(d + 3) + "\"><hi>" + std::to_string(60 + d + offset) + "</hi><low>" +
               std::to_string(40 + d + offset) + "</low><sunr>6:0" + std::to_string(d) +
               " AM</sunr><suns>6:1" + std::to_string(d) + " PM</suns>" + Part(d, 'd') +
               Part(d, 'n') + "</day>";
    }
    return doc + "</dayf></weather>";
}

static std::string HourlyDocument(const char *unit, int offset) {
    std::string doc = std::string("<weather><head><ut>") + unit + "</ut><us>" +
                      (unit[0] == 'F' ? "mph" : "km/h") +
                      "</us></head><lsup>3/4/05 8:30 AM CST</lsup><tm>9:10 AM</tm><hbhf>";
    for (int h = 1; h <= 3; h++) {
        std::string n = std::to_string(h);
        doc += "<hour h=\"" + std::to_string(h - 1) + "\" c=\"" + std::to_string(8 + h) +
               "\"><tmp>" + std::to_string(50 + h + offset) + "</tmp><flik>" +
               std::to_string(45 + h + offset) + "</flik><icon>" + std::to_string(h + 10) +
               "</icon><t>HCond" + n + "</t><wind><s>" + std::to_string(h * 3 + offset) +
               "</s><gust>" + std::to_string(h * 3 + offset + 9) + "</gust><d>" + n +
               "0</d><t>HDir" + n + "</t></wind><ppcp>" + n + "5</ppcp><hmid>" + n +
               "9</hmid><dewp>" + std::to_string(30 + h + offset) + "</dewp></hour>";
    }
    return doc + "</hbhf></weather>";
}

static const char kNarrative[] =
    "mpdData['narr'] = new Array();\n"
    "mpdData['narr'][1] = new mpdNarr('1','T1','d','Mar 4','Mon','Sunny early.','Today');\n"
    "mpdData['narr'][2] = new mpdNarr('2','T1','d','Mar 5','Tue','Rain late.','Tuesday');\n"
    "var mpdIssued = new mpdNObj('Issued Monday, Mar 4, at 7:00 AM CST');\n";

class ForecastTest : public ExprTest {
  protected:
    void SetUp() override {
        ExprTest::SetUp();
        Place("Forecast", "T1", "English", ForecastDocument("F", 0));
        Place("Forecast", "T1", "Metric", ForecastDocument("C", -30));
        Place("Hourly", "T1", "English", HourlyDocument("F", 0));
        Place("Hourly", "T1", "Metric", HourlyDocument("C", -40));
        Place("Details", "T1", "English", kNarrative);
    }
    static std::string Day(const std::string &expression, const char *day,
                           const char *unit = "English", const char *degree = "0") {
        return ForecastText(expression.c_str(), "T1", day, unit, degree);
    }
    static std::string Hour(const std::string &expression, const char *hour,
                            const char *unit = "English", const char *degree = "0") {
        return HourlyText(expression.c_str(), "T1", hour, unit, degree);
    }
};

TEST_F(ForecastTest, EachDayReadsItsOwnOccurrences) {
    const std::string expression = "<high>/<low> <cond>|<condn> <precip>|<precipn> "
                                   "<humidity>|<humidityn> <wind>|<windn> <winddir>|<winddirn> "
                                   "<winddeg>|<winddegn> <sunrise>";
    for (int d = 1; d <= 3; d++) {
        std::string n = std::to_string(d);
        std::string want = std::to_string(60 + d) + "/" + std::to_string(40 + d) + " Cond" + n +
                           "d|Cond" + n + "n P" + n + "d|P" + n + "n H" + n + "d|H" + n + "n " +
                           std::to_string(d * 10) + "|" + std::to_string(d * 10 + 1) + " Dir" + n +
                           "d|Dir" + n + "n " + std::to_string(d * 100) + "|" +
                           std::to_string(d * 100 + 1) + " " + Time(6, d);
        EXPECT_EQ(want, Day(expression, n.c_str())) << "day " << d;
    }
    // The first <sunr> and <suns> belong to no day.
    EXPECT_EQ(Time(18, 12), Day("<sunset>", "2"));
}

TEST_F(ForecastTest, NamesDatesAndTheNarrative) {
    char tuesday[64], march[64];
    OsCalendarName(Plugin.dayNames, 1, tuesday, sizeof tuesday);
    OsCalendarName(Plugin.monthNames, 2, march, sizeof march);
    EXPECT_EQ("Today", Day("<dayname>", "1"));
    EXPECT_EQ(std::string(tuesday) + " " + march + " 5", Day("<dayname> <daydate>", "2"));
    EXPECT_EQ("Today: Sunny early.", Day("<details>", "1"));
    EXPECT_EQ("Tuesday: Rain late.", Day("<details>", "2"));
    EXPECT_EQ("Monday, Mar 4, 7:00 AM", Day("<detailsupdate>", "3"));
    // Day 3 has no narrative entry.
    EXPECT_EQ("Data Unavailable", Day("<details>", "3"));
    EXPECT_EQ("Lakeside, LS CST " + Time(9, 5), Day("<city> <timezone> <download>", "1"));
}

TEST_F(ForecastTest, GustsOfEachPartAndHour) {
    EXPECT_EQ("G1d G1n mph", Day("<windgust> <windgustn> <windunit>", "1"));
    EXPECT_EQ("G3d G3n", Day("<windgust> <windgustn>", "3"));
    EXPECT_EQ("18 9", Hour("<windgust> <wind>", "3"));
    EXPECT_EQ("-22", Hour("<windgust>", "3", "Metric")); // the call's unit, as the wind
    // Now and Later show the gust of their part.
    EXPECT_EQ("G1d", std::string(NowOrLaterText("<windgust>", "T1", "English", "0", 0, 9)));
    EXPECT_EQ("G1n", std::string(NowOrLaterText("<windgust>", "T1", "English", "0", 0, 15)));
    EXPECT_EQ("G2d", std::string(NowOrLaterText("<windgust>", "T1", "English", "0", 1, 20)));
    // Documents that hold no gust: "N/A", as for a gust the feed does not report.
    auto withoutGusts = [](std::string doc) {
        for (size_t at; (at = doc.find("<gust>")) != std::string::npos;) {
            doc.erase(at, doc.find("</gust>", at) + 7 - at);
        }
        return doc;
    };
    Place("Forecast", "T2", "English", withoutGusts(ForecastDocument("F", 0)));
    Place("Hourly", "T2", "English", withoutGusts(HourlyDocument("F", 0)));
    EXPECT_EQ("N/A N/A 20", std::string(ForecastText("<windgust> <windgustn> <wind>", "T2", "2",
                                                     "English", "0")));
    EXPECT_EQ("N/A 6", std::string(HourlyText("<windgust> <wind>", "T2", "2", "English", "0")));
}

TEST_F(ForecastTest, UnitsSplitOverTwoCacheFiles) {
    // Unit-dependent values from the metric file, the others from the default English one.
    EXPECT_EQ("32/12 C 20 P2d", Day("<high>/<low> <tempunit> <wind> <precip>", "2", "Metric"));
    EXPECT_EQ("62" + Degree() + "F (32" + Degree() + "C)", Day("<high>", "2", "Both", "1"));
}

TEST_F(ForecastTest, DayAndHourBounds) {
    for (const char *day : {"0", "-1", "6", "x", ""}) {
        EXPECT_EQ(TEXT_INVALID_DAY, Day("<high>", day)) << day;
    }
    Place("Forecast", "T1", "English", ForecastDocument("F", 0));
    EXPECT_NE(TEXT_INVALID_DAY, Day("<high>", "5"));
    for (const char *hour : {"0", "-1", "13", "x"}) {
        EXPECT_EQ(TEXT_INVALID_HOUR, Hour("<temp>", hour)) << hour;
    }
    EXPECT_NE(TEXT_INVALID_HOUR, Hour("<temp>", "12"));
    // No feed at all: the forecast probe lets "N/A" through, the hourly one does not.
    EXPECT_EQ("N/A x", std::string(ForecastText("<high> x", "NONE", "1", "", "0")));
    EXPECT_EQ("N/A", std::string(HourlyText("<moonvis>", "NONE", "1", "", "0")));
    EXPECT_EQ("plain text", Day("plain text", "1"));
}

TEST_F(ForecastTest, EachHourReadsItsOwnOccurrences) {
    const std::string expression = "<temp>/<feel>/<dewpoint> <cond> <precip> <humidity> <wind> "
                                   "<winddir> <winddeg> <hourname>";
    for (int h = 1; h <= 3; h++) {
        std::string n = std::to_string(h);
        std::string want = std::to_string(50 + h) + "/" + std::to_string(45 + h) + "/" +
                           std::to_string(30 + h) + " HCond" + n + " " + n + "5 " + n + "9 " +
                           std::to_string(h * 3) + " HDir" + n + " " + n + "0 " +
                           Time(8 + h, 0, OS_TIME_HOUR_ONLY);
        EXPECT_EQ(want, Hour(expression, n.c_str())) << "hour " << h;
    }
    // Wind and the download time follow the call's unit; precipitation the default's.
    EXPECT_EQ("12 25", Hour("<temp> <precip>", "2", "Metric"));
    EXPECT_EQ("-31 HDir3", Hour("<wind> <winddir>", "3", "Metric"));
    EXPECT_EQ("CST " + Time(9, 10), Hour("<timezone> <download>", "1"));
}

TEST_F(ForecastTest, TheClockChoosesThePeriod) {
    const struct {
        int hour, later, day, night;
    } cases[] = {{13, 0, 1, 0}, {14, 0, 1, 1}, {0, 0, 1, 1}, {9, 0, 1, 0}, {21, 0, 1, 1},
                 {10, 1, 1, 1}, {20, 1, 2, 0}, {0, 1, 2, 0}, {1, 1, 1, 1}, {23, 1, 2, 0}};
    for (const auto &c : cases) {
        int day = -1, night = -1;
        ChoosePeriod(c.hour, c.later, &day, &night);
        EXPECT_EQ(c.day, day) << c.hour << (c.later ? " later" : " now");
        EXPECT_EQ(c.night, night) << c.hour << (c.later ? " later" : " now");
    }
    const std::string expression = "<name>: <temp> <cond> <wind>";
    EXPECT_EQ("Today: 61 Cond1d 10",
              std::string(NowOrLaterText(expression.c_str(), "T1", "English", "0", 0, 13)));
    EXPECT_EQ("Tonight: 41" + Degree() + " Cond1n 11",
              std::string(NowOrLaterText(expression.c_str(), "T1", "English", "1", 0, 15)));
    EXPECT_EQ("Tonight: 41 Cond1n 11",
              std::string(NowOrLaterText(expression.c_str(), "T1", "English", "0", 1, 10)));
    EXPECT_EQ("Tomorrow: 62 Cond2d 20",
              std::string(NowOrLaterText(expression.c_str(), "T1", "English", "0", 1, 20)));
    // With a language the condition is named by its code: 2 and 4 here.
    UseLanguage("[Daynames]\nTonight=Heute Nacht\n");
    EXPECT_EQ("Heute Nacht: 41 Windy Rain 11",
              std::string(NowOrLaterText(expression.c_str(), "T1", "English", "0", 0, 0)));
    EXPECT_EQ("Tomorrow: 62 Heavy Thunderstorm 20",
              std::string(NowOrLaterText(expression.c_str(), "T1", "English", "0", 1, 0)));
}

TEST_F(ForecastTest, TheHelpTexts) {
    std::string forecast = ForecastTermsHelp();
    EXPECT_EQ(0u, forecast.find("Use these terms in your Forecast Expression:\n\n<high> - high "));
    EXPECT_EQ(28 + 5, (int)std::count(forecast.begin(), forecast.end(), '<'));
    std::string hourly = HourlyTermsHelp();
    EXPECT_EQ(0u, hourly.find("Use these terms in your Hourly Expression:%b%b<update> - "));
    EXPECT_EQ(std::string::npos, hourly.find('\n'));
    EXPECT_EQ(17 + 4, (int)std::count(hourly.begin(), hourly.end(), '<'));
    EXPECT_NE("%b", hourly.substr(hourly.size() - 2));
}
