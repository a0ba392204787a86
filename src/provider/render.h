// The feed's documents written from a forecast model's weather: the Current, Forecast and
// Hourly feeds and the narrative page, with the marks and the order of occurrences that the
// feed queries count, and the service error document. Pure: no file, no clock, no network.
// What the documents say (the current values, the day and night parts, the pressure trend)
// comes from provider/derive.h; this file only writes it down.
//
// Who escapes what: the documents carry no escaping at all, because no value ever holds a mark.
// Every text from a service (place names, alert titles) has passed ServiceText
// (provider/service_text.h), which drops "<", ">" and '"' and turns "'" into U+2019; an
// alert's own page is kept only when it holds none of them (provider/alerts.cpp); the Location
// ID is written through SafeId here; the fixed words (provider/wmo.h, base/vocabulary.h) hold
// none, and numbers and times are written here. A new value from elsewhere must pass
// ServiceText before it reaches a document.
#ifndef NIMBREL_RENDER_H
#define NIMBREL_RENDER_H

#include <stdint.h>

#include "base/grow_text.h"
#include "feed/kinds.h"
#include "provider/derive.h"

// Writes the document of a kind that a source writes (the feed's documents, and KIND_HOME, the
// local page that names the place's radar picture) into `out` (emptied first). Every
// element a query may count is there, with "N/A" for a value that cannot be had, so that the
// occurrences of every day, part and hour keep their places; the Current feed holds the alert
// section when there are alerts. The local page needs only the place. Returns 1; 0 for an
// unknown kind or when the text could not be held (out is then incomplete).
int RenderFeedDocument(enum DocumentKind kind, const RenderContext *context, GrowText *out);

// Writes the service error document with `reason` as its message (a text of the plugin's
// encoding with no "<"). Returns 1, or 0 when the text could not be held.
int RenderServiceError(const char *reason, GrowText *out);

#endif
