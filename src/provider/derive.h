// Weather analysis over a forecast model's answer: the place's clock, the current values, the
// pressure trend, and the day and night parts of the forecast days. No clock and no network;
// the only files read are the system's zone rules, through the platform. provider/render.h writes
// the feed's documents from what these give.
#ifndef NIMBREL_DERIVE_H
#define NIMBREL_DERIVE_H

#include <stdint.h>

#include "provider/alerts.h"
#include "provider/metno.h"
#include "provider/model.h"

// One answer and what its documents are written for.
typedef struct RenderContext {
    const ModelWeather *model;    // the weather; any value may be absent
    const PlaceInfo *place;       // the place's coordinates and name (the name may be empty)
    const char *locationId;       // the Location ID, upper-cased, as the cache names it
    int metric;                   // 1: metric units; 0: English
    int days;                     // forecast days to write, 1 to 10
    int hours;                    // hours to write, 1 to 24
    uint64_t downloadTime;        // file time (UTC) at which the answer arrived
    const AlertList *alerts;      // the place's active alerts, or NULL
    const AirQualityRecord *air;  // the place's air, or NULL
    const NowcastRecord *nowcast; // MET Norway's nowcast with radar rates, or NULL
} RenderContext;

// The place's clock (local minutes) at the answer's own now, or at the download moved by the
// place's offset when the answer names no now.
int64_t NowMinutes(const RenderContext *context);

// The answer's own now as an instant (UTC minutes), or the download's when it names no now.
int64_t NowUtcMinutes(const RenderContext *context);

// The place's clock when the answer arrived; without the place's offset, the answer's own now.
int64_t DownloadMinutes(const RenderContext *context);

// The instant (UTC minutes) at which the place's current hour began: its wall clock's hour,
// which in a zone of a half-hour offset is no whole hour of UTC.
int64_t CurrentHourUtc(const RenderContext *context);

// The model's hour that starts at the instant `utc` (UTC minutes), or NULL.
const ModelValues *FindHour(const ModelWeather *model, int64_t utc);

// The model's day of `date` (local minutes at midnight), or NULL.
const ModelDay *FindDay(const ModelWeather *model, int64_t date);

// Midnight of the place's current day, in local minutes.
int64_t Today(const RenderContext *context);

// The day's sunrise and sunset, or 07:00 and 19:00 for a day without them (a polar day or night).
void SunTimes(const ModelWeather *model, int64_t date, int64_t *sunrise, int64_t *sunset);

// 1 when `time` is daylight: `isDay` when the model says (0 or 1), else from the sun times.
int IsDaylight(const ModelWeather *model, int64_t time, int isDay);

// The current conditions: the answer's own values, and where it lacks one, the value of the
// current hour.
ModelValues CurrentValues(const RenderContext *context);

// "rising", "falling" or "steady": the change of sea-level pressure over the last three hours
// (or, for a forecast that holds no past hours, over the next three) from `pressureNow`. NULL
// when there is nothing to compare.
const char *PressureTrend(const RenderContext *context, double pressureNow);

// The weather of a forecast part: the hours from `start` up to `end` taken together.
typedef struct PartWeather {
    int weatherCode;      // the most severe hour's, or MODEL_NO_CODE
    double precipChance;  // the highest
    double humidity;      // the mean
    double windSpeed;     // the mean
    double windDirection; // the mean direction, weighted by speed
    double windGust;      // the highest
    double precipitation; // mm, the sum of the hours that give one, or NaN
    double snowfall;      // cm, likewise
} PartWeather;

// The day part (sunrise to sunset) or the night part (sunset to the next sunrise) of a date.
// Beyond the hours of the answer, the day's own code and chance stand for both parts.
void ForecastPart(const ModelWeather *model, int64_t date, int night, PartWeather *part);

#endif
