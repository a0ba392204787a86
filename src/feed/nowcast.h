// The precipitation of the next hours as the nowcast's terms and the precipitation graph ask for
// it: steps of 5 or 15 minutes where the place has them (a radar nowcast, or a forecast model
// with real 15-minute steps), else hourly ones, read from the nowcast's document (provider/
// writes it), which is asked for, as any document, when it is stale or missing, and only then.
#ifndef NIMBREL_NOWCAST_H
#define NIMBREL_NOWCAST_H

#include <stdint.h>

enum PrecipKind { PRECIP_NONE, PRECIP_RAIN, PRECIP_SLEET, PRECIP_SNOW };

typedef struct PrecipStep {
    int64_t startUtc;     // UTC minutes since 1970 at which the step begins
    int minutes;          // its length: 5, 15 or 60
    double rate;          // mm/h; NaN where unknown
    enum PrecipKind kind; // PRECIP_NONE when dry or unknown
} PrecipStep;

enum { PRECIP_STEP_CAPACITY = 64 };

// The rate from which a step counts as wet, mm/h: drizzle that wets the ground.
#define PRECIP_WET_RATE 0.1

// The place's precipitation from the step that holds now on: for `hours` of 2 the nowcast's own
// steps (5 or 15 minutes where the place has them, then hourly ones where they end before the
// two hours do), for 3 to 24 hourly steps. Returns the count written (at most `capacity`); 0
// when there is no data.
int PrecipTimeline(const char *locationId, int hours, PrecipStep *steps, int capacity);

// When the timeline's data last changed (a file time), 0 when there are none: the graph is
// redrawn when this or the hour changes.
uint64_t PrecipTimelineStamp(const char *locationId);

// The place's offset from UTC (minutes) that the timeline's clock times read with; 0 when
// unknown.
int PrecipTimelineOffset(const char *locationId);

#endif
