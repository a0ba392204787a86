// The packaged language files, installed and chosen as a user does it: the module's condition,
// wind, UV, moon and day texts come back translated, in the bytes the host reads (UTF-8 from
// the shared object, Windows-1252 from the DLL).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "moon/moon.h"
#include "platform/platform.h"
#include "support/plugin_copy.h"
#include "support/sandbox.h"
#include "support/services.h"

namespace {

std::string Environment(const char *name) {
    const char *value = getenv(name);
    return value != nullptr ? value : "";
}

std::string Lower(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = (char)(c - 'A' + 'a');
        }
    }
    return text;
}

// The value of `key` in `section` of an INI text (names without regard to case), or "".
std::string IniValue(const std::string &text, const std::string &section, const std::string &key) {
    std::string current;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '[') {
            current = Lower(line.substr(1, line.find(']') - 1));
        } else if (current == Lower(section) &&
                   Lower(line.substr(0, key.size() + 1)) == Lower(key) + "=") {
            return line.substr(key.size() + 1);
        }
    }
    return "";
}

// A UTF-8 text as the module hands it to the host: as it is from the shared object; in
// Windows-1252 from the DLL. The sources hold Latin-1 letters only, which keep their code
// points there; anything else is reported as "?".
std::string HostBytes(const std::string &utf8) {
    if (OsTextIsUtf8) {
        return utf8;
    }
    std::string out;
    for (size_t i = 0; i < utf8.size(); i++) {
        unsigned char c = (unsigned char)utf8[i];
        if (c < 0x80) {
            out += (char)c;
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            unsigned int point = ((c & 0x1Fu) << 6) | ((unsigned char)utf8[++i] & 0x3Fu);
            out += point >= 0xA0 ? (char)point : '?';
        } else {
            out += '?';
        }
    }
    return out;
}

// The text between the first `open` and the `close` after it, or "".
std::string Between(const std::string &text, const std::string &open, const std::string &close) {
    size_t start = text.find(open);
    if (start == std::string::npos) {
        return "";
    }
    start += open.size();
    size_t end = text.find(close, start);
    return end == std::string::npos ? "" : text.substr(start, end - start);
}

bool BeyondAscii(const std::string &text) {
    for (char c : text) {
        if ((unsigned char)c >= 0x80) {
            return true;
        }
    }
    return false;
}

} // namespace

class PackagedLanguage : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        packaged = Environment("NIMBREL_TEST_LANGUAGES");
        sources = Environment("NIMBREL_TEST_LANGUAGE_SOURCES");
        if (packaged.empty() || sources.empty()) {
            GTEST_SKIP() << "the packaged language files are not named";
        }
    }
    std::string packaged, sources;
};

TEST_P(PackagedLanguage, TranslatesConditionWindUvMoonAndDayWords) {
    std::string language = GetParam();
    std::string file = language + ".ini";
    std::string source = sandbox::ReadFile(sandbox::Join(sources, file));
    ASSERT_FALSE(source.empty()) << file;

    PluginCopy plugin("language-" + language);
    plugin.UseServiceAt(services::SimHost(), "[Unit]\nDefaultUnit=English\n[General]\n"
                                             "CustomLanguage=" +
                                                 language + "\n");
    std::string folder = sandbox::Join(plugin.folder, "nimbrel.Languages");
    sandbox::MakeFolderAt(folder);
    sandbox::CopyPath(sandbox::Join(packaged, file), sandbox::Join(folder, file));
    ASSERT_TRUE(plugin.Load());

    // A place whose sky is named with a letter beyond ASCII in this language, so that the
    // encoding of the bytes shows.
    std::string id, observation, code;
    for (int n = 0; n < 100 && id.empty(); n++) {
        std::string candidate = "LANG" + std::to_string(n);
        std::string document = services::SimGet("/weather/local/" + candidate + "?cc=*&unit=s&");
        std::string cc = Between(document, "<cc>", "</cc>");
        std::string icon = Between(cc, "<icon>", "</icon>");
        if (BeyondAscii(IniValue(source, "Conditions", "Cond" + icon))) {
            id = candidate;
            observation = cc;
            code = icon;
        }
    }
    ASSERT_FALSE(id.empty()) << "no place of the local service has such a sky";
    std::string direction = Between(Between(observation, "<wind>", "</wind>"), "<t>", "</t>");
    std::string uv = Between(Between(observation, "<uv>", "</uv>"), "<t>", "</t>");
    std::string moon = "Moon" + std::to_string(MoonPhaseIndex(0));

    std::string expected = IniValue(source, "Conditions", "Cond" + code) + "|" +
                           IniValue(source, "Wind", direction) + "|" + IniValue(source, "UV", uv) +
                           "|" + IniValue(source, "Moon", moon);
    auto current = plugin.loaded.Get<Export4>("CurrentConditions");
    EXPECT_EQ(HostBytes(expected),
              std::string(current("<cond>|<winddir>|<uv>|<moon>", id.c_str(), "English", "1")))
        << "condition " << code << ", wind " << direction << ", UV " << uv << ", " << moon;

    std::string today = HostBytes(IniValue(source, "Daynames", "Today"));
    std::string tonight = HostBytes(IniValue(source, "Daynames", "Tonight"));
    std::string tomorrow = HostBytes(IniValue(source, "Daynames", "Tomorrow"));
    auto forecast = plugin.loaded.Get<Export5>("Forecast");
    EXPECT_EQ(today, std::string(forecast("<dayname>", id.c_str(), "1", "", "1")));
    std::string now = plugin.loaded.Get<Export4>("Now")("<name>", id.c_str(), "", "1");
    EXPECT_TRUE(now == today || now == tonight) << now;
    std::string later = plugin.loaded.Get<Export4>("Later")("<name>", id.c_str(), "", "1");
    EXPECT_TRUE(later == tonight || later == tomorrow) << later;
}

INSTANTIATE_TEST_SUITE_P(TwoLanguages, PackagedLanguage, ::testing::Values("German", "French"));
