// Feed queries: one element of one feed, downloaded when its cache file is stale or missing.
// Every result is a text in the value buffer, valid until the next query.
#ifndef NIMBREL_QUERY_H
#define NIMBREL_QUERY_H

#include "feed/kinds.h"

#define TEXT_CACHE_READ_ERROR "ERROR(5): Cache read error."
#define TEXT_TOO_FEW_MARKS "ERROR(7): problem parsing."
#define TEXT_NO_CLOSING_MARK "ERROR(8): problem parsing."
#define TEXT_NOT_AVAILABLE "N/A"
#define TEXT_NO_ALERT "None"

// The n-th text between `open` and `close` in the file at `path` (loaded into the feed
// document unless held already). n = 0 asks for the alert section: "None" without one,
// otherwise as n = 1. A service error document gives "ERROR: " and the service's message.
// Counting "<t>" with n of 1 or more starts after the alert section. A text longer than the
// value buffer is cut.
const char *ExtractElement(const char *path, const char *open, const char *close, int n);

// The feed queries. An empty Location ID or unit type takes the default of the settings.
const char *QueryCurrent(const char *locationId, const char *unitType, const char *open,
                         const char *close, int n);
const char *QueryForecast(const char *locationId, const char *unitType, const char *open,
                          const char *close, int n);
const char *QueryDetails(const char *locationId, const char *unitType, const char *open,
                         const char *close, int n);
const char *QueryHourly(const char *locationId, const char *unitType, const char *open,
                        const char *close, int n);
// The air's document, one per place whatever the unit type.
const char *QueryAir(const char *locationId, const char *open, const char *close, int n);
// The nowcast's document, one per place likewise.
const char *QueryNowcast(const char *locationId, const char *open, const char *close, int n);

#endif
