// Deterministic weather for the local weather service.
//
// Every value is derived from a seed made from the upper-cased Location ID, so
// the same ID always gives the same weather. Only the clock (passed in as an
// argument, never read here) moves the stamps, day names and hours of day.
// All measurements are kept in English units; the metric feed converts them.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct Location {
    std::string id; // upper-cased Location ID
    uint64_t seed;
    std::string cityName;    // "Alderbrook, Westmark"
    std::string stationName; // where the observation was made
    int latitudeHundredths;  // 3410 stands for 34.10
    int longitudeHundredths;
    int zoneOffsetHours; // standard time only, no daylight saving
    std::string zoneAbbreviation;
    bool hasAlerts;      // ordinary IDs ending in 7 carry an alert
    bool currentIsNight; // whether the observation shows a night condition
};

struct PeriodWeather {
    int temperatureF;
    int feelsLikeF;
    int dewPointF;
    int humidityPercent;
    int conditionCode;
    std::string conditionText;
    int windMph; // 0 is reported as calm
    int gustMph; // -1 when there is no gust to report
    int windDegrees;
    std::string windDirection; // compass letters, "CALM" or "VAR"
    int precipChancePercent;
};

struct CurrentWeather {
    PeriodWeather observed;
    int pressureHundredthsInch; // 3012 stands for 30.12 in
    std::string pressureTrend;  // "rising", "falling" or "steady"
    int visibilityTenthsMile;   // -1 stands for unlimited visibility
    int uvIndex;
    std::string uvText;
    int observationAgeMinutes; // how long before "now" the observation was made
};

struct ForecastDay {
    int highF;
    int lowF;
    int sunriseMinutes; // minutes after local midnight
    int sunsetMinutes;
    PeriodWeather dayPart;
    PeriodWeather nightPart;
};

struct HourWeather {
    int hourOfDay; // 0 to 23, local time of the location
    PeriodWeather weather;
};

// The number of days and hours the service can forecast.
constexpr int kMaxForecastDays = 10;
constexpr int kMaxForecastHours = 24;

// Builds the location for an upper-cased Location ID.
Location MakeLocation(const std::string &upperCasedId);

// Forecast day 1 is the location's local today.
ForecastDay ForecastForDay(const Location &location, int day);
CurrentWeather CurrentForLocation(const Location &location);
// Hour 1 is the first full hour after "now" in the location's local time.
HourWeather ForecastForHour(const Location &location, int hour, time_t utcNow);

// The location's local wall-clock time for a UTC instant, as broken-down time.
std::tm LocalTimeAt(const Location &location, time_t utcNow);

// Unit conversions used by the metric feed; every result is rounded.
int FahrenheitToCelsius(int fahrenheit);
int MphToKmh(int mph);
int HundredthsInchToTenthsMillibar(int hundredthsInch);
int TenthsMileToTenthsKm(int tenthsMile);
