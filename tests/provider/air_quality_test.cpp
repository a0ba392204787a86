// Air quality and pollen against the local service's air-quality address: the terms on both
// scales and their band edges, the day's highest and the hours, pollen inside and outside
// Europe, the badge, and what it costs in requests: nothing without an air term, one an hour
// with one, one per failure memory when the service fails, which never costs the weather.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/air_scales.h"
#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "feed/query.h"
#include "feed/source.h"
#include "images/icons.h"
#include "plugin/expr_frame.h"
#include "provider/provider.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

class AirQuality : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("air");
        cache = sandbox::Join(folder, "Nimbrel");
        images = sandbox::MakeFolder("air-images");
        ResetCoreState(cache, services::SimHost());
        Plugin.source = &OpenMeteoSource;
        std::string base = "http://" + services::SimHost();
        CopyText(Plugin.forecastApi, sizeof Plugin.forecastApi, (base + "/v1/forecast").c_str());
        CopyText(Plugin.geocodingApi, sizeof Plugin.geocodingApi, (base + "/v1/search").c_str());
        CopyText(Plugin.airQualityApi, sizeof Plugin.airQualityApi,
                 (base + "/v1/air-quality").c_str());
        CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, images.c_str());
        services::SimReset();
    }
    void TearDown() override {
        if (!folder.empty()) {
            services::SimGet("/_control/airquality?name=normal");
            services::SimScenario("normal");
            sandbox::RemoveTree(folder);
            sandbox::RemoveTree(images);
        }
    }

    std::string Now(const std::string &expression, const char *id) {
        return CurrentConditionsText(expression.c_str(), id, "English", "1");
    }
    std::string Day(const std::string &expression, const char *id, int day) {
        return ForecastText(expression.c_str(), id, std::to_string(day).c_str(), "English", "1");
    }
    std::string Hour(const std::string &expression, const char *id, int hour) {
        return HourlyText(expression.c_str(), id, std::to_string(hour).c_str(), "English", "1");
    }
    int AirRequests() { return services::SimRequests("/v1/air-quality?"); }
    int Forecasts() { return services::SimRequests("/v1/forecast?"); }
    // The badge's file name the export returns for the period.
    std::string Badge(const char *id, int period) {
        std::string path = AirQualityIconPath(id, period);
        return path.substr(path.find_last_of("/\\") + 1);
    }
    void MakePicture(const std::string &name) {
        sandbox::WriteFile(sandbox::Join(images, name), "picture");
    }

    std::string folder, cache, images;
};

TEST_F(AirQuality, TheCurrentTermsShowTheAirOnThePlacesScale) {
    // Vienna by its search: Europe, so the European index; 21 is just past Good.
    EXPECT_EQ("21 Fair European AQI", Now("<aqi> <aqitext> <aqiscale>", "SPRING"));
    EXPECT_EQ("5.6 9.8 61.0 14.0 1.2 180.0 0.4",
              Now("<pm25> <pm10> <o3> <no2> <so2> <co> <dust>", "SPRING"));
    EXPECT_EQ(std::string(OsTextIsUtf8 ? "\xC2\xB5g/m\xC2\xB3" : "\xB5g/m\xB3"),
              Now("<aqunit>", "SPRING"));
    EXPECT_EQ("Birch: High | None High Low None None None",
              Now("<pollen> | <pollenalder> <pollenbirch> <pollengrass> <pollenmugwort> "
                  "<pollenolive> <pollenragweed>",
                  "SPRING"));
    // Every plant at 0 is no pollen at all; 20 is still Good.
    EXPECT_EQ("20 Good None None", Now("<aqi> <aqitext> <pollen> <pollenbirch>", "SPRINGEDGE"));

    // Outside Europe: the US index, and no pollen to show.
    EXPECT_EQ("168 Unhealthy US AQI N/A N/A",
              Now("<aqi> <aqitext> <aqiscale> <pollen> <pollenbirch>", "FARAWAY"));
    EXPECT_EQ("342 Hazardous", Now("<aqi> <aqitext>", "SMOKE"));
    EXPECT_EQ("557 Hazardous", Now("<aqi> <aqitext>", "SMOKEHAZARD"));
    EXPECT_EQ("12 Good", Now("<aqi> <aqitext>", "CLEANAIR"));
}

TEST_F(AirQuality, BandsPlantsAndLevelsAreTranslatedThroughTheLanguageFile) {
    std::string file = sandbox::Join(folder, "Elvish.ini");
    sandbox::WriteFile(file, "[AirQuality]\nfair=Akzeptabel\nBirch=Birke\nHigh=Hoch\n"
                             "European AQI=Europaeischer AQI\nNone=Keine\n");
    CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "Elvish");
    CopyText(Plugin.languagePath, sizeof Plugin.languagePath, file.c_str());
    EXPECT_EQ("Akzeptabel (Europaeischer AQI) Birke: Hoch Hoch",
              Now("<aqitext> (<aqiscale>) <pollen> <pollenbirch>", "SPRING"));
    // A word the file lacks stays in English.
    EXPECT_EQ("Keine Low", Now("<pollenalder> <pollengrass>", "SPRING"));
}

TEST_F(AirQuality, TheSettingChoosesTheScaleWhateverThePlace) {
    Plugin.airQualityScale = AIR_SCALE_US;
    EXPECT_EQ("51 Moderate US AQI", Now("<aqi> <aqitext> <aqiscale>", "SPRING"));
    EXPECT_EQ("50 Good", Now("<aqi> <aqitext>", "SPRINGEDGE"));
    Plugin.airQualityScale = AIR_SCALE_EUROPEAN;
    EXPECT_EQ("160 Extremely poor European AQI", Now("<aqi> <aqitext> <aqiscale>", "SMOKE"));
    // Both scales came from one answer per place.
    EXPECT_EQ(3, AirRequests());
}

TEST_F(AirQuality, ADaysIndexIsItsHighestHourAndItsPollenItsHighestLevel) {
    // Each day's highest index sits exactly on a band's upper bound: 20, 40, 60, 80, 100.
    const char *european[] = {"Good", "Fair", "Moderate", "Poor", "Very poor"};
    for (int d = 1; d <= 5; d++) {
        EXPECT_EQ(std::to_string(20 * d) + " " + european[d - 1],
                  Day("<aqi> <aqitext>", "SPRINGEDGE", d))
            << d;
    }
    EXPECT_EQ("None", Day("<pollen>", "SPRINGEDGE", 1));
    // Birch peaks at 520 on the second day; the fifth day has no pollen left in the answer.
    EXPECT_EQ("Birch: High", Day("<pollen>", "SPRING", 1));
    EXPECT_EQ("Birch: Very high", Day("<pollen>", "SPRING", 2));
    EXPECT_EQ("Grass: High", Day("<pollen>", "SPRING", 3));
    // Beyond the answer's five days there is nothing.
    Plugin.maxDays = 7;
    EXPECT_EQ("N/A N/A N/A", Day("<aqi> <aqitext> <pollen>", "SPRING", 6));
    // Now and Later are today, or tomorrow once today's day part is over.
    EXPECT_EQ("20", std::string(NowOrLaterText("<aqi>", "SPRINGEDGE", "English", "1", 0, 10)));
    EXPECT_EQ("20", std::string(NowOrLaterText("<aqi>", "SPRINGEDGE", "English", "1", 1, 10)));
    EXPECT_EQ("40", std::string(NowOrLaterText("<aqi>", "SPRINGEDGE", "English", "1", 1, 20)));
}

TEST_F(AirQuality, AnHoursValuesAreThoseOfTheHourThatBeginsNext) {
    // The local service's hourly index at local hour H of day k is the day's peak less twice
    // the hours from 15:00: hour 1 is the first hour after now, on the place's clock.
    Now("<aqi>", "SPRINGEDGE");
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, "SPRINGEDGE");
    int offset = atoi(QueryAir("SPRINGEDGE", "<offset>", "</offset>", 1));
    long long now = UnixMinutesOf(OsUtcNow());
    for (int h = 1; h <= 3; h++) {
        long long start = (now / 60 + h) * 60 + offset;
        long long day = start / 1440 - (now + offset) / 1440;
        int localHour = (int)((start % 1440) / 60);
        int expected = 20 * (int)(day + 1) - 2 * abs(localHour - 15);
        if (expected < 0) {
            expected = 0;
        }
        std::string band = AirBandName(AIR_SCALE_EUROPEAN, AirBand(AIR_SCALE_EUROPEAN, expected));
        EXPECT_EQ(std::to_string(expected) + " " + band, Hour("<aqi> <aqitext>", "SPRINGEDGE", h))
            << h;
    }
    EXPECT_EQ("None", Hour("<pollen>", "SPRINGEDGE", 1));
    EXPECT_EQ("N/A", Hour("<pollen>", "FARAWAY", 1));
    EXPECT_NE("N/A", Hour("<pm25>", "FARAWAY", 1));
}

TEST_F(AirQuality, TheBadgeIsTheBandsPictureOnThePlacesScaleOrNa) {
    for (const char *name : {"AQEU2.png", "AQUS2.png", "AQUS6.png", "AQEU5.png", "NA.png"}) {
        MakePicture(name);
    }
    EXPECT_EQ("AQEU2.png", Badge("SPRING", 0));
    EXPECT_EQ("AQUS6.png", Badge("SMOKEHAZARD", 0));
    EXPECT_EQ("AQEU5.png", Badge("SPRINGEDGE", 5));
    Plugin.airQualityScale = AIR_SCALE_US;
    EXPECT_EQ("AQUS2.png", Badge("SPRING", 0));
    // An hour beyond the answer, and a place whose air cannot be had, show the NA picture.
    EXPECT_EQ("NA.png", Badge("SPRING", -1000));
    services::SimGet("/_control/airquality?name=http500");
    EXPECT_EQ("NA.png", Badge("CLEANAIR", 0));
}

TEST_F(AirQuality, APanelWithoutAnAirTermNeverAsksAndOneWithItAsksOnceAnHour) {
    for (int i = 0; i < 3; i++) {
        Now("<temp> <cond>", "SMOKE");
        Day("<high>", "SMOKE", 2);
        Hour("<temp>", "SMOKE", 3);
    }
    EXPECT_EQ(0, AirRequests());
    EXPECT_EQ(1, Forecasts());
    for (int i = 0; i < 3; i++) {
        Now("<aqi> <pm25> <pollen>", "SMOKE");
        Day("<aqi>", "SMOKE", 2);
        Hour("<aqi>", "SMOKE", 3);
        AirQualityIconPath("SMOKE", 0);
    }
    EXPECT_EQ(1, AirRequests());
    std::string log = services::SimLog();
    EXPECT_NE(std::string::npos, log.find("/v1/air-quality?latitude=38.58")) << log;
    EXPECT_NE(std::string::npos,
              log.find("&current=us_aqi,european_aqi,pm2_5,pm10,ozone,nitrogen_dioxide,"
                       "sulphur_dioxide,carbon_monoxide,dust,alder_pollen,birch_pollen,"
                       "grass_pollen,mugwort_pollen,olive_pollen,ragweed_pollen&hourly="))
        << log;
    EXPECT_NE(std::string::npos, log.find("&forecast_days=5&timezone=auto&timeformat=unixtime"));
    // Within the hour the kept answer serves; past it, the service is asked again.
    std::string air = sandbox::Join(cache, "Air.SMOKE.xml");
    std::string answer = sandbox::Join(cache, "AirQuality.SMOKE.json");
    SetFileAge(air, 59 * 60);
    SetFileAge(answer, 59 * 60);
    Now("<aqi>", "SMOKE");
    EXPECT_EQ(1, AirRequests());
    SetFileAge(air, 61 * 60);
    SetFileAge(answer, 61 * 60);
    Now("<aqi>", "SMOKE");
    EXPECT_EQ(2, AirRequests());
}

TEST_F(AirQuality, AFailingServiceIsAskedOncePerFailureAndNeverCostsTheWeather) {
    // Each scenario at a place of its own, so that no failure memory is shared.
    const char *cases[][2] = {
        {"http500", "44.51,-63.5"}, {"ratelimit", "44.52,-63.5"}, {"badjson", "44.53,-63.5"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        services::SimReset();
        services::SimGet(std::string("/_control/airquality?name=") + c[0]);
        std::string first = Now("<temp> | <aqi> <aqitext> <pollen>", c[1]);
        EXPECT_EQ(std::string::npos, first.find("N/A |")) << first;
        EXPECT_NE(std::string::npos, first.find("| N/A N/A N/A")) << first;
        for (int i = 0; i < 3; i++) {
            Now("<temp> <aqi>", c[1]);
        }
        EXPECT_EQ(1, AirRequests());
        EXPECT_EQ(1, Forecasts());
        // Two minutes on, the failure is forgotten and the service asked again, once.
        std::string memory = sandbox::Join(sandbox::Join(cache, "Refresh"),
                                           std::string("AirQuality.") + c[1] + ".json.failed");
        ASSERT_TRUE(sandbox::Exists(memory)) << memory;
        // The memory holds the failure's time (a file time).
        sandbox::WriteFile(memory, std::to_string(OsUtcNow() - 121ull * 10000000ull));
        Now("<aqi>", c[1]);
        Now("<aqi>", c[1]);
        EXPECT_EQ(2, AirRequests());
    }
}

TEST_F(AirQuality, AKeptAnswerServesWhileTheServiceFailsAndTheFeedSourceHasNoAir) {
    EXPECT_EQ("12", Now("<aqi>", "CLEANAIR"));
    services::SimGet("/_control/airquality?name=http500");
    SetFileAge(sandbox::Join(cache, "Air.CLEANAIR.xml"), 61 * 60);
    SetFileAge(sandbox::Join(cache, "AirQuality.CLEANAIR.json"), 61 * 60);
    EXPECT_EQ("12", Now("<aqi>", "CLEANAIR"));
    EXPECT_EQ(2, AirRequests());

    Plugin.source = &FeedSource;
    EXPECT_EQ("N/A N/A", Now("<aqi> <pollen>", "FEEDPLACE"));
    EXPECT_EQ(2, AirRequests());
}

// ---- The reader and the document, offline --------------------------------------------------

#include "provider/air_document.h"
#include "provider/openmeteo.h"

static enum AnswerKind ReadAir(const std::string &json, AirQualityRecord *air,
                               std::string *reason = nullptr) {
    char text[256];
    enum AnswerKind kind = ReadAirQualityAnswer(json.data(), json.size(), air, text, sizeof text);
    if (reason != nullptr) {
        *reason = text;
    }
    return kind;
}

TEST(AirQualityAnswer, ValuesNullsGapsAndRefusalsAreReadAsTheyStand) {
    static AirQualityRecord air;
    // 2026-12-09 00:00 UTC is 1796688000; an hour skipped, a negative count and a null.
    std::string json =
        R"({"utc_offset_seconds":3600,"current":{"time":1796720400,"interval":3600,)"
        R"("us_aqi":51,"european_aqi":21,"pm2_5":5.6,"birch_pollen":150.0,"grass_pollen":null},)"
        R"("hourly":{"time":[1796688000,1796691600,1796698800],"us_aqi":[10,-4,30],)"
        R"("birch_pollen":[0.0,1.5,null]}})";
    ASSERT_EQ(ANSWER_WEATHER, ReadAir(json, &air));
    EXPECT_EQ(60, air.utcOffsetSeconds / 60);
    EXPECT_EQ(51, air.current[AIR_US_INDEX]);
    EXPECT_DOUBLE_EQ(5.6, air.current[AIR_PM2_5]);
    EXPECT_TRUE(isnan(air.current[AIR_FIRST_POLLEN + PLANT_GRASS]));
    EXPECT_TRUE(isnan(air.current[AIR_DUST])); // not in the answer
    EXPECT_EQ(1796688000 / 60, air.firstHourUtc);
    ASSERT_EQ(4, air.hourCount);
    EXPECT_EQ(10, air.hours[0][AIR_US_INDEX]);
    EXPECT_TRUE(isnan(air.hours[1][AIR_US_INDEX])); // a negative index is no index
    EXPECT_TRUE(isnan(air.hours[2][AIR_US_INDEX])); // the hour the answer skipped
    EXPECT_EQ(30, air.hours[3][AIR_US_INDEX]);

    std::string reason;
    EXPECT_EQ(
        ANSWER_REFUSED,
        ReadAir(R"({"error":true,"reason":"Hourly API request limit exceeded."})", &air, &reason));
    EXPECT_EQ("Hourly API request limit exceeded.", reason);
    // A body cut in the middle, and valid JSON with neither current values nor hours.
    EXPECT_EQ(ANSWER_UNREADABLE, ReadAir(json.substr(0, json.size() / 2), &air));
    EXPECT_EQ(ANSWER_UNREADABLE, ReadAir(R"({"latitude":48.2,"hourly":{"time":[]}})", &air));
}

TEST(AirQualityAnswer, TheDocumentsDaysAreThePlacesLocalDays) {
    static AirQualityRecord air;
    // 48 hours from 2026-12-09 00:00 UTC at an offset of -9 hours: the place's midnight is at
    // 09:00 UTC, so the first local day holds only the first 9 hours; each day's highest index
    // is that of its own hours.
    std::string times, us, birch;
    for (int h = 0; h < 48; h++) {
        times += (h ? "," : "") + std::to_string(1796688000 + 3600 * h);
        us += (h ? "," : "") + std::to_string(h < 15 ? 40 + h : h < 39 ? 90 - (h - 15) : 5);
        birch += (h ? "," : "") + std::string(h == 20 ? "120.0" : "0.0");
    }
    std::string json = R"({"utc_offset_seconds":-32400,"current":{"time":1796688000,"us_aqi":7},)"
                       R"("hourly":{"time":[)" +
                       times + R"(],"us_aqi":[)" + us + R"(],"birch_pollen":[)" + birch + "]}}";
    ASSERT_EQ(ANSWER_WEATHER, ReadAir(json, &air));
    PlaceInfo place = {48.21, 16.37, "", "AT", ""};
    RenderContext context = {nullptr, &place, "T", 1, 5, 12, 0, nullptr, &air, nullptr};
    GrowText text;
    GrowTextInit(&text, 0);
    AirDocument(&context, &text);
    std::string document(text.bytes, text.length);
    GrowTextFree(&text);
    EXPECT_NE(std::string::npos, document.find("<europe>1</europe>"));
    EXPECT_NE(std::string::npos, document.find("<offset>-540</offset>"));
    // Local days: 9 hours (highest 48), 24 hours (highest 90), then 15 hours (72).
    EXPECT_NE(std::string::npos, document.find("<day><dus>48</dus>")) << document;
    EXPECT_NE(std::string::npos, document.find("<day><dus>90</dus>")) << document;
    EXPECT_NE(std::string::npos, document.find("<day><dus>72</dus>")) << document;
    // The second day's pollen: birch at 120 is High (level 4, plant 1); the first day's none.
    EXPECT_NE(std::string::npos, document.find("<dus>48</dus><deu></deu><dpollen>0 ")) << document;
    EXPECT_NE(std::string::npos, document.find("<dus>90</dus><deu></deu><dpollen>4 1</dpollen>"))
        << document;
    size_t hours = 0;
    for (size_t at = document.find("<hour>"); at != std::string::npos;
         at = document.find("<hour>", at + 1)) {
        hours++;
    }
    EXPECT_EQ(48u, hours);
}
