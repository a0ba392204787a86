// MET Norway's Locationforecast 2.0 (the `complete` product): the request address, and its
// answer read into the provider's weather record, with what the answer lacks computed from the
// clock and the formulas of meteorology. Nothing here touches the network or a file.
//
// The answer's times are UTC; the record's are the place's wall clock, by the rules of a zone
// the caller names, or else by one offset the caller gives (MET Norway names no zone). Where the
// answer has no value the record has none either: visibility never, feels-like from temperature,
// humidity and wind, sunrise and sunset from the sun's place, and the day or night of a symbol
// without one from the sun too.
#ifndef NIMBREL_METNO_H
#define NIMBREL_METNO_H

#include <stddef.h>
#include <stdint.h>

#include "feed/nowcast.h"
#include "provider/model.h"
#include "provider/openmeteo.h"

#define MET_NORWAY_FORECAST_API "https://api.met.no/weatherapi/locationforecast/2.0/complete"

// The name the station text gives the source, as its licence asks.
#define MET_NORWAY_SOURCE_NAME "MET Norway"

// The forecast request for a point, `latitude` and `longitude` as decimal texts with a dot and
// at most four decimals (FormatPoint's), which the service asks for. Returns 1 when the address
// fits in `out`, else 0 (out empty).
int MetNorwayRequestAddress(const char *api, const char *latitude, const char *longitude, char *out,
                            size_t capacity);

// What the answer is read against.
typedef struct MetNorwayClock {
    int64_t utcNowMinutes;                      // the clock (UTC minutes since 1970-01-01)
    double latitude, longitude;                 // the point asked about, for the sun
    int hasOffset;                              // 1 when the place's offset is known
    int utcOffsetSeconds;                       // local time minus UTC now, else 0 (GMT)
    char zoneAbbreviation[MODEL_ZONE_CAPACITY]; // now, or empty
    char zone[PLACE_ZONE_CAPACITY]; // the zone whose rules read each instant ("Europe/Oslo"),
                                    // or empty: then utcOffsetSeconds reads them all
} MetNorwayClock;

// The place's offset from UTC in seconds when no answer gave it: the computer's own
// (`computerOffsetSeconds`) when that lies within two hours of the nautical zone of
// `longitude` (a place in the computer's region, whose summer time the computer's clock then
// keeps), else that nautical zone, the longitude over 15 degrees rounded (-12 to 12 hours).
int MetNorwayGuessOffset(double longitude, int computerOffsetSeconds);

// The longest an answer is trusted without asking, whatever its headers say: a day.
enum { MET_NORWAY_LONGEST_FRESHNESS = 24 * 3600 };

// Whether an answer that arrived at `arrivedSeconds` may still serve at `nowSeconds` (both
// seconds since 1970-01-01 UTC by the computer's clock) without asking the service: its
// freshness is its Expires minus its Date, the service's clock against itself, counted from its
// arrival and never more than a day, so that a computer's clock that runs behind or ahead of
// the service's neither keeps an answer for long nor asks for one too often. An answer kept
// without a Date is fresh before its Expires by the computer's clock, and at most a day from its
// arrival; one without an Expires never. A clock that now reads before the arrival makes the
// answer's age unknown: it is not fresh.
int MetNorwayAnswerFresh(const char *expires, const char *date, int64_t arrivedSeconds,
                         int64_t nowSeconds);

// Reads an answer of `length` bytes (not necessarily zero-terminated) into `model`: each time
// step becomes an hour (hourly ones first, six-hourly ones later), the current conditions are
// those of the last step at or before the clock (the first step when the clock is before it),
// and each local date with a forecast period becomes a day, its high and low the extremes of
// its steps and six-hour periods, its chance of precipitation the highest, its condition the
// most severe. Values outside all reason count as absent; steps that do not follow their
// predecessors are dropped. Returns ANSWER_WEATHER, or ANSWER_UNREADABLE when the text is no
// JSON object or has no readable step.
enum AnswerKind ReadMetNorwayAnswer(const char *json, size_t length, const MetNorwayClock *clock,
                                    ModelWeather *model);

// The WMO code of a MET Norway symbol code ("partlycloudy_day", "lightssleetshowersandthunder")
// and its day (1) or night (0) from its suffix, or -1 for a symbol without one. `_polartwilight`
// counts as night: the sun is below the horizon. Returns 1, or 0 for a text that is no symbol
// code of the service (then *wmo is MODEL_NO_CODE).
int MetSymbolWmo(const char *symbol, size_t length, int *wmo, int *isDay);

// The feels-like temperature (degrees Celsius) of Steadman's apparent temperature without its
// radiation term, as Open-Meteo computes it with the sun's term left out: from the temperature
// (Celsius), the relative humidity (percent) and the wind at 10 m (km/h). NaN when a value is.
double ApparentTemperature(double celsius, double humidity, double windKmh);

#define MET_NORWAY_NOWCAST_API "https://api.met.no/weatherapi/nowcast/2.0/complete"

// MET Norway's nowcast of a point: the radar's precipitation rate every five minutes for about
// two hours, where the radar covers the point.
enum { NOWCAST_STEP_CAPACITY = 32 };

typedef struct NowcastRecord {
    int radarCovers;                    // 1: coverage "ok": the rates are the radar's
    enum PrecipKind kind;               // of the first hour's precipitation; rain when unsaid
    int count;                          // steps, each later than the last
    int64_t utc[NOWCAST_STEP_CAPACITY]; // step starts, UTC minutes
    double rate[NOWCAST_STEP_CAPACITY]; // mm/h, NaN where absent
} NowcastRecord;

// Reads a nowcast answer. Returns ANSWER_WEATHER with `nowcast` filled (it may lack rates: no
// radar), or ANSWER_UNREADABLE for a text that is no nowcast.
enum AnswerKind ReadMetNowcastAnswer(const char *json, size_t length, NowcastRecord *nowcast);

#endif
