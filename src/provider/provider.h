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

enum {
    ANSWER_AGE_LIMIT = 31,         // minutes a forecast answer (or a refusal) is kept fresh
    PLACE_AGE_LIMIT = 30 * 24 * 60 // minutes a place search is kept fresh
};

// The service's words for a name or postal code that names no place.
#define TEXT_NO_PLACE "Invalid location provided."

#define PROVIDER_USER_AGENT "nimbrel/0.99"

// Gives the cache file `path` of a feed kind ("Current", "Forecast", "Details", "Hourly") new
// content for the per-call Location ID (upper-cased here, as the request addresses do) and unit
// type: the document written from the place's forecast answer, fetched when the kept one is
// stale; or the service error document when the place cannot be found or the service refuses.
// Every other cache file of the Location ID is written anew from a newly fetched answer, so
// that the unit types of one refresh agree. Returns 0 with the new file in place and loaded into
// the feed document; 1 when no answer could be had (no connection, a time-out, a failing server,
// an answer that cannot be read), and then the file keeps its content and its age.
int ProviderFetch(const char *kind, const char *path);

// Downloads a location's radar picture into `path` from the address its local page names: for a
// page the provider wrote, the picture of the newest frame that the radar index lists now,
// centred on the page's point; any other address as it stands. Returns 0 with the picture in
// place, 1 when it could not be had (the file then keeps its content and its age).
int ProviderFetchRadar(const char *path, const char *address);

#endif
