// Where a service speaks for: a set of countries by their ISO codes, and for a place known only
// by its coordinates, boxes around them. The alert services and the air-quality scale choose by
// these.
#ifndef NIMBREL_REGION_H
#define NIMBREL_REGION_H

#include <stddef.h>

#include "provider/model.h"

typedef struct Box {
    double south, north, west, east; // degrees
} Box;

typedef struct Region {
    const char *const *countries; // ISO codes in upper case
    size_t countryCount;
    const Box *boxes;
    size_t boxCount;
} Region;

#define REGION(countries, boxes)                                                                   \
    { countries, sizeof countries / sizeof countries[0], boxes, sizeof boxes / sizeof boxes[0] }

// Whether the region holds the place: by its country code where the place search named one,
// else by its coordinates in one of the boxes.
int RegionCovers(const Region *region, const PlaceInfo *place);

// Whether one of the region's boxes holds the point, whatever its country.
int BoxesCover(const Region *region, double latitude, double longitude);

// Whether a ray from the point towards growing longitude crosses the edge from a to b (degrees):
// a point is inside a ring whose edges it crosses an odd number of times. An edge along the
// ray's latitude never counts, so that each vertex is counted once.
int RayCrossesEdge(double aLatitude, double aLongitude, double bLatitude, double bLongitude,
                   double latitude, double longitude);

// Europe, as the European air-quality index speaks for it: the member countries of the
// European Environment Agency and their neighbours on the continent.
extern const Region EuropeRegion;

// Where the forecast has real 15-minute precipitation: the areas of NOAA's HRRR (the contiguous
// United States), DWD's ICON-D2 (Germany and its neighbours) and Météo-France's AROME (France).
// By boxes alone: a model covers land and sea whatever the country.
extern const Region QuarterHourRegion;

// Where MET Norway's nowcast has radar: Norway, Sweden, Finland and Denmark.
extern const Region NordicRegion;

#endif
