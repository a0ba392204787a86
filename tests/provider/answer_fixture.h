// A forecast answer in Open-Meteo's shape with values the tests know, and the place it is for.
//
// The place keeps Pacific time (UTC-8, "PST"); its clock reads 2026-12-08 14:15. The hourly
// values run from 2026-12-07 00:00 for three days, the daily ones for the same three days, so
// that days from the fourth on have no values. Hour i (0 at 2026-12-07 00:00) has:
//   temperature 2 + i%24 / 2 C, feels-like two degrees lower, dew point 0.5 C,
//   humidity 50 + i%10, precipitation chance (7 i) % 100, pressure 1000 + i/2 hPa,
//   wind 10 + i%4 km/h from 200 degrees with gusts 10 km/h above it,
//   code 3, but on 2026-12-08 code 2 by day (07:00 to 16:00) with rain (61) at noon, and
//   code 0 at night (17:00 to 06:00) with snow (71) at 23:00; is_day from 07:00 to 16:00.
#ifndef NIMBREL_TEST_ANSWER_FIXTURE_H
#define NIMBREL_TEST_ANSWER_FIXTURE_H

#include <functional>
#include <string>

#include "provider/json.h"
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace answer {

const int kHours = 72;
const char kFirstDay[] = "2026-12-07";

inline std::string HourTime(int i) {
    char text[32];
    snprintf(text, sizeof text, "2026-12-%02dT%02d:00", 7 + i / 24, i % 24);
    return text;
}

inline bool IsDayHour(int i) {
    return i % 24 >= 7 && i % 24 <= 16;
}

inline int HourCode(int i) {
    if (i >= 24 + 7 && i <= 24 + 16) {
        return i == 24 + 12 ? 61 : 2; // 2026-12-08 by day
    }
    if (i >= 24 + 17 && i <= 48 + 6) {
        return i == 24 + 23 ? 71 : 0; // the night after it
    }
    return 3;
}

inline double HourTemperature(int i) {
    return 2.0 + (i % 24) * 0.5;
}
inline int HourHumidity(int i) {
    return 50 + i % 10;
}
inline int HourPrecip(int i) {
    return (i * 7) % 100;
}
inline double HourPressure(int i) {
    return 1000.0 + i * 0.5;
}
inline double HourWind(int i) {
    return 10.0 + i % 4;
}

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

// Writes the answer; `tweak` may add members at the top level (it runs last, inside the object).
inline std::string Build(const std::function<void(Writer &)> &tweak = nullptr) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("latitude"), w.Double(34.125);
    w.Key("longitude"), w.Double(-118.375);
    w.Key("generationtime_ms"), w.Double(0.5);
    w.Key("utc_offset_seconds"), w.Int(-28800);
    w.Key("timezone"), w.String("America/Los_Angeles");
    w.Key("timezone_abbreviation"), w.String("PST");
    w.Key("current_units");
    w.StartObject();
    w.Key("temperature_2m"), w.String("\xC2\xB0"
                                      "C");
    w.Key("wind_speed_10m"), w.String("km/h");
    w.Key("visibility"), w.String("m");
    w.EndObject();
    w.Key("current");
    w.StartObject();
    w.Key("time"), w.String("2026-12-08T14:15");
    w.Key("interval"), w.Int(900);
    w.Key("temperature_2m"), w.Double(12.3);
    w.Key("relative_humidity_2m"), w.Int(62);
    w.Key("apparent_temperature"), w.Double(10.1);
    w.Key("dew_point_2m"), w.Double(2.0);
    w.Key("is_day"), w.Int(1);
    w.Key("weather_code"), w.Int(2);
    w.Key("pressure_msl"), w.Double(1019.0);
    w.Key("wind_speed_10m"), w.Double(16.1);
    w.Key("wind_direction_10m"), w.Int(225);
    w.Key("wind_gusts_10m"), w.Double(30.0);
    w.Key("visibility"), w.Double(8000.0);
    w.Key("uv_index"), w.Double(5.4);
    w.EndObject();
    w.Key("hourly_units");
    w.StartObject();
    w.Key("temperature_2m"), w.String("\xC2\xB0"
                                      "C");
    w.Key("wind_speed_10m"), w.String("km/h");
    w.EndObject();
    w.Key("hourly");
    w.StartObject();
    auto series = [&](const char *name, const std::function<void(int)> &value) {
        w.Key(name);
        w.StartArray();
        for (int i = 0; i < kHours; i++) {
            value(i);
        }
        w.EndArray();
    };
    series("time", [&](int i) { w.String(HourTime(i).c_str()); });
    series("temperature_2m", [&](int i) { w.Double(HourTemperature(i)); });
    series("relative_humidity_2m", [&](int i) { w.Int(HourHumidity(i)); });
    series("apparent_temperature", [&](int i) { w.Double(HourTemperature(i) - 2.0); });
    series("dew_point_2m", [&](int) { w.Double(0.5); });
    series("precipitation_probability", [&](int i) { w.Int(HourPrecip(i)); });
    series("weather_code", [&](int i) { w.Int(HourCode(i)); });
    series("is_day", [&](int i) { w.Int(IsDayHour(i) ? 1 : 0); });
    series("pressure_msl", [&](int i) { w.Double(HourPressure(i)); });
    series("wind_speed_10m", [&](int i) { w.Double(HourWind(i)); });
    series("wind_direction_10m", [&](int) { w.Int(200); });
    series("wind_gusts_10m", [&](int i) { w.Double(HourWind(i) + 10.0); });
    w.EndObject();
    w.Key("daily_units");
    w.StartObject();
    w.Key("temperature_2m_max"), w.String("\xC2\xB0"
                                          "C");
    w.EndObject();
    w.Key("daily");
    w.StartObject();
    w.Key("time"), w.StartArray(), w.String("2026-12-07"), w.String("2026-12-08"),
        w.String("2026-12-09"), w.EndArray();
    w.Key("weather_code"), w.StartArray(), w.Int(3), w.Int(71), w.Int(3), w.EndArray();
    w.Key("temperature_2m_max"), w.StartArray(), w.Double(14.0), w.Double(15.0), w.Double(9.0),
        w.EndArray();
    w.Key("temperature_2m_min"), w.StartArray(), w.Double(3.0), w.Double(4.4), w.Double(1.0),
        w.EndArray();
    w.Key("sunrise"), w.StartArray(), w.String("2026-12-07T06:48"), w.String("2026-12-08T06:49"),
        w.String("2026-12-09T06:50"), w.EndArray();
    w.Key("sunset"), w.StartArray(), w.String("2026-12-07T16:45"), w.String("2026-12-08T16:45"),
        w.String("2026-12-09T16:45"), w.EndArray();
    w.Key("precipitation_probability_max"), w.StartArray(), w.Int(10), w.Int(94), w.Int(20),
        w.EndArray();
    w.EndObject();
    if (tweak) {
        tweak(w);
    }
    w.EndObject();
    return buffer.GetString();
}

} // namespace answer

#endif
