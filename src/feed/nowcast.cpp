// The place's precipitation timeline. Until the nowcast is read into the cache, no place has
// one: the graph shows the NA picture.
#include "feed/nowcast.h"

int PrecipTimeline(const char *locationId, int hours, PrecipStep *steps, int capacity) {
    (void)locationId;
    (void)hours;
    (void)steps;
    (void)capacity;
    return 0;
}

uint64_t PrecipTimelineStamp(const char *locationId) {
    (void)locationId;
    return 0;
}
