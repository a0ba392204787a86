#include "open_meteo_api.h"

#include "open_meteo_common.h"

#include "grid_weather.h"
#include "weather_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char *const kRateLimitReason = "Daily API request limit exceeded. Please try again tomorrow.";
const double kForecastGenerationMs = 0.05;
const double kSearchGenerationMs = 0.3;
const double kEmptySearchGenerationMs = 0.1;
const double kGridStep = 0.25;
const int kMaxForecastDaysParameter = 16;
const int kMaxPastDaysParameter = 92;
const int kDefaultForecastDays = 7;
const int kCurrentInterval = 900;
const int kQuarterSeconds = 900;
// Without forecast_minutely_15, the 15-minute steps cover this many whole local days.
const int kDefaultMinutelyDays = 3;
const long long kMaxForecastQuarters = 16 * 96;
const long long kMaxPastQuarters = 92 * 96;
const double kMmPerInch = 25.4;
const double kCmPerInch = 2.54;
const int kDefaultSearchCount = 10;
const int kMaxSearchCount = 100;
const size_t kMaxPostcodeLength = 10;

// --- text of the query

// Characters, not bytes: "Zü" is two.
size_t CharacterCount(const std::string &text) {
    size_t count = 0;
    for (size_t at = 0; at < text.size(); ++count) {
        size_t length = Utf8SequenceLength(text, at);
        at += length == 0 ? 1 : length;
    }
    return count;
}

// --- units and variables

// The wind speed units: the parameter's value, the unit as the answers name it, and km/h in one.
const struct SpeedUnit {
    const char *name, *text;
    double kmh;
} kSpeedUnits[] = {
    {"kmh", "km/h", 1.0}, {"ms", "m/s", 3.6}, {"mph", "mp/h", 1.609344}, {"kn", "kn", 1.852}};

struct Units {
    bool fahrenheit = false;
    const SpeedUnit *speed = &kSpeedUnits[0];
    bool inch = false; // precipitation_unit=inch: millimetres and centimetres as inches
    bool unixTime = false;
};

enum class Quantity {
    Temperature,
    Percent,
    Precipitation, // mm
    Snowfall,      // cm
    Hours,
    Code,
    Pressure,
    Visibility,
    Speed,
    Direction,
    Uv,
    Flag,
    Time, // minutes after local midnight of the day, as sunrise and sunset
};

struct HourlyVariable {
    const char *name;
    Quantity quantity;
    double (*value)(const GridHour &);
};

const HourlyVariable kHourlyVariables[] = {
    {"temperature_2m", Quantity::Temperature, [](const GridHour &h) { return h.temperatureC; }},
    {"relative_humidity_2m", Quantity::Percent,
     [](const GridHour &h) { return static_cast<double>(h.humidityPercent); }},
    {"dew_point_2m", Quantity::Temperature, [](const GridHour &h) { return h.dewPointC; }},
    {"apparent_temperature", Quantity::Temperature,
     [](const GridHour &h) { return h.apparentTemperatureC; }},
    {"precipitation_probability", Quantity::Percent,
     [](const GridHour &h) { return static_cast<double>(h.precipitationProbabilityPercent); }},
    {"precipitation", Quantity::Precipitation, [](const GridHour &h) { return h.precipitationMm; }},
    {"rain", Quantity::Precipitation, [](const GridHour &h) { return h.rainMm; }},
    {"showers", Quantity::Precipitation, [](const GridHour &h) { return h.showersMm; }},
    {"snowfall", Quantity::Snowfall, [](const GridHour &h) { return h.snowfallCm; }},
    {"weather_code", Quantity::Code,
     [](const GridHour &h) { return static_cast<double>(h.weatherCode); }},
    {"cloud_cover", Quantity::Percent,
     [](const GridHour &h) { return static_cast<double>(h.cloudCoverPercent); }},
    {"pressure_msl", Quantity::Pressure, [](const GridHour &h) { return h.pressureMslHpa; }},
    {"surface_pressure", Quantity::Pressure,
     [](const GridHour &h) { return h.surfacePressureHpa; }},
    {"visibility", Quantity::Visibility, [](const GridHour &h) { return h.visibilityMetres; }},
    {"wind_speed_10m", Quantity::Speed, [](const GridHour &h) { return h.windKmh; }},
    {"wind_direction_10m", Quantity::Direction,
     [](const GridHour &h) { return static_cast<double>(h.windDegrees); }},
    {"wind_gusts_10m", Quantity::Speed, [](const GridHour &h) { return h.gustKmh; }},
    {"uv_index", Quantity::Uv, [](const GridHour &h) { return h.uvIndex; }},
    {"is_day", Quantity::Flag, [](const GridHour &h) { return h.isDay ? 1.0 : 0.0; }},
};

struct DailyVariable {
    const char *name;
    Quantity quantity;
    double (*value)(const GridDay &);
};

const DailyVariable kDailyVariables[] = {
    {"weather_code", Quantity::Code,
     [](const GridDay &d) { return static_cast<double>(d.weatherCode); }},
    {"temperature_2m_max", Quantity::Temperature,
     [](const GridDay &d) { return d.temperatureMaxC; }},
    {"temperature_2m_min", Quantity::Temperature,
     [](const GridDay &d) { return d.temperatureMinC; }},
    {"apparent_temperature_max", Quantity::Temperature,
     [](const GridDay &d) { return d.apparentTemperatureMaxC; }},
    {"apparent_temperature_min", Quantity::Temperature,
     [](const GridDay &d) { return d.apparentTemperatureMinC; }},
    {"sunrise", Quantity::Time,
     [](const GridDay &d) { return static_cast<double>(d.sunriseMinutes); }},
    {"sunset", Quantity::Time,
     [](const GridDay &d) { return static_cast<double>(d.sunsetMinutes); }},
    {"precipitation_probability_max", Quantity::Percent,
     [](const GridDay &d) { return static_cast<double>(d.precipitationProbabilityMaxPercent); }},
    {"precipitation_sum", Quantity::Precipitation,
     [](const GridDay &d) { return d.precipitationSumMm; }},
    {"rain_sum", Quantity::Precipitation, [](const GridDay &d) { return d.rainSumMm; }},
    {"showers_sum", Quantity::Precipitation, [](const GridDay &d) { return d.showersSumMm; }},
    {"snowfall_sum", Quantity::Snowfall, [](const GridDay &d) { return d.snowfallSumCm; }},
    {"precipitation_hours", Quantity::Hours,
     [](const GridDay &d) { return static_cast<double>(d.precipitationHours); }},
    {"wind_speed_10m_max", Quantity::Speed, [](const GridDay &d) { return d.windMaxKmh; }},
    {"wind_gusts_10m_max", Quantity::Speed, [](const GridDay &d) { return d.gustMaxKmh; }},
    {"wind_direction_10m_dominant", Quantity::Direction,
     [](const GridDay &d) { return static_cast<double>(d.dominantWindDegrees); }},
    {"uv_index_max", Quantity::Uv, [](const GridDay &d) { return d.uvIndexMax; }},
};

const char *UnitText(Quantity quantity, const Units &units) {
    switch (quantity) {
    case Quantity::Temperature:
        return units.fahrenheit ? "\u00B0F" : "\u00B0C";
    case Quantity::Percent:
        return "%";
    case Quantity::Precipitation:
        return units.inch ? "inch" : "mm";
    case Quantity::Snowfall:
        return units.inch ? "inch" : "cm";
    case Quantity::Hours:
        return "h";
    case Quantity::Code:
        return "wmo code";
    case Quantity::Pressure:
        return "hPa";
    case Quantity::Visibility:
        // Visibility goes to feet with Fahrenheit, as the public service does.
        return units.fahrenheit ? "ft" : "m";
    case Quantity::Speed:
        return units.speed->text;
    case Quantity::Direction:
        return "\u00B0";
    case Quantity::Time:
        return units.unixTime ? "unixtime" : "iso8601";
    default:
        return "";
    }
}

bool IsWholeNumber(Quantity quantity) {
    return quantity == Quantity::Percent || quantity == Quantity::Code ||
           quantity == Quantity::Direction || quantity == Quantity::Flag;
}

// A value in the caller's units, from the one the weather is kept in.
double Converted(Quantity quantity, double value, const Units &units) {
    switch (quantity) {
    case Quantity::Temperature:
        return units.fahrenheit ? value * 9.0 / 5.0 + 32.0 : value;
    case Quantity::Visibility:
        return units.fahrenheit ? value / 0.3048 : value;
    case Quantity::Speed:
        return value / units.speed->kmh;
    case Quantity::Precipitation:
        return units.inch ? value / kMmPerInch : value;
    case Quantity::Snowfall:
        return units.inch ? value / kCmPerInch : value;
    default:
        return value;
    }
}

// A value in the caller's units: whole numbers, inches with three decimals, the rest with one
// (adding zero turns a rounded -0.0 into 0.0); null in the nulls scenario.
std::string ValueText(Quantity quantity, double value, const Units &units, bool nulls) {
    if (nulls)
        return "null";
    if (IsWholeNumber(quantity))
        return std::to_string(std::lround(value));
    bool inches =
        units.inch && (quantity == Quantity::Precipitation || quantity == Quantity::Snowfall);
    double scale = inches ? 1000.0 : 10.0;
    return NumberText(std::round(Converted(quantity, value, units) * scale) / scale + 0.0);
}

// --- places and zones

// --- the forecast

struct ForecastRequest {
    double latitude = 0.0;
    double longitude = 0.0;
    std::vector<Requested> current;
    std::vector<Requested> hourly;
    std::vector<Requested> minutely15;
    std::vector<Requested> daily;
    Units units;
    int forecastDays = kDefaultForecastDays;
    bool forecastDaysGiven = false;
    int pastDays = 0;
    long long forecastQuarters = -1; // forecast_minutely_15, or -1 when absent
    long long pastQuarters = 0;
};

template <typename Variable, size_t N>
bool ParseVariables(const QueryParameters &query, const char *key, const Variable (&table)[N],
                    const char *typeName, std::vector<Requested> *requested, std::string *reason) {
    std::vector<const char *> names;
    for (const Variable &variable : table)
        names.push_back(variable.name);
    return ParseVariableList(query, key, names, typeName, true, requested, reason);
}

bool ParseForecastRequest(const QueryParameters &query, ForecastRequest *request,
                          std::string *reason) {
    if (!ParseCoordinates(query, &request->latitude, &request->longitude, reason))
        return false;

    if (!ParseVariables(query, "current", kHourlyVariables, "WeatherVariable", &request->current,
                        reason) ||
        !ParseVariables(query, "hourly", kHourlyVariables, "WeatherVariable", &request->hourly,
                        reason) ||
        !ParseVariables(query, "minutely_15", kHourlyVariables, "WeatherVariable",
                        &request->minutely15, reason) ||
        !ParseVariables(query, "daily", kDailyVariables, "DailyWeatherVariable", &request->daily,
                        reason))
        return false;

    int temperature, speed, precipitation, timeFormat;
    std::vector<const char *> speeds;
    for (const SpeedUnit &unit : kSpeedUnits)
        speeds.push_back(unit.name);
    if (!ParseChoice(query, "temperature_unit", {"celsius", "fahrenheit"}, "TemperatureUnit",
                     &temperature, reason) ||
        !ParseChoice(query, "wind_speed_unit", speeds, "WindspeedUnit", &speed, reason) ||
        !ParseChoice(query, "precipitation_unit", {"mm", "inch"}, "PrecipitationUnit",
                     &precipitation, reason) ||
        !ParseChoice(query, "timeformat", {"iso8601", "unixtime"}, "Timeformat", &timeFormat,
                     reason))
        return false;
    request->units.fahrenheit = temperature == 1;
    request->units.speed = &kSpeedUnits[speed];
    request->units.inch = precipitation == 1;
    request->units.unixTime = timeFormat == 1;

    long long forecastDays = kDefaultForecastDays, pastDays = 0;
    if (!ParseCount(query, "forecast_days", "Forecast days", kMaxForecastDaysParameter,
                    &forecastDays, reason) ||
        !ParseCount(query, "past_days", "Past days", kMaxPastDaysParameter, &pastDays, reason) ||
        !ParseCount(query, "forecast_minutely_15", "Forecast minutely 15", kMaxForecastQuarters,
                    &request->forecastQuarters, reason) ||
        !ParseCount(query, "past_minutely_15", "Past minutely 15", kMaxPastQuarters,
                    &request->pastQuarters, reason))
        return false;
    request->forecastDays = static_cast<int>(forecastDays);
    request->forecastDaysGiven = QueryValue(query, "forecast_days") != nullptr;
    request->pastDays = static_cast<int>(pastDays);

    // Any zone name is taken as "auto": the location's own zone.
    if (!request->daily.empty() && QueryValue(query, "timezone") == nullptr) {
        *reason = "Timezone is required";
        return false;
    }
    return true;
}

// The units of a section: "time" (and "interval" for the current values), then each variable's.
template <typename Variable, size_t N>
std::string SectionUnits(const std::vector<Requested> &requested, const Variable (&table)[N],
                         const Units &units, bool withInterval) {
    std::vector<std::pair<std::string, std::string>> variableUnits;
    for (const Requested &variable : requested)
        variableUnits.emplace_back(variable.name, UnitText(table[variable.index].quantity, units));
    return UnitsText(units.unixTime, withInterval, variableUnits);
}

std::string ForecastBody(const ForecastRequest &request, const GridWeather &grid, bool nulls) {
    const Units &units = request.units;
    int offset = grid.utcOffsetSeconds();
    std::string sections;
    if (!request.current.empty()) {
        // The current values are 15-minute ones: the amounts of the 15 minutes up to the
        // current boundary.
        GridHour hour = grid.Quarter(grid.currentLocalQuarter());
        sections +=
            ",\"current_units\":" + SectionUnits(request.current, kHourlyVariables, units, true) +
            ",\"current\":{\"time\":" +
            TimeValue(grid.currentLocalQuarter(), true, units.unixTime, offset) +
            ",\"interval\":" + std::to_string(kCurrentInterval);
        for (const Requested &variable : request.current) {
            const HourlyVariable &entry = kHourlyVariables[variable.index];
            sections += ",\"" + variable.name +
                        "\":" + ValueText(entry.quantity, entry.value(hour), units, nulls);
        }
        sections += "}";
    }
    if (!request.minutely15.empty()) {
        // forecast_minutely_15 steps from the current boundary; without it whole local days
        // from midnight (forecast_days of them, else three). past_minutely_15 steps go before.
        long long first, count;
        if (request.forecastQuarters >= 0) {
            first = grid.currentLocalQuarter();
            count = request.forecastQuarters;
        } else {
            int days = request.forecastDaysGiven ? request.forecastDays : kDefaultMinutelyDays;
            first = (grid.todayLocalDay() - request.pastDays) * 86400LL;
            count = (request.pastDays + days) * 96LL;
        }
        first -= request.pastQuarters * kQuarterSeconds;
        count += request.pastQuarters;
        std::vector<GridHour> quarters;
        for (long long i = 0; i < count; ++i)
            quarters.push_back(grid.Quarter(first + i * kQuarterSeconds));
        sections += ",\"minutely_15_units\":" +
                    SectionUnits(request.minutely15, kHourlyVariables, units, false) +
                    ",\"minutely_15\":{\"time\":" + ArrayText(count, [&](long long i) {
                        return TimeValue(first + i * kQuarterSeconds, true, units.unixTime, offset);
                    });
        for (const Requested &variable : request.minutely15) {
            const HourlyVariable &entry = kHourlyVariables[variable.index];
            sections +=
                ",\"" + variable.name + "\":" + ArrayText(count, [&](long long i) {
                    return ValueText(entry.quantity, entry.value(quarters[static_cast<size_t>(i)]),
                                     units, nulls);
                });
        }
        sections += "}";
    }
    if (!request.hourly.empty()) {
        // From local midnight past_days ago, for past_days + forecast_days whole days.
        long long first = (grid.todayLocalDay() - request.pastDays) * 24LL;
        long long count = (request.pastDays + request.forecastDays) * 24LL;
        std::vector<GridHour> hours;
        for (long long i = 0; i < count; ++i)
            hours.push_back(grid.Hour(first + i));
        sections +=
            ",\"hourly_units\":" + SectionUnits(request.hourly, kHourlyVariables, units, false) +
            ",\"hourly\":{\"time\":" + ArrayText(count, [&](long long i) {
                return TimeValue((first + i) * 3600, true, units.unixTime, offset);
            });
        for (const Requested &variable : request.hourly) {
            const HourlyVariable &entry = kHourlyVariables[variable.index];
            sections +=
                ",\"" + variable.name + "\":" + ArrayText(count, [&](long long i) {
                    return ValueText(entry.quantity, entry.value(hours[static_cast<size_t>(i)]),
                                     units, nulls);
                });
        }
        sections += "}";
    }
    if (!request.daily.empty()) {
        long long firstDay = grid.todayLocalDay() - request.pastDays;
        long long count = request.pastDays + request.forecastDays;
        std::vector<GridDay> days;
        for (long long i = 0; i < count; ++i)
            days.push_back(grid.Day(firstDay + i));
        sections +=
            ",\"daily_units\":" + SectionUnits(request.daily, kDailyVariables, units, false) +
            ",\"daily\":{\"time\":" + ArrayText(count, [&](long long i) {
                return TimeValue((firstDay + i) * 86400, false, units.unixTime, offset);
            });
        for (const Requested &variable : request.daily) {
            const DailyVariable &entry = kDailyVariables[variable.index];
            sections +=
                ",\"" + variable.name + "\":" + ArrayText(count, [&](long long i) {
                    double value = entry.value(days[static_cast<size_t>(i)]);
                    if (entry.quantity != Quantity::Time || nulls)
                        return ValueText(entry.quantity, value, units, nulls);
                    return TimeValue((firstDay + i) * 86400 + static_cast<long long>(value) * 60,
                                     true, units.unixTime, offset);
                });
        }
        sections += "}";
    }
    PointHeader header;
    header.latitude = CellCentre(request.latitude, 90, kGridStep);
    header.longitude = CellCentre(request.longitude, 180, kGridStep);
    header.generationMs = kForecastGenerationMs;
    header.utcOffsetSeconds = offset;
    header.timezone = TimezoneName(grid.location().zoneOffsetHours);
    header.abbreviation = grid.zoneAbbreviation();
    header.elevationMetres = grid.elevationMetres();
    return PointAnswerBody(header, sections);
}

// Valid JSON in a shape no forecast has: wrong types everywhere, arrays that disagree in
// length, numbers at the edge of the range, and one member nested thousands deep.
const char kHostileForecast[] =
    R"({"latitude":"34.125","longitude":1e308,"generationtime_ms":null,)"
    R"("utc_offset_seconds":"-28800","timezone":42,"timezone_abbreviation":[],)"
    R"("elevation":-1e308,"x_nested":{{DEEP}},"current_units":["\u00B0C"],)"
    R"("current":[1,null,"2026-12-08T14:00",{"temperature_2m":"warm"}],)"
    R"("minutely_15_units":7,"minutely_15":{"time":[null,"2026-12-08T10:07",-900,1e308])"
    R"({{MINUTELY}}},)"
    R"("hourly_units":{"time":8601{{HOURLY_UNITS}}},)"
    R"("hourly":{"time":["yesterday","2026-13-45T25:61","","T","2026-12-08T00:00",)"
    R"("99999-99-99T99:99","2026-12-08T01:00:00+99:00",1765152000,null]{{HOURLY}}},)"
    R"("daily_units":null,"daily":{"time":"2026-12-08"{{DAILY}},)"
    R"("sunrise":[5,"25:99",null,"2026-12-08T"]},)"
    R"("x_garbage":{"":null,"control\u0001\u001f\n\"\\":"{{LONG}}"},"latitude":91.0})";

// The hostile forecast, its arrays named as the request named its variables.
std::string HostileForecastBody(const ForecastRequest &request) {
    std::vector<std::string> hourly, minutely, daily;
    for (const Requested &variable : request.hourly)
        hourly.push_back(variable.name);
    if (hourly.empty())
        hourly = {"temperature_2m", "weather_code"};
    for (const Requested &variable : request.minutely15)
        minutely.push_back(variable.name);
    if (minutely.empty())
        minutely = {"precipitation", "snowfall"};
    for (const Requested &variable : request.daily)
        daily.push_back(variable.name);
    if (daily.empty())
        daily = {"weather_code", "temperature_2m_max", "sunrise"};
    std::string units, hours, quarters, days;
    for (size_t i = 0; i < minutely.size(); ++i)
        quarters += ",\"" + minutely[i] + "\":" + kHostileArrays[(i + 2) % kHostileArrayCount];
    for (size_t i = 0; i < hourly.size(); ++i) {
        units += ",\"" + hourly[i] + "\":null";
        hours += ",\"" + hourly[i] + "\":" + kHostileArrays[i % kHostileArrayCount];
    }
    for (size_t i = 0; i < daily.size(); ++i)
        days += ",\"" + daily[i] + "\":" + kHostileArrays[(i + 1) % kHostileArrayCount];
    return FillTemplate(kHostileForecast, {{"DEEP", DeepArrays(kHostileDepth)},
                                           {"HOURLY_UNITS", units},
                                           {"HOURLY", hours},
                                           {"MINUTELY", quarters},
                                           {"DAILY", days},
                                           {"LONG", std::string(4096, 'x')}});
}

// --- the geocoding search

struct Place {
    long long id;
    std::string name;
    double latitude, longitude, elevation;
    std::string countryCode;
    long long admin1Id; // 0: no first-level division
    std::string timezone;
    long long population, countryId;
    std::string country, admin1;
};

// Names that bring back recorded places: two inside the alerts' coverage, one with alerts (odd
// whole latitude) and a quiet one (even); the places of the other alert services (Canada's
// inside two alerts' regions and in a hole of one, Germany's with two warnings, Norway's and
// Svalbard's with one alert each); places whose air the air-quality answers record
// (air_quality_api.cpp: clean, smoky and hazardous air, spring pollen in Europe and its band
// edges, polluted air far away); places whose precipitation is timed against the service
// clock (precipitation.h: rain that starts, stops, goes on, snow, sleet, a dry spell, inside the
// 15-minute areas and outside them, and the Nordic places of the nowcast with each radar
// coverage); the cities of MeteoAlarm's feeds (meteoalarm_feeds.cpp: Warsaw, Madrid and Paris
// inside coded regions, London and Zurich inside polygons, Athens with no warning); and places
// whose text needs care (accents, an apostrophe, no
// first-level division, which is also outside the alerts' coverage).
const struct {
    const char *name;
    Place place;
} kRecordedPlaces[] = {
    {"ALERTS",
     {7140001, "Stormhaven", 39.7392, -104.9903, 1609.0, "US", 7140000, "America/Denver", 715522,
      6252001, "United States", "Westmark"}},
    {"QUIET",
     {7150001, "Calmbrook", 40.015, -105.2705, 1655.0, "US", 7140000, "America/Denver", 108250,
      6252001, "United States", "Westmark"}},
    {"CANADA",
     {7160001, "Maplecove", 45.40, -75.70, 70.0, "CA", 7160000, "America/Toronto", 25000, 7160099,
      "Canada", "Ontario"}},
    {"CANADAQUIET",
     {7160011, "Hollowmere", 45.62, -75.70, 80.0, "CA", 7160010, "America/Toronto", 25000, 7160109,
      "Canada", "Ontario"}},
    {"GERMANY",
     {7160021, "Elbwiesen", 53.55, 9.99, 6.0, "DE", 7160020, "Europe/Berlin", 25000, 7160119,
      "Germany", "Hamburg"}},
    {"NORWAY",
     {7160031, "Fjordvik", 59.91, 10.75, 23.0, "NO", 7160030, "Europe/Oslo", 25000, 7160129,
      "Norway", "Oslo"}},
    {"SVALBARD",
     {7160041, "Isfjordby", 78.22, 15.65, 8.0, "SJ", 0, "Arctic/Longyearbyen", 25000, 7160139,
      "Svalbard and Jan Mayen", ""}},
    {"CLEANAIR",
     {7170001, "Brightwater", 44.65, -63.57, 25.0, "CA", 7170000, "America/Halifax", 25000, 7160099,
      "Canada", "Nova Scotia"}},
    {"SMOKE",
     {7170011, "Emberfield", 38.58, -121.49, 9.0, "US", 7170010, "America/Los_Angeles", 25000,
      6252001, "United States", "California"}},
    {"SMOKEHAZARD",
     {7170021, "Cinderpeak", 40.76, -111.89, 1288.0, "US", 7170020, "America/Denver", 25000,
      6252001, "United States", "Utah"}},
    {"SPRING",
     {7170031, "Lindenau", 48.21, 16.37, 171.0, "AT", 7170030, "Europe/Vienna", 25000, 7170039,
      "Austria", "Vienna"}},
    {"SPRINGEDGE",
     {7170041, "Weidenhof", 48.31, 16.47, 165.0, "AT", 7170040, "Europe/Vienna", 25000, 7170039,
      "Austria", "Lower Austria"}},
    {"FARAWAY",
     {7170051, "Lotusgate", 28.61, 77.21, 216.0, "IN", 7170050, "Asia/Kolkata", 25000, 7170059,
      "India", "Delhi"}},
    {"RAINSOON",
     {7180001, "Regenfeld", 52.52, 13.40, 34.0, "DE", 7180000, "Europe/Berlin", 25000, 7180099,
      "Germany", "Berlin"}},
    {"RAINSTOP",
     {7180011, "Trockenau", 52.45, 13.30, 40.0, "DE", 7180000, "Europe/Berlin", 25000, 7180099,
      "Germany", "Berlin"}},
    {"RAINALL",
     {7180021, "Nassheide", 52.40, 13.05, 35.0, "DE", 7180020, "Europe/Berlin", 25000, 7180099,
      "Germany", "Brandenburg"}},
    {"DRYSPELL",
     {7180031, "Sonnwald", 52.60, 13.50, 55.0, "DE", 7180000, "Europe/Berlin", 25000, 7180099,
      "Germany", "Berlin"}},
    {"SNOWSOON",
     {7180041, "Flockental", 52.35, 13.60, 45.0, "DE", 7180020, "Europe/Berlin", 25000, 7180099,
      "Germany", "Brandenburg"}},
    {"SLEETNOW",
     {7180051, "Graupelhof", 52.65, 13.20, 50.0, "DE", 7180020, "Europe/Berlin", 25000, 7180099,
      "Germany", "Brandenburg"}},
    {"DENVERRAIN",
     {7180061, "Cloudridge", 39.75, -104.98, 1600.0, "US", 7140000, "America/Denver", 25000,
      6252001, "United States", "Westmark"}},
    {"TOKYORAIN",
     {7180071, "Amefuri", 35.68, 139.69, 40.0, "JP", 7180070, "Asia/Tokyo", 25000, 7180079, "Japan",
      "Tokyo"}},
    {"OSLORAIN",
     {7180081, "Regnvik", 59.92, 10.74, 20.0, "NO", 7160030, "Europe/Oslo", 25000, 7160129,
      "Norway", "Oslo"}},
    {"OSLOSTOP",
     {7180091, "Opphold", 59.93, 10.80, 60.0, "NO", 7160030, "Europe/Oslo", 25000, 7160129,
      "Norway", "Oslo"}},
    {"OSLODRY",
     {7180101, "Solvika", 59.89, 10.70, 10.0, "NO", 7160030, "Europe/Oslo", 25000, 7160129,
      "Norway", "Oslo"}},
    {"OSLOSNOW",
     {7180111, "Fonnhaug", 59.95, 10.71, 150.0, "NO", 7160030, "Europe/Oslo", 25000, 7160129,
      "Norway", "Oslo"}},
    {"RADAROUT",
     {7180121, "Regnkobing", 55.68, 12.57, 10.0, "DK", 7180120, "Europe/Copenhagen", 25000, 7180129,
      "Denmark", "Capital Region"}},
    {"NOCOVER",
     {7180131, "Tunturila", 69.50, 27.00, 90.0, "FI", 7180130, "Europe/Helsinki", 25000, 7180139,
      "Finland", "Lapland"}},
    {"WARSAW",
     {7190001, "Warszawa", 52.23, 21.01, 100.0, "PL", 7190000, "Europe/Warsaw", 1860281, 7190099,
      "Poland", "Masovia"}},
    {"PARIS",
     {7190011, "Paris", 48.86, 2.35, 42.0, "FR", 7190010, "Europe/Paris", 2138551, 7190109,
      "France", "\u00CEle-de-France"}},
    {"LONDON",
     {7190021, "London", 51.51, -0.13, 25.0, "GB", 7190020, "Europe/London", 8961989, 7190119,
      "United Kingdom", "England"}},
    {"ZURICH",
     {7190031, "Z\u00FCrich", 47.37, 8.55, 408.0, "CH", 7110000, "Europe/Zurich", 421878, 7110099,
      "Switzerland", "Z\u00FCrich"}},
    {"MADRID",
     {7190041, "Madrid", 40.42, -3.70, 667.0, "ES", 7190040, "Europe/Madrid", 3255944, 7190139,
      "Spain", "Madrid"}},
    {"ATHENS",
     {7190051, "Athens", 37.98, 23.73, 70.0, "GR", 7190050, "Europe/Athens", 664046, 7190149,
      "Greece", "Attica"}},
    {"UMLAUT",
     {7110001, "Z\u00FCrich", 47.37, 8.55, 408.0, "CH", 7110000, "Europe/Zurich", 421878, 7110099,
      "Switzerland", "Z\u00FCrich"}},
    {"APOSTROPHE",
     {7120001, "Val-d'Or", 48.1, -77.78, 337.0, "CA", 7120000, "America/Toronto", 32491, 7120099,
      "Canada", "Qu\u00E9bec"}},
    {"NOADMIN",
     {7130001, "Thornwick", 54.6, -2.97, 132.0, "GB", 0, "Europe/London", 12850, 7130099,
      "United Kingdom", ""}},
};

Place OrdinaryPlace(const Location &location, const std::string &name) {
    size_t comma = location.cityName.find(", ");
    std::string region = comma == std::string::npos ? "" : location.cityName.substr(comma + 2);
    Place place;
    place.id = 1000000 + static_cast<long long>(location.seed % 8000000);
    place.name = name;
    place.latitude = location.latitudeHundredths / 100.0;
    place.longitude = location.longitudeHundredths / 100.0;
    place.elevation = static_cast<double>((location.seed >> 16) % 1500);
    place.countryCode = "US";
    place.admin1Id = 5000000 + static_cast<long long>(TextHash(region) % 100000);
    place.timezone = TimezoneName(location.zoneOffsetHours);
    place.population = 500 + static_cast<long long>((location.seed >> 24) % 900000);
    place.countryId = 6252001;
    place.country = "United States";
    place.admin1 = region;
    return place;
}

// Up to three places of the name: the first from the name's own weather model, the others
// namesakes elsewhere.
std::vector<Place> PlacesNamed(const std::string &upperName) {
    for (const auto &recorded : kRecordedPlaces) {
        if (upperName == recorded.name)
            return {recorded.place};
    }
    Location location = MakeLocation(upperName);
    std::string city = location.cityName.substr(0, location.cityName.find(", "));
    std::vector<Place> places = {OrdinaryPlace(location, city)};
    int namesakes = static_cast<int>(location.seed % 3);
    for (int i = 1; i <= namesakes; ++i)
        places.push_back(OrdinaryPlace(MakeLocation(upperName + "/" + std::to_string(i)), city));
    return places;
}

const char kPlace[] = R"({"id":{{ID}},"name":{{NAME}},"latitude":{{LATITUDE}},)"
                      R"("longitude":{{LONGITUDE}},"elevation":{{ELEVATION}},"feature_code":"PPL",)"
                      R"("country_code":{{COUNTRY_CODE}},{{ADMIN1_ID}}"timezone":{{ZONE}},)"
                      R"("population":{{POPULATION}},{{POSTCODES}}"country_id":{{COUNTRY_ID}},)"
                      R"("country":{{COUNTRY}}{{ADMIN1}}})";

std::string PlaceText(const Place &place, const std::string &postcode, bool nulls) {
    auto number = [&](double value) { return nulls ? std::string("null") : NumberText(value); };
    bool admin = place.admin1Id != 0;
    return FillTemplate(
        kPlace,
        {{"ID", std::to_string(place.id)},
         {"NAME", JsonString(place.name)},
         {"LATITUDE", number(place.latitude)},
         {"LONGITUDE", number(place.longitude)},
         {"ELEVATION", number(place.elevation)},
         {"COUNTRY_CODE", JsonString(place.countryCode)},
         {"ADMIN1_ID", admin ? "\"admin1_id\":" + std::to_string(place.admin1Id) + "," : ""},
         {"ZONE", JsonString(place.timezone, nulls)},
         {"POPULATION", nulls ? "null" : std::to_string(place.population)},
         {"POSTCODES", postcode.empty() ? "" : "\"postcodes\":[" + JsonString(postcode) + "],"},
         {"COUNTRY_ID", std::to_string(place.countryId)},
         {"COUNTRY", JsonString(place.country)},
         {"ADMIN1", admin ? ",\"admin1\":" + JsonString(place.admin1) : ""}});
}

// Valid JSON in a shape no search answer has: places that are no objects, members of the
// wrong types, numbers at the edge of the range, a name with a NUL, one member nested
// thousands deep.
const char kHostileSearch[] =
    R"({"results":["a place",42,null,[[]],{"id":"7","name":12345,"latitude":"47.1",)"
    R"("longitude":1e308,"elevation":null,"feature_code":[],"country_code":{"x":1},)"
    R"("timezone":-5,"population":-1e308,"postcodes":"90210","country":null,"admin1":["x"]},)"
    R"({"id":-1,"name":"Long\u0000name\u0001{{LONG}}","latitude":-1e308,"longitude":null,)"
    R"("timezone":"Not/A_Zone"},{"id":1e308,"name":"","latitude":91.5,"longitude":-181.0,)"
    R"("country_code":"XX"},{"name":"Deep","admin1":{{DEEP}}}],"generationtime_ms":"soon"})";

} // namespace

Answer ForecastAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::ServiceError)
        return ErrorAnswer(400, kServiceErrorReason);
    if (scenario == Scenario::RateLimit)
        return ErrorAnswer(429, kRateLimitReason);
    ForecastRequest request;
    std::string reason;
    if (!ParseForecastRequest(query, &request, &reason))
        return ErrorAnswer(400, reason);
    if (scenario == Scenario::Hostile)
        return JsonAnswer(200, HostileForecastBody(request));
    GridWeather grid(request.latitude, request.longitude, utcNow);
    return CutUnderBadJson(JsonAnswer(200, ForecastBody(request, grid, WantsNulls(scenario))),
                           scenario);
}

Scenario SearchScenario(const QueryParameters &query) {
    const std::string *name = QueryValue(query, "name");
    return EffectiveScenario(name == nullptr ? std::string() : UpperAscii(*name));
}

Answer SearchAnswer(const QueryParameters &query, Scenario scenario) {
    if (scenario == Scenario::ServiceError)
        return ErrorAnswer(400, kServiceErrorReason);
    if (scenario == Scenario::RateLimit)
        return ErrorAnswer(429, kRateLimitReason);
    const std::string *name = QueryValue(query, "name");
    if (name == nullptr)
        return ErrorAnswer(400, "Parameter 'name' is required.");
    long long count = kDefaultSearchCount;
    const std::string *countText = QueryValue(query, "count");
    if (countText != nullptr &&
        (!ParseInteger(*countText, &count) || count < 1 || count > kMaxSearchCount))
        return ErrorAnswer(400, "Parameter count must be between 1 and 100.");
    const std::string *format = QueryValue(query, "format");
    if (format != nullptr && *format != "json")
        return ErrorAnswer(400, "This service answers format=json only.");
    if (scenario == Scenario::Hostile)
        return JsonAnswer(200, FillTemplate(kHostileSearch, {{"LONG", std::string(4000, 'n')},
                                                             {"DEEP", DeepArrays(kHostileDepth)}}));

    std::string upperName = UpperAscii(*name);
    std::vector<Place> places;
    if (CharacterCount(*name) >= 2 && upperName.compare(0, 7, "NOWHERE") != 0)
        places = PlacesNamed(upperName);
    if (places.size() > static_cast<size_t>(count))
        places.resize(static_cast<size_t>(count));

    // Nothing found is an answer without "results". A postcode search names the code it
    // matched.
    std::string postcode =
        AllDigits(*name) && name->size() <= kMaxPostcodeLength ? *name : std::string();
    std::string results;
    for (const Place &place : places)
        results += (results.empty() ? "" : ",") + PlaceText(place, postcode, WantsNulls(scenario));
    std::string body =
        (places.empty() ? "{" : "{\"results\":[" + results + "],") + "\"generationtime_ms\":" +
        NumberText(places.empty() ? kEmptySearchGenerationMs : kSearchGenerationMs) + "}";
    return CutUnderBadJson(JsonAnswer(200, body), scenario);
}
