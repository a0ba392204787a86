#include "provider/region.h"

#include <string.h>

int RegionCovers(const Region *region, const PlaceInfo *place) {
    if (place->country[0] != '\0') {
        for (size_t i = 0; i < region->countryCount; i++) {
            if (strcmp(place->country, region->countries[i]) == 0) {
                return 1;
            }
        }
        return 0;
    }
    return BoxesCover(region, place->latitude, place->longitude);
}

int BoxesCover(const Region *region, double latitude, double longitude) {
    for (size_t i = 0; i < region->boxCount; i++) {
        const Box *box = &region->boxes[i];
        if (latitude >= box->south && latitude <= box->north && longitude >= box->west &&
            longitude <= box->east) {
            return 1;
        }
    }
    return 0;
}

int RayCrossesEdge(double aLatitude, double aLongitude, double bLatitude, double bLongitude,
                   double latitude, double longitude) {
    if ((aLatitude > latitude) == (bLatitude > latitude)) {
        return 0;
    }
    double crossing =
        aLongitude + (latitude - aLatitude) * (bLongitude - aLongitude) / (bLatitude - aLatitude);
    return longitude < crossing;
}

static const char *const kEuropeCountries[] = {
    "AD", "AL", "AT", "AX", "BA", "BE", "BG", "BY", "CH", "CY", "CZ", "DE", "DK", "EE",
    "ES", "FI", "FO", "FR", "GB", "GG", "GI", "GR", "HR", "HU", "IE", "IM", "IS", "IT",
    "JE", "LI", "LT", "LU", "LV", "MC", "MD", "ME", "MK", "MT", "NL", "NO", "PL", "PT",
    "RO", "RS", "SE", "SI", "SJ", "SK", "SM", "TR", "UA", "VA", "XK"};

// The continent north of the Mediterranean, clear of Africa's coast; the islands apart.
static const Box kEuropeBoxes[] = {
    {43.0, 71.5, -10.5, 40.0},  // from Ireland and the north of Spain to the Don
    {37.5, 43.0, -9.6, 4.5},    // Iberia and the Balearics
    {36.0, 37.5, -9.6, -1.6},   // Andalusia's coast, north of the strait
    {37.4, 43.0, 4.5, 19.0},    // Italy, Corsica and Sardinia, north of Tunisia's cape
    {36.5, 37.4, 12.0, 15.8},   // Sicily
    {35.7, 36.2, 14.1, 14.7},   // Malta
    {34.8, 43.0, 19.0, 28.2},   // the Balkans' south, Greece and Crete
    {34.5, 35.8, 32.2, 34.6},   // Cyprus
    {63.2, 66.6, -24.6, -13.4}, // Iceland
    {74.0, 81.0, 10.0, 35.0},   // Svalbard
    {36.9, 39.8, -31.3, -24.9}, // the Azores
    {32.6, 33.2, -17.3, -16.2}, // Madeira
    {27.6, 29.5, -18.2, -13.3}, // the Canaries
};

const Region EuropeRegion = REGION(kEuropeCountries, kEuropeBoxes);

static const char *const kNoCountries[] = {""};
static const Box kQuarterHourBoxes[] = {
    {21.0, 53.0, -134.0, -60.0}, // HRRR
    {43.0, 58.0, -4.0, 20.0},    // ICON-D2
    {41.0, 52.0, -5.5, 10.0},    // AROME France
};
const Region QuarterHourRegion = REGION(kNoCountries, kQuarterHourBoxes);

static const char *const kNordicCountries[] = {"NO", "SE", "FI", "DK"};
static const Box kNordicBoxes[] = {
    {57.95, 71.2, 4.5, 31.2}, // Norway's mainland, Sweden and Finland
    {54.8, 57.8, 8.0, 12.7},  // Denmark
    {55.3, 57.95, 12.7, 19.0} // southern Sweden
};
const Region NordicRegion = REGION(kNordicCountries, kNordicBoxes);
