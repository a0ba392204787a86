// The texts of the user's locale as the expressions show them: clock and hour times without a
// seconds field in locales that write words beside their fields, one encoding (UTF-8 on POSIX)
// whatever the locale's code set, texts cut whole at the result's end, and feed dates and time
// pictures that are malformed left as written.
#include <locale.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "expr/current.h"
#include "expr/datetime.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "support/utf8_text.h"
#include "tests/expr/expr_fixture.h"

static std::string Conditions(const std::string &expression, const char *unit = "English") {
    return CurrentConditionsText(expression.c_str(), "T1", unit, "1");
}

static std::string Apply(char *(*format)(char *), const char *input) {
    char text[1024];
    CopyText(text, sizeof text, input);
    return format(text);
}

#if !defined(_WIN32)

// Two hours of an Hourly feed: 9 and 16 o'clock.
static const char kTwoHours[] = "<weather><head><ut>F</ut></head><t>Fair</t><hour h=\"0\" c=\"9\">"
                                "</hour><hour h=\"1\" c=\"16\"></hour></weather>";

// Names the locale of every text while it lives, as the user's environment would. The module
// keeps a locale for each environment it meets, a few of them for the life of the process; the
// scope lets go of them, so that the many locales of these tests never outnumber its places.
class LocaleScope {
  public:
    explicit LocaleScope(const std::string &name) {
        const char *old = getenv("LC_ALL");
        had = old != NULL;
        saved = old ? old : "";
        setenv("LC_ALL", name.c_str(), 1);
    }
    ~LocaleScope() {
        OsReleaseCaches();
        if (had) {
            setenv("LC_ALL", saved.c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
    }

  private:
    bool had;
    std::string saved;
};

static bool Installed(const std::string &name) {
    locale_t locale = newlocale(LC_ALL_MASK, name.c_str(), (locale_t)0);
    if (locale == (locale_t)0) {
        return false;
    }
    freelocale(locale);
    return true;
}

TEST_F(ExprTest, ClockAndHourTimesLoseTheirSecondsByWholeCharacters) {
    Place("Hourly", "T1", "English", kTwoHours);
    const struct {
        const char *locale, *morning, *afternoon, *nine, *sixteen;
    } cases[] = {
        {"en_US.UTF-8", "06:35 AM", "01:15 PM", "09 AM", "04 PM"},
        {"en_GB.UTF-8", "06:35", "13:15", "09", "16"},
        {"de_DE.UTF-8", "06:35", "13:15", "09", "16"},
        {"fr_FR.UTF-8", "06:35", "13:15", "09", "16"},
        {"ja_JP.UTF-8", "06時35分", "13時15分", "09時", "16時"},
        {"zh_CN.UTF-8", "06时35分", "13时15分", "09时", "16时"},
        {"ko_KR.UTF-8", "06시 35분", "13시 15분", "09시", "16시"},
        // The same locales in code sets of several bytes to a character, and of one.
        {"ja_JP.eucjp", "06時35分", "13時15分", "09時", "16時"},
        {"zh_CN.gbk", "06时35分", "13时15分", "09时", "16时"},
        {"ko_KR.euckr", "06시 35분", "13시 15분", "09시", "16시"},
        {"fr_FR", "06:35", "13:15", "09", "16"},
        {"de_DE@euro", "06:35", "13:15", "09", "16"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(Installed(c.locale)) << c.locale;
        LocaleScope scope(c.locale);
        EXPECT_EQ(std::string(c.morning) + "|" + c.afternoon, Conditions("<sunrise>|<time>"))
            << c.locale;
        EXPECT_EQ(c.nine, std::string(HourlyText("<hourname>", "T1", "1", "English", "0")))
            << c.locale;
        EXPECT_EQ(c.sixteen, std::string(HourlyText("<hourname>", "T1", "2", "English", "0")))
            << c.locale;
        // The full form keeps its seconds, so only the shortened forms lost a field.
        OsDateTime when = {2000, 1, 1, 13, 15, 42, 0, 6};
        char full[256];
        OsFormatTime(&when, OS_TIME_FULL, full, sizeof full);
        EXPECT_NE(std::string::npos, std::string(full).find("42")) << c.locale << " " << full;
        EXPECT_TRUE(IsUtf8(full)) << c.locale;
    }
}

TEST_F(ExprTest, ALocaleChangedBetweenTwoCallsShowsInTheNext) {
    ASSERT_TRUE(Installed("en_US.UTF-8"));
    ASSERT_TRUE(Installed("de_DE.UTF-8"));
    LocaleScope scope("en_US.UTF-8");
    EXPECT_EQ("06:35 AM|30.12", Conditions("<sunrise>|<press>", "English"));
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ("06:35|30,12", Conditions("<sunrise>|<press>", "English"));
    // Outside an export call the formatting functions read the environment themselves.
    setenv("LC_ALL", "en_US.UTF-8", 1);
    OsDateTime when = {2000, 1, 1, 13, 15, 42, 0, 6};
    char text[64];
    OsFormatTime(&when, OS_TIME_NO_SECONDS, text, sizeof text);
    EXPECT_STREQ("01:15 PM", text);
    OsDecimalSeparator(text, sizeof text);
    EXPECT_STREQ(".", text);
}

TEST_F(ExprTest, LocalesOfOtherCodeSetsGiveTheTextsOfTheirUtf8Twins) {
    const struct {
        const char *locale, *twin;
    } pairs[] = {{"fr_FR", "fr_FR.UTF-8"},       {"de_DE@euro", "de_DE.UTF-8"},
                 {"ja_JP.eucjp", "ja_JP.UTF-8"}, {"ko_KR.euckr", "ko_KR.UTF-8"},
                 {"zh_CN", "zh_CN.UTF-8"},       {"ru_RU.koi8r", "ru_RU.UTF-8"},
                 {"tr_TR", "tr_TR.UTF-8"},       {"el_GR", "el_GR.UTF-8"}};
    // Every name, the short date, the three time forms, a picture with the AM/PM marker and its
    // first character, and the decimal separator.
    auto texts = [](const std::string &locale) {
        LocaleScope scope(locale);
        std::vector<std::string> all;
        char text[1024];
        for (OsCalendarNames names :
             {OS_LONG_DAY_NAMES, OS_SHORT_DAY_NAMES, OS_LONG_MONTH_NAMES, OS_SHORT_MONTH_NAMES}) {
            for (int index = 0; index < 12; index++) {
                if (OsCalendarName(names, index, text, sizeof text) > 0) {
                    all.push_back(text);
                }
            }
        }
        OsFormatShortDate(2005, 3, 23, text, sizeof text);
        all.push_back(text);
        for (int hour : {9, 21}) {
            OsDateTime when = {2000, 1, 1, hour, 15, 42, 0, 6};
            for (OsTimeForm form : {OS_TIME_FULL, OS_TIME_NO_SECONDS, OS_TIME_HOUR_ONLY}) {
                OsFormatTime(&when, form, text, sizeof text);
                all.push_back(text);
            }
            OsFormatTimePicture(&when, "tt|t|hh", text, sizeof text);
            all.push_back(text);
        }
        OsDecimalSeparator(text, 4);
        all.push_back(text);
        return all;
    };
    for (const auto &pair : pairs) {
        ASSERT_TRUE(Installed(pair.locale)) << pair.locale;
        std::vector<std::string> own = texts(pair.locale), twin = texts(pair.twin);
        ASSERT_EQ(twin.size(), own.size());
        for (size_t i = 0; i < own.size(); i++) {
            EXPECT_TRUE(IsUtf8(own[i])) << pair.locale << " text " << i;
            EXPECT_EQ(twin[i], own[i]) << pair.locale << " text " << i;
        }
    }
    // The bytes themselves, for two texts that hold letters beyond ASCII.
    {
        LocaleScope scope("fr_FR");
        char text[1024] = "Feb 3";
        EXPECT_STREQ("f\xC3\xA9vr. 3", FormatDayDate(text));
        // The grouping blank of the locale is a no-break space, U+00A0.
        char number[64];
        OsFormatNumber("1234567.5", number, sizeof number);
        EXPECT_STREQ("1\xC2\xA0"
                     "234\xC2\xA0"
                     "567,50",
                     number);
        // Beside them, the degree sign and a trend symbol stay UTF-8 too.
        std::string line = Conditions("<temp> <sunrise> <presssymbol> <update>");
        EXPECT_TRUE(IsUtf8(line)) << line;
        EXPECT_EQ(0u, line.find("72\xC2\xB0 06:35 \xC3\xA1 ")) << line;
    }
    {
        LocaleScope scope("de_DE@euro");
        char text[1024] = "Mar 3";
        EXPECT_STREQ("M\xC3\xA4r 3", FormatDayDate(text));
    }
    {
        LocaleScope scope("tr_TR");
        OsDateTime morning = {2000, 1, 1, 9, 0, 0, 0, 6};
        char text[64];
        OsFormatTimePicture(&morning, "t", text, sizeof text);
        EXPECT_STREQ("\xC3\x96", text); // the first character of the marker, whole
    }
}

TEST_F(ExprTest, TheClockTermTakesTheMarkerInUtf8) {
    LocaleScope scope("ja_JP.eucjp");
    std::string marker = Conditions("<systemtime tt>");
    EXPECT_TRUE(marker == "\xE5\x8D\x88\xE5\x89\x8D" || marker == "\xE5\x8D\x88\xE5\xBE\x8C")
        << marker;
}

#endif

TEST_F(ExprTest, TextsCutAtTheResultsEndKeepWholeCharacters) {
    // "72°F (22°C)" after 1013 letters runs past the 1023 bytes of the result.
    std::string expression = std::string(1013, 'x') + "<temp>";
    std::string full = std::string(1013, 'x') + "72" + Degree() + "F (22" + Degree() + "C)";
    std::string result = Conditions(expression, "Both");
    if (OsTextIsUtf8) {
        EXPECT_EQ(full.substr(0, 1022), result); // not the lead byte of the second degree sign
    } else {
        EXPECT_EQ(full.substr(0, 1023), result);
    }
    // An expression longer than the result, whose last character does not fit.
    std::string accented = std::string(1022, 'x') + "\xC3\xA9";
    EXPECT_EQ(OsTextIsUtf8 ? accented.substr(0, 1022) : accented.substr(0, 1023),
              Conditions(accented));

    // The three ways a text is cut, with a character of four bytes across the end.
    const std::string face = "\xF0\x9F\x99\x82";
    char small[8];
    EXPECT_EQ(0, CopyText(small, sizeof small, ("abcde" + face).c_str()));
    EXPECT_EQ(OsTextIsUtf8 ? "abcde" : "abcde\xF0\x9F", std::string(small));
    EXPECT_EQ(0, FormatText(small, sizeof small, "%s%s", "abcd", face.c_str()));
    EXPECT_EQ(OsTextIsUtf8 ? "abcd" : "abcd\xF0\x9F\x99", std::string(small));
    CopyText(small, sizeof small, "abc<t>d");
    ReplaceAll(small, sizeof small, "<t>", ("x" + face).c_str());
    EXPECT_EQ(OsTextIsUtf8 ? "abcx" : "abcx\xF0\x9F\x99", std::string(small));
    CopyText(small, sizeof small, "ab<t>\xC3\xA9");
    ReplaceAll(small, sizeof small, "<t>", "wxyz");
    EXPECT_EQ(OsTextIsUtf8 ? "abwxyz" : "abwxyz\xC3", std::string(small));
    // Text that fits is never shortened, whatever it ends with.
    EXPECT_EQ(1, CopyText(small, sizeof small, ("ab" + face).c_str()));
    EXPECT_EQ("ab" + face, std::string(small));
}

// The date of an update stamp is in the stamp's own year, whatever year the computer's clock is
// in: a stamp written at 23:45 on 31 December in New York is read after midnight UTC.
TEST_F(ExprTest, StampsKeepTheirOwnYear) {
    char date[64];
    OsFormatShortDate(2019, 7, 4, date, sizeof date);
    EXPECT_EQ(date, Apply(FormatMonthDay, "7/4/19"));
    EXPECT_EQ(date, Apply(FormatMonthDay, "7/4/2019"));
    EXPECT_EQ(std::string(date) + " " + Time(23, 45), Apply(FormatUpdateStamp, "7/4/19 11:45 PM"));
    OsFormatShortDate(2026, 12, 31, date, sizeof date);
    EXPECT_EQ(std::string(date) + " " + Time(23, 45),
              Apply(FormatUpdateStamp, "12/31/26 11:45 PM"));
    OsFormatShortDate(2027, 1, 1, date, sizeof date);
    EXPECT_EQ(std::string(date) + " " + Time(0, 10), Apply(FormatUpdateStamp, "1/1/27 12:10 AM"));
    OsFormatShortDate(2024, 2, 29, date, sizeof date);
    EXPECT_EQ(date, Apply(FormatMonthDay, "2/29/24"));
    // A year that is none stays as the feed wrote it.
    EXPECT_EQ("7/4/123", Apply(FormatMonthDay, "7/4/123"));

    // Without a year the date is the one nearest today: a stamp of late December read in early
    // January is of the year before, one of early January read in late December of the next.
    OsDateTime today;
    ASSERT_TRUE(OsFileTimeToDateTime(OsUtcNow(), &today));
    int december = today.month == 1 ? today.year - 1 : today.year;
    int january = today.month == 12 ? today.year + 1 : today.year;
    OsFormatShortDate(december, 12, 31, date, sizeof date);
    EXPECT_EQ(date, Apply(FormatMonthDay, "12/31"));
    OsFormatShortDate(january, 1, 1, date, sizeof date);
    EXPECT_EQ(date, Apply(FormatMonthDay, "1/1"));
}

TEST_F(ExprTest, MalformedPicturesAndImpossibleDatesStayAsWritten) {
    // A quote that never closes: the tag stays, and the walk goes on.
    for (const char *tag : {"<systemtime HH 'x>", "<systemtime 'HH>", "<systemtime H'''m>"}) {
        EXPECT_EQ(std::string(tag) + " 72" + Degree(), Conditions(std::string(tag) + " <temp>"))
            << tag;
    }
    // Quotes that close, the doubled one standing for a quote, are a picture as before.
    std::string clock = Conditions("<systemtime 'at' HH 'o''clock'>");
    ASSERT_EQ(13u, clock.size()) << clock;
    EXPECT_EQ("at ", clock.substr(0, 3));
    EXPECT_EQ(" o'clock", clock.substr(5));

    // A day the month does not have is no date; the feed's text stays.
    char date[64];
    EXPECT_EQ("2/30/26", Apply(FormatMonthDay, "2/30/26"));
    EXPECT_EQ("4/31", Apply(FormatMonthDay, "4/31"));
    EXPECT_EQ("2/29/27", Apply(FormatMonthDay, "2/29/27"));
    EXPECT_EQ("2/30/26 " + Time(22, 45), Apply(FormatUpdateStamp, "2/30/26 10:45 PM"));
    // The platform's date formatting refuses such a date too, rather than rolling it over.
    EXPECT_EQ(0u, OsFormatShortDate(2026, 2, 30, date, sizeof date));
    EXPECT_STREQ("", date);
    EXPECT_LT(0u, OsFormatShortDate(2024, 2, 29, date, sizeof date));
}
