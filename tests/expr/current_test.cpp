// CurrentConditions over documents of known values: every term, the units and flags, the
// early exit and the probe.
#include <string>

#include "expr/current.h"
#include "plugin/expr_frame.h"
#include "expr/datetime.h"
#include "base/terms.h"
#include "moon/moon.h"
#include "tests/expr/expr_fixture.h"

static std::string Conditions(const std::string &expression, const char *id = "T1",
                              const char *unit = "English", const char *degree = "1") {
    return CurrentConditionsText(expression.c_str(), id, unit, degree);
}

TEST_F(ExprTest, EveryCurrentTermHasItsValue) {
    OsDateTime now;
    OsFileTimeToDateTime(OsUtcNow(), &now);
    char stampDate[128];
    OsFormatShortDate(2005, 1, 23, stampDate, sizeof stampDate); // the stamp's own year
    const std::pair<const char *, std::string> cases[] = {
        {"<temp>", "72" + Degree()},
        {"<tempunit>", "F"},
        {"<feel>", "70" + Degree()},
        {"<city>", "Springfield, ST"},
        {"<locid>", "T1"},
        {"<citydata>", "Springfield Airport"},
        {"<cond>", "Partly Cloudy"},
        {"<humidity>", "45"},
        {"<vis>", "Unlimited"},
        {"<visunit>", "mi"},
        {"<dewpoint>", "50" + Degree()},
        {"<update>", std::string(stampDate) + " " + Time(22, 45)},
        {"<timezone>", "EST"},
        {"<download>", Time(13, 15)},
        {"<time>", Time(13, 15)},
        {"<uvnum>", "5"},
        {"<uv>", "Moderate"},
        {"<long>", "-75.2"},
        {"<lat>", "40.1"},
        {"<sunrise>", Time(6, 35)},
        {"<sunset>", Time(0, 5)},
        {"<timezonegmt>", "GMT-5"},
        {"<press>", Number("30.12").find(',') != std::string::npos ? "30,12" : "30.12"},
        {"<pressdir>", "rising"},
        {"<presssymbol>", Latin1Text(0xE1)},
        {"<pressunit>", "in"},
        {"<wind>", "10"},
        {"<windms>", Number("4.4")},
        {"<windknots>", Number("8.7")},
        {"<windbeaufort>", "3"},
        {"<windstrength>", "Gentle Breeze"},
        {"<windgustms>", Number("11.1")},
        {"<windgust>", "25"},
        {"<winddir>", "SSW"},
        {"<winddeg>", "200"},
        {"<windunit>", "mph"},
        {"<alert>", "None"},
    };
    std::string all, want;
    for (const auto &c : cases) {
        EXPECT_EQ(c.second, Conditions(c.first)) << c.first;
        all += std::string(c.first) + "|";
        want += c.second + "|";
    }
    // All at once: no value of one term disturbs another.
    EXPECT_EQ(want, Conditions(all));

    // The moon terms and the time-zone abbreviation come from the clock and the computer.
    EXPECT_EQ(MoonPhaseName(0), Conditions("<moon>"));
    EXPECT_EQ(std::string(MoonIllumination(0, 1)), Conditions("<moonphase>"));
    EXPECT_EQ(std::string(MoonAge()), Conditions("<moonage>"));
    EXPECT_EQ(std::string(LocalZoneAbbreviation()), Conditions("<timezonelocal>"));
    EXPECT_EQ(std::string::npos, Conditions("<moonvis> <nextfullmoon> <nextnewmoon>").find('<'));
}

TEST_F(ExprTest, UnitTypesAndFlags) {
    EXPECT_EQ("72" + Degree() + "F (22" + Degree() + "C)", Conditions("<temp>", "T1", "Both"));
    EXPECT_EQ("72F (22C)", Conditions("<temp>", "T1", "Both", "0"));
    EXPECT_EQ("22" + Degree(), Conditions("<temp>", "T1", "Metric"));
    EXPECT_EQ("72", Conditions("<temp>", "T1", "English", "0"));
    EXPECT_EQ("10 mph (16 km/h)", Conditions("<wind>", "T1", "Both"));
    EXPECT_EQ("Unlimited", Conditions("<vis>", "T1", "Both"));
    EXPECT_EQ(Number("4.4"), Conditions("<windms>", "T1", "English"));
    // Metric values come from the metric feed while the others keep the default one.
    EXPECT_EQ("22" + Degree() + " 16 45 Springfield, ST",
              Conditions("<temp> <wind> <humidity> <city>", "T1", "Metric"));
    // An empty unit type is the default unit type.
    EXPECT_EQ("72" + Degree(), Conditions("<temp>", "T1", ""));
}

TEST_F(ExprTest, AnEmptyUnitTypeWithBothAsTheDefaultShowsBothUnits) {
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit, "Both");
    Place("Current", "T1", "Both", kCurrentEnglish); // the feed answers Both in English
    EXPECT_EQ("72" + Degree() + "F (22" + Degree() + "C)", Conditions("<temp>", "T1", ""));
    EXPECT_EQ("10 mph (16 km/h)", Conditions("<wind>", "T1", ""));
    EXPECT_EQ("Unlimited", Conditions("<vis>", "T1", ""));
    // A unit type given still wins over the default.
    EXPECT_EQ("22" + Degree(), Conditions("<temp>", "T1", "Metric"));
}

TEST_F(ExprTest, TheEarlyExitAndTheCountOfAngleBrackets) {
    Place("Current", "T2", "English",
          "<ut>F</ut><tmp>60</tmp><cc><t>Fog</t><wind><s>5</s><t>N</t></wind>"
          "<uv><i>1</i><t><wind></t></uv></cc>");
    // One term and nothing else: the walk ends at it, so "<wind>" in its value stays.
    EXPECT_EQ("<wind>", Conditions("<uv>", "T2"));
    // Another "<" keeps the walk going, and the later term is found inside the value.
    EXPECT_EQ("5 <", Conditions("<uv> <", "T2"));
    // The same term twice is one replacement, counted once.
    EXPECT_EQ("60" + Degree() + "60" + Degree() + " N", Conditions("<temp><temp> <winddir>", "T2"));
    EXPECT_EQ("60" + Degree() + " < 70", Conditions("<temp> < 70", "T2"));
    EXPECT_EQ("<unknown> 60" + Degree(), Conditions("<unknown> <temp>", "T2"));
}

TEST_F(ExprTest, EachCallSeesTheFilesAsTheyAreWhenItStarts) {
    // One call looks each file's time up once; the next call sees a file rewritten since,
    // in both units, even one whose time moved back.
    std::string both = Conditions("<temp>", "T1", "Both");
    EXPECT_NE(std::string::npos, both.find("72")) << both;
    EXPECT_NE(std::string::npos, both.find("22")) << both;
    std::string english = sandbox::Join(cache, "Weather.Current.T1.English.xml");
    std::string metric = sandbox::Join(cache, "Weather.Current.T1.Metric.xml");
    sandbox::WriteFile(english, "<ut>F</ut><tmp>90</tmp>");
    sandbox::WriteFile(metric, "<ut>C</ut><tmp>32</tmp>");
    SetFileAge(english, 120);
    both = Conditions("<temp>", "T1", "Both");
    EXPECT_NE(std::string::npos, both.find("90")) << both;
    EXPECT_NE(std::string::npos, both.find("32")) << both;
    EXPECT_EQ("90" + Degree(), Conditions("<temp>", "T1"));
    EXPECT_EQ("32" + Degree(), Conditions("<temp>", "T1", "Metric"));
}

TEST_F(ExprTest, EachPlaceAndUnitKeepsItsOwnDocumentWhileTheKeptSetIsFull) {
    // Other places, in both units, fill every kept slot between the calls of T1.
    const int places = FEED_DOCUMENT_SLOTS;
    for (int i = 0; i < places; i++) {
        std::string id = "P" + std::to_string(i);
        Place("Current", id, "English", "<ut>F</ut><tmp>" + std::to_string(40 + i) + "</tmp>");
        Place("Current", id, "Metric", "<ut>C</ut><tmp>" + std::to_string(i) + "</tmp>");
    }
    Place("Current", "T1", "Both", kCurrentEnglish); // the feed answers Both in English
    const std::string d = Degree();
    const std::pair<const char *, std::string> both[] = {
        {"<temp>", "72" + d + "F (22" + d + "C)"},
        {"<feel>", "70" + d + "F (21" + d + "C)"},
        {"<dewpoint>", "50" + d + "F (10" + d + "C)"},
        {"<wind>", "10 mph (16 km/h)"},
        {"<windgust>", "25 mph (40 km/h)"},
        {"<tempunit>", "F"},
        {"<windms>", Number("4.4")},
        {"<humidity>", "45"},
    };
    std::string expression, want;
    for (const auto &c : both) {
        expression += std::string(c.first) + "|";
        want += c.second + "|";
    }
    for (int round = 0; round < 2; round++) {
        for (int i = 0; i < places; i++) {
            std::string id = "P" + std::to_string(i);
            EXPECT_EQ(std::to_string(40 + i) + d + "F (" + std::to_string(i) + d + "C)",
                      Conditions("<temp>", id.c_str(), "Both"));
        }
        EXPECT_EQ(want, Conditions(expression, "T1", "Both")) << "round " << round;
        EXPECT_EQ("72" + d + " F", Conditions("<temp> <tempunit>", "T1", "English"));
        EXPECT_EQ("22" + d + " C", Conditions("<temp> <tempunit>", "T1", "Metric"));
        EXPECT_EQ("40" + d + " F", Conditions("<temp> <tempunit>", "P0", "English"));
        EXPECT_EQ("0" + d + " C", Conditions("<temp> <tempunit>", "P0", "Metric"));
    }
}

TEST_F(ExprTest, AProbeThatFailsIsTheWholeResult) {
    EXPECT_EQ("N/A", Conditions("<temp> <city>", "NOFILE"));
    EXPECT_EQ("N/A", Conditions("<update>", "NOFILE"));
    Place("Current", "T3", "English", "<error><err type=\"2\">Invalid location.</err></error>");
    EXPECT_EQ("ERROR: Invalid location.", Conditions("<temp>", "T3"));
    Place("Current", "T4", "English", "<ut>N/A</ut><lsup>1/2/05 3:04 PM EST</lsup>");
    EXPECT_EQ("N/A", Conditions("<temp>", "T4"));
    // With "<update>" the raw stamp comes back instead, unformatted.
    EXPECT_EQ("1/2/05 3:04 PM EST", Conditions("<update> <temp>", "T4"));
}

TEST_F(ExprTest, ValuesThatHoldTheirOwnTermEndAtOnce) {
    Place("Current", "T5", "English", "<ut>F</ut><cc><t><cond> and <cond></t></cc>");
    EXPECT_EQ("x<cond> and <cond>y", Conditions("x<cond>y", "T5"));
    EXPECT_EQ("<cond> and <cond>|<cond> and <cond>", Conditions("<cond>|<cond>", "T5"));
}

TEST_F(ExprTest, LongExpressionsAreCutNeverOverrun) {
    std::string expression(3000, 'x');
    expression.replace(10, 6, "<temp>");
    std::string result = Conditions(expression);
    EXPECT_EQ(1023u - 6u + 2u + Degree().size(), result.size());
    EXPECT_EQ(0u, result.find("xxxxxxxxxx72"));

    // Values that would grow the text past the buffer are cut at its end.
    std::string many;
    for (int i = 0; i < 200; i++) {
        many += "<city>";
    }
    result = Conditions(many);
    EXPECT_LE(result.size(), 1023u);
    EXPECT_GT(result.size(), 1000u);
    EXPECT_EQ(0u, result.find("Springfield, STSpringfield, ST"));
}

TEST_F(ExprTest, TheClockTerm) {
    std::string result = Conditions("at <systemtime HH:mm:ss.zzz>!");
    ASSERT_EQ(16u, result.size()) << result;
    for (size_t i : {3u, 4u, 6u, 7u, 9u, 10u, 12u, 13u, 14u}) {
        EXPECT_TRUE(result[i] >= '0' && result[i] <= '9') << result;
    }
    EXPECT_EQ('!', result.back());
    // The same picture twice gives one time; the picture is deleted after the tag.
    result = Conditions("<systemtime HH:mm> <systemtime HH:mm> HH:mm <sunrise>");
    ASSERT_EQ(5u, result.find(' '));
    EXPECT_EQ(result.substr(0, 5), result.substr(6, 5));
    EXPECT_EQ(" " + Time(6, 35), result.substr(result.size() - Time(6, 35).size() - 1));
    // Malformed tags stay as written, and the walk goes on.
    for (const char *tag : {"<systemtime>", "<systemtime >", "<systemtime HH:mm", "<systemtime"}) {
        EXPECT_EQ(std::string(tag) + " 72" + Degree(), Conditions(std::string(tag) + " <temp>"))
            << tag;
    }
    std::string longPicture = "<systemtime " + std::string(300, 'H') + ">";
    EXPECT_EQ(longPicture, Conditions(longPicture));
}

TEST_F(ExprTest, TheHelpTextListsEveryTerm) {
    std::string help = CurrentTermsHelp();
    EXPECT_EQ(0u, help.find("Use these terms in your CurrentConditions expression:\n\n<temp> - "));
    // 32 weather terms and 18 of the air, the six plants' on one line.
    EXPECT_EQ(32 + 13 + 2, 1 + (int)std::count(help.begin(), help.end(), '\n'));
    EXPECT_NE('\n', help.back());
    EXPECT_EQ(32 + 18, (int)std::count(help.begin(), help.end(), '<'));
}
