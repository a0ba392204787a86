// The sun's place in the sky from the clock alone, after NOAA's general solar position
// equations (the fractional-year series for the equation of time and the declination): the
// times of sunrise and sunset of a date at a point, and whether the sun is up at an instant.
// Sunrise and sunset are when the centre of the sun stands 0.833 degrees below the horizon,
// refraction and the sun's radius included. The series is good to a minute or two at the
// latitudes where people live, and says when a date has no sunrise or no sunset at all.
#ifndef NIMBREL_SUN_H
#define NIMBREL_SUN_H

#include <stdint.h>

enum SunDay {
    SUN_RISES_AND_SETS = 0, // both times are given
    SUN_POLAR_DAY = 1,      // the sun never sets that day
    SUN_POLAR_NIGHT = 2     // the sun never rises that day
};

// The sunrise and sunset of the UTC calendar date `days` (days since 1970-01-01) at a point
// (degrees, longitude east positive), in UTC minutes since 1970-01-01 00:00. The times are those
// of the solar day around the point's noon of that date, so at some longitudes they fall on the
// date before or after in UTC. Returns SUN_RISES_AND_SETS with both set, else the polar kind and
// neither touched.
enum SunDay SunRiseSet(int64_t days, double latitude, double longitude, int64_t *sunrise,
                       int64_t *sunset);

// The sun's elevation above the horizon in degrees at a UTC instant (minutes since 1970-01-01).
double SunElevation(int64_t utcMinutes, double latitude, double longitude);

// Nonzero when the sun is up (its centre higher than sunrise's 0.833 degrees below the horizon).
int SunIsUp(int64_t utcMinutes, double latitude, double longitude);

#endif
