// Weather alerts for a place, from the national weather service of its region, as the Current
// feed's alert section. The sources are a table by region: the United States, Canada, Germany
// and Norway with Svalbard.
#ifndef NIMBREL_ALERTS_H
#define NIMBREL_ALERTS_H

#include <stddef.h>

#include "provider/model.h"
#include "provider/openmeteo.h"

#include <stdint.h>

#define NWS_ALERTS_API "https://api.weather.gov/alerts/active"
#define CANADA_ALERTS_API "https://api.weather.gc.ca/collections/weather-alerts/items"
#define GERMANY_ALERTS_API "https://api.brightsky.dev/alerts"
#define NORWAY_ALERTS_API "https://api.met.no/weatherapi/metalerts/2.0/current.json"

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
    char link[ALERT_LINK_CAPACITY];   // the alert's own web page, or empty: the list's link
} AlertInfo;

typedef struct AlertList {
    int count;                        // 0 to ALERT_CAPACITY
    AlertInfo alerts[ALERT_CAPACITY]; // the most severe first; equals keep the service's order
    char link[ALERT_LINK_CAPACITY];   // a page a person can open for the place, or empty
} AlertList;

// The moment alerts are read at, in seconds since 1970-01-01 00:00 UTC: alerts that ended before
// it are left out.
typedef int64_t AlertClock;

typedef struct AlertSource {
    const char *region; // where it has alerts, in words
    // Nonzero when the place lies in the region: its country, or its coordinates when the
    // country is not known (a Location ID of coordinates).
    int (*covers)(const PlaceInfo *place);
    // The request for the place's active alerts. Returns 1 when it fits, else 0 (out empty).
    int (*address)(const PlaceInfo *place, char *out, size_t capacity);
    // Reads an answer into `alerts` (links included), leaving out alerts that do not cover the
    // place or ended before `now`. Returns ANSWER_WEATHER, possibly with no alert, or
    // ANSWER_UNREADABLE.
    enum AnswerKind (*read)(const char *json, size_t length, const PlaceInfo *place, AlertClock now,
                            AlertList *alerts);
    // The fewest minutes between two requests for one place, as the service asks; 0 for none
    // beyond the forecast's own.
    int requestMinutes;
    // For a service whose answer serves every place of a country: the key the place's answer
    // is kept under (the country's name in the service's address; a text of the source's own),
    // which the reader filters for the place. NULL where the answer is the place's own.
    const char *(*countryKey)(const PlaceInfo *place);
} AlertSource;

// The clock of AlertSource.read for a file time (see OsUtcNow).
AlertClock AlertClockOf(uint64_t fileTime);

// Reads a time as the services write it, "YYYY-MM-DDTHH:MM[:SS[.fraction]]" with "Z" or an
// offset ("+01:00", "+0100"), into *seconds since 1970 UTC. Returns 1, or 0 for any other text.
int ParseServiceTime(const char *text, AlertClock *seconds);

// A link of a service to a page a person can open: an http or https address of printable
// characters that cannot leave the feed's element, on another host than the API `api` (whose
// addresses show raw data). Returns 1 with it in `out`, else 0 (out empty).
int AlertPageLink(const char *text, const char *api, char *out, size_t capacity);

// The rank of a CAP severity word, whatever its case: 4 Extreme, 3 Severe, 2 Moderate, 1 Minor;
// 0 for any other text.
int AlertSeverityRank(const char *severity);

// Adds `alert` to the list, after every alert at least as severe (the service's order among
// equals); an alert less severe than a full list's last is left out.
void InsertAlert(AlertList *alerts, const AlertInfo *alert);

// The United States' source, reading the National Weather Service's GeoJSON answers.
extern const AlertSource NwsAlertSource;
// Canada's: Environment and Climate Change Canada's alerts of the forecast regions around the
// point, kept where the region's polygon holds the point.
extern const AlertSource CanadaAlertSource;
// Germany's: the Deutscher Wetterdienst's warnings for the point's municipality, from Bright Sky.
extern const AlertSource GermanyAlertSource;
// Norway's and Svalbard's: MET Norway's MetAlerts for the point.
extern const AlertSource NorwayAlertSource;

#endif
