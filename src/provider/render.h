// The feed's documents written from a forecast model's weather: the Current, Forecast and
// Hourly feeds and the narrative page, with the marks and the order of occurrences that the
// feed queries count, and the service error document. Pure: no file, no clock, no network.
#ifndef NIMBREL_RENDER_H
#define NIMBREL_RENDER_H

#include <stdint.h>

#include "base/grow_text.h"
#include "provider/alerts.h"
#include "provider/model.h"

typedef struct RenderContext {
    const ModelWeather *model; // the weather; any value may be absent
    const PlaceInfo *place;    // the place's coordinates and name (the name may be empty)
    const char *locationId;    // the Location ID, upper-cased, as the cache names it
    int metric;                // 1: metric units; 0: English
    int days;                  // forecast days to write, 1 to 10
    int hours;                 // hours to write, 1 to 24
    uint64_t downloadTime;     // file time (UTC) at which the answer arrived
    const AlertList *alerts;   // the place's active alerts, or NULL
} RenderContext;

// Writes the document of a feed kind ("Current", "Forecast", "Details", "Hourly", and "Home",
// the local page that names the place's radar picture) into `out` (emptied first). Every
// element a query may count is there, with "N/A" for a value that cannot be had, so that the
// occurrences of every day, part and hour keep their places; the Current feed holds the alert
// section when there are alerts. The local page needs only the place. Returns 1; 0 for an
// unknown kind or when the text could not be held (out is then incomplete).
int RenderFeedDocument(const char *kind, const RenderContext *context, GrowText *out);

// Writes the service error document with `reason` as its message (a text of the plugin's
// encoding with no "<"). Returns 1, or 0 when the text could not be held.
int RenderServiceError(const char *reason, GrowText *out);

#endif
