// Weather alerts for a place, from the national weather service of its region, as the Current
// feed's alert section. The sources are a table by region, so that another national service
// can join the United States' later.
#ifndef NIMBREL_ALERTS_H
#define NIMBREL_ALERTS_H

#include <stddef.h>

#include "provider/model.h"
#include "provider/openmeteo.h"

#define NWS_ALERTS_API "https://api.weather.gov/alerts/active"

enum {
    ALERT_CAPACITY = 8,         // alerts shown, the most severe
    ALERT_TITLE_CAPACITY = 256, // an alert's title
    ALERT_LINK_CAPACITY = 512   // the web page of the alerts
};

// The largest alerts answer read.
#define ALERTS_ANSWER_LIMIT (2u * 1024u * 1024u)

typedef struct AlertInfo {
    int severity;                     // 4 Extreme, 3 Severe, 2 Moderate, 1 Minor, 0 unknown
    char title[ALERT_TITLE_CAPACITY]; // the headline, or the event without one; a safe text
} AlertInfo;

typedef struct AlertList {
    int count;                        // 0 to ALERT_CAPACITY
    AlertInfo alerts[ALERT_CAPACITY]; // the most severe first; equals keep the service's order
    char link[ALERT_LINK_CAPACITY];   // a page a person can open for the place, or empty
} AlertList;

typedef struct AlertSource {
    const char *region; // where it has alerts, in words
    // Nonzero when the place lies in the region: its country, or its coordinates when the
    // country is not known (a Location ID of coordinates).
    int (*covers)(const PlaceInfo *place);
    // The request for the place's active alerts. Returns 1 when it fits, else 0 (out empty).
    int (*address)(const PlaceInfo *place, char *out, size_t capacity);
    // Reads an answer into `alerts` (link included). Returns ANSWER_WEATHER, possibly with no
    // alert, or ANSWER_UNREADABLE.
    enum AnswerKind (*read)(const char *json, size_t length, const PlaceInfo *place,
                            AlertList *alerts);
} AlertSource;

// The source of the place's region, or NULL where no source has alerts.
const AlertSource *AlertSourceFor(const PlaceInfo *place);

// The United States' source, reading the National Weather Service's GeoJSON answers.
extern const AlertSource NwsAlertSource;

#endif
