#include "air_quality_api.h"

#include "grid_weather.h"
#include "open_meteo_common.h"
#include "weather_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char *const kRateLimitReason =
    "Hourly API request limit exceeded. Please try again in the next hour.";
const double kGenerationMs = 0.12;
const int kDefaultForecastDays = 5;
const int kMaxForecastDays = 7;
const int kCurrentInterval = 3600;

// The European domain: its grid, the box it covers (edges included) and its horizon; the global
// domain's grid and horizon. Hours are counted from local midnight of today.
const double kEuropeStep = 0.1;
const double kGlobalStep = 0.4;
const double kEuropeSouth = 30.05, kEuropeNorth = 71.95;
const double kEuropeWest = -24.95, kEuropeEast = 44.95;
const long long kEuropeHours = 97;
const long long kGlobalHours = 121;

// The daily shapes: an index peaks at 15:00 and falls by 2 an hour either side (never below 0);
// a concentration peaks at 15:00 and falls by a thirtieth of its peak an hour either side, to
// half of it at midnight; pollen peaks at 13:00 and is half of it at every other hour.
const int kPeakHour = 15;
const int kIndexFallPerHour = 2;
const int kPollenPeakHour = 13;

// The days a place's peaks are given for; later days repeat the last one.
const int kPeakDays = 5;

// The salts of a derived point's values, one per variable, clear of the hourly weather's.
const uint64_t kFirstSalt = 100;

enum class Kind { UsIndex, EuropeanIndex, Concentration, Pollen };

struct AirVariable {
    const char *name;
    Kind kind;
};

// The variables, in the order of the current values and peaks below.
const AirVariable kAirVariables[] = {
    {"european_aqi", Kind::EuropeanIndex},
    {"us_aqi", Kind::UsIndex},
    {"pm2_5", Kind::Concentration},
    {"pm10", Kind::Concentration},
    {"ozone", Kind::Concentration},
    {"nitrogen_dioxide", Kind::Concentration},
    {"sulphur_dioxide", Kind::Concentration},
    {"carbon_monoxide", Kind::Concentration},
    {"dust", Kind::Concentration},
    {"alder_pollen", Kind::Pollen},
    {"birch_pollen", Kind::Pollen},
    {"grass_pollen", Kind::Pollen},
    {"mugwort_pollen", Kind::Pollen},
    {"olive_pollen", Kind::Pollen},
    {"ragweed_pollen", Kind::Pollen},
};
const size_t kVariableCount = sizeof kAirVariables / sizeof kAirVariables[0];
enum : size_t { kEuropeanAqi, kUsAqi, kPm25, kPm10, kOzone, kNo2, kSo2, kCo, kDust, kFirstPollen };
const size_t kPollenCount = kVariableCount - kFirstPollen;

// The unit a variable's values are given in, as the answers name it.
const char *UnitText(Kind kind) {
    switch (kind) {
    case Kind::UsIndex:
        return "USAQI";
    case Kind::EuropeanIndex:
        return "EAQI";
    case Kind::Concentration:
        return "\u03BCg/m\u00B3";
    default:
        return "grains/m\u00B3";
    }
}

const double kNull = NAN;

// The air of a point: its current values and each variable's peak on local days 0 to 4 (0 is
// today); NaN stands for null.
struct PointAir {
    double current[kVariableCount];
    double peaks[kVariableCount][kPeakDays];
};

// The air of a recorded place, keyed by its coordinates to hundredths. Gases stay at their
// current value each day; a place outside Europe's box has no pollen.
struct RecordedAir {
    const char *coordinates;
    double current[kVariableCount];
    double usPeaks[kPeakDays], europeanPeaks[kPeakDays];
    double pm25Peaks[kPeakDays], pm10Peaks[kPeakDays];
    double pollenPeaks[kPollenCount][kPeakDays]; // alder to ragweed; none ({}) reads 0 every day;
                                                 // unused outside Europe's box
};

// Current values in kAirVariables' order: european_aqi, us_aqi, pm2_5, pm10, ozone,
// nitrogen_dioxide, sulphur_dioxide, carbon_monoxide, dust, then the six pollens.
const RecordedAir kRecordedAir[] = {
    // CLEANAIR, Brightwater: clean air outside Europe.
    {"44.65,-63.57",
     {8, 12, 1.8, 3.2, 48.0, 2.1, 0.4, 110.0, 0.0, kNull, kNull, kNull, kNull, kNull, kNull},
     {14, 18, 22, 16, 12},
     {9, 11, 13, 10, 8},
     {2.0, 2.4, 3.0, 2.2, 1.8},
     {3.6, 4.2, 5.0, 3.8, 3.2},
     {}},
    // SMOKE, Emberfield: wildfire smoke, hazardous on the US scale every day.
    {"38.58,-121.49",
     {160, 342, 210.4, 240.0, 30.0, 18.0, 3.0, 2400.0, 0.0, kNull, kNull, kNull, kNull, kNull,
      kNull},
     {342, 365, 330, 318, 305},
     {160, 172, 150, 140, 130},
     {210.4, 240.0, 190.0, 175.0, 160.0},
     {240.0, 275.0, 220.0, 200.0, 185.0},
     {}},
    // SMOKEHAZARD, Cinderpeak: beyond the top of the US scale.
    {"40.76,-111.89",
     {240, 557, 380.2, 240.0, 30.0, 18.0, 3.0, 2400.0, 0.0, kNull, kNull, kNull, kNull, kNull,
      kNull},
     {557, 590, 540, 520, 510},
     {240, 260, 230, 220, 210},
     {380.2, 420.0, 360.0, 340.0, 320.0},
     {240.0, 275.0, 220.0, 200.0, 185.0},
     {}},
    // SPRING, Lindenau: each day's highest index one band higher, birch and grass in season.
    {"48.21,16.37",
     {21, 51, 5.6, 9.8, 61.0, 14.0, 1.2, 180.0, 0.4, 0.0, 150.0, 12.0, 0.0, 0.0, 0.0},
     {60, 120, 160, 210, 320},
     {30, 45, 62, 85, 110},
     {6.0, 12.0, 18.0, 25.0, 35.0},
     {10.0, 20.0, 30.0, 42.0, 55.0},
     {{0, 0, 0, 0, 0},
      {150.0, 520.0, 90.0, 40.0, 25.0},
      {12.0, 35.0, 60.0, 2.5, 1.5},
      {0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0}}},
    // SPRINGEDGE, Weidenhof: indices on the bands' upper edges, every plant at 0.
    {"48.31,16.47",
     {20, 50, 5.6, 9.8, 61.0, 14.0, 1.2, 180.0, 0.4, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
     {50, 100, 150, 200, 300},
     {20, 40, 60, 80, 100},
     {6.0, 12.0, 18.0, 25.0, 35.0},
     {10.0, 20.0, 30.0, 42.0, 55.0},
     {}},
    // FARAWAY, Lotusgate: polluted air far from Europe.
    {"28.61,77.21",
     {75, 168, 88.0, 140.0, 35.0, 40.0, 8.0, 900.0, 25.0, kNull, kNull, kNull, kNull, kNull, kNull},
     {168, 175, 160, 152, 158},
     {75, 80, 72, 66, 70},
     {88.0, 95.0, 82.0, 76.0, 80.0},
     {140.0, 150.0, 130.0, 120.0, 128.0},
     {}},
};

// Whether the point lies in the European domain's box, edges included.
bool InEurope(double latitude, double longitude) {
    return latitude >= kEuropeSouth && latitude <= kEuropeNorth && longitude >= kEuropeWest &&
           longitude <= kEuropeEast;
}

// Mostly clean air of the point's own: indices in the good bands or just above, modest pollen
// inside Europe's box (some plants not in flower at all).
PointAir DerivedAir(uint64_t seed, bool europe) {
    struct Range {
        double low, high;
    };
    const Range ranges[kFirstPollen] = {{8, 30}, {20, 55},   {2, 10},    {5, 25}, {40, 80},
                                        {2, 20}, {0.3, 2.8}, {100, 250}, {0, 4}};
    PointAir air{};
    for (int day = 0; day < kPeakDays; ++day) {
        for (size_t v = 0; v < kVariableCount; ++v) {
            double fraction = SeededFraction(seed, day, kFirstSalt + v);
            double peak;
            if (v < kFirstPollen)
                peak = ranges[v].low + (ranges[v].high - ranges[v].low) * fraction;
            else if (!europe)
                peak = kNull;
            else
                peak = fraction < 0.4 ? 0.0 : 30.0 * (fraction - 0.4) / 0.6;
            bool index = kAirVariables[v].kind == Kind::UsIndex ||
                         kAirVariables[v].kind == Kind::EuropeanIndex;
            air.peaks[v][day] = index ? std::round(peak) : std::round(peak * 10.0) / 10.0;
        }
    }
    return air;
}

// A recorded place's air: its fixed current values and peaks, no pollen outside the box.
PointAir RecordedPointAir(const RecordedAir &recorded, bool europe) {
    PointAir air{};
    for (size_t v = 0; v < kVariableCount; ++v) {
        air.current[v] = recorded.current[v];
        for (int day = 0; day < kPeakDays; ++day) {
            const double *peaks = v == kUsAqi         ? recorded.usPeaks
                                  : v == kEuropeanAqi ? recorded.europeanPeaks
                                  : v == kPm25        ? recorded.pm25Peaks
                                  : v == kPm10        ? recorded.pm10Peaks
                                  : v >= kFirstPollen ? recorded.pollenPeaks[v - kFirstPollen]
                                                      : nullptr;
            if (v >= kFirstPollen && !europe)
                air.peaks[v][day] = kNull;
            else
                air.peaks[v][day] = peaks != nullptr ? peaks[day] : recorded.current[v];
        }
    }
    return air;
}

// The value of variable `v` at hour `hourOfDay` of local day `day` (0 today) of the point's
// zone, `sinceToday` hours after today's local midnight: NaN past the domains' horizons.
double HourValue(const PointAir &air, size_t v, long long day, int hourOfDay,
                 long long sinceToday) {
    Kind kind = kAirVariables[v].kind;
    if (sinceToday >= kGlobalHours || (kind == Kind::Pollen && sinceToday >= kEuropeHours))
        return kNull;
    double peak = air.peaks[v][std::min<long long>(kPeakDays - 1, std::max<long long>(0, day))];
    int fromPeak = std::abs(hourOfDay - kPeakHour);
    switch (kind) {
    case Kind::UsIndex:
    case Kind::EuropeanIndex:
        return std::max(0.0, peak - kIndexFallPerHour * fromPeak);
    case Kind::Concentration:
        return peak * (1.0 - fromPeak / 30.0);
    default:
        return hourOfDay == kPollenPeakHour ? peak : peak / 2.0;
    }
}

// Indices as whole numbers, the rest with one decimal (adding zero turns a rounded -0.0 into
// 0.0); NaN as null.
std::string ValueText(size_t v, double value) {
    if (std::isnan(value))
        return "null";
    Kind kind = kAirVariables[v].kind;
    if (kind == Kind::UsIndex || kind == Kind::EuropeanIndex)
        return std::to_string(std::lround(value));
    return NumberText(std::round(value * 10.0) / 10.0 + 0.0);
}

struct AirRequest {
    double latitude = 0.0;
    double longitude = 0.0;
    std::vector<Requested> current;
    std::vector<Requested> hourly;
    bool unixTime = false;
    bool localZone = false; // the point's zone, else GMT
    int forecastDays = kDefaultForecastDays;
};

// Reads the request; returns false with the public service's reason for a request it refuses.
bool ParseAirRequest(const QueryParameters &query, AirRequest *request, std::string *reason) {
    if (!ParseCoordinates(query, &request->latitude, &request->longitude, reason))
        return false;
    std::vector<const char *> names;
    for (const AirVariable &variable : kAirVariables)
        names.push_back(variable.name);
    if (!ParseVariableList(query, "current", names, "AirQualityVariable", false, &request->current,
                           reason) ||
        !ParseVariableList(query, "hourly", names, "AirQualityVariable", false, &request->hourly,
                           reason))
        return false;
    int timeFormat = 0;
    if (!ParseChoice(query, "timeformat", {"iso8601", "unixtime"}, "Timeformat", &timeFormat,
                     reason))
        return false;
    request->unixTime = timeFormat == 1;
    long long forecastDays = kDefaultForecastDays;
    if (!ParseCount(query, "forecast_days", "Forecast days", kMaxForecastDays, &forecastDays,
                    reason))
        return false;
    request->forecastDays = static_cast<int>(forecastDays);
    // Without a zone, or with GMT or UTC, times are in GMT; any other name is taken as "auto",
    // the point's own zone.
    const std::string *zone = QueryValue(query, "timezone");
    request->localZone = zone != nullptr && *zone != "GMT" && *zone != "UTC";
    return true;
}

// The units of a section, for the variables asked for in it.
std::string SectionUnits(const std::vector<Requested> &requested, bool unixTime,
                         bool withInterval) {
    std::vector<std::pair<std::string, std::string>> variableUnits;
    for (const Requested &variable : requested)
        variableUnits.emplace_back(variable.name, UnitText(kAirVariables[variable.index].kind));
    return UnitsText(unixTime, withInterval, variableUnits);
}

// The answer to a valid request at the point `grid` models; every value null with `nulls`.
std::string AirBody(const AirRequest &request, const GridWeather &grid, time_t utcNow, bool nulls) {
    bool europe = InEurope(request.latitude, request.longitude);
    std::string key = CoordinateKey(request.latitude, request.longitude);
    const RecordedAir *recorded = nullptr;
    for (const RecordedAir &entry : kRecordedAir) {
        if (key == entry.coordinates)
            recorded = &entry;
    }
    PointAir air = recorded != nullptr ? RecordedPointAir(*recorded, europe)
                                       : DerivedAir(grid.location().seed, europe);

    // Values belong to instants, counted in the point's zone; the answer lays them out in its
    // own zone (the point's, or GMT).
    int pointOffset = grid.utcOffsetSeconds();
    long long pointToday = grid.todayLocalDay();
    auto valueAt = [&](size_t v, long long utc) {
        long long pointHour = FloorDiv(utc + pointOffset, 3600);
        return HourValue(air, v, FloorDiv(pointHour, 24) - pointToday,
                         static_cast<int>(FloorMod(pointHour, 24)), pointHour - pointToday * 24);
    };
    int offset = request.localZone ? pointOffset : 0;
    long long localNow = static_cast<long long>(utcNow) + offset;
    long long currentHour = localNow - FloorMod(localNow, kCurrentInterval);

    std::string sections;
    if (!request.current.empty()) {
        if (recorded == nullptr) {
            for (size_t v = 0; v < kVariableCount; ++v)
                air.current[v] = valueAt(v, currentHour - offset);
        }
        sections +=
            ",\"current_units\":" + SectionUnits(request.current, request.unixTime, true) +
            ",\"current\":{\"time\":" + TimeValue(currentHour, true, request.unixTime, offset) +
            ",\"interval\":" + std::to_string(kCurrentInterval);
        for (const Requested &variable : request.current)
            sections += ",\"" + variable.name + "\":" +
                        ValueText(variable.index, nulls ? kNull : air.current[variable.index]);
        sections += "}";
    }
    if (!request.hourly.empty()) {
        long long first = localNow - FloorMod(localNow, 86400);
        long long count = request.forecastDays * 24LL;
        sections += ",\"hourly_units\":" + SectionUnits(request.hourly, request.unixTime, false) +
                    ",\"hourly\":{\"time\":" + ArrayText(count, [&](long long i) {
                        return TimeValue(first + i * 3600, true, request.unixTime, offset);
                    });
        for (const Requested &variable : request.hourly) {
            sections += ",\"" + variable.name + "\":" + ArrayText(count, [&](long long i) {
                            double value = valueAt(variable.index, first + i * 3600 - offset);
                            return ValueText(variable.index, nulls ? kNull : value);
                        });
        }
        sections += "}";
    }

    PointHeader header;
    double step = europe ? kEuropeStep : kGlobalStep;
    header.latitude = CellCentre(request.latitude, 90, step);
    header.longitude = CellCentre(request.longitude, 180, step);
    header.generationMs = kGenerationMs;
    header.utcOffsetSeconds = offset;
    header.timezone = request.localZone ? TimezoneName(grid.location().zoneOffsetHours) : "GMT";
    header.abbreviation = request.localZone ? grid.zoneAbbreviation() : "GMT";
    header.elevationMetres = grid.elevationMetres();
    return PointAnswerBody(header, sections);
}

// Valid JSON in a shape no air-quality answer has: wrong types everywhere, arrays that disagree
// in length, numbers at the edge of the range, a unit of the wrong micro sign, one member nested
// thousands deep and the latitude named twice.
const char kHostileAir[] =
    R"({"latitude":"48.25","longitude":1e308,"generationtime_ms":null,)"
    R"("utc_offset_seconds":"3600","timezone":42,"timezone_abbreviation":[],)"
    R"("elevation":-1e308,"x_nested":{{DEEP}},"current_units":{"time":8601,"pm2_5":"\u00B5g/m3"},)"
    R"("current":[1,null,"2026-12-08T14:00",{"us_aqi":"bad"}],)"
    R"("hourly_units":{"time":"unixtime"{{UNITS}}},)"
    R"("hourly":{"time":["yesterday",-1,"",null,1e308,"2026-12-08T00:00"]{{HOURLY}}},)"
    R"("x_garbage":{"":null,"control\u0001\u001f\n\"\\":"{{LONG}}"},"latitude":91.0})";

// The hostile answer, its hourly arrays named as the request named its variables.
std::string HostileAirBody(const AirRequest &request) {
    std::vector<std::string> hourly;
    for (const Requested &variable : request.hourly)
        hourly.push_back(variable.name);
    if (hourly.empty())
        hourly = {"european_aqi", "us_aqi", "birch_pollen"};
    std::string units, hours;
    for (size_t i = 0; i < hourly.size(); ++i) {
        units += ",\"" + hourly[i] + "\":" + (i % 2 == 0 ? "null" : "7");
        hours += ",\"" + hourly[i] + "\":" + kHostileArrays[i % kHostileArrayCount];
    }
    return FillTemplate(kHostileAir, {{"DEEP", DeepArrays(kHostileDepth)},
                                      {"UNITS", units},
                                      {"HOURLY", hours},
                                      {"LONG", std::string(4096, 'x')}});
}

} // namespace

Answer AirQualityAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::ServiceError)
        return ErrorAnswer(400, kServiceErrorReason);
    if (scenario == Scenario::RateLimit)
        return ErrorAnswer(429, kRateLimitReason);
    AirRequest request;
    std::string reason;
    if (!ParseAirRequest(query, &request, &reason))
        return ErrorAnswer(400, reason);
    if (scenario == Scenario::Hostile)
        return JsonAnswer(200, HostileAirBody(request));
    GridWeather grid(request.latitude, request.longitude, utcNow);
    return CutUnderBadJson(JsonAnswer(200, AirBody(request, grid, utcNow, WantsNulls(scenario))),
                           scenario);
}
