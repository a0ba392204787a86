// The weather of one place as the provider reads it from a forecast answer, in plain numbers
// and one set of units, ready to be written out in the feed's vocabulary. Times are the place's
// own wall-clock times, counted in minutes from 1970-01-01 00:00 of that clock, each read with
// the place's offset at its own instant (summer time begins and ends within an answer); the
// instants themselves are kept beside them in UTC minutes.
#ifndef NIMBREL_MODEL_H
#define NIMBREL_MODEL_H

#include <stddef.h>
#include <stdint.h>

#include "base/air_scales.h"
#include "base/text.h"

enum {
    MODEL_HOUR_CAPACITY = 24 * 18, // hourly steps kept (past days and forecast days)
    MODEL_DAY_CAPACITY = 18,       // daily steps kept
    MODEL_ZONE_CAPACITY = 16,      // the zone abbreviation, "PST" or "GMT+5:30"
    PLACE_NAME_CAPACITY = 128,     // a place name with its region
    PLACE_COUNTRY_CAPACITY = 4,    // an ISO country code, "US"
    PLACE_ZONE_CAPACITY = 64,      // a zone of the time-zone database, "America/Los_Angeles"
    MODEL_SOURCE_CAPACITY = 32,    // the name of the source of the data, "Open-Meteo"
    MODEL_QUARTER_CAPACITY = 12    // 15-minute steps kept: the next two hours and a little more
};

#define MODEL_NO_TIME INT64_MIN
#define MODEL_NO_CODE (-1)

// The values of one instant (the current conditions or one hour). A value that the answer did
// not give, or gave out of all reason, is NaN; so read them through ModelHas.
typedef struct ModelValues {
    int64_t time;         // local minutes, or MODEL_NO_TIME
    int64_t utc;          // the same instant in UTC minutes, or MODEL_NO_TIME
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
    double precipitation; // mm in the hour the service gives at `time` (rain, showers and
                          // snow's water together): Open-Meteo's hour before, MET Norway's next
    double snowfall;      // cm of snow in that hour
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

// A 15-minute step of precipitation, from a model that has real ones.
typedef struct ModelQuarter {
    int64_t utc;          // UTC minutes at which the quarter begins
    double precipitation; // mm fallen in it, or NaN
    double snowfall;      // cm of snow fallen in it, or NaN
} ModelQuarter;

typedef struct ModelWeather {
    char source[MODEL_SOURCE_CAPACITY];         // who made the data ("MET Norway"), or empty
    double latitude, longitude;                 // the model's grid point, or NaN
    int hasOffset;                              // 1 when utcOffsetSeconds was given
    int utcOffsetSeconds;                       // local time minus UTC at the current instant
    char zoneAbbreviation[MODEL_ZONE_CAPACITY]; // at the current instant, or empty
    char zone[PLACE_ZONE_CAPACITY]; // the zone whose rules read the times ("Europe/Berlin"), or
                                    // empty: then every time is read with utcOffsetSeconds
    ModelValues current;            // time is MODEL_NO_TIME when absent
    int hourCount;                  // hours in UTC order, each later than the last
    ModelValues hours[MODEL_HOUR_CAPACITY];
    int dayCount; // days in date order, each later than the last
    ModelDay days[MODEL_DAY_CAPACITY];
    int amountsPrecede; // 1: an hour's amounts are of the hour before its time (Open-Meteo's);
                        // 0: of the hour after it (MET Norway's)
    int quarterCount;   // 15-minute steps in UTC order; 0 where the place has none
    ModelQuarter quarters[MODEL_QUARTER_CAPACITY];
} ModelWeather;

// The air of one place as an air-quality answer gives it: its current values and its hours, in
// the answer's own units (indices, and µg/m³ or grains/m³), each NaN where the answer had none;
// indexed by enum AirValue (base/air_scales.h).
enum { AIR_HOUR_CAPACITY = 24 * 7 }; // the service answers for up to seven days

typedef struct AirQualityRecord {
    int utcOffsetSeconds;            // the place's offset from UTC when the answer was made
    double current[AIR_VALUE_COUNT]; // the current hour's values
    int64_t firstHourUtc;            // UTC minutes at which hours[0] begins
    int hourCount;                   // hours kept, one an hour from firstHourUtc on
    float hours[AIR_HOUR_CAPACITY][AIR_VALUE_COUNT];
} AirQualityRecord;

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

// The place's offset from UTC (seconds) at the instant `utcMinutes`: by the rules of `zone` (a
// name of the time-zone database) where the system knows them, with the abbreviation in force
// then; else `fallbackOffsetSeconds`, with `abbreviation` empty. Returns 1 when the zone's rules
// gave it, 0 for the fallback. `abbreviation` may be NULL (capacity 0).
int ZoneOffsetAt(const char *zone, int fallbackOffsetSeconds, int64_t utcMinutes,
                 int *offsetSeconds, char *abbreviation, size_t capacity);

// The wall-clock minutes of the instant `utcMinutes` in `zone`: by its rules where the system
// knows them, else moved by `fallbackOffsetSeconds`.
int64_t ZoneLocalMinutes(const char *zone, int fallbackOffsetSeconds, int64_t utcMinutes);

// The model's wall-clock minutes of the instant `utcMinutes`: by the rules of its zone, else by
// its one offset (0 when it has none).
int64_t ModelLocalMinutes(const ModelWeather *model, int64_t utcMinutes);

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

// The nearest whole number, half away from zero; the value must be finite and within +-1e9.
int RoundToInt(double value);

#endif
