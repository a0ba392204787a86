// The kinds of file the cache folder holds: the feed's documents, the radar picture and its
// page, and the answers the providers keep. One row per kind says how its file is named, how
// long a copy serves and what writes it; nothing else in the module spells a kind.
#ifndef NIMBREL_KINDS_H
#define NIMBREL_KINDS_H

enum DocumentKind {
    KIND_CURRENT,  // the current conditions (with the alert section)
    KIND_FORECAST, // the days and their parts
    KIND_DETAILS,  // the days' narrative page
    KIND_HOURLY,   // the hours
    KIND_HOME,     // the local page, which names the radar picture
    KIND_RADAR,    // the radar picture
    KIND_AIR,      // the air: its indices, pollutants and pollen, now, by day and by hour
    KIND_NOWCAST,  // the precipitation of the next hours, in the finest steps the place has

    KIND_PLACE_ANSWER,          // a provider's place search
    KIND_OPEN_METEO_ANSWER,     // Open-Meteo's forecast
    KIND_MET_NORWAY_ANSWER,     // MET Norway's forecast, with its cache headers
    KIND_ALERTS_ANSWER,         // the national alert service's answer
    KIND_RADAR_INDEX,           // the radar index: only its failure memory is kept
    KIND_AIR_ANSWER,            // the air-quality service's answer
    KIND_NOWCAST_ANSWER,        // MET Norway's nowcast, with its cache headers
    KIND_COUNTRY_ALERTS_ANSWER, // a country's warnings, one answer for every place in it

    KIND_COUNT
};

// Ages, in minutes, that more than one layer speaks of.
enum {
    CURRENT_AGE_LIMIT = 31,
    FORECAST_AGE_LIMIT = 125,
    DETAILS_AGE_LIMIT = 125,
    HOURLY_AGE_LIMIT = 31,
    LOCAL_PAGE_AGE_LIMIT = 1440,
    RADAR_AGE_LIMIT = 30,
    ANSWER_AGE_LIMIT = 31,          // a forecast answer (or a refusal of any answer)
    PLACE_AGE_LIMIT = 30 * 24 * 60, // a place search: places stay put
    AIR_AGE_LIMIT = 60,             // the air: its models run once or twice a day, by the hour
    NOWCAST_AGE_LIMIT = 5,          // the nowcast: radar steps are five minutes apart
    COUNTRY_ALERTS_AGE_LIMIT = 30   // a country's warnings: its feed is rebuilt every half hour
};

// Whose file a kind's file is.
enum KindScope {
    KIND_PER_UNIT,  // one per Location ID and unit type:
                    // Weather.<kind>.<id>.<unit>[.<count>]<suffix>
    KIND_PER_PLACE, // one per Location ID, whatever the unit type: <kind>.<id><suffix>
    KIND_SHARED,    // one for every place: <kind><suffix>
    KIND_PER_KEY    // one per key its answer names for the place (a country):
                    // <kind>.<key><suffix>
};

// The setting whose value is part of the file's name, as the feed is asked for that many.
enum KindCount { KIND_NO_COUNT, KIND_COUNTS_DAYS, KIND_COUNTS_HOURS };

// What writes a kind's file.
enum KindWriter {
    KIND_BY_SOURCE,  // the weather source's refreshDocument: a document of the feed's shape
    KIND_BY_PICTURE, // the weather source's refreshRadar: the picture its local page names
    KIND_BY_ANSWER   // a provider's kept answer (provider/answers.h), as its service sent it
};

typedef struct DocumentKindInfo {
    const char *name;       // the kind in the file's name: "Current"
    const char *prefix;     // before the name: "Weather." for the feed's documents, or empty
    const char *suffix;     // the file's ending: ".xml"
    enum KindScope scope;   // whose file it is
    enum KindCount count;   // the setting named in the file's name, if any
    int ageLimit;           // minutes a copy serves; 0 where its answer's own rules decide
    enum KindWriter writer; // what writes it
} DocumentKindInfo;

// The row of `kind`; NULL for a value outside the enum.
const DocumentKindInfo *DocumentKindOf(enum DocumentKind kind);

#endif
