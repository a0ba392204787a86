// The host protocol as the host sees it: the function list, the prompts, the plugin's info, and
// that every export answers with a text.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "support/plugin_copy.h"

static const char kFunctionList[] =
    "CurrentConditions|Forecast|Now|Later|Hourly|IconCC|IconForecast|IconNow|IconLater|"
    "IconHourly|AlertIcon|MoonIcon|LocalRadar|CustomRadar|ListCCTerms|ListForecastTerms|"
    "ListHourlyTerms|AirQualityIcon|PrecipitationGraph";

class HostProtocol : public ::testing::Test {
  protected:
    void SetUp() override {
        plugin.UseServiceAt();
        ASSERT_TRUE(plugin.Load());
    }
    PluginCopy plugin{"protocol"};
};

TEST_F(HostProtocol, InitListsTheNineteenFunctions) {
    std::string list = plugin.Call0("init");
    EXPECT_EQ(kFunctionList, list);
    EXPECT_EQ(18, std::count(list.begin(), list.end(), '|'));
    EXPECT_NE('|', list.back());
}

TEST_F(HostProtocol, GetparamGivesEachPromptList) {
    const char *expression =
        "your weather expression|Location ID|Unit Type\nEnglish, Metric or Both|Show degree "
        "symbol|";
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"CurrentConditions", expression},
        {"Now", expression},
        {"Later", expression},
        {"Forecast", "your weather expression|Location ID|day number (1 to 5)|Unit Type\nEnglish, "
                     "Metric or Both|Show degree symbol\nEnter 0 for No|"},
        {"Hourly", "your weather expression|Location ID|hour number (1 to 12)|Unit "
                   "Type\nEnglish, Metric or Both|Show Degree Symbol\nEnter 0 for No|"},
        {"IconCC", "Location ID|Path to the Icons|"},
        {"IconForecast",
         "Location ID|day number|day or night\n(1 for day, 0 for night)|Path to the Images|"},
        {"IconHourly", "Location ID|hour number|Path to the Images|"},
        {"IconNow", "Location ID|Path to the Images|"},
        {"IconLater", "Location ID|Path to the Images|"},
        {"AlertIcon", "Location ID|Path to the Images|"},
        {"LocalRadar", "Location ID|"},
        {"CustomRadar", "nickname|image url|refresh time (in minutes)|"},
        {"MoonIcon", "Path to the Images|how many days from now|"},
        {"AirQualityIcon", "Location ID|period\n(0 now, a day number, or -hour number)|"},
        {"PrecipitationGraph", "Location ID|hours\n(2 for the nowcast, 3 to 24)|"},
        // No prompts: the term lists, the protocol itself, and names it does not list.
        {"ListCCTerms", ""},
        {"ListForecastTerms", ""},
        {"getinfo", ""},
        {"init", ""},
        {"forecast", ""},
        {"Forecas", ""},
        {"Forecast ", ""},
        {"", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.second, plugin.Call1("getparam", c.first)) << c.first;
    }
}

TEST_F(HostProtocol, GetinfoNamesThePlugin) {
    EXPECT_STREQ("Nimbrel", plugin.Info(0));
    EXPECT_STREQ("vexlin", plugin.Info(1));
    EXPECT_STREQ("0.99", plugin.Info(2));
    EXPECT_STREQ(" ", plugin.Info(3));
    EXPECT_STREQ(" ", plugin.Info(5));
    EXPECT_STREQ(" ", plugin.Info(0xffffffffu));
    EXPECT_STRNE("", plugin.Info(4));
}

// Run with LC_ALL naming a locale and NIMBREL_EXPECT_SHORT_DATE the date it should show.
TEST_F(HostProtocol, ShortDateFollowsTheLocale) {
    const char *expected = getenv("NIMBREL_EXPECT_SHORT_DATE");
    if (expected == nullptr) {
        GTEST_SKIP() << "no expected date given";
    }
    EXPECT_STREQ(expected, plugin.Info(4));
}

// Whatever a careless or hostile host passes in every argument: nothing, an empty text, texts
// far past every buffer, format directives, paths that climb out, bytes of no encoding.
TEST_F(HostProtocol, EveryExportAnswersWithATextWhateverItsArguments) {
    std::string longTerms, longPath(5000, 'x');
    for (int i = 0; i < 600; i++) {
        longTerms += "<temp>";
    }
    const std::vector<const char *> arguments = {"",
                                                 nullptr,
                                                 longTerms.c_str(),
                                                 longPath.c_str(),
                                                 "%s%n%x%p",
                                                 "..\\..\\../../x",
                                                 "\xff\xfe\x80<",
                                                 "-2147483649",
                                                 "99999999999999999999",
                                                 "<<<>>>"};
    const std::vector<std::pair<const char *, int>> exports = {{"CurrentConditions", 4},
                                                               {"Forecast", 5},
                                                               {"Now", 4},
                                                               {"Later", 4},
                                                               {"Hourly", 5},
                                                               {"IconCC", 2},
                                                               {"IconForecast", 4},
                                                               {"IconNow", 2},
                                                               {"IconLater", 2},
                                                               {"IconHourly", 3},
                                                               {"AlertIcon", 2},
                                                               {"MoonIcon", 2},
                                                               {"LocalRadar", 1},
                                                               {"CustomRadar", 3},
                                                               {"AirQualityIcon", 2},
                                                               {"PrecipitationGraph", 2},
                                                               {"ListCCTerms", 0},
                                                               {"ListForecastTerms", 0},
                                                               {"ListHourlyTerms", 0}};
    for (const char *a : arguments) {
        for (const auto &e : exports) {
            void *symbol = plugin.loaded.Symbol(e.first);
            ASSERT_NE(nullptr, symbol) << e.first;
            const char *result = nullptr;
            switch (e.second) {
            case 0:
                result = ((Export0)symbol)();
                break;
            case 1:
                result = ((Export1)symbol)(a);
                break;
            case 2:
                result = ((Export2)symbol)(a, a);
                break;
            case 3:
                result = ((Export3)symbol)(a, a, a);
                break;
            case 4:
                result = ((Export4)symbol)(a, a, a, a);
                break;
            default:
                result = ((Export5)symbol)(a, a, a, a, a);
                break;
            }
            ASSERT_NE(nullptr, result) << e.first;
            // No result outgrows the largest buffer a result lives in (an image link); the
            // term lists are constant texts.
            if (e.second > 0) {
                EXPECT_LT(strlen(result), 2084u) << e.first << " of " << (a ? a : "(null)");
            }
        }
    }
}

#if defined(_WIN32)
#include <windows.h>

// The host finds the functions by their plain names; nothing else is exported.
TEST_F(HostProtocol, ExportTableHoldsExactlyThePluginsNames) {
    const BYTE *base = (const BYTE *)plugin.loaded.handle;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY *exports =
        (const IMAGE_EXPORT_DIRECTORY *)(base + dir.VirtualAddress);
    const DWORD *names = (const DWORD *)(base + exports->AddressOfNames);
    std::vector<std::string> actual;
    for (DWORD i = 0; i < exports->NumberOfNames; i++) {
        actual.push_back((const char *)(base + names[i]));
    }
    std::sort(actual.begin(), actual.end());
    std::vector<std::string> expected = {"_cleanup@0", "_startup@4", "getinfo", "getparam", "init"};
    std::string list = kFunctionList;
    for (size_t start = 0, end; start <= list.size(); start = end + 1) {
        end = list.find('|', start);
        if (end == std::string::npos)
            end = list.size();
        expected.push_back(list.substr(start, end - start));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, actual);
}
#endif
