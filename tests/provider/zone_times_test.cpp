// Every local time of a place is its clock at that instant, summer time's changes within an
// answer included: Berlin's hours on the mornings of 28 March and 31 October 2027, its sunrise
// on the days either side of them, from Open-Meteo's answers in Unix seconds (whose one offset
// is the offset of the moment they were made) and from MET Norway's UTC steps. Fixed instants,
// no clock: the same on both builds.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/grow_text.h"
#include "platform/platform.h"
#include "provider/derive.h"
#include "provider/metno.h"
#include "provider/openmeteo.h"
#include "provider/render.h"
#include "provider/sun.h"
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

const double kBerlinLatitude = 52.52, kBerlinLongitude = 13.40;

int64_t UtcMinutes(int year, int month, int day, int hour, int minute) {
    return DaysFromCivil(year, month, day) * 1440 + hour * 60 + minute;
}

// Whether this build can read Berlin's rules (a Windows build made without the zone-name table
// cannot).
bool KnowsBerlin() {
    int offset = 0;
    char abbreviation[16];
    return ZoneOffsetAt("Europe/Berlin", 0, UtcMinutes(2027, 1, 1, 0, 0), &offset, abbreviation,
                        sizeof abbreviation) == 1;
}

// An Open-Meteo answer for Berlin in Unix seconds: `hours` hours from `firstHour` and the days
// from `firstDay` (UTC minutes of the local midnight as the answer's one offset labels it), each
// with a sunrise at 05:00 UTC and a sunset at 17:00 UTC, made at `now` with `offsetNow`.
std::string BerlinAnswer(int64_t now, int offsetNow, int64_t firstHour, int hours, int64_t firstDay,
                         int days) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("latitude"), w.Double(kBerlinLatitude);
    w.Key("longitude"), w.Double(kBerlinLongitude);
    w.Key("utc_offset_seconds"), w.Int(offsetNow);
    w.Key("timezone"), w.String("Europe/Berlin");
    w.Key("timezone_abbreviation"), w.String(offsetNow == 3600 ? "CET" : "CEST");
    w.Key("current"), w.StartObject();
    w.Key("time"), w.Int64(now * 60);
    w.Key("temperature_2m"), w.Double(5.0);
    w.EndObject();
    w.Key("hourly"), w.StartObject();
    w.Key("time"), w.StartArray();
    for (int i = 0; i < hours; i++) {
        w.Int64((firstHour + i * 60) * 60);
    }
    w.EndArray();
    w.Key("temperature_2m"), w.StartArray();
    for (int i = 0; i < hours; i++) {
        w.Double(i); // hour i of the answer is i degrees
    }
    w.EndArray();
    w.EndObject();
    w.Key("daily"), w.StartObject();
    const char *const members[] = {"time", "sunrise", "sunset"};
    const int utcHours[] = {0, 5, 17};
    for (int m = 0; m < 3; m++) {
        w.Key(members[m]), w.StartArray();
        for (int d = 0; d < days; d++) {
            int64_t midnight = firstDay + d * 1440;
            // The sun's instants are those of the date the answer's midnight labels.
            int64_t date = DayOfMinutes(midnight + offsetNow / 60) * 1440;
            w.Int64((m == 0 ? midnight : date + utcHours[m] * 60) * 60);
        }
        w.EndArray();
    }
    w.EndObject();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

// The hour numbers of a rendered Hourly document, in order.
std::vector<int> HourNames(const ModelWeather *model, int count, uint64_t downloadTime) {
    PlaceInfo place = {};
    place.latitude = kBerlinLatitude;
    place.longitude = kBerlinLongitude;
    RenderContext context = {model, &place,       "BERLIN", 1,       3,
                             count, downloadTime, nullptr,  nullptr, nullptr};
    GrowText text;
    GrowTextInit(&text, 0);
    EXPECT_EQ(1, RenderFeedDocument(KIND_HOURLY, &context, &text));
    std::string document(text.bytes, text.length);
    GrowTextFree(&text);
    std::vector<int> names;
    for (size_t at = document.find(" c=\""); at != std::string::npos;
         at = document.find(" c=\"", at + 1)) {
        names.push_back(atoi(document.c_str() + at + 4));
    }
    return names;
}

uint64_t FileTimeOf(int64_t utcMinutes) {
    return 116444736000000000ull + (uint64_t)utcMinutes * 600000000ull;
}

const ModelDay *DayOf(const ModelWeather *model, int year, int month, int day) {
    return FindDay(model, DaysFromCivil(year, month, day) * 1440);
}

class ZoneTimes : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!KnowsBerlin()) {
            GTEST_SKIP() << "this build reads no zone's rules";
        }
    }
    static ModelWeather model;
};
ModelWeather ZoneTimes::model;

} // namespace

TEST_F(ZoneTimes, TheZonesRulesGiveEachInstantItsOffset) {
    int offset = 0;
    char abbreviation[16];
    ASSERT_EQ(1, ZoneOffsetAt("Europe/Berlin", 0, UtcMinutes(2027, 3, 28, 0, 59), &offset,
                              abbreviation, sizeof abbreviation));
    EXPECT_EQ(3600, offset);
    ASSERT_EQ(1, ZoneOffsetAt("Europe/Berlin", 0, UtcMinutes(2027, 3, 28, 1, 0), &offset,
                              abbreviation, sizeof abbreviation));
    EXPECT_EQ(7200, offset);
    ZoneOffsetAt("Europe/Berlin", 0, UtcMinutes(2027, 10, 31, 0, 59), &offset, NULL, 0);
    EXPECT_EQ(7200, offset);
    ZoneOffsetAt("Europe/Berlin", 0, UtcMinutes(2027, 10, 31, 1, 0), &offset, NULL, 0);
    EXPECT_EQ(3600, offset);
    ZoneOffsetAt("America/New_York", 0, UtcMinutes(2027, 7, 1, 12, 0), &offset, NULL, 0);
    EXPECT_EQ(-4 * 3600, offset);
    ZoneOffsetAt("Asia/Kolkata", 0, UtcMinutes(2027, 7, 1, 12, 0), &offset, NULL, 0);
    EXPECT_EQ(5 * 3600 + 1800, offset);
    // A name that is no zone, or a path, keeps the fallback.
    for (const char *wrong : {"", "Not/A_Zone", "../../etc/passwd", "Europe/../Berlin"}) {
        EXPECT_EQ(0, ZoneOffsetAt(wrong, -3600, UtcMinutes(2027, 7, 1, 12, 0), &offset,
                                  abbreviation, sizeof abbreviation))
            << wrong;
        EXPECT_EQ(-3600, offset);
        EXPECT_STREQ("", abbreviation);
    }
}

TEST_F(ZoneTimes, OpenMeteosHoursAcrossBothChangesAreNamedByTheClockThen) {
    char reason[128];
    // 23:30 on 27 March (CET): the next hours are 0, 1, then 3 and 4 of summer time.
    int64_t now = UtcMinutes(2027, 3, 27, 22, 30);
    std::string json = BerlinAnswer(now, 3600, UtcMinutes(2027, 3, 27, 0, 0), 48,
                                    UtcMinutes(2027, 3, 26, 23, 0), 2);
    ASSERT_EQ(ANSWER_WEATHER,
              ReadForecastAnswer(json.data(), json.size(), &model, reason, sizeof reason));
    EXPECT_EQ((std::vector<int>{0, 1, 3, 4, 5}), HourNames(&model, 5, FileTimeOf(now)));
    EXPECT_EQ(UtcMinutes(2027, 3, 27, 23, 30), model.current.time);

    // 23:30 on 30 October (CEST): 0, 1, 2 of summer time, 2 again of winter time, 3.
    now = UtcMinutes(2027, 10, 30, 21, 30);
    json = BerlinAnswer(now, 7200, UtcMinutes(2027, 10, 30, 0, 0), 48,
                        UtcMinutes(2027, 10, 29, 22, 0), 2);
    ASSERT_EQ(ANSWER_WEATHER,
              ReadForecastAnswer(json.data(), json.size(), &model, reason, sizeof reason));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 2, 3}), HourNames(&model, 5, FileTimeOf(now)));
    // Both hours named 2 are there, each with its own values.
    const ModelValues *first = FindHour(&model, UtcMinutes(2027, 10, 31, 0, 0));
    const ModelValues *second = FindHour(&model, UtcMinutes(2027, 10, 31, 1, 0));
    ASSERT_TRUE(first != NULL && second != NULL);
    EXPECT_EQ(first->time, second->time);
    EXPECT_EQ(first->temperature + 1, second->temperature);
}

TEST_F(ZoneTimes, OpenMeteosSunTimesAreOfTheirOwnDaysOffset) {
    char reason[128];
    // Made after the change (CEST), with the days before it among its past days: their dates
    // are its one offset's, their sunrise at 05:00 UTC is 06:00 before the change.
    int64_t now = UtcMinutes(2027, 3, 29, 10, 0);
    std::string json = BerlinAnswer(now, 7200, UtcMinutes(2027, 3, 26, 22, 0), 96,
                                    UtcMinutes(2027, 3, 26, 22, 0), 4);
    ASSERT_EQ(ANSWER_WEATHER,
              ReadForecastAnswer(json.data(), json.size(), &model, reason, sizeof reason));
    ASSERT_EQ(4, model.dayCount);
    const ModelDay *before = DayOf(&model, 2027, 3, 27), *after = DayOf(&model, 2027, 3, 29);
    ASSERT_TRUE(before != NULL && after != NULL);
    EXPECT_EQ(UtcMinutes(2027, 3, 27, 6, 0), before->sunrise);
    EXPECT_EQ(UtcMinutes(2027, 3, 27, 18, 0), before->sunset);
    EXPECT_EQ(UtcMinutes(2027, 3, 29, 7, 0), after->sunrise);
    EXPECT_EQ(UtcMinutes(2027, 3, 29, 19, 0), after->sunset);
    EXPECT_EQ(7200, model.utcOffsetSeconds);
    EXPECT_STREQ("CEST", model.zoneAbbreviation);
    EXPECT_STREQ("Europe/Berlin", model.zone);
}

TEST_F(ZoneTimes, AnAnswerInWallClockTextsKeepsItsOneOffset) {
    // Answers kept before times came in Unix seconds label every hour with the one offset; they
    // still read, each hour at the instant that offset names.
    const char json[] =
        "{\"utc_offset_seconds\":3600,\"timezone\":\"Europe/Berlin\","
        "\"current\":{\"time\":\"2027-03-27T23:30\"},"
        "\"hourly\":{\"time\":[\"2027-03-28T00:00\",\"2027-03-28T01:00\",\"2027-03-28T02:00\"]},"
        "\"daily\":{\"time\":[\"2027-03-28\"]}}";
    char reason[128];
    ASSERT_EQ(ANSWER_WEATHER,
              ReadForecastAnswer(json, sizeof json - 1, &model, reason, sizeof reason));
    ASSERT_EQ(3, model.hourCount);
    EXPECT_EQ(UtcMinutes(2027, 3, 28, 1, 0), model.hours[2].utc);
    EXPECT_EQ(UtcMinutes(2027, 3, 28, 3, 0), model.hours[2].time);
}

TEST_F(ZoneTimes, MetNorwaysStepsAndSunTimesAcrossTheChange) {
    // Steps every hour from 20:00 UTC on 26 March for three days, read at 23:30 on 27 March.
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("properties"), w.StartObject(), w.Key("timeseries"), w.StartArray();
    int64_t first = UtcMinutes(2027, 3, 26, 20, 0);
    for (int i = 0; i < 72; i++) {
        int64_t utc = first + i * 60;
        int year, month, day;
        CivilFromDays(DayOfMinutes(utc), &year, &month, &day);
        char stamp[32];
        snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:00:00Z", year, month, day,
                 MinuteOfDay(utc) / 60);
        w.StartObject();
        w.Key("time"), w.String(stamp);
        w.Key("data"), w.StartObject();
        w.Key("instant"), w.StartObject(), w.Key("details"), w.StartObject();
        w.Key("air_temperature"), w.Double(i % 20);
        w.EndObject(), w.EndObject();
        w.Key("next_1_hours"), w.StartObject(), w.Key("summary"), w.StartObject();
        w.Key("symbol_code"), w.String("cloudy");
        w.EndObject(), w.EndObject();
        w.EndObject();
        w.EndObject();
    }
    w.EndArray(), w.EndObject(), w.EndObject();
    std::string json(buffer.GetString(), buffer.GetSize());

    MetNorwayClock clock = {};
    clock.utcNowMinutes = UtcMinutes(2027, 3, 27, 22, 30);
    clock.latitude = kBerlinLatitude;
    clock.longitude = kBerlinLongitude;
    clock.hasOffset = 1;
    clock.utcOffsetSeconds = 3600;
    snprintf(clock.zoneAbbreviation, sizeof clock.zoneAbbreviation, "CET");
    snprintf(clock.zone, sizeof clock.zone, "Europe/Berlin");
    ASSERT_EQ(ANSWER_WEATHER, ReadMetNorwayAnswer(json.data(), json.size(), &clock, &model));
    EXPECT_EQ((std::vector<int>{0, 1, 3, 4, 5}),
              HourNames(&model, 5, FileTimeOf(clock.utcNowMinutes)));

    // Sunrise and sunset by the sun, each read with its own day's offset.
    for (int day : {27, 28}) {
        int64_t rise, set;
        ASSERT_EQ(SUN_RISES_AND_SETS, SunRiseSet(DaysFromCivil(2027, 3, day), kBerlinLatitude,
                                                 kBerlinLongitude, &rise, &set));
        const ModelDay *found = DayOf(&model, 2027, 3, day);
        ASSERT_TRUE(found != NULL) << day;
        int offsetMinutes = day == 27 ? 60 : 120;
        EXPECT_EQ(rise + offsetMinutes, found->sunrise) << day;
        EXPECT_EQ(set + offsetMinutes, found->sunset) << day;
    }
}
