#include "precipitation.h"

#include <algorithm>
#include <cmath>

namespace {

const double kSnowCmPerWaterMm = 0.7;
const long long kSlotSeconds = 5 * 60;

// The 15-minute model areas as boxes (edges inside) and the hours of 15-minute data each gives.
const struct QuarterArea {
    double south, north, west, east;
    int hours;
} kQuarterAreas[] = {
    {21.0, 53.0, -134.0, -60.0, 18}, // HRRR, the contiguous United States
    {43.0, 58.0, -4.0, 20.0, 48},    // ICON-D2, Germany and its neighbours
    {41.0, 52.0, -5.5, 10.0, 6},     // AROME France
};

// Rates are multiples of 1.2 mm/h, so that every 5 minutes bring a whole tenth of a millimetre.
const RecordedPrecipitation kRecordedPrecipitation[] = {
    // Inside ICON-D2, minutes from the current 15-minute boundary.
    {"52.52,13.40", 15, 1, 8.0, "ok", {{45, 90, 1.2, 0}, {90, 135, 3.6, 0}, {135, 165, 2.4, 0}}},
    {"52.45,13.30", 15, 1, 8.0, "ok", {{-120, 0, 3.6, 0}, {0, 60, 1.2, 0}}},
    {"52.40,13.05", 15, 1, 8.0, "ok", {{-60, 60, 2.4, 0}, {60, 180, 4.8, 0}, {180, 240, 1.2, 0}}},
    {"52.60,13.50", 15, 1, 10.0, "ok", {}},
    {"52.35,13.60", 15, 1, -3.0, "ok", {{30, 210, 0, 2.4}}},
    {"52.65,13.20", 15, 1, 1.0, "ok", {{-90, 45, 1.2, 1.2}}},
    // Inside HRRR.
    {"39.75,-104.98", 15, -7, 6.0, "ok", {{30, 150, 2.4, 0}}},
    // Outside every 15-minute area, minutes from the current hour.
    {"35.68,139.69", 60, 9, 12.0, "ok", {{120, 300, 2.4, 0}}},
    // The nowcast's places, minutes from the current 5-minute boundary.
    {"59.92,10.74", 5, 1, 5.0, "ok", {{20, 140, 2.4, 0}}},
    {"59.93,10.80", 5, 1, 5.0, "ok", {{-60, 35, 3.6, 0}}},
    {"59.89,10.70", 5, 1, 5.0, "ok", {}},
    {"59.95,10.71", 5, 1, -4.0, "ok", {{10, 130, 0, 2.4}}},
    {"55.68,12.57", 5, 1, 6.0, "temporarily unavailable", {{-30, 90, 2.4, 0}}},
    {"69.50,27.00", 5, 2, 2.0, "no coverage", {{30, 150, 1.2, 0}}},
};

long long FloorTo(long long value, long long step) {
    long long quotient = value / step;
    if (value % step != 0 && value < 0)
        --quotient;
    return quotient * step;
}

} // namespace

double Tenths(double value) {
    // A hair over the half, so that a quarter of 0.6 (0.15, a little less in binary) is 0.2.
    return std::round(value * 10.0 + 1e-9) / 10.0 + 0.0;
}

int RealQuarterHours(double latitude, double longitude) {
    int hours = 0;
    for (const QuarterArea &area : kQuarterAreas) {
        if (latitude >= area.south && latitude <= area.north && longitude >= area.west &&
            longitude <= area.east)
            hours = std::max(hours, area.hours);
    }
    return hours;
}

PrecipitationAmounts SplitByCode(int wmoCode, double waterMm) {
    PrecipitationAmounts amounts;
    long long tenths = std::llround(waterMm * 10.0);
    if (wmoCode < 50 || tenths <= 0)
        return amounts;
    amounts.precipitationMm = tenths / 10.0;
    bool mixed = wmoCode == 56 || wmoCode == 57 || wmoCode == 66 || wmoCode == 67;
    bool snow = (wmoCode >= 71 && wmoCode <= 77) || wmoCode == 85 || wmoCode == 86;
    bool showers = (wmoCode >= 80 && wmoCode <= 82) || wmoCode >= 95;
    long long snowTenths = snow ? tenths : mixed ? tenths / 2 : 0;
    double liquidMm = (tenths - snowTenths) / 10.0;
    if (showers)
        amounts.showersMm = liquidMm;
    else
        amounts.rainMm = liquidMm;
    amounts.snowfallCm = Tenths(snowTenths / 10.0 * kSnowCmPerWaterMm);
    return amounts;
}

int WmoCodeForAmounts(double rainMmPerHour, double snowWaterMmPerHour, int dryCode) {
    bool rain = rainMmPerHour >= 0.05, snow = snowWaterMmPerHour >= 0.05;
    double total = rainMmPerHour + snowWaterMmPerHour;
    if (rain && snow)
        return total < 2.5 ? 66 : 67;
    if (snow)
        return total < 1.0 ? 71 : total <= 2.5 ? 73 : 75;
    if (rain)
        return total < 2.5 ? 61 : total < 7.6 ? 63 : 65;
    return dryCode;
}

const RecordedPrecipitation *RecordedPrecipitationAt(const std::string &coordinateKey) {
    for (const RecordedPrecipitation &place : kRecordedPrecipitation) {
        if (coordinateKey == place.coordinates)
            return &place;
    }
    return nullptr;
}

PrecipitationRate RecordedRateAt(const RecordedPrecipitation &place, time_t utcNow,
                                 long long utcSecond) {
    long long anchor = FloorTo(static_cast<long long>(utcNow), place.anchorMinutes * 60LL);
    long long minute = (FloorTo(utcSecond, kSlotSeconds) - anchor) / 60;
    PrecipitationRate rate;
    for (const Spell &spell : place.spells) {
        if (minute >= spell.fromMinute && minute < spell.toMinute) {
            rate.rainMmPerHour += spell.rainMmPerHour;
            rate.snowWaterMmPerHour += spell.snowWaterMmPerHour;
        }
    }
    return rate;
}

PrecipitationAmounts RecordedAmounts(const RecordedPrecipitation &place, time_t utcNow,
                                     long long fromUtc, long long toUtc) {
    double rainMm = 0.0, snowWaterMm = 0.0;
    for (long long slot = fromUtc; slot < toUtc; slot += kSlotSeconds) {
        PrecipitationRate rate = RecordedRateAt(place, utcNow, slot);
        rainMm += rate.rainMmPerHour * kSlotSeconds / 3600.0;
        snowWaterMm += rate.snowWaterMmPerHour * kSlotSeconds / 3600.0;
    }
    PrecipitationAmounts amounts;
    amounts.rainMm = Tenths(rainMm);
    amounts.precipitationMm = Tenths(amounts.rainMm + Tenths(snowWaterMm));
    amounts.snowfallCm = Tenths(Tenths(snowWaterMm) * kSnowCmPerWaterMm);
    return amounts;
}
