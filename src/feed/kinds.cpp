#include "feed/kinds.h"

#include <stddef.h>

// The names are those of files that earlier versions kept: a new name would lose every cache.
static const DocumentKindInfo kDocumentKinds[KIND_COUNT] = {
    {"Current", "Weather.", ".xml", KIND_PER_UNIT, KIND_NO_COUNT, CURRENT_AGE_LIMIT,
     KIND_BY_SOURCE},
    {"Forecast", "Weather.", ".Days.xml", KIND_PER_UNIT, KIND_COUNTS_DAYS, FORECAST_AGE_LIMIT,
     KIND_BY_SOURCE},
    {"Details", "Weather.", ".xml", KIND_PER_UNIT, KIND_NO_COUNT, DETAILS_AGE_LIMIT,
     KIND_BY_SOURCE},
    {"Hourly", "Weather.", ".Hours.xml", KIND_PER_UNIT, KIND_COUNTS_HOURS, HOURLY_AGE_LIMIT,
     KIND_BY_SOURCE},
    {"Home", "", ".html", KIND_PER_PLACE, KIND_NO_COUNT, LOCAL_PAGE_AGE_LIMIT, KIND_BY_SOURCE},
    {"Radar", "", ".jpg", KIND_PER_PLACE, KIND_NO_COUNT, RADAR_AGE_LIMIT, KIND_BY_PICTURE},
    {"Air", "", ".xml", KIND_PER_PLACE, KIND_NO_COUNT, AIR_AGE_LIMIT, KIND_BY_SOURCE},
    {"Nowcast", "", ".xml", KIND_PER_PLACE, KIND_NO_COUNT, NOWCAST_AGE_LIMIT, KIND_BY_SOURCE},
    {"Place", "", ".json", KIND_PER_PLACE, KIND_NO_COUNT, PLACE_AGE_LIMIT, KIND_BY_ANSWER},
    {"OpenMeteo", "", ".json", KIND_PER_PLACE, KIND_NO_COUNT, ANSWER_AGE_LIMIT, KIND_BY_ANSWER},
    {"MetNorway", "", ".json", KIND_PER_PLACE, KIND_NO_COUNT, ANSWER_AGE_LIMIT, KIND_BY_ANSWER},
    {"Alerts", "", ".json", KIND_PER_PLACE, KIND_NO_COUNT, 0, KIND_BY_ANSWER},
    {"Radar", "", ".index", KIND_SHARED, KIND_NO_COUNT, 0, KIND_BY_ANSWER},
    {"AirQuality", "", ".json", KIND_PER_PLACE, KIND_NO_COUNT, AIR_AGE_LIMIT, KIND_BY_ANSWER},
    {"MetNowcast", "", ".json", KIND_PER_PLACE, KIND_NO_COUNT, NOWCAST_AGE_LIMIT, KIND_BY_ANSWER},
    {"Warnings", "", ".xml", KIND_PER_KEY, KIND_NO_COUNT, COUNTRY_ALERTS_AGE_LIMIT, KIND_BY_ANSWER},
};

const DocumentKindInfo *DocumentKindOf(enum DocumentKind kind) {
    return (unsigned)kind < KIND_COUNT ? &kDocumentKinds[kind] : NULL;
}
