// Cutting the n-th element out of a document: the alert section, the service's error
// document, and the parse errors.
#include <gtest/gtest.h>

#include <string>

#include "feed/query.h"
#include "base/state.h"
#include "support/core_state.h"
#include "support/sandbox.h"

static const char kCurrent[] =
    "<weather><head><ut>F</ut><up>in</up></head>"
    "<cc><t>Cloudy</t><hmid>40</hmid><hmid>41</hmid><hmid>42</hmid><wind><t>NNE</t></wind>"
    "<empty></empty><open>no close"
    "</cc></weather>";

static const char kWithAlerts[] =
    "<weather><swa><a><t>Heat Advisory</t><l>http://a/1</l></a><a><t>Flood Watch</t>"
    "<l>http://a/2</l></a></swa><cc><t>Sunny</t><l>http://other</l><t>W</t></cc></weather>";

static const char kServiceError[] =
    "<error><err type=\"2\">Invalid location provided.</err></error>";

class Extract : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("extract");
        ResetCoreState(folder, "unused.test");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    std::string Cut(const std::string &document, const char *open, const char *close, int n) {
        std::string path = sandbox::Join(folder, "doc" + std::to_string(files++) + ".xml");
        sandbox::WriteFile(path, document);
        return ExtractElement(path.c_str(), open, close, n);
    }

    std::string folder;
    int files = 0;
};

TEST_F(Extract, CountsOccurrences) {
    EXPECT_EQ("F", Cut(kCurrent, "<ut>", "</ut>", 1));
    EXPECT_EQ("42", Cut(kCurrent, "<hmid>", "</hmid>", 3));
    EXPECT_EQ(TEXT_TOO_FEW_MARKS, Cut(kCurrent, "<hmid>", "</hmid>", 4));
    EXPECT_EQ(TEXT_NO_CLOSING_MARK, Cut(kCurrent, "<open>", "</open>", 1));
    EXPECT_EQ("", Cut(kCurrent, "<empty>", "</empty>", 1));
    EXPECT_EQ("NNE", Cut(kCurrent, "<t>", "</t>", 2));
    EXPECT_EQ(TEXT_TOO_FEW_MARKS, Cut(kCurrent, "<t>", "</t>", -1));
    // An attribute value: a blank, the name, an equals sign and a quote open it.
    EXPECT_EQ("2", Cut(R"(<day d="1"><part p="d"/></day><day d="2">)", " d=\"", "\"", 2));
    // The next pass starts right after the previous opening mark.
    EXPECT_EQ("<b>x", Cut("<b><b>x</b></b>", "<b>", "</b></b>", 1));
    EXPECT_EQ("x", Cut("<b><b>x</b></b>", "<b>", "</b>", 2));
}

TEST_F(Extract, WithoutAnAlertSectionAlertQueriesGiveNone) {
    EXPECT_EQ(TEXT_NO_ALERT, Cut(kCurrent, "<t>", "</t>", 0));
    EXPECT_EQ(TEXT_NO_ALERT, Cut(kCurrent, "<ut>", "</ut>", 0));
    EXPECT_EQ(TEXT_NO_ALERT, Cut(kServiceError, "<t>", "</t>", 0));
}

TEST_F(Extract, AlertTitlesAreLeftOutOfTheCount) {
    EXPECT_EQ("Sunny", Cut(kWithAlerts, "<t>", "</t>", 1));
    EXPECT_EQ("W", Cut(kWithAlerts, "<t>", "</t>", 2));
    EXPECT_EQ("Heat Advisory", Cut(kWithAlerts, "<t>", "</t>", 0));
    EXPECT_EQ("http://a/1", Cut(kWithAlerts, "<l>", "</l>", 1));
    EXPECT_EQ("http://other", Cut(kWithAlerts, "<l>", "</l>", 3));
    // A section that never ends leaves no condition to find.
    EXPECT_EQ(TEXT_TOO_FEW_MARKS, Cut("<swa><t>A</t><cc><t>B</t>", "<t>", "</t>", 1));
}

TEST_F(Extract, TheServicesErrorDocumentGivesItsMessage) {
    for (int n : {1, 2, 7}) {
        EXPECT_EQ("ERROR: Invalid location provided.", Cut(kServiceError, "<tmp>", "</tmp>", n));
    }
    EXPECT_EQ("ERROR: unknown service error", Cut("<error>oops</error>", "<t>", "</t>", 1));
    EXPECT_EQ("ERROR: runs on", Cut("<error><err type=\"1\">runs on", "<t>", "</t>", 1));
    EXPECT_EQ("ERROR: ", Cut("<error><err x", "<t>", "</t>", 1));
    std::string longMessage = "<error><err type=\"2\">" + std::string(3000, 'm') + "</err>";
    std::string cut = Cut(longMessage, "<t>", "</t>", 1);
    EXPECT_EQ(1023u, cut.size());
    EXPECT_EQ(0u, cut.find("ERROR: mmm"));
}

TEST_F(Extract, LongTextsAreCutToTheValueBuffer) {
    std::string big = "<t>" + std::string(5000, 'v') + "</t>";
    EXPECT_EQ(std::string(1023, 'v'), Cut(big, "<t>", "</t>", 1));
}

TEST_F(Extract, UnreadableFilesAreCacheReadErrors) {
    EXPECT_EQ(TEXT_CACHE_READ_ERROR, Cut("", "<t>", "</t>", 1));
    EXPECT_EQ(TEXT_CACHE_READ_ERROR,
              std::string(ExtractElement(sandbox::Join(folder, "none").c_str(), "<t>", "</t>", 1)));
}
