#include "weather_model.h"

#include <cmath>

namespace {

// splitmix64: a small, well-mixed step, so nearby salts give unrelated values.
uint64_t Mix(uint64_t seed, uint64_t salt) {
    uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (salt + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// A value from low to high inclusive, fixed for one seed and salt.
int RangeValue(uint64_t seed, uint64_t salt, int low, int high) {
    uint64_t span = static_cast<uint64_t>(high - low + 1);
    return low + static_cast<int>(Mix(seed, salt) % span);
}

uint64_t SeedFromId(const std::string &id) {
    uint64_t hash = 0xCBF29CE484222325ULL; // FNV-1a
    for (unsigned char c : id) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// Salts, one range per kind of value, so that values do not repeat one another.
enum Salt : uint64_t {
    kSaltCity = 1,
    kSaltRegion,
    kSaltStation,
    kSaltZone,
    kSaltLatitude,
    kSaltLongitude,
    kSaltBaseTemperature,
    kSaltSunrise,
    kSaltSunset,
    kSaltNight,
    kSaltPressure,
    kSaltTrend,
    kSaltVisibility,
    kSaltUv,
    kSaltObservationAge,
    kSaltDayBase = 1000,  // + 10 * day + field
    kSaltHourBase = 5000, // + 10 * hour + field
    kSaltPeriod = 100,    // + field inside MakePeriod
};

struct ConditionKind {
    int dayCode;
    const char *dayText;
    int nightCode;
    const char *nightText;
    int precipLow;
    int precipHigh;
    bool wet;      // turns to snow in freezing weather
    int dewSpread; // largest gap between temperature and dew point
};

const ConditionKind kConditionKinds[] = {
    {32, "Sunny", 31, "Clear", 0, 10, false, 30},
    {34, "Fair", 33, "Fair", 0, 10, false, 25},
    {30, "Partly Cloudy", 29, "Partly Cloudy", 0, 20, false, 20},
    {28, "Mostly Cloudy", 27, "Mostly Cloudy", 10, 20, false, 15},
    {26, "Cloudy", 26, "Cloudy", 10, 30, false, 12},
    {11, "Light Rain", 11, "Light Rain", 50, 70, true, 5},
    {12, "Rain", 12, "Rain", 70, 90, true, 3},
    {39, "Scattered Showers", 45, "Scattered Showers", 30, 50, true, 8},
    {4, "Thunderstorms", 47, "Scattered Thunderstorms", 60, 80, true, 6},
    {20, "Fog", 20, "Fog", 0, 20, false, 2},
    {21, "Haze", 21, "Haze", 0, 10, false, 15},
    {24, "Windy", 24, "Windy", 0, 10, false, 20},
};
const int kConditionKindCount = sizeof(kConditionKinds) / sizeof(kConditionKinds[0]);
const ConditionKind kLightSnow = {14, "Light Snow", 46, "Snow Showers", 40, 60, true, 4};
const ConditionKind kSnow = {16, "Snow", 46, "Snow Showers", 70, 90, true, 3};
const int kWindyKind = 11;

const char *const kCityStarts[] = {"Alder",  "Bram",   "Cinder", "Dun",     "Elm",     "Fern",
                                   "Glen",   "Hazel",  "Iron",   "Juniper", "Kestrel", "Lark",
                                   "Marrow", "Nether", "Oak",    "Pine",    "Quill",   "Raven",
                                   "Sable",  "Thorn",  "Umber",  "Vell",    "Willow",  "Yarrow"};
const char *const kCityEnds[] = {"brook", "field", "haven", "ford",   "ridge", "wick",
                                 "stead", "mere",  "ton",   "hollow", "crest", "port"};
const char *const kRegions[] = {"Westmark", "Eastvale", "Northshire", "Southreach",
                                "Highmoor", "Lowfen",   "Greywater",  "Sunmarch"};
const char *const kStationKinds[] = {"Airfield", "Harbor Station", "Hill Station", "Observatory"};

struct Zone {
    int offsetHours;
    const char *abbreviation;
};
// None of these holds "AM" or "PM", which the stamp readers search for.
const Zone kZones[] = {{-5, "EST"},  {-6, "CST"},  {-7, "MST"},  {-8, "PST"},
                       {-9, "AKST"}, {-10, "HST"}, {0, "GMT"},   {1, "CET"},
                       {2, "EET"},   {9, "JST"},   {10, "AEST"}, {-3, "BRT"}};

template <typename T, int N> int CountOf(T (&)[N]) {
    return N;
}

const char *CompassPoint(int degrees) {
    static const char *const kPoints[] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                          "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
    int index = static_cast<int>(std::lround(degrees / 22.5)) % 16;
    return kPoints[index];
}

// Relative humidity from temperature and dew point (Magnus formula).
int HumidityFrom(int temperatureF, int dewPointF) {
    double t = (temperatureF - 32) * 5.0 / 9.0;
    double td = (dewPointF - 32) * 5.0 / 9.0;
    double ratio = std::exp(17.625 * td / (243.04 + td)) / std::exp(17.625 * t / (243.04 + t));
    int percent = static_cast<int>(std::lround(100.0 * ratio));
    if (percent > 100)
        percent = 100;
    if (percent < 1)
        percent = 1;
    return percent;
}

int FeelsLike(int temperatureF, int windMph, int humidity) {
    if (temperatureF <= 50 && windMph >= 3) {
        double v = std::pow(windMph, 0.16);
        double chill = 35.74 + 0.6215 * temperatureF - 35.75 * v + 0.4275 * temperatureF * v;
        return static_cast<int>(std::lround(chill));
    }
    if (temperatureF >= 80) {
        double t = temperatureF;
        double heat = 0.5 * (t + 61.0 + (t - 68.0) * 1.2 + humidity * 0.094);
        int rounded = static_cast<int>(std::lround(heat));
        return rounded > temperatureF ? rounded : temperatureF;
    }
    return temperatureF;
}

const ConditionKind &KindFor(int kindIndex, int temperatureF) {
    const ConditionKind &kind = kConditionKinds[kindIndex];
    if (kind.wet && temperatureF <= 34)
        return kind.precipHigh >= 70 ? kSnow : kLightSnow;
    return kind;
}

// Clear and partly cloudy skies come up more often than storms.
int KindIndexFor(uint64_t seed, uint64_t salt) {
    static const int kWeighted[] = {0, 0, 1, 1, 2, 2, 2, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    return kWeighted[Mix(seed, salt) % CountOf(kWeighted)];
}

PeriodWeather MakePeriod(uint64_t seed, uint64_t salt, int kindIndex, int temperatureF,
                         bool night) {
    const ConditionKind &kind = KindFor(kindIndex, temperatureF);
    uint64_t s = salt + kSaltPeriod;
    PeriodWeather period;
    period.temperatureF = temperatureF;
    period.conditionCode = night ? kind.nightCode : kind.dayCode;
    period.conditionText = night ? kind.nightText : kind.dayText;
    period.precipChancePercent = RangeValue(seed, s + 1, kind.precipLow, kind.precipHigh);
    period.dewPointF = temperatureF - RangeValue(seed, s + 2, 0, kind.dewSpread);
    period.humidityPercent = HumidityFrom(temperatureF, period.dewPointF);

    bool windy = (&kind == &kConditionKinds[kWindyKind]);
    period.windMph = windy ? RangeValue(seed, s + 3, 20, 35) : RangeValue(seed, s + 3, 0, 22);
    if (!windy && RangeValue(seed, s + 4, 0, 7) == 0)
        period.windMph = 0;
    period.gustMph = -1;
    if (period.windMph >= 10 && RangeValue(seed, s + 5, 0, 1) == 1)
        period.gustMph = period.windMph + RangeValue(seed, s + 6, 5, 15);
    period.windDegrees = RangeValue(seed, s + 7, 0, 35) * 10;
    period.windDirection = CompassPoint(period.windDegrees);
    if (period.windMph == 0) {
        period.windDegrees = 0;
        period.windDirection = "CALM";
    } else if (period.windMph <= 5 && RangeValue(seed, s + 8, 0, 3) == 0) {
        period.windDegrees = 0;
        period.windDirection = "VAR";
    }
    period.feelsLikeF = FeelsLike(temperatureF, period.windMph, period.humidityPercent);
    return period;
}

const char *UvTextFor(int index) {
    if (index <= 2)
        return "Low";
    if (index <= 5)
        return "Moderate";
    if (index <= 7)
        return "High";
    if (index <= 10)
        return "Very High";
    return "Extreme";
}

// The sky of a forecast period, so that an observation or an hour can share it.
int KindIndexOfPeriod(const PeriodWeather &period) {
    for (int i = 0; i < kConditionKindCount; ++i) {
        const ConditionKind &kind = KindFor(i, period.temperatureF);
        if (kind.dayCode == period.conditionCode || kind.nightCode == period.conditionCode)
            return i;
    }
    return 0;
}

int BaseTemperature(const Location &location) {
    return RangeValue(location.seed, kSaltBaseTemperature, 15, 95);
}

} // namespace

Location MakeLocation(const std::string &upperCasedId) {
    Location location;
    location.id = upperCasedId;
    location.seed = SeedFromId(upperCasedId);
    uint64_t seed = location.seed;

    std::string city = kCityStarts[Mix(seed, kSaltCity) % CountOf(kCityStarts)];
    city += kCityEnds[Mix(seed, kSaltCity + 50) % CountOf(kCityEnds)];
    location.cityName = city + ", " + kRegions[Mix(seed, kSaltRegion) % CountOf(kRegions)];
    location.stationName =
        city + " " + kStationKinds[Mix(seed, kSaltStation) % CountOf(kStationKinds)];

    const Zone &zone = kZones[Mix(seed, kSaltZone) % CountOf(kZones)];
    location.zoneOffsetHours = zone.offsetHours;
    location.zoneAbbreviation = zone.abbreviation;
    // Longitude roughly matches the zone; the southern zones lie south.
    int longitude = zone.offsetHours * 1500 + RangeValue(seed, kSaltLongitude, -700, 700);
    if (longitude > 18000)
        longitude -= 36000;
    if (longitude < -18000)
        longitude += 36000;
    location.longitudeHundredths = longitude;
    int latitude = RangeValue(seed, kSaltLatitude, 1800, 5600);
    bool southern = (zone.offsetHours == 10 || zone.offsetHours == -3);
    location.latitudeHundredths = southern ? -latitude : latitude;

    location.hasAlerts = !upperCasedId.empty() && upperCasedId.back() == '7';
    location.currentIsNight = RangeValue(seed, kSaltNight, 0, 2) == 0;
    return location;
}

ForecastDay ForecastForDay(const Location &location, int day) {
    uint64_t seed = location.seed;
    uint64_t salt = kSaltDayBase + 10 * static_cast<uint64_t>(day);
    ForecastDay forecast;
    forecast.highF = BaseTemperature(location) + RangeValue(seed, salt + 1, -8, 8);
    forecast.lowF = forecast.highF - RangeValue(seed, salt + 2, 12, 22);
    // Days shorten by a minute at each end, as in late autumn.
    forecast.sunriseMinutes = RangeValue(seed, kSaltSunrise, 330, 450) + (day - 1);
    forecast.sunsetMinutes = RangeValue(seed, kSaltSunset, 1010, 1150) - (day - 1);
    forecast.dayPart =
        MakePeriod(seed, salt + 3 * 1000, KindIndexFor(seed, salt + 3), forecast.highF, false);
    forecast.nightPart =
        MakePeriod(seed, salt + 4 * 1000, KindIndexFor(seed, salt + 4), forecast.lowF, true);
    return forecast;
}

CurrentWeather CurrentForLocation(const Location &location) {
    uint64_t seed = location.seed;
    ForecastDay today = ForecastForDay(location, 1);
    const PeriodWeather &part = location.currentIsNight ? today.nightPart : today.dayPart;
    int temperature = location.currentIsNight ? today.lowF + 3 : today.highF - 2;

    CurrentWeather current;
    // The observation shares the period's sky, with its own wind and moisture.
    int kindIndex = KindIndexOfPeriod(part);
    current.observed = MakePeriod(seed, 9000, kindIndex, temperature, location.currentIsNight);
    current.pressureHundredthsInch = RangeValue(seed, kSaltPressure, 2940, 3060);
    static const char *const kTrends[] = {"rising", "falling", "steady"};
    current.pressureTrend = kTrends[Mix(seed, kSaltTrend) % 3];
    current.visibilityTenthsMile = RangeValue(seed, kSaltVisibility, 20, 100);
    if (RangeValue(seed, kSaltVisibility + 1, 0, 3) == 0)
        current.visibilityTenthsMile = -1;
    if (current.observed.conditionCode == 20)
        current.visibilityTenthsMile = RangeValue(seed, kSaltVisibility + 2, 2, 9);
    current.uvIndex = location.currentIsNight ? 0 : RangeValue(seed, kSaltUv, 0, 11);
    current.uvText = UvTextFor(current.uvIndex);
    current.observationAgeMinutes = RangeValue(seed, kSaltObservationAge, 5, 45);
    return current;
}

std::tm LocalTimeAt(const Location &location, time_t utcNow) {
    time_t local = utcNow + static_cast<time_t>(location.zoneOffsetHours) * 3600;
    std::tm broken{};
    gmtime_r(&local, &broken);
    return broken;
}

HourWeather ForecastForHour(const Location &location, int hour, time_t utcNow) {
    std::tm local = LocalTimeAt(location, utcNow);
    int hoursFromMidnight = local.tm_hour + hour;
    HourWeather result;
    result.hourOfDay = hoursFromMidnight % 24;
    ForecastDay day = ForecastForDay(location, 1 + hoursFromMidnight / 24);

    // Warmest at three in the afternoon, coldest at three in the morning.
    const double kPi = 3.14159265358979323846;
    double warmth = 0.5 + 0.5 * std::cos(2.0 * kPi * (result.hourOfDay - 15) / 24.0);
    int temperature = day.lowF + static_cast<int>(std::lround((day.highF - day.lowF) * warmth));

    bool night = result.hourOfDay < 7 || result.hourOfDay > 18;
    const PeriodWeather &part = night ? day.nightPart : day.dayPart;
    int kindIndex = KindIndexOfPeriod(part);
    uint64_t salt = kSaltHourBase + 10 * static_cast<uint64_t>(hoursFromMidnight);
    result.weather = MakePeriod(location.seed, salt, kindIndex, temperature, night);
    return result;
}

int FahrenheitToCelsius(int fahrenheit) {
    return static_cast<int>(std::lround((fahrenheit - 32) * 5.0 / 9.0));
}

int MphToKmh(int mph) {
    return static_cast<int>(std::lround(mph * 1.609344));
}

int HundredthsInchToTenthsMillibar(int hundredthsInch) {
    return static_cast<int>(std::lround(hundredthsInch * 3.38639));
}

int TenthsMileToTenthsKm(int tenthsMile) {
    return static_cast<int>(std::lround(tenthsMile * 1.609344));
}
