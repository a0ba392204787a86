// feed/nowcast.h (the interface; the lead implements it)
#ifndef NIMBREL_NOWCAST_H
#define NIMBREL_NOWCAST_H
#include <stdint.h>
enum PrecipKind { PRECIP_NONE, PRECIP_RAIN, PRECIP_SLEET, PRECIP_SNOW };
typedef struct PrecipStep {
    int64_t startUtc;      // UTC minutes since 1970 at which the step begins
    int minutes;           // its length: 5, 15 or 60
    double rate;           // mm/h; NaN where unknown
    enum PrecipKind kind;  // PRECIP_NONE when dry or unknown
} PrecipStep;
enum { PRECIP_STEP_CAPACITY = 64 };
// The place's precipitation from the step that holds now on: for `hours` of 2 the nowcast's own
// steps (5 or 15 minutes where the place has them, else hourly), for 3 to 24 hourly steps.
// Returns the count written (at most `capacity`); 0 when there is no data.
int PrecipTimeline(const char *locationId, int hours, PrecipStep *steps, int capacity);
// When the timeline's data last changed (a file time), 0 when there are none: the graph is
// redrawn when this or the hour changes.
uint64_t PrecipTimelineStamp(const char *locationId);
#endif
