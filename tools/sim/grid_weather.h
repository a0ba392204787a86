// Hour-by-hour weather at a point, for the JSON forecast answers.
//
// The values come from the location's weather model (weather_model.h): each local hour takes
// the day or night part of the model's forecast day it falls in, the temperature follows a
// smooth curve from the day's low near sunrise to its high at three in the afternoon, and the
// pressure drifts slowly, so that the last hours show the model's trend. Everything is kept in
// one set of units (degrees Celsius, km/h, mm, hPa, metres); answers convert from these.
//
// Hours and days are counted in the location's local wall-clock time, from 1970-01-01 00:00
// local: local hour h begins at UTC second h * 3600 - zone offset. Days before today and days
// past the model's last one reuse the model's days in turn, so any hour has weather.
#pragma once

#include "precipitation.h"
#include "weather_model.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct GridHour {
    double temperatureC;
    double dewPointC;
    double apparentTemperatureC;
    int humidityPercent;
    int precipitationProbabilityPercent;
    double precipitationMm; // of the hour before the hour's time, as rain, showers and snow water
    double rainMm;
    double showersMm;
    double snowfallCm;
    int weatherCode; // WMO code
    int cloudCoverPercent;
    double pressureMslHpa;
    double surfacePressureHpa;
    double visibilityMetres;
    double windKmh;
    int windDegrees; // 0 to 359
    double gustKmh;
    double uvIndex;
    bool isDay;
};

struct GridDay {
    double temperatureMaxC;
    double temperatureMinC;
    double apparentTemperatureMaxC;
    double apparentTemperatureMinC;
    int sunriseMinutes; // after local midnight
    int sunsetMinutes;
    int weatherCode; // the most severe code of the day's hours
    int precipitationProbabilityMaxPercent;
    double precipitationSumMm;
    double rainSumMm;
    double showersSumMm;
    double snowfallSumCm;
    int precipitationHours; // hours with any precipitation
    double windMaxKmh;
    double gustMaxKmh;
    int dominantWindDegrees;
    double uvIndexMax;
};

// The zone of the database that a location's standard offset stands for ("Europe/Berlin" for
// one hour east), as the service names it.
std::string TimezoneName(int offsetHours);

class GridWeather {
  public:
    // The weather at the point (its coordinates to hundredths choose it) with the service clock
    // at `utcNow`.
    GridWeather(double latitude, double longitude, time_t utcNow);

    const Location &location() const { return location_; }
    // The offset and abbreviation of the location's zone at the clock, summer time included,
    // as the real service has one offset for a whole answer: the one in force when it is made.
    int utcOffsetSeconds() const { return utcOffsetSeconds_; }
    const std::string &zoneAbbreviation() const { return zoneAbbreviation_; }
    double elevationMetres() const { return elevationMetres_; }
    // Seconds since 1970-01-01 00:00 local time.
    long long localNow() const { return localNow_; }
    long long currentLocalHour() const;
    long long todayLocalDay() const;
    // The current 15-minute boundary at or before the clock, in local seconds.
    long long currentLocalQuarter() const;

    // Hour h is the hour that ends at local second h * 3600: its amounts are those of the hour
    // before, as the service sums them backwards.
    GridHour Hour(long long localHour) const;
    GridDay Day(long long localDay) const;
    // The 15 minutes that end at local second `localQuarter` (a multiple of 900): the amounts of
    // those 15 minutes, every other value the hour's at or before the quarter's time. Inside the
    // 15-minute areas (and their horizon) the amounts vary within the hour and add up to it;
    // elsewhere each quarter is a quarter of its hour's amount, as the service interpolates.
    GridHour Quarter(long long localQuarter) const;
    // The rain and snow water falling at the UTC instant, in mm/h, as a radar nowcast sees it.
    PrecipitationRate RateAt(long long utcSecond) const;
    // The recorded place the point is, or null.
    const RecordedPrecipitation *recorded() const { return recorded_; }

  private:
    const ForecastDay &ModelDay(long long localDay) const;
    double TemperatureAt(long long localHour) const;
    // The hour's amounts as the recorded place's four quarters add them up.
    PrecipitationAmounts RecordedQuarter(long long localQuarter) const;

    Location location_;
    time_t utcNow_;
    const RecordedPrecipitation *recorded_; // or null
    int realQuarterHours_; // hours of real 15-minute data past the current boundary, 0 for none
    int utcOffsetSeconds_;
    std::string zoneAbbreviation_;
    long long localNow_;
    double elevationMetres_;
    double basePressureHpa_;
    int pressureTrend_; // +1 rising, -1 falling, 0 steady
    double clearVisibilityMetres_;
    std::vector<ForecastDay> modelDays_; // the model's days 1 to kMaxForecastDays
};

// "34.10,-118.38": the coordinates to hundredths, the key of the weather at a point, so that
// the same point always gets the same weather, whichever service's shape asks for it.
std::string CoordinateKey(double latitude, double longitude);

// A fraction from 0 up to (not including) 1, fixed by a location's seed, a moment (an hour, a
// day) and a salt that tells kinds of value apart, so that they do not repeat one another.
// Salts below 100 are the hourly weather's.
double SeededFraction(uint64_t seed, long long moment, uint64_t salt);

// Integer division and remainder that round towards minus infinity.
long long FloorDiv(long long value, long long divisor);
long long FloorMod(long long value, long long divisor);
