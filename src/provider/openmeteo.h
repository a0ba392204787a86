// Open-Meteo's forecast and geocoding APIs: the request addresses, and their answers read into
// plain records. Nothing here touches the network or a file.
#ifndef NIMBREL_OPENMETEO_H
#define NIMBREL_OPENMETEO_H

#include <stddef.h>

#include "feed/kept_answer.h" // AnswerKind
#include "provider/model.h"

#define OPEN_METEO_FORECAST_API "https://api.open-meteo.com/v1/forecast"
#define OPEN_METEO_SOURCE_NAME "Open-Meteo"
#define OPEN_METEO_GEOCODING_API "https://geocoding-api.open-meteo.com/v1/search"
#define OPEN_METEO_AIR_QUALITY_API "https://air-quality-api.open-meteo.com/v1/air-quality"

// Days asked for: today and ten more, so that the night of a tenth forecast day has its
// morning; and one day back, so that today's past hours and the pressure trend are there.
enum { FORECAST_DAYS_ASKED = 11, PAST_DAYS_ASKED = 1 };

// The largest answer read: a forecast answer is some 40 KB.
#define OPEN_METEO_ANSWER_LIMIT (2u * 1024u * 1024u)

// The forecast request for a place: `latitude` and `longitude` as decimal texts with a dot;
// with `quarters`, the 15-minute precipitation of the next two hours too (for a place where the
// service has real 15-minute data). Returns 1 when the address fits in `out`, else 0 (out
// empty).
int ForecastRequestAddress(const char *api, const char *latitude, const char *longitude,
                           int quarters, char *out, size_t capacity);

// The search for a place name or postal code. Returns 1 when it fits, else 0 (out empty).
int PlaceRequestAddress(const char *api, const char *name, char *out, size_t capacity);

// Reads a forecast answer of `length` bytes (not necessarily zero-terminated). Values outside
// all reason count as absent; hours and days that do not follow their predecessors in time are
// dropped. Returns ANSWER_WEATHER with `model` filled (it may lack any value), ANSWER_REFUSED
// with the reason in `reason` (in the plugin's encoding), or ANSWER_UNREADABLE when the text is
// no JSON object or lacks the current time, every hour or every day.
enum AnswerKind ReadForecastAnswer(const char *json, size_t length, ModelWeather *model,
                                   char *reason, size_t reasonCapacity);

// The air-quality request for a place, for the current and hourly values of both indices, the
// pollutants and the six pollens over five days, times in Unix seconds with the place's offset.
// Returns 1 when it fits, else 0 (out empty).
int AirQualityRequestAddress(const char *api, const char *latitude, const char *longitude,
                             char *out, size_t capacity);

// Reads an air-quality answer into `air`. Values out of all reason (a negative count) count as
// absent, and so do hours that are not whole hours after the first. Returns ANSWER_WEATHER with
// `air` filled (it may lack any value), ANSWER_REFUSED with the reason, or ANSWER_UNREADABLE
// when the text is no JSON object or has neither current values nor hours.
enum AnswerKind ReadAirQualityAnswer(const char *json, size_t length, AirQualityRecord *air,
                                     char *reason, size_t reasonCapacity);

// Reads a geocoding answer: ANSWER_WEATHER with the first result in `place` (its name with
// its region, or its country when it has no region), ANSWER_NO_PLACE when there is no result
// with coordinates, ANSWER_REFUSED with the reason, or ANSWER_UNREADABLE.
enum AnswerKind ReadPlaceAnswer(const char *json, size_t length, PlaceInfo *place, char *reason,
                                size_t reasonCapacity);

// Reads a Location ID of the form LAT,LON (decimal degrees with a dot; blanks around the
// numbers allowed). Returns 1, or 0 for any other ID. The ranges are the service's to judge:
// its refusal of 95,10 says more than a search for a place of that name would.
int ParseCoordinateId(const char *id, double *latitude, double *longitude);

#endif
