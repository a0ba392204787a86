// The provider: real weather from a public forecast service, written into the feed's own
// documents at the download seam. The feed queries, the cache and everything that reads a
// document stay as they are; only the way a stale or missing cache file gets new content
// differs from a download of the feed.
//
// One forecast answer of the service holds the current conditions, every hour and every day of
// a place, so one answer, kept in the cache folder, serves every feed kind and unit type of a
// Location ID: a place costs at most one forecast request per ANSWER_AGE_LIMIT minutes, and a
// place name one search per PLACE_AGE_LIMIT minutes, however many meters ask.
#ifndef NIMBREL_PROVIDER_H
#define NIMBREL_PROVIDER_H

#include "feed/kinds.h" // ANSWER_AGE_LIMIT, PLACE_AGE_LIMIT

#define PROVIDER_USER_AGENT "nimbrel/0.99"

struct WeatherSource;

// Open-Meteo's forecast (with the national alerts and the radar index), written into the feed's
// documents. Its refreshDocument gives the cache file of a feed kind new content for the call's
// Location ID (upper-cased here, as the request addresses do) and unit type: the document written
// from the place's forecast answer, fetched when the kept one is stale; or the service error
// document when the place cannot be found or the service refuses. Every other cache file of the
// Location ID is written anew from a newly fetched answer, so that the unit types of one refresh
// agree. KIND_HOME is the local page, which names the place's point rather than a picture; its
// refreshRadar fetches the picture of the newest frame that the radar index lists now, centred
// on that point, and any other address (a page of the feed, cached before) as it stands. Its
// service answers at the root of the ForecastApi address.
extern const struct WeatherSource OpenMeteoSource;

// MET Norway's Locationforecast (the MetNorwayApi address) in the same way: the places are
// found, and the alerts and the radar had, as for Open-Meteo; the forecast answer is kept with
// its cache headers and not asked for while they say it is fresh, then only for a newer one (a
// 304 keeps the kept answer). Any answer but a readable one (a 429 or 403 above all) is a
// failure that the memory of failed downloads backs off from. The place's zone is found as
// zone_guess.h says.
extern const struct WeatherSource MetNorwaySource;

#endif
