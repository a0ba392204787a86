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

// Europe, as the European air-quality index speaks for it: the member countries of the
// European Environment Agency and their neighbours on the continent.
extern const Region EuropeRegion;

#endif
