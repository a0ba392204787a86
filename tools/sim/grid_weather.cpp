#include "grid_weather.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kKmhPerMph = 1.609344;
const double kHpaPerHundredthInch = 0.338639;
const double kMetresPerTenthMile = 160.9344;
// What the forecast reports for an unlimited view: 15 miles.
const double kUnlimitedVisibilityMetres = 24140.0;
const int kWarmestMinute = 15 * 60;
// The pressure swings over three days; a trend shows as about 2 hPa in three hours.
const double kPressureSwingHpa = 8.0;
const double kPressureSwingHours = 72.0;
const double kSteadyRippleHpa = 0.3;

// Salts of the hourly values, so that they do not repeat one another.
enum Salt : uint64_t {
    kSaltElevation = 1,
    kSaltCode,
    kSaltAmount,
    kSaltCloud,
    kSaltVisibility,
    kSaltDewSpread,
    kSaltWind,
    kSaltDirection,
    kSaltGust,
    kSaltChance,
    kSaltUvPeak,
    kSaltQuarter,
};

const int kQuarterSeconds = 900;
// A recorded place's hours swing this far either side of its mean, warmest at three.
const double kRecordedSwingC = 1.0;

// splitmix64, keyed by the location, the hour (or day) and the kind of value.
uint64_t Mix(uint64_t seed, long long moment, uint64_t salt) {
    uint64_t z = seed ^ (static_cast<uint64_t>(moment) * 0xD1B54A32D192ED03ULL);
    z += 0x9E3779B97F4A7C15ULL * (salt + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// A fraction from 0 up to (not including) 1.
double Fraction(uint64_t seed, long long moment, uint64_t salt) {
    return static_cast<double>(Mix(seed, moment, salt) >> 11) / 9007199254740992.0;
}

double Between(double low, double high, double fraction) {
    return low + (high - low) * fraction;
}

double Celsius(double fahrenheit) {
    return (fahrenheit - 32.0) * 5.0 / 9.0;
}

// From a to b along half a cosine: flat at both ends, as temperatures turn.
double Ease(double a, double b, double t) {
    t = std::min(1.0, std::max(0.0, t));
    return a + (b - a) * (1.0 - std::cos(kPi * t)) / 2.0;
}

double RoundTo(double value, double step) {
    return std::round(value / step) * step;
}

// The sky of a model period, from its condition code.
enum class Sky {
    Clear,
    MainlyClear,
    PartlyCloudy,
    Overcast,
    Haze,
    Windy,
    Fog,
    LightRain,
    Rain,
    Showers,
    Thunder,
    LightSnow,
    SnowShowers,
    Snow,
};

Sky SkyOf(int conditionCode) {
    switch (conditionCode) {
    case 32:
    case 31:
        return Sky::Clear;
    case 34:
    case 33:
        return Sky::MainlyClear;
    case 28:
    case 27:
    case 26:
        return Sky::Overcast;
    case 21:
        return Sky::Haze;
    case 24:
        return Sky::Windy;
    case 20:
        return Sky::Fog;
    case 11:
        return Sky::LightRain;
    case 12:
        return Sky::Rain;
    case 39:
    case 45:
        return Sky::Showers;
    case 4:
    case 47:
        return Sky::Thunder;
    case 14:
        return Sky::LightSnow;
    case 46:
        return Sky::SnowShowers;
    case 16:
        return Sky::Snow;
    default:
        return Sky::PartlyCloudy;
    }
}

struct Sample {
    int code;
    double precipitationMm;
    double visibilityMetres;
};

// The WMO code, precipitation and visibility of one hour under a sky. Snow turns to rain
// above 3 degrees, rain freezes at 0; showers leave dry hours between them.
Sample SampleSky(Sky sky, double temperatureC, double codeFraction, double amount,
                 double visibilityFraction, double clearVisibility) {
    bool freezing = temperatureC <= 0.0;
    if (temperatureC > 3.0) {
        if (sky == Sky::LightSnow)
            sky = Sky::LightRain;
        else if (sky == Sky::SnowShowers)
            sky = Sky::Showers;
        else if (sky == Sky::Snow)
            sky = Sky::Rain;
    }
    Sample sample{0, 0.0, clearVisibility};
    auto wet = [&](double low, double high, double visLow, double visHigh) {
        sample.precipitationMm = RoundTo(Between(low, high, amount), 0.1);
        sample.visibilityMetres = Between(visLow, visHigh, visibilityFraction);
    };
    switch (sky) {
    case Sky::Clear:
        sample.code = 0;
        break;
    case Sky::MainlyClear:
        sample.code = 1;
        break;
    case Sky::PartlyCloudy:
    case Sky::Windy:
        sample.code = 2;
        break;
    case Sky::Overcast:
        sample.code = 3;
        break;
    case Sky::Haze:
        sample.code = 1;
        sample.visibilityMetres = Between(4000, 9000, visibilityFraction);
        break;
    case Sky::Fog:
        sample.code = freezing || codeFraction < 0.3 ? 48 : 45;
        sample.visibilityMetres = Between(150, 900, visibilityFraction);
        break;
    case Sky::LightRain:
        wet(0.1, 0.9, 8000, 16000);
        if (freezing)
            sample.code = sample.precipitationMm < 0.5 ? 56 : 57;
        else if (sample.precipitationMm < 0.25)
            sample.code = 51;
        else if (sample.precipitationMm < 0.4)
            sample.code = 53;
        else if (sample.precipitationMm < 0.5)
            sample.code = 55;
        else
            sample.code = 61;
        break;
    case Sky::Rain:
        wet(1.0, 4.5, 3000, 8000);
        if (freezing)
            sample.code = sample.precipitationMm < 2.5 ? 66 : 67;
        else
            sample.code = sample.precipitationMm > 3.8 ? 65 : 63;
        break;
    case Sky::Showers:
        if (codeFraction < 0.4) {
            sample.code = 2;
            break;
        }
        wet(0.2, 3.0, 6000, 14000);
        if (freezing)
            sample.code = sample.precipitationMm < 1.5 ? 85 : 86;
        else if (sample.precipitationMm < 1.0)
            sample.code = 80;
        else
            sample.code = sample.precipitationMm < 2.5 ? 81 : 82;
        break;
    case Sky::Thunder:
        wet(1.5, 8.0, 3000, 8000);
        sample.code = codeFraction < 0.04 ? 99 : codeFraction < 0.12 ? 96 : 95;
        break;
    case Sky::LightSnow:
        wet(0.1, 1.0, 2000, 6000);
        sample.code = codeFraction < 0.15 ? 77 : 71;
        break;
    case Sky::SnowShowers:
        if (codeFraction < 0.3) {
            sample.code = 3;
            break;
        }
        wet(0.2, 1.7, 1500, 5000);
        sample.code = sample.precipitationMm > 1.2 ? 86 : 85;
        break;
    case Sky::Snow:
        wet(0.8, 3.0, 800, 3000);
        sample.code = sample.precipitationMm > 2.5 ? 75 : 73;
        break;
    }
    sample.visibilityMetres = RoundTo(sample.visibilityMetres, 10.0);
    return sample;
}

int CloudCoverFor(int code, double fraction) {
    double low = 85, high = 100;
    if (code == 0)
        low = 0, high = 10;
    else if (code == 1)
        low = 15, high = 35;
    else if (code == 2)
        low = 40, high = 70;
    else if (code == 45 || code == 48)
        low = 100;
    else if (code >= 51 && code <= 67)
        low = 80;
    else if (code >= 71 && code <= 77)
        low = 90;
    else if (code >= 80 && code <= 86)
        low = 55, high = 90;
    else if (code >= 95)
        low = 75;
    return static_cast<int>(std::lround(Between(low, high, fraction)));
}

// Puts the amounts, to a tenth, into the hour (or quarter).
void SetAmounts(GridHour *hour, const PrecipitationAmounts &amounts) {
    hour->precipitationMm = Tenths(amounts.precipitationMm);
    hour->rainMm = Tenths(amounts.rainMm);
    hour->showersMm = Tenths(amounts.showersMm);
    hour->snowfallCm = Tenths(amounts.snowfallCm);
}

// Relative humidity from temperature and dew point (Magnus formula).
int HumidityFor(double temperatureC, double dewPointC) {
    double ratio = std::exp(17.625 * dewPointC / (243.04 + dewPointC)) /
                   std::exp(17.625 * temperatureC / (243.04 + temperatureC));
    long percent = std::lround(100.0 * ratio);
    return static_cast<int>(std::min(100L, std::max(1L, percent)));
}

// Steadman's apparent temperature, with the wind in m/s.
double ApparentTemperature(double temperatureC, int humidityPercent, double windKmh) {
    double vapour =
        humidityPercent / 100.0 * 6.105 * std::exp(17.27 * temperatureC / (237.7 + temperatureC));
    return temperatureC + 0.33 * vapour - 0.70 * (windKmh / 3.6) - 4.0;
}

} // namespace

std::string CoordinateKey(double latitude, double longitude) {
    auto hundredths = [](double value) {
        long long whole = std::llround(value * 100.0);
        char text[32];
        std::snprintf(text, sizeof text, "%s%lld.%02lld", whole < 0 ? "-" : "",
                      std::llabs(whole) / 100, std::llabs(whole) % 100);
        return std::string(text);
    };
    return hundredths(latitude) + "," + hundredths(longitude);
}

double SeededFraction(uint64_t seed, long long moment, uint64_t salt) {
    return Fraction(seed, moment, salt);
}

long long FloorDiv(long long value, long long divisor) {
    long long quotient = value / divisor;
    if ((value % divisor != 0) && ((value < 0) != (divisor < 0)))
        --quotient;
    return quotient;
}

long long FloorMod(long long value, long long divisor) {
    return value - FloorDiv(value, divisor) * divisor;
}

namespace {

struct ZoneName {
    int offsetHours;
    const char *name;
};

const ZoneName kZoneNames[] = {
    {-10, "Pacific/Honolulu"},   {-9, "America/Anchorage"},
    {-8, "America/Los_Angeles"}, {-7, "America/Denver"},
    {-6, "America/Chicago"},     {-5, "America/New_York"},
    {-3, "America/Sao_Paulo"},   {0, "GMT"},
    {1, "Europe/Berlin"},        {2, "Europe/Athens"},
    {9, "Asia/Tokyo"},           {10, "Australia/Brisbane"},
};

// The zone's offset at `utcNow` by the system's zone files (summer time included), else the
// standard offset with the location's own abbreviation.
void ZoneAt(const Location &location, time_t utcNow, int *offsetSeconds,
            std::string *abbreviation) {
    char text[32];
    uint64_t fileTime = 116444736000000000ull + static_cast<uint64_t>(utcNow) * 10000000ull;
    if (utcNow >= 0 && OsZoneAt(TimezoneName(location.zoneOffsetHours).c_str(), fileTime,
                                offsetSeconds, text, sizeof text)) {
        *abbreviation = text;
        return;
    }
    *offsetSeconds = location.zoneOffsetHours * 3600;
    *abbreviation = location.zoneAbbreviation;
}

} // namespace

std::string TimezoneName(int offsetHours) {
    for (const ZoneName &zone : kZoneNames) {
        if (zone.offsetHours == offsetHours)
            return zone.name;
    }
    // The zone database names fixed offsets with the sign turned round.
    char name[32];
    std::snprintf(name, sizeof name, "Etc/GMT%+d", -offsetHours);
    return name;
}

GridWeather::GridWeather(double latitude, double longitude, time_t utcNow)
    : location_(MakeLocation(CoordinateKey(latitude, longitude))), utcNow_(utcNow) {
    recorded_ = RecordedPrecipitationAt(location_.id);
    if (recorded_ != nullptr)
        location_.zoneOffsetHours = recorded_->zoneOffsetHours;
    const Location &location = location_;
    realQuarterHours_ = RealQuarterHours(std::round(latitude * 100.0) / 100.0,
                                         std::round(longitude * 100.0) / 100.0);
    ZoneAt(location, utcNow, &utcOffsetSeconds_, &zoneAbbreviation_);
    localNow_ = static_cast<long long>(utcNow) + utcOffsetSeconds_;
    elevationMetres_ = std::round(Between(0, 1500, Fraction(location.seed, 0, kSaltElevation)));
    CurrentWeather current = CurrentForLocation(location);
    basePressureHpa_ = current.pressureHundredthsInch * kHpaPerHundredthInch;
    pressureTrend_ = current.pressureTrend == "rising"    ? 1
                     : current.pressureTrend == "falling" ? -1
                                                          : 0;
    clearVisibilityMetres_ =
        current.visibilityTenthsMile < 0
            ? kUnlimitedVisibilityMetres
            : RoundTo(current.visibilityTenthsMile * kMetresPerTenthMile, 10.0);
    for (int day = 1; day <= kMaxForecastDays; ++day)
        modelDays_.push_back(ForecastForDay(location, day));
}

long long GridWeather::currentLocalHour() const {
    return FloorDiv(localNow_, 3600);
}

long long GridWeather::todayLocalDay() const {
    return FloorDiv(localNow_, 86400);
}

long long GridWeather::currentLocalQuarter() const {
    return localNow_ - FloorMod(localNow_, kQuarterSeconds);
}

const ForecastDay &GridWeather::ModelDay(long long localDay) const {
    long long index =
        FloorMod(localDay - todayLocalDay(), static_cast<long long>(kMaxForecastDays));
    return modelDays_[static_cast<size_t>(index)];
}

// Lowest at sunrise, highest at three in the afternoon, and falling through the evening and
// night towards the next sunrise's low.
double GridWeather::TemperatureAt(long long localHour) const {
    long long day = FloorDiv(localHour, 24);
    int minute = static_cast<int>(FloorMod(localHour, 24)) * 60;
    const ForecastDay &today = ModelDay(day);
    double low = Celsius(today.lowF);
    double high = Celsius(today.highF);
    if (minute < today.sunriseMinutes) {
        const ForecastDay &previous = ModelDay(day - 1);
        double span = 1440 - kWarmestMinute + today.sunriseMinutes;
        return Ease(Celsius(previous.highF), low, (1440 - kWarmestMinute + minute) / span);
    }
    if (minute < kWarmestMinute)
        return Ease(low, high,
                    static_cast<double>(minute - today.sunriseMinutes) /
                        (kWarmestMinute - today.sunriseMinutes));
    const ForecastDay &next = ModelDay(day + 1);
    double span = 1440 - kWarmestMinute + next.sunriseMinutes;
    return Ease(high, Celsius(next.lowF), (minute - kWarmestMinute) / span);
}

GridHour GridWeather::Hour(long long localHour) const {
    uint64_t seed = location_.seed;
    auto fraction = [&](uint64_t salt) { return Fraction(seed, localHour, salt); };
    long long day = FloorDiv(localHour, 24);
    int minute = static_cast<int>(FloorMod(localHour, 24)) * 60;
    const ForecastDay &forecast = ModelDay(day);

    GridHour hour;
    hour.isDay = minute >= forecast.sunriseMinutes && minute < forecast.sunsetMinutes;
    // The night part runs from sunset into the next morning.
    const PeriodWeather &part = hour.isDay                         ? forecast.dayPart
                                : minute >= forecast.sunsetMinutes ? forecast.nightPart
                                                                   : ModelDay(day - 1).nightPart;

    hour.temperatureC =
        recorded_ == nullptr
            ? TemperatureAt(localHour)
            : recorded_->temperatureC +
                  kRecordedSwingC * std::cos(2.0 * kPi * (minute - kWarmestMinute) / 1440.0);
    Sample sample =
        SampleSky(SkyOf(part.conditionCode), hour.temperatureC, fraction(kSaltCode),
                  fraction(kSaltAmount), fraction(kSaltVisibility), clearVisibilityMetres_);
    hour.weatherCode = sample.code;
    hour.visibilityMetres = sample.visibilityMetres;
    if (recorded_ == nullptr) {
        SetAmounts(&hour, SplitByCode(sample.code, sample.precipitationMm));
    } else {
        // A recorded place's hour is the sum of its four quarters, its code what they hold.
        PrecipitationAmounts amounts;
        for (long long end = localHour * 3600 - 3 * kQuarterSeconds; end <= localHour * 3600;
             end += kQuarterSeconds) {
            PrecipitationAmounts quarter = RecordedQuarter(end);
            amounts.precipitationMm += quarter.precipitationMm;
            amounts.rainMm += quarter.rainMm;
            amounts.snowfallCm += quarter.snowfallCm;
        }
        SetAmounts(&hour, amounts);
        hour.weatherCode = WmoCodeForAmounts(hour.rainMm, hour.precipitationMm - hour.rainMm,
                                             sample.code < 50 ? sample.code : 3);
    }
    hour.cloudCoverPercent = CloudCoverFor(hour.weatherCode, fraction(kSaltCloud));

    // The part's gap between temperature and dew point, so that the air stays as moist as
    // the model has it at any temperature.
    double spread = (part.temperatureF - part.dewPointF) * 5.0 / 9.0;
    hour.dewPointC = hour.temperatureC - spread * Between(0.8, 1.2, fraction(kSaltDewSpread));
    hour.humidityPercent = HumidityFor(hour.temperatureC, hour.dewPointC);

    int chance = part.precipChancePercent +
                 static_cast<int>(std::lround((fraction(kSaltChance) - 0.5) * 10.0));
    if (hour.precipitationMm > 0.0)
        chance = std::max(chance, recorded_ != nullptr ? 70 : 30);
    else if (recorded_ != nullptr)
        chance = std::min(chance, 10);
    hour.precipitationProbabilityPercent = std::min(100, std::max(0, chance));

    if (part.windMph == 0)
        hour.windKmh = Between(0.5, 3.0, fraction(kSaltWind));
    else
        hour.windKmh = part.windMph * kKmhPerMph * Between(0.85, 1.15, fraction(kSaltWind));
    double degrees = part.windDirection == "CALM" || part.windDirection == "VAR"
                         ? fraction(kSaltDirection) * 360.0
                         : part.windDegrees + (fraction(kSaltDirection) - 0.5) * 40.0;
    hour.windDegrees = static_cast<int>(FloorMod(std::lround(degrees), 360));
    if (part.gustMph > 0)
        hour.gustKmh = std::max(part.gustMph * kKmhPerMph * Between(0.9, 1.1, fraction(kSaltGust)),
                                hour.windKmh + 5.0);
    else
        hour.gustKmh = hour.windKmh * 1.3 + Between(2.0, 5.0, fraction(kSaltGust));
    hour.apparentTemperatureC =
        ApparentTemperature(hour.temperatureC, hour.humidityPercent, hour.windKmh);

    double hoursFromNow = static_cast<double>(localHour - currentLocalHour());
    if (pressureTrend_ == 0)
        hour.pressureMslHpa =
            basePressureHpa_ + kSteadyRippleHpa * std::cos(2.0 * kPi * hoursFromNow / 24.0);
    else
        hour.pressureMslHpa =
            basePressureHpa_ + pressureTrend_ * kPressureSwingHpa *
                                   std::sin(2.0 * kPi * hoursFromNow / kPressureSwingHours);
    hour.surfacePressureHpa =
        hour.pressureMslHpa * std::pow(1.0 - 2.25577e-5 * elevationMetres_, 5.25588);

    hour.uvIndex = 0.0;
    if (hour.isDay) {
        double peak = Between(1.0, 11.0, Fraction(seed, day, kSaltUvPeak));
        double sunHeight = std::sin(kPi * (minute - forecast.sunriseMinutes) /
                                    (forecast.sunsetMinutes - forecast.sunriseMinutes));
        hour.uvIndex = peak * sunHeight * (1.0 - 0.65 * hour.cloudCoverPercent / 100.0);
    }
    return hour;
}

GridDay GridWeather::Day(long long localDay) const {
    const ForecastDay &forecast = ModelDay(localDay);
    GridDay day;
    day.temperatureMaxC = Celsius(forecast.highF);
    day.temperatureMinC = Celsius(forecast.lowF);
    day.sunriseMinutes = forecast.sunriseMinutes;
    day.sunsetMinutes = forecast.sunsetMinutes;
    day.weatherCode = 0;
    day.precipitationProbabilityMaxPercent = 0;
    day.precipitationSumMm = 0.0;
    day.rainSumMm = 0.0;
    day.showersSumMm = 0.0;
    day.snowfallSumCm = 0.0;
    day.precipitationHours = 0;
    day.windMaxKmh = 0.0;
    day.gustMaxKmh = 0.0;
    day.uvIndexMax = 0.0;
    double east = 0.0, north = 0.0;
    for (int i = 0; i < 24; ++i) {
        GridHour hour = Hour(localDay * 24 + i);
        // The day's extremes hold every hour of it, even where the evening falls below the
        // day's low on its way to a colder night.
        day.temperatureMaxC = std::max(day.temperatureMaxC, hour.temperatureC);
        day.temperatureMinC = std::min(day.temperatureMinC, hour.temperatureC);
        if (i == 0 && recorded_ != nullptr) {
            // A recorded place's temperatures are its own, not the model's.
            day.temperatureMaxC = hour.temperatureC;
            day.temperatureMinC = hour.temperatureC;
        }
        if (i == 0) {
            day.apparentTemperatureMaxC = hour.apparentTemperatureC;
            day.apparentTemperatureMinC = hour.apparentTemperatureC;
        }
        day.apparentTemperatureMaxC =
            std::max(day.apparentTemperatureMaxC, hour.apparentTemperatureC);
        day.apparentTemperatureMinC =
            std::min(day.apparentTemperatureMinC, hour.apparentTemperatureC);
        day.weatherCode = std::max(day.weatherCode, hour.weatherCode);
        day.precipitationProbabilityMaxPercent =
            std::max(day.precipitationProbabilityMaxPercent, hour.precipitationProbabilityPercent);
        day.precipitationSumMm += hour.precipitationMm;
        day.rainSumMm += hour.rainMm;
        day.showersSumMm += hour.showersMm;
        day.snowfallSumCm += hour.snowfallCm;
        day.precipitationHours += hour.precipitationMm > 0.0 ? 1 : 0;
        day.windMaxKmh = std::max(day.windMaxKmh, hour.windKmh);
        day.gustMaxKmh = std::max(day.gustMaxKmh, hour.gustKmh);
        day.uvIndexMax = std::max(day.uvIndexMax, hour.uvIndex);
        double radians = hour.windDegrees * kPi / 180.0;
        east += hour.windKmh * std::sin(radians);
        north += hour.windKmh * std::cos(radians);
    }
    double dominant = std::atan2(east, north) * 180.0 / kPi;
    day.dominantWindDegrees = static_cast<int>(FloorMod(std::lround(dominant), 360));
    return day;
}

PrecipitationAmounts GridWeather::RecordedQuarter(long long localQuarter) const {
    long long end = localQuarter - utcOffsetSeconds_;
    return RecordedAmounts(*recorded_, utcNow_, end - kQuarterSeconds, end);
}

GridHour GridWeather::Quarter(long long localQuarter) const {
    GridHour quarter = Hour(FloorDiv(localQuarter, 3600));
    long long hourIndex = FloorDiv(localQuarter + 3600 - 1, 3600);
    bool real =
        realQuarterHours_ > 0 && localQuarter - currentLocalQuarter() < realQuarterHours_ * 3600LL;
    PrecipitationAmounts amounts;
    if (real && recorded_ != nullptr) {
        amounts = RecordedQuarter(localQuarter);
    } else {
        GridHour hour = Hour(hourIndex);
        if (real) {
            // The hour's tenths of a millimetre dealt out to its quarters by seeded weights,
            // the largest remainders first, so that the quarters add up to the hour.
            long long tenths = std::llround(hour.precipitationMm * 10.0);
            double weights[4], total = 0.0;
            for (int i = 0; i < 4; ++i) {
                double fraction = Fraction(location_.seed, hourIndex * 4 + i, kSaltQuarter);
                weights[i] = 0.05 + fraction * fraction;
                total += weights[i];
            }
            long long shares[4], dealt = 0;
            double remainders[4];
            for (int i = 0; i < 4; ++i) {
                double exact = tenths * weights[i] / total;
                shares[i] = static_cast<long long>(std::floor(exact));
                remainders[i] = exact - shares[i];
                dealt += shares[i];
            }
            for (; dealt < tenths; ++dealt) {
                int largest =
                    static_cast<int>(std::max_element(remainders, remainders + 4) - remainders);
                ++shares[largest];
                remainders[largest] = -1.0;
            }
            int index = static_cast<int>(
                FloorMod(localQuarter / kQuarterSeconds - 1, static_cast<long long>(4)));
            amounts = SplitByCode(hour.weatherCode, shares[index] / 10.0);
        } else {
            amounts.precipitationMm = hour.precipitationMm * 0.25;
            amounts.rainMm = hour.rainMm * 0.25;
            amounts.showersMm = hour.showersMm * 0.25;
            amounts.snowfallCm = hour.snowfallCm * 0.25;
        }
    }
    SetAmounts(&quarter, amounts);
    if (recorded_ != nullptr)
        quarter.weatherCode = WmoCodeForAmounts(4.0 * quarter.rainMm,
                                                4.0 * (quarter.precipitationMm - quarter.rainMm),
                                                quarter.weatherCode < 50 ? quarter.weatherCode : 3);
    return quarter;
}

PrecipitationRate GridWeather::RateAt(long long utcSecond) const {
    if (recorded_ != nullptr)
        return RecordedRateAt(*recorded_, utcNow_, utcSecond);
    long long local = utcSecond + utcOffsetSeconds_;
    GridHour quarter = Quarter(local - FloorMod(local, kQuarterSeconds) + kQuarterSeconds);
    PrecipitationRate rate;
    rate.rainMmPerHour = 4.0 * (quarter.rainMm + quarter.showersMm);
    rate.snowWaterMmPerHour = 4.0 * (quarter.precipitationMm - quarter.rainMm - quarter.showersMm);
    return rate;
}
