// Texts cut out of documents come out in the plugin's encoding: UTF-8 on POSIX, whatever
// character set the document declares; the bytes as the service wrote them on Windows.
#include <gtest/gtest.h>

#include <string>

#include "feed/document_text.h"
#include "feed/query.h"
#include "platform/platform.h"
#include "base/state.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/utf8_text.h"

static const char kUtf8Zurich[] = "Z\xC3\xBCrich";

class DocumentTexts : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("doctext");
        ResetCoreState(folder, "unused.test");
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    // The city of a Current document with the given XML declaration (or none).
    std::string City(const std::string &declaration, const std::string &city) {
        return Cut(declaration + "<weather><loc><dnam>" + city + "</dnam></loc></weather>",
                   "<dnam>", "</dnam>");
    }
    std::string Cut(const std::string &document, const char *open, const char *close) {
        std::string path = sandbox::Join(folder, "doc" + std::to_string(files++) + ".xml");
        sandbox::WriteFile(path, document);
        return ExtractElement(path.c_str(), open, close, 1);
    }

    std::string folder;
    int files = 0;
};

TEST_F(DocumentTexts, DeclaredCharacterSetsBecomeUtf8OnPosix) {
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    const struct {
        std::string declaration, city, posix;
    } cases[] = {
        // Latin-1, and its names, read as code page 1252 as browsers read them.
        {latin1, "Z\xFCrich", kUtf8Zurich},
        {"<?xml version='1.0' encoding='latin1' ?>", "Z\xFCrich", kUtf8Zurich},
        {"<?xml version=\"1.0\" encoding = \"iso-8859-1\"?>", "\x93Z\xFCrich\x94 \x80",
         "\xE2\x80\x9C" + std::string(kUtf8Zurich) + "\xE2\x80\x9D \xE2\x82\xAC"},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "5\x80", "5\xE2\x82\xAC"},
        // A byte code page 1252 leaves undefined is no character.
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "a\x81z", "a\xEF\xBF\xBDz"},
        // Any other character set the system knows.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>", "5\xA4", "5\xE2\x82\xAC"},
        {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?>", "\xED\xCF\xD3\xCB\xD7\xC1",
         "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"},
        // UTF-8, declared, marked by a byte order mark, or not declared: unchanged.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", kUtf8Zurich, kUtf8Zurich},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>", kUtf8Zurich, kUtf8Zurich},
        {"", kUtf8Zurich, kUtf8Zurich},
        {"<?xml version=\"1.0\"?>", "\xE6\x9D\xB1\xE4\xBA\xAC", "\xE6\x9D\xB1\xE4\xBA\xAC"},
        // Not UTF-8 although declared or taken as such: code page 1252.
        {"", "Z\xFCrich", kUtf8Zurich},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "Z\xFCrich", kUtf8Zurich},
        // A character set the system does not know counts as none declared.
        {"<?xml version=\"1.0\" encoding=\"x-no-such-set\"?>", kUtf8Zurich, kUtf8Zurich},
        {"<?xml version=\"1.0\" encoding=\"x-no-such-set\"?>", "Z\xFCrich", kUtf8Zurich},
        // An encoding written outside the declaration is not the document's.
        {"<?xml version=\"1.0\"?><x encoding=\"KOI8-R\"/>", "Z\xFCrich", kUtf8Zurich},
    };
    for (const auto &c : cases) {
        std::string city = City(c.declaration, c.city);
        EXPECT_EQ(OsTextIsUtf8 ? c.posix : c.city, city) << c.declaration << " " << c.city;
    }
    // The service's own error message is a text of the document too.
    std::string error =
        Cut(latin1 + "<error><err type=\"2\">Ung\xFCltiger Ort</err></error>", "<dnam>", "</dnam>");
    EXPECT_EQ(OsTextIsUtf8 ? "ERROR: Ung\xC3\xBCltiger Ort" : "ERROR: Ung\xFCltiger Ort", error);
}

TEST_F(DocumentTexts, LongTextsAreCutOnACharacterBoundary) {
    // 1022 Latin-1 letters become 2044 bytes of UTF-8: the value holds 511 whole letters.
    std::string city(1022, '\xFC');
    std::string value = City("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", city);
    if (OsTextIsUtf8) {
        EXPECT_EQ(1022u, value.size());
        EXPECT_TRUE(IsUtf8(value));
    } else {
        EXPECT_EQ(city, value);
    }
    // UTF-8 that runs past the value buffer in the middle of a character.
    std::string utf8 = std::string(1022, 'a') + "\xC3\xBC" + "tail";
    value = City("", utf8);
    EXPECT_EQ(OsTextIsUtf8 ? std::string(1022, 'a') : utf8.substr(0, 1023), value);
    utf8 = std::string(1021, 'a') + "\xE2\x82\xAC";
    value = City("", utf8);
    EXPECT_EQ(OsTextIsUtf8 ? std::string(1021, 'a') : utf8.substr(0, 1023), value);
}

TEST_F(DocumentTexts, TheDeclarationIsReadWithinItsOwnEnd) {
    char charset[CHARSET_NAME_CAPACITY];
    const struct {
        const char *document, *charset;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", "ISO-8859-1"},
        {"<?xml\tencoding\n=\n'KOI8-R'?>", "KOI8-R"},
        {"<?xml version=\"1.0\"?><a encoding=\"KOI8-R\"/>", ""},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"", ""},     // never ends
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1?>", ""},     // the quote never closes
        {"<?xml version=\"1.0\" myencoding=\"ISO-8859-1\"?>", ""}, // another attribute
        {" <?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", ""},  // not at the start
        {"<?xmlx encoding=\"ISO-8859-1\"?>", ""},
        {"<?xml encoding=\"\"?>", ""},
        {"\xEF\xBB\xBF", "UTF-8"},
    };
    for (const auto &c : cases) {
        DeclaredCharset(c.document, charset, sizeof charset);
        EXPECT_STREQ(c.charset, charset) << c.document;
    }
    std::string longName = "<?xml encoding=\"" + std::string(CHARSET_NAME_CAPACITY, 'X') + "\"?>";
    DeclaredCharset(longName.c_str(), charset, sizeof charset);
    EXPECT_STREQ("", charset);
}
