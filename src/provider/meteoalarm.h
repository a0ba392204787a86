// Weather warnings for Europe from MeteoAlarm (EUMETNET): one Atom feed per member country,
// kept once for every place of that country. Each entry of a feed is one warning for one area in
// one language; an area is named by region codes (EMMA_ID, NUTS3, NUTS2, FIPS, WARNCELLID) or
// drawn as polygons. A place's codes come from the packed regions file beside the module
// (provider/warning_regions.h); without it only the warnings drawn as polygons can be placed.
#ifndef NIMBREL_METEOALARM_H
#define NIMBREL_METEOALARM_H

#include <stddef.h>

#include "provider/alerts.h"

// The address of a country's feed, before its name ("austria", "united-kingdom").
#define METEOALARM_API "https://feeds.meteoalarm.org/feeds/meteoalarm-legacy-atom-"

// The codes of the regions that hold the point, as a text: each code as "SCHEME:VALUE"
// ("EMMA_ID:PL1465", "NUTS3:FR101") between blanks, " EMMA_ID:FR067 EMMA_ID:FR101 NUTS3:FR101 ",
// with the regions' country in `country` (an ISO code, or empty). Found once for a point and
// kept for later calls. Returns 1 when a regions file was read (codes may be " ": the point is
// in no region), 0 when there is none that can be read (codes " ", country empty).
int MeteoAlarmPlaceCodes(double latitude, double longitude, char *codes, size_t capacity,
                         char *country, size_t countryCapacity);

// Reads a country's feed (`length` bytes of Atom, not necessarily zero-terminated) into
// `alerts`: the warnings whose polygons hold the place's point or whose codes are among
// `codes` (a text as MeteoAlarmPlaceCodes writes it), with status Actual, not a Cancel, not
// Minor, not ended at `now`; one entry per warning (by its identifier), most severe first.
// Returns ANSWER_WEATHER, possibly with no alert, or ANSWER_UNREADABLE for what is no Atom feed.
enum AnswerKind ReadMeteoAlarmFeed(const char *atom, size_t length, const PlaceInfo *place,
                                   const char *codes, AlertClock now, AlertList *alerts);

// The member countries' source, for places found by a search in those countries and for
// coordinates that the regions file places in one of them (or, without a file, outside
// Germany's and Norway's boxes: see MeteoAlarmBoxesSource).
extern const AlertSource MeteoAlarmAlertSource;
// The same source for coordinates in no region, by the countries' boxes: asked after the
// national sources, whose boxes overlap their neighbours'.
extern const AlertSource MeteoAlarmBoxesSource;

#endif
