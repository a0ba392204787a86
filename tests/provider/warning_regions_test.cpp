// The warning regions file: made-up regions packed by the build's tool (squares, a hole, a
// multipolygon, a sea area over land, a bowed edge of many points, a tiny triangle, aliases) read
// back point by point; every cut and corrupted copy of it refused without a read outside it; the
// file beside the settings loaded once and read again when it changes; and, where the build had
// MeteoAlarm's data, the codes of real places.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <cmath>

#include <string>
#include <vector>

#include "base/state.h"
#include "base/text.h"
#include "provider/warning_regions.h"
#include "support/core_state.h"
#include "support/sandbox.h"

namespace {

std::vector<unsigned char> Bytes(const std::string &text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::vector<unsigned char> TestRegions() {
    std::string path = sandbox::Join(sandbox::BuildFolder(), "test-regions.bin");
    EXPECT_TRUE(sandbox::Exists(path)) << path << " was not packed by the build";
    return Bytes(sandbox::ReadFile(path));
}

// The codes as "SCHEME:VALUE" texts, in order.
std::vector<std::string> Codes(const PlaceCodes &codes) {
    std::vector<std::string> out;
    for (int i = 0; i < codes.count; i++) {
        out.push_back(std::string(codes.codes[i].scheme) + ":" + codes.codes[i].value);
    }
    return out;
}

std::vector<std::string> Find(const std::vector<unsigned char> &bytes, double latitude,
                              double longitude, std::string *country = nullptr) {
    PlaceCodes codes;
    EXPECT_EQ(FindPlaceCodes(bytes.data(), bytes.size(), latitude, longitude, &codes), 1);
    if (country != nullptr) {
        *country = codes.country;
    }
    return Codes(codes);
}

using Strings = std::vector<std::string>;

void PutU32(std::vector<unsigned char> *bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; i++) {
        (*bytes)[offset + i] = (unsigned char)(value >> (8 * i));
    }
}

uint32_t GetU32(const std::vector<unsigned char> &bytes, size_t offset) {
    return (uint32_t)bytes[offset] | (uint32_t)bytes[offset + 1] << 8 |
           (uint32_t)bytes[offset + 2] << 16 | (uint32_t)bytes[offset + 3] << 24;
}

// The layout's offsets, as the file's header documents them.
const size_t kHeader = 24, kRegion = 40, kRing = 8, kPoint = 8;

} // namespace

TEST(WarningRegions, PointsGetTheCodesOfTheRegionsThatHoldThem) {
    std::vector<unsigned char> bytes = TestRegions();
    std::string country;
    // Inside the square, its aliases after its EMMA code; the missing region's alias is left out.
    EXPECT_EQ(Find(bytes, 10.5, 10.5, &country),
              (Strings{"EMMA_ID:ZZ001", "NUTS3:ZZ101", "NUTS2:ZZ10"}));
    EXPECT_EQ(country, "ZZ");
    EXPECT_EQ(Find(bytes, 9.5, 10.5, &country), Strings{}); // south of everything
    EXPECT_EQ(country, "");
    EXPECT_EQ(Find(bytes, 11.0, 11.0), Strings{}); // in the square's hole
    EXPECT_EQ(Find(bytes, 10.79, 11.0), Strings({"EMMA_ID:ZZ001", "NUTS3:ZZ101", "NUTS2:ZZ10"}));
    // Both parts of the multipolygon, not the gap between them.
    EXPECT_EQ(Find(bytes, 10.5, 20.5), (Strings{"EMMA_ID:ZZ002", "FIPS:ZZ01"}));
    EXPECT_EQ(Find(bytes, 10.5, 23.5), (Strings{"EMMA_ID:ZZ002", "FIPS:ZZ01"}));
    EXPECT_EQ(Find(bytes, 10.5, 22.0), Strings{});
    // The sea area counts where no land holds the point, and not where the square does.
    EXPECT_EQ(Find(bytes, 11.0, 13.0, &country),
              (Strings{"EMMA_ID:ZZ801", "WARNCELLID:123456789"}));
    EXPECT_EQ(country, "ZZ");
    EXPECT_EQ(Find(bytes, 10.5, 11.8), (Strings{"EMMA_ID:ZZ001", "NUTS3:ZZ101", "NUTS2:ZZ10"}));
    // Austria's 8nn codes are land districts: AT801 stands beside the land region it overlaps.
    EXPECT_EQ(Find(bytes, 10.5, 30.7, &country), (Strings{"EMMA_ID:AT801", "EMMA_ID:ZZ003"}));
    EXPECT_EQ(country, "AT");
    // A point off the earth, or not a number, is in no region of a good file.
    EXPECT_EQ(Find(bytes, 95.0, 10.5), Strings{});
    EXPECT_EQ(Find(bytes, std::nan(""), 10.5), Strings{});
}

TEST(WarningRegions, SimplificationKeepsPointsNearAnEdgeAndSmallRingsWhole) {
    std::vector<unsigned char> bytes = TestRegions();
    ASSERT_GE(bytes.size(), kHeader);
    // ZZ004's bowed edge of 201 points is simplified to a few...
    uint32_t regions = GetU32(bytes, 8);
    size_t rings = kHeader + regions * kRegion;
    uint32_t bowed = 0, tiny = 0;
    for (uint32_t i = 0; i < regions; i++) {
        const char *code = (const char *)&bytes[kHeader + i * kRegion];
        uint32_t firstRing = GetU32(bytes, kHeader + i * kRegion + 32);
        if (strcmp(code, "ZZ004") == 0) {
            bowed = GetU32(bytes, rings + firstRing * kRing + 4);
        } else if (strcmp(code, "ZZ005") == 0) {
            tiny = GetU32(bytes, rings + firstRing * kRing + 4);
        }
    }
    EXPECT_GE(bowed, 4u);
    EXPECT_LE(bowed, 8u);
    // ... and a point 110 m inside that edge, and one near the opposite corner, are still inside.
    EXPECT_EQ(Find(bytes, 10.001, 41.0), Strings{"EMMA_ID:ZZ004"});
    EXPECT_EQ(Find(bytes, 11.999, 41.999), Strings{"EMMA_ID:ZZ004"});
    EXPECT_EQ(Find(bytes, 12.001, 41.0), Strings{});
    // A triangle smaller than the tolerance keeps its own points rather than collapsing.
    EXPECT_EQ(tiny, 4u);
    EXPECT_EQ(Find(bytes, 10.0003, 50.0005), Strings{"EMMA_ID:ZZ005"});
}

TEST(WarningRegions, CutAndCorruptedFilesAreRefusedWithoutAReadOutsideThem) {
    std::vector<unsigned char> bytes = TestRegions();
    ASSERT_GT(bytes.size(), kHeader + kRegion);
    PlaceCodes codes;
    // Every cut, each in a block of its own exact size, so that AddressSanitizer sees any read
    // past its end.
    for (size_t length = 0; length < bytes.size(); length++) {
        std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + length);
        codes.count = 7;
        EXPECT_EQ(FindPlaceCodes(length ? cut.data() : nullptr, length, 10.5, 10.5, &codes), 0)
            << length;
        EXPECT_EQ(codes.count, 0);
    }
    std::vector<unsigned char> longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(FindPlaceCodes(longer.data(), longer.size(), 10.5, 10.5, &codes), 0);

    uint32_t regions = GetU32(bytes, 8), rings = GetU32(bytes, 12), points = GetU32(bytes, 16);
    size_t ringsAt = kHeader + regions * kRegion;
    size_t aliasesAt = ringsAt + rings * kRing + points * kPoint;
    struct Corruption {
        const char *what;
        size_t offset;
        uint32_t value;
    } corruptions[] = {
        {"magic", 0, 0x4e494d52},
        {"region count", 8, regions + 1},
        {"ring count", 12, rings - 1},
        {"point count", 16, 0xffffffffu},
        {"alias count", 20, 0x40000000u},
        {"first ring past the rings", kHeader + 32, rings},
        {"ring count past the rings", kHeader + 36, rings + 1},
        {"ring count that wraps", kHeader + 36, 0xffffffffu},
        {"first point past the points", ringsAt, points},
        {"point count past the points", ringsAt + 4, points + 1},
        {"point count that wraps", ringsAt + 4, 0xfffffffeu},
        {"alias of no region", aliasesAt + 24, regions},
    };
    for (const Corruption &corruption : corruptions) {
        std::vector<unsigned char> bad = bytes;
        PutU32(&bad, corruption.offset, corruption.value);
        codes.count = 7;
        EXPECT_EQ(FindPlaceCodes(bad.data(), bad.size(), 10.5, 10.5, &codes), 0) << corruption.what;
        EXPECT_EQ(codes.count, 0) << corruption.what;
    }
}

class RegionsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = sandbox::MakeFolder("regions");
        ResetCoreState(sandbox::Join(folder_, "cache"), "127.0.0.1:9");
        FreeWarningRegions();
        CopyText(Plugin.settingsPath, sizeof Plugin.settingsPath,
                 sandbox::Join(folder_, "nimbrel.ini").c_str());
        Plugin.settingsWritable = 1;
    }
    void TearDown() override {
        FreeWarningRegions();
        sandbox::RemoveTree(folder_);
    }
    std::string folder_;
};

TEST_F(RegionsFile, ItsPathIsTheSettingsPathWithTheExtensionRegions) {
    char path[PATH_CAPACITY];
    ASSERT_EQ(RegionsFilePath(path, sizeof path), 1);
    EXPECT_EQ(std::string(path), sandbox::Join(folder_, "nimbrel.Regions"));
    // A dot in a folder's name is not the file's extension.
    std::string dotted = sandbox::Join(sandbox::Join(folder_, "panel.v2"), "weather");
    CopyText(Plugin.settingsPath, sizeof Plugin.settingsPath, dotted.c_str());
    ASSERT_EQ(RegionsFilePath(path, sizeof path), 1);
    EXPECT_EQ(std::string(path), dotted + ".Regions");
    char small[8] = "x";
    EXPECT_EQ(RegionsFilePath(small, sizeof small), 0);
    EXPECT_STREQ(small, "");
    Plugin.settingsWritable = 0; // no usable settings path
    EXPECT_EQ(RegionsFilePath(path, sizeof path), 0);
    EXPECT_STREQ(path, "");
}

TEST_F(RegionsFile, IsLoadedOnceAndReadAgainWhenItChanges) {
    std::string path = sandbox::Join(folder_, "nimbrel.Regions");
    PlaceCodes codes;
    codes.count = 3;
    EXPECT_EQ(PlaceCodesFromFile(10.5, 10.5, &codes), 0); // no file yet
    EXPECT_EQ(codes.count, 0);

    std::vector<unsigned char> bytes = TestRegions();
    std::string text(bytes.begin(), bytes.end());
    sandbox::WriteFile(path, text);
    ASSERT_EQ(PlaceCodesFromFile(10.5, 10.5, &codes), 1);
    EXPECT_EQ(Codes(codes)[0], "EMMA_ID:ZZ001");
    const unsigned char *loaded = Plugin.regionsBytes;
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(PlaceCodesFromFile(10.5, 20.5, &codes), 1);
    EXPECT_EQ(Codes(codes)[0], "EMMA_ID:ZZ002");
    EXPECT_EQ(Plugin.regionsBytes, loaded); // the same bytes, not read again

    // The same size with another code and another time: read again.
    uint64_t time = FileTime(path);
    std::string renamed = text;
    size_t at = renamed.find("ZZ001");
    ASSERT_NE(at, std::string::npos);
    renamed[at + 4] = '9';
    sandbox::WriteFile(path, renamed);
    ASSERT_TRUE(SetFileTimeTo(path, time + 20000000));
    ASSERT_EQ(PlaceCodesFromFile(10.5, 10.5, &codes), 1);
    EXPECT_EQ(Codes(codes)[0], "EMMA_ID:ZZ009");

    // A cut file is no regions file; a whole one serves again.
    sandbox::WriteFile(path, text.substr(0, text.size() - 1));
    EXPECT_EQ(PlaceCodesFromFile(10.5, 10.5, &codes), 0);
    EXPECT_EQ(codes.count, 0);
    sandbox::WriteFile(path, text);
    ASSERT_TRUE(SetFileTimeTo(path, time + 40000000));
    ASSERT_EQ(PlaceCodesFromFile(10.5, 10.5, &codes), 1);
    EXPECT_EQ(Codes(codes)[0], "EMMA_ID:ZZ001");
}

// The regions file the build packed from MeteoAlarm's data, beside the module.
class RealRegions : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string path = sandbox::Join(sandbox::BuildFolder(), "nimbrel.Regions");
        if (!sandbox::Exists(path)) {
            GTEST_SKIP() << "no " << path << ": the build had no MeteoAlarm regions";
        }
        bytes_ = Bytes(sandbox::ReadFile(path));
    }
    Strings At(const char *name, double latitude, double longitude, std::string *country) {
        Strings codes = Find(bytes_, latitude, longitude, country);
        std::string line;
        for (const std::string &code : codes) {
            line += " " + code;
        }
        printf("%s (%g, %g):%s [%s]\n", name, latitude, longitude, line.c_str(), country->c_str());
        return codes;
    }
    static bool Has(const Strings &codes, const std::string &prefix) {
        for (const std::string &code : codes) {
            if (code.compare(0, prefix.size(), prefix) == 0) {
                return true;
            }
        }
        return false;
    }
    std::vector<unsigned char> bytes_;
};

TEST_F(RealRegions, CapitalsAndSeaGetTheirCountrysCodes) {
    std::string country;
    Strings warsaw = At("Warsaw", 52.2297, 21.0122, &country);
    EXPECT_TRUE(Has(warsaw, "EMMA_ID:PL"));
    EXPECT_EQ(country, "PL");
    Strings paris = At("Paris", 48.8566, 2.3522, &country);
    EXPECT_TRUE(Has(paris, "EMMA_ID:FR"));
    EXPECT_TRUE(Has(paris, "NUTS3:FR101"));
    EXPECT_EQ(country, "FR");
    Strings madrid = At("Madrid", 40.4168, -3.7038, &country);
    EXPECT_TRUE(Has(madrid, "EMMA_ID:ES"));
    EXPECT_EQ(country, "ES");
    Strings zaragoza = At("Zaragoza", 41.6488, -0.8891, &country);
    EXPECT_TRUE(Has(zaragoza, "EMMA_ID:ES107"));
    // Helsinki lies in no land region of the data, only in the Gulf of Finland's sea area.
    Strings helsinki = At("Helsinki", 60.1699, 24.9384, &country);
    EXPECT_TRUE(Has(helsinki, "EMMA_ID:FI"));
    EXPECT_EQ(country, "FI");
    // Vorarlberg's districts are numbered like sea areas, and are land.
    Strings bregenz = At("Bregenz", 47.5031, 9.7471, &country);
    EXPECT_TRUE(Has(bregenz, "EMMA_ID:AT8"));
    EXPECT_EQ(country, "AT");
    // Switzerland and the United Kingdom are not in the data: their warnings carry polygons.
    EXPECT_EQ(At("Zurich", 47.3769, 8.5417, &country), Strings{});
    EXPECT_EQ(At("London", 51.5074, -0.1278, &country), Strings{});
    // Off San Sebastian, in the Bay of Biscay: Gipuzkoa's coastal waters.
    Strings sea = At("Sea off Gipuzkoa", 43.40, -2.10, &country);
    EXPECT_TRUE(Has(sea, "EMMA_ID:ES8"));
    EXPECT_EQ(country, "ES");
}
