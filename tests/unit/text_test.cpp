#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "base/text.h"

TEST(CopyText, CutsToCapacityLessOneAndSaysSo) {
    char out[6];
    EXPECT_EQ(1, CopyText(out, sizeof out, "abcde"));
    EXPECT_STREQ("abcde", out);
    EXPECT_EQ(0, CopyText(out, sizeof out, "abcdefgh"));
    EXPECT_STREQ("abcde", out);
    EXPECT_EQ(0, AppendText(out, sizeof out, "x"));
    EXPECT_STREQ("abcde", out);
}

TEST(FormatText, ReportsACutText) {
    char out[8];
    EXPECT_EQ(1, FormatText(out, sizeof out, "%s:%s", "ab", "12"));
    EXPECT_STREQ("ab:12", out);
    EXPECT_EQ(0, FormatText(out, sizeof out, "%s:%s", "server", "8080"));
    EXPECT_STREQ("server:", out);
}

TEST(TextToInt, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(42, TextToInt("42"));
    EXPECT_EQ(-3, TextToInt("  -3abc"));
    EXPECT_EQ(7, TextToInt("+7"));
    EXPECT_EQ(0, TextToInt(""));
    EXPECT_EQ(0, TextToInt("abc"));
    EXPECT_EQ(0, TextToInt("- 5"));
    EXPECT_EQ(12, TextToInt("12.9"));
    EXPECT_EQ(2147483647, TextToInt("99999999999999999999"));
    EXPECT_EQ(-2147483647 - 1, TextToInt("-99999999999999999999"));
}

TEST(CaseAscii, ChangesOnlyAsciiLetters) {
    char text[] = "abc12\xe9z-[`{@";
    UpperCaseAscii(text);
    EXPECT_STREQ("ABC12\xe9Z-[`{@", text);
    char lower[] = "ABC12\xc9Z-[`{@";
    LowerCaseAscii(lower);
    EXPECT_STREQ("abc12\xc9z-[`{@", lower);
}

TEST(ReplaceAll, SearchesAgainFromTheStart) {
    char text[64] = "aabb";
    EXPECT_EQ(2, ReplaceAll(text, sizeof text, "ab", ""));
    EXPECT_STREQ("", text);

    // A pattern formed again as far back as its own length less one.
    char back[64] = "xababcc";
    EXPECT_EQ(2, ReplaceAll(back, sizeof back, "abc", ""));
    EXPECT_STREQ("x", back);

    char path[64] = "C:\\a.dll.d\\wx.dll";
    EXPECT_EQ(2, ReplaceAll(path, sizeof path, ".dll", ".ini"));
    EXPECT_STREQ("C:\\a.ini.d\\wx.ini", path);

    char none[64] = "nothing here";
    EXPECT_EQ(0, ReplaceAll(none, sizeof none, "<temp>", "72"));
    EXPECT_STREQ("nothing here", none);
}

TEST(ReplaceAll, FromTheFirstOccurrenceGivesTheSameText) {
    const struct {
        const char *text, *pattern, *replacement, *expected;
        int count;
        size_t capacity;
    } cases[] = {
        {"<temp> and <temp>", "<temp>", "72", "72 and 72", 2, 64},
        // Formed again with the text before the first occurrence.
        {"xaab", "ab", "b", "xb", 2, 64},
        {"xababcc", "abc", "", "x", 2, 64},
        // A replacement that holds the pattern, and one cut at the capacity.
        {"a<cond>b<cond>", "<cond>", "[<cond>]", "a[<cond>]b[<cond>]", 2, 64},
        {"abcdefghij<t>", "<t>", "0123456789", "abcdefghij01234", 1, 16},
    };
    for (const auto &c : cases) {
        char text[64];
        strcpy(text, c.text);
        size_t first = (size_t)(strstr(text, c.pattern) - text);
        EXPECT_EQ(c.count, ReplaceAllFrom(text, c.capacity, first, c.pattern, c.replacement))
            << c.text;
        EXPECT_STREQ(c.expected, text) << c.text;
    }
    // An offset past the end of the text finds nothing there and writes nothing past it.
    char shortText[64] = "<t>";
    EXPECT_EQ(0, ReplaceAllFrom(shortText, sizeof shortText, 40, "<t>", "x"));
    EXPECT_STREQ("<t>", shortText);
}

TEST(ReplaceAll, EndsWhenTheReplacementHoldsThePattern) {
    char text[64] = "<cond> and <cond>";
    EXPECT_EQ(2, ReplaceAll(text, sizeof text, "<cond>", "[<cond>]"));
    EXPECT_STREQ("[<cond>] and [<cond>]", text);

    char empty[16] = "abc";
    EXPECT_EQ(0, ReplaceAll(empty, sizeof empty, "", "x"));
    EXPECT_STREQ("abc", empty);
}

TEST(ReplaceAll, NeverPassesTheCapacity) {
    char text[16] = "<t><t><t>";
    ReplaceAll(text, sizeof text, "<t>", "0123456789");
    EXPECT_EQ(15u, strlen(text));
    EXPECT_STREQ("012345678901234", text);

    // Growth that keeps re-forming the pattern stops at the capacity and at the bound.
    char grow[1024] = "ab";
    ReplaceAll(grow, sizeof grow, "ab", "aabb");
    EXPECT_LT(strlen(grow), sizeof grow);

    // A swap that re-forms the pattern at the full length still ends.
    std::string full(1023, 'a');
    full[0] = 'b';
    char swap[1024];
    strcpy(swap, full.c_str());
    ReplaceAll(swap, sizeof swap, "ba", "ab");
    EXPECT_EQ(1023u, strlen(swap));
}
