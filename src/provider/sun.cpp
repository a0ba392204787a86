#include "provider/sun.h"

#include <math.h>

#include "base/calendar.h"
#include "provider/model.h"

static const double kPi = 3.14159265358979323846;
static const double kSunriseZenith = 90.833; // degrees

static double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

static double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

// The equation of time (minutes) and the declination (radians) at a UTC instant.
typedef struct SunPlace {
    double equationOfTime;
    double declination;
} SunPlace;

static SunPlace SunPlaceAt(int64_t utcMinutes) {
    int64_t days = DayOfMinutes(utcMinutes);
    int year, month, day;
    CivilFromDays(days, &year, &month, &day);
    int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    double dayOfYear = (double)(days - DaysFromCivil(year, 1, 1)); // 0 on January 1
    double hour = MinuteOfDay(utcMinutes) / 60.0;
    double gamma = 2.0 * kPi / (leap ? 366.0 : 365.0) * (dayOfYear + (hour - 12.0) / 24.0);
    SunPlace place;
    place.equationOfTime = 229.18 * (0.000075 + 0.001868 * cos(gamma) - 0.032077 * sin(gamma) -
                                     0.014615 * cos(2 * gamma) - 0.040849 * sin(2 * gamma));
    place.declination = 0.006918 - 0.399912 * cos(gamma) + 0.070257 * sin(gamma) -
                        0.006758 * cos(2 * gamma) + 0.000907 * sin(2 * gamma) -
                        0.002697 * cos(3 * gamma) + 0.00148 * sin(3 * gamma);
    return place;
}

// The cosine of the hour angle at which the sun crosses sunrise's zenith; beyond [-1, 1] it
// never does.
static double CrossingCosine(double latitude, double declination) {
    double phi = Radians(latitude);
    return cos(Radians(kSunriseZenith)) / (cos(phi) * cos(declination)) -
           tan(phi) * tan(declination);
}

// Sunrise (rising nonzero) or sunset of the solar day whose mean noon is `meanNoon` (UTC
// minutes), in UTC minutes, starting from an estimate. Returns 0 when the sun does not cross
// the horizon then.
static int Crossing(double meanNoon, double estimate, double latitude, int rising,
                    double *minutes) {
    // Twice over: the second time with the sun's place at the first answer.
    for (int pass = 0; pass < 2; pass++) {
        SunPlace place = SunPlaceAt((int64_t)floor(estimate));
        double cosine = CrossingCosine(latitude, place.declination);
        if (cosine > 1.0 || cosine < -1.0) {
            return 0;
        }
        double hourAngle = Degrees(acos(cosine));
        estimate = meanNoon - place.equationOfTime + (rising ? -4.0 : 4.0) * hourAngle;
    }
    *minutes = estimate;
    return 1;
}

enum SunDay SunRiseSet(int64_t days, double latitude, double longitude, int64_t *sunrise,
                       int64_t *sunset) {
    // The point's solar noon of the date, as UTC minutes.
    double noonEstimate = (double)days * 1440.0 + 720.0 - 4.0 * longitude;
    SunPlace noon = SunPlaceAt((int64_t)floor(noonEstimate));
    double cosine = CrossingCosine(latitude, noon.declination);
    if (cosine < -1.0) {
        return SUN_POLAR_DAY;
    }
    if (cosine > 1.0) {
        return SUN_POLAR_NIGHT;
    }
    double rise, set;
    double halfDay = Degrees(acos(cosine)) * 4.0;
    if (!Crossing(noonEstimate, noonEstimate - halfDay, latitude, 1, &rise) ||
        !Crossing(noonEstimate, noonEstimate + halfDay, latitude, 0, &set)) {
        // A day on the edge of the polar season: at noon the sun crossed, at its own time not.
        return cosine < 0 ? SUN_POLAR_DAY : SUN_POLAR_NIGHT;
    }
    *sunrise = (int64_t)floor(rise + 0.5);
    *sunset = (int64_t)floor(set + 0.5);
    return SUN_RISES_AND_SETS;
}

double SunElevation(int64_t utcMinutes, double latitude, double longitude) {
    SunPlace place = SunPlaceAt(utcMinutes);
    double trueSolarMinutes = MinuteOfDay(utcMinutes) + place.equationOfTime + 4.0 * longitude;
    double hourAngle = Radians(trueSolarMinutes / 4.0 - 180.0);
    double phi = Radians(latitude);
    double cosZenith =
        sin(phi) * sin(place.declination) + cos(phi) * cos(place.declination) * cos(hourAngle);
    if (cosZenith > 1.0) {
        cosZenith = 1.0;
    } else if (cosZenith < -1.0) {
        cosZenith = -1.0;
    }
    return 90.0 - Degrees(acos(cosZenith));
}

int SunIsUp(int64_t utcMinutes, double latitude, double longitude) {
    return SunElevation(utcMinutes, latitude, longitude) > 90.0 - kSunriseZenith;
}
