// The weather of one place as the provider reads it from a forecast answer, in plain numbers
// and one set of units, ready to be written out in the feed's vocabulary. Times are the place's
// own wall-clock times, counted in minutes from 1970-01-01 00:00 of that clock.
#ifndef NIMBREL_MODEL_H
#define NIMBREL_MODEL_H

#include <stddef.h>
#include <stdint.h>

enum {
    MODEL_HOUR_CAPACITY = 24 * 18, // hourly steps kept (past days and forecast days)
    MODEL_DAY_CAPACITY = 18,       // daily steps kept
    MODEL_ZONE_CAPACITY = 16,      // the zone abbreviation, "PST" or "GMT+5:30"
    PLACE_NAME_CAPACITY = 128,     // a place name with its region
    PLACE_COUNTRY_CAPACITY = 4,    // an ISO country code, "US"
    PLACE_ZONE_CAPACITY = 64,      // a zone of the time-zone database, "America/Los_Angeles"
    MODEL_SOURCE_CAPACITY = 32     // the name of the source of the data, "Open-Meteo"
};

#define MODEL_NO_TIME INT64_MIN
#define MODEL_NO_CODE (-1)

// The values of one instant (the current conditions or one hour). A value that the answer did
// not give, or gave out of all reason, is NaN; so read them through ModelHas.
typedef struct ModelValues {
    int64_t time;         // local minutes, or MODEL_NO_TIME
    double temperature;   // degrees Celsius
    double apparent;      // feels-like, degrees Celsius
    double dewPoint;      // degrees Celsius
    double humidity;      // percent
    double precipChance;  // percent
    double pressure;      // hPa at sea level
    double windSpeed;     // km/h
    double windDirection; // degrees the wind comes from
    double windGust;      // km/h
    double visibility;    // metres
    double uvIndex;       // index
    int weatherCode;      // WMO code 0 to 99, or MODEL_NO_CODE
    int isDay;            // 1 daylight, 0 night, -1 unknown
} ModelValues;

typedef struct ModelDay {
    int64_t date;        // local minutes of the day's midnight
    double high, low;    // degrees Celsius, or NaN
    double precipChance; // percent, or NaN
    int weatherCode;     // WMO code, or MODEL_NO_CODE
    int64_t sunrise;     // local minutes, or MODEL_NO_TIME
    int64_t sunset;      // local minutes, or MODEL_NO_TIME
} ModelDay;

typedef struct ModelWeather {
    char source[MODEL_SOURCE_CAPACITY];         // who made the data ("MET Norway"), or empty
    double latitude, longitude;                 // the model's grid point, or NaN
    int hasOffset;                              // 1 when utcOffsetSeconds was given
    int utcOffsetSeconds;                       // local time minus UTC
    char zoneAbbreviation[MODEL_ZONE_CAPACITY]; // or empty
    ModelValues current;                        // time is MODEL_NO_TIME when absent
    int hourCount;                              // hours in time order, each later than the last
    ModelValues hours[MODEL_HOUR_CAPACITY];
    int dayCount; // days in date order, each later than the last
    ModelDay days[MODEL_DAY_CAPACITY];
} ModelWeather;

// Where the weather is for: a place found by name, or coordinates given as the Location ID.
typedef struct PlaceInfo {
    double latitude, longitude;           // degrees
    char name[PLACE_NAME_CAPACITY];       // "Beverly Hills, California", in the plugin's text
                                          // encoding and free of the feed's marks; or empty
    char country[PLACE_COUNTRY_CAPACITY]; // ISO code in upper case, or empty when unknown
    char zone[PLACE_ZONE_CAPACITY];       // the place's zone as the search names it, or empty
} PlaceInfo;

// Nonzero for a value that is there (not NaN).
int ModelHas(double value);

// Empties the values of one instant: no time, every value absent.
void ModelClearValues(ModelValues *values);

// Empties a weather record: no values, no hours, no days.
void ModelClear(ModelWeather *model);

// Reads "YYYY-MM-DDTHH:MM" (seconds allowed) or "YYYY-MM-DD" exactly, into local minutes.
// Returns 1, or 0 for any other text or an impossible date.
int ParseLocalTime(const char *text, int64_t *minutes);

// Reads an HTTP date as servers send it in Expires and Last-Modified ("Tue, 09 Dec 2026 01:30:00
// GMT", the weekday not checked) into seconds since 1970-01-01 UTC. Returns 1, or 0 for any other
// text (the obsolete forms included) or an impossible date.
int ParseHttpDate(const char *text, int64_t *seconds);

// Floor division of local minutes into whole days, and the minutes after midnight.
int64_t DayOfMinutes(int64_t minutes);
int MinuteOfDay(int64_t minutes);

// Writes a decimal number with exactly `decimals` digits after a dot (0 to 4), rounded half
// away from zero, whatever the C library's locale says about decimal points. Returns 1; 0 when
// the value is NaN or beyond 1e12 (out empty).
int FormatFixed(double value, int decimals, char *out, size_t capacity);

// A point as two decimal texts with four decimals (some 10 m), the most the services take, each
// in a buffer of `capacity` bytes. Returns 1, or 0 when a coordinate is no number.
int FormatPoint(double latitude, double longitude, char *latitudeText, char *longitudeText,
                size_t capacity);

// Reads a plain decimal number ("-118.25", "34", "+5.5"), blanks around it allowed, whatever
// the C library's locale says. Returns 1, or 0 for anything else.
int ParseDecimal(const char *text, size_t length, double *value);

// The nearest whole number, half away from zero; the value must be finite and within +-1e9.
int RoundToInt(double value);

#endif
