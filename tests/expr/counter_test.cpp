// The early-exit counter around formatters that replace inside their own values, and the exact
// bytes of the degree sign and the pressure-trend symbols on each platform.
#include <string>

#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "tests/expr/expr_fixture.h"

// The degree sign and the trend symbols as the platform writes them: single bytes of the Windows
// code page in the DLL, their UTF-8 forms in the shared object.
#if defined(_WIN32)
static const char kDegree[] = "\xB0";
static const char kSteady[] = "\xA1";
static const char kRising[] = "\xE1";
static const char kFalling[] = "\xE2";
static const char kOtherTrend[] = "\xF4";
#else
static const char kDegree[] = "\xC2\xB0";
static const char kSteady[] = "\xC2\xA1";
static const char kRising[] = "\xC3\xA1";
static const char kFalling[] = "\xC3\xA2";
static const char kOtherTrend[] = "\xC3\xB4";
#endif

static std::string Conditions(const std::string &expression, const char *unit = "English",
                              const char *id = "T1") {
    return CurrentConditionsText(expression.c_str(), id, unit, "1");
}

// The terms that follow each one in the table of the current conditions, in table order.
static std::string Followers(const char *const *terms, int count) {
    std::string text;
    for (int i = 0; i < count; i++) {
        text += std::string(" ") + terms[i];
    }
    return text;
}

// A formatter that replaces inside its value gives the count back, so the walk still reaches
// every later term: for any number of later terms, nothing is left unreplaced. One count too
// few ends the walk at a term before the last.
TEST_F(ExprTest, PressureWithGroupingAndDecimalsLeavesNoLaterTermBehind) {
    static const char *const kLater[] = {"<pressdir>", "<pressunit>", "<wind>", "<winddeg>",
                                         "<windunit>"};
    for (const char *unit : {"Metric", "English", "Both"}) {
        for (int later = 1; later <= 5; later++) {
            std::string result = Conditions("<press>" + Followers(kLater, later), unit);
            EXPECT_EQ(std::string::npos, result.find('<'))
                << unit << " with " << later << " later terms: " << result;
        }
    }
    // The value itself: the grouping comma gone, the locale's decimal separator in place.
    char separator[SEPARATOR_CAPACITY];
    ASSERT_EQ(1, OsDecimalSeparator(separator, sizeof separator));
    EXPECT_EQ("1019" + std::string(separator) + "9 rising mb",
              Conditions("<press> <pressdir> <pressunit>", "Metric"));
}

TEST_F(ExprTest, TheClockTermLeavesNoLaterTermBehind) {
    static const char *const kLater[] = {"<sunrise>", "<sunset>", "<timezonegmt>", "<time>",
                                         "<pressdir>"};
    for (const char *picture : {"HH:mm", "HH:mm:ss.zzz", "h tt"}) {
        for (int later = 1; later <= 5; later++) {
            std::string result =
                Conditions("<systemtime " + std::string(picture) + ">" + Followers(kLater, later));
            EXPECT_EQ(std::string::npos, result.find('<'))
                << picture << " with " << later << " later terms: " << result;
        }
    }
}

TEST_F(ExprTest, TheNarrativeStampLeavesNoLaterTermBehind) {
    Place("Forecast", "T1", "English",
          "<ut>F</ut><us>mph</us><day><part><s>7</s><d>90</d><t>E</t><t>E</t></part>"
          "<part><s>8</s><d>91</d><t>W</t><t>W</t></part></day>");
    Place("Details", "T1", "English",
          "mpdData['narr'][1] = new mpdNarr('a','b','c','d','e','Fine.','Today');\n"
          "var mpdIssued = new mpdNObj('Issued Monday, Mar 4, at 7:00 AM CST');\n");
    static const char *const kLater[] = {"<wind>", "<windn>", "<winddeg>", "<winddegn>",
                                         "<windunit>"};
    for (int later = 1; later <= 5; later++) {
        std::string expression = "<detailsupdate>" + Followers(kLater, later);
        std::string result = ForecastText(expression.c_str(), "T1", "1", "English", "0");
        EXPECT_EQ(std::string::npos, result.find('<')) << later << " later terms: " << result;
        EXPECT_EQ(0u, result.find("Monday, Mar 4, 7:00 AM ")) << result;
    }
}

TEST_F(ExprTest, TheDegreeSignAndTrendSymbolsAreThePlatformsOwnBytes) {
    EXPECT_EQ(std::string("72") + kDegree, Conditions("<temp>"));
    EXPECT_EQ(std::string("72") + kDegree + "F (22" + kDegree + "C)", Conditions("<temp>", "Both"));
    EXPECT_EQ("72", std::string(CurrentConditionsText("<temp>", "T1", "English", "0")));

    const std::pair<const char *, const char *> trends[] = {{"steady", kSteady},
                                                            {"rising", kRising},
                                                            {"falling", kFalling},
                                                            {"Steady", kOtherTrend},
                                                            {"N/A", kOtherTrend}};
    for (const auto &trend : trends) {
        Place("Current", "T6", "English",
              std::string("<ut>F</ut><cc><bar><r>30</r><d>") + trend.first + "</d></bar></cc>");
        EXPECT_EQ(std::string("[") + trend.second + "]",
                  Conditions("[<presssymbol>]", "English", "T6"))
            << trend.first;
    }
}
