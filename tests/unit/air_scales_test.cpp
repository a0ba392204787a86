// The air-quality scales' bands at their edges, the pollen levels at each plant's thresholds, the
// scale setting's words, and Europe as the Auto scale finds it.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>

#include "base/air_scales.h"
#include "provider/region.h"

static std::string BandName(enum AirScale scale, double index) {
    const char *name = AirBandName(scale, AirBand(scale, index));
    return name ? name : "(none)";
}

TEST(AirScales, AnIndexOnABandsUpperBoundBelongsToThatBand) {
    const struct {
        double index;
        const char *name;
    } us[] = {{0, "Good"},
              {50, "Good"},
              {51, "Moderate"},
              {100, "Moderate"},
              {101, "Unhealthy for Sensitive Groups"},
              {150, "Unhealthy for Sensitive Groups"},
              {151, "Unhealthy"},
              {200, "Unhealthy"},
              {201, "Very Unhealthy"},
              {300, "Very Unhealthy"},
              {301, "Hazardous"},
              {500, "Hazardous"},
              {557, "Hazardous"},
              {1008, "Hazardous"}};
    for (const auto &c : us) {
        EXPECT_EQ(c.name, BandName(AIR_SCALE_US, c.index)) << c.index;
    }
    const struct {
        double index;
        const char *name;
    } european[] = {{0, "Good"},
                    {20, "Good"},
                    {21, "Fair"},
                    {40, "Fair"},
                    {41, "Moderate"},
                    {60, "Moderate"},
                    {61, "Poor"},
                    {80, "Poor"},
                    {81, "Very poor"},
                    {100, "Very poor"},
                    {101, "Extremely poor"},
                    {240, "Extremely poor"}};
    for (const auto &c : european) {
        EXPECT_EQ(c.name, BandName(AIR_SCALE_EUROPEAN, c.index)) << c.index;
    }
    // The service writes whole numbers: a fraction is taken to the nearest.
    EXPECT_EQ(1, AirBand(AIR_SCALE_US, 50.4));
    EXPECT_EQ(2, AirBand(AIR_SCALE_US, 50.5));
    // No index, no band; and Auto is no scale of its own.
    EXPECT_EQ(0, AirBand(AIR_SCALE_US, NAN));
    EXPECT_EQ(0, AirBand(AIR_SCALE_EUROPEAN, -1));
    EXPECT_EQ(0, AirBand(AIR_SCALE_AUTO, 10));
    EXPECT_EQ(nullptr, AirBandName(AIR_SCALE_US, 0));
    EXPECT_EQ(nullptr, AirBandName(AIR_SCALE_US, 7));
    EXPECT_STREQ("US AQI", AirScaleName(AIR_SCALE_US));
    EXPECT_STREQ("European AQI", AirScaleName(AIR_SCALE_EUROPEAN));
}

TEST(AirScales, PollenLevelsBeginAtEachPlantsThresholds) {
    const struct {
        enum Plant plant;
        double grains;
        const char *level;
    } cases[] = {
        {PLANT_BIRCH, 0, "None"},          {PLANT_BIRCH, 0.1, "Very low"},
        {PLANT_BIRCH, 9.9, "Very low"},    {PLANT_BIRCH, 10, "Low"},
        {PLANT_BIRCH, 59.9, "Low"},        {PLANT_BIRCH, 60, "Moderate"},
        {PLANT_BIRCH, 100, "High"},        {PLANT_BIRCH, 499.9, "High"},
        {PLANT_BIRCH, 500, "Very high"},   {PLANT_ALDER, 150, "High"},
        {PLANT_GRASS, 2.9, "Very low"},    {PLANT_GRASS, 3, "Low"},
        {PLANT_GRASS, 30, "Moderate"},     {PLANT_GRASS, 50, "High"},
        {PLANT_GRASS, 250, "Very high"},   {PLANT_MUGWORT, 12, "Low"},
        {PLANT_RAGWEED, 49.9, "Moderate"}, {PLANT_OLIVE, 19.9, "Very low"},
        {PLANT_OLIVE, 20, "Low"},          {PLANT_OLIVE, 100, "Moderate"},
        {PLANT_OLIVE, 200, "High"},        {PLANT_OLIVE, 500, "Very high"},
    };
    for (const auto &c : cases) {
        EXPECT_STREQ(c.level, PollenLevelName(PollenLevel(c.plant, c.grains)))
            << PlantName(c.plant) << " " << c.grains;
    }
    EXPECT_EQ(-1, PollenLevel(PLANT_BIRCH, NAN));
    EXPECT_EQ(-1, PollenLevel(PLANT_BIRCH, -3));
    EXPECT_EQ(-1, PollenLevel(PLANT_COUNT, 10));
}

TEST(AirScales, TheTopPollenIsTheHighestLevelAndTheFirstPlantAtIt) {
    int plant;
    double spring[PLANT_COUNT] = {0, 150, 12, 0, 0, 0};
    EXPECT_EQ(4, TopPollenLevel(spring, &plant));
    EXPECT_EQ(PLANT_BIRCH, plant);
    // Grass at 60 is High too, as birch at 150 is: the first plant in order stands for both.
    double tie[PLANT_COUNT] = {0, 150, 60, 0, 0, 0};
    EXPECT_EQ(4, TopPollenLevel(tie, &plant));
    EXPECT_EQ(PLANT_BIRCH, plant);
    double some[PLANT_COUNT] = {NAN, NAN, 4, NAN, NAN, NAN};
    EXPECT_EQ(2, TopPollenLevel(some, &plant));
    EXPECT_EQ(PLANT_GRASS, plant);
    double none[PLANT_COUNT] = {NAN, NAN, NAN, NAN, NAN, NAN};
    EXPECT_EQ(-1, TopPollenLevel(none, &plant));
    EXPECT_EQ(-1, plant);
}

TEST(AirScales, TheSettingReadsItsWordsWithoutCaseAndAnythingElseAsAuto) {
    EXPECT_EQ(AIR_SCALE_US, AirScaleFromSetting("US"));
    EXPECT_EQ(AIR_SCALE_US, AirScaleFromSetting("us"));
    EXPECT_EQ(AIR_SCALE_EUROPEAN, AirScaleFromSetting("EUROPEAN"));
    EXPECT_EQ(AIR_SCALE_AUTO, AirScaleFromSetting("Auto"));
    EXPECT_EQ(AIR_SCALE_AUTO, AirScaleFromSetting("Eu"));
    EXPECT_EQ(AIR_SCALE_AUTO, AirScaleFromSetting(""));
    EXPECT_STREQ("European", AirScaleSettingWord(AIR_SCALE_EUROPEAN));
    EXPECT_STREQ("Auto", AirScaleSettingWord(AIR_SCALE_AUTO));
}

static int InEurope(const char *country, double latitude, double longitude) {
    PlaceInfo place;
    memset(&place, 0, sizeof place);
    strcpy(place.country, country);
    place.latitude = latitude;
    place.longitude = longitude;
    return RegionCovers(&EuropeRegion, &place);
}

TEST(AirScales, EuropeIsFoundByCountryCodeElseByItsBoxes) {
    // By the search's country code, wherever the point is.
    EXPECT_TRUE(InEurope("AT", 0, 0));
    EXPECT_TRUE(InEurope("GB", 0, 0));
    EXPECT_FALSE(InEurope("US", 48.21, 16.37));
    EXPECT_FALSE(InEurope("MA", 36.0, -5.0));
    // By coordinates: the continent and its islands, not Africa's coast across the sea.
    EXPECT_TRUE(InEurope("", 48.21, 16.37));   // Vienna
    EXPECT_TRUE(InEurope("", 37.98, 23.73));   // Athens
    EXPECT_TRUE(InEurope("", 64.15, -21.94));  // Reykjavik
    EXPECT_TRUE(InEurope("", 36.72, -4.42));   // Malaga
    EXPECT_TRUE(InEurope("", 37.50, 15.09));   // Catania
    EXPECT_FALSE(InEurope("", 36.75, 3.06));   // Algiers
    EXPECT_FALSE(InEurope("", 36.81, 10.18));  // Tunis
    EXPECT_FALSE(InEurope("", 35.77, -5.80));  // Tangier
    EXPECT_FALSE(InEurope("", 40.71, -74.01)); // New York
    EXPECT_FALSE(InEurope("", 28.61, 77.21));  // Delhi
}
