// Precipitation finer than the hour: the areas where the service has real 15-minute data, how
// an hour's amount splits into rain, showers and snow, and recorded places whose precipitation
// is timed against the service clock, so that a test knows when rain starts or stops.
//
// Amounts are millimetres of water (snow as its melt water) unless named otherwise; snowfall is
// centimetres of fresh snow, 7 cm for 10 mm of water. Rates are millimetres an hour.
#pragma once

#include <ctime>
#include <string>

// How many hours past the current 15-minute boundary the point has real 15-minute data: the
// longest horizon of the model areas that hold it (HRRR over the contiguous United States 18,
// ICON-D2 over central Europe 48, AROME France 6), 0 outside them all. Edges are inside.
int RealQuarterHours(double latitude, double longitude);

// Rain and snow (as melt water) falling at an instant, in mm/h.
struct PrecipitationRate {
    double rainMmPerHour = 0.0;
    double snowWaterMmPerHour = 0.0;
};

// The amounts of one period, as the forecast answers them.
struct PrecipitationAmounts {
    double precipitationMm = 0.0; // rain + showers + snow water
    double rainMm = 0.0;
    double showersMm = 0.0;
    double snowfallCm = 0.0;
};

// An amount to a tenth, halves rounded up.
double Tenths(double value);

// An amount of water split the way the WMO code of its period reads: rain codes give rain,
// shower and thunder codes showers, snow codes snowfall, the freezing (mixed) codes 56, 57, 66
// and 67 half rain (the odd tenth) and half snow; dry codes give nothing at all, whatever the
// amount. Every value is rounded to a tenth.
PrecipitationAmounts SplitByCode(int wmoCode, double waterMm);

// The WMO code of a period with these amounts of rain and snow water, scaled to an hour: rain
// 61, 63, 65; snow 71, 73, 75; both 66, 67; `dryCode` when nothing falls.
int WmoCodeForAmounts(double rainMmPerHour, double snowWaterMmPerHour, int dryCode);

// One stretch of a recorded place's precipitation, in minutes from its anchor, [from, to).
struct Spell {
    int fromMinute, toMinute;
    double rainMmPerHour, snowWaterMmPerHour;
};

// A place whose precipitation is timed against the service clock. Its minutes count from the
// anchor: the clock rounded down to `anchorMinutes` (15: the current 15-minute boundary; 5: the
// nowcast's first step; 60: the current hour). Outside its spells nothing falls, at any time.
struct RecordedPrecipitation {
    const char *coordinates; // the place's CoordinateKey ("52.52,13.40")
    int anchorMinutes;
    int zoneOffsetHours;       // standard time of the place's zone, which its answers give
    double temperatureC;       // the day's mean; hours swing a degree either side
    const char *radarCoverage; // the nowcast's "ok", "temporarily unavailable" or "no coverage"
    Spell spells[3];           // unused ones all zero
};

// The recorded place at the coordinates, or null.
const RecordedPrecipitation *RecordedPrecipitationAt(const std::string &coordinateKey);

// The rates falling at the recorded place over the 5 minutes from `utcSecond` (rounded down to
// a 5-minute boundary), with the service clock at `utcNow`.
PrecipitationRate RecordedRateAt(const RecordedPrecipitation &place, time_t utcNow,
                                 long long utcSecond);

// The amounts that fall at the recorded place from `fromUtc` up to `toUtc` (5-minute
// boundaries): rain, snow water and their sum to a tenth, snowfall from the rounded water.
PrecipitationAmounts RecordedAmounts(const RecordedPrecipitation &place, time_t utcNow,
                                     long long fromUtc, long long toUtc);
