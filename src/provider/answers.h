// The answers the provider keeps, one row each: the place search, each service's forecast, the
// alerts and the radar index. A row says how its answer is kept (its KeptAnswerRule), which
// document kinds it feeds, how its request is made for a place and how it is read. A refresh
// walks a source's rows in order, and every row reads into one AnswerSet, from which the
// documents are written. A new answer is a new row and its reader.
#ifndef NIMBREL_ANSWERS_H
#define NIMBREL_ANSWERS_H

#include <stddef.h>
#include <stdint.h>

#include "base/state.h"
#include "feed/kept_answer.h"
#include "provider/alerts.h"
#include "provider/metno.h"
#include "provider/model.h"

// What the answers of one refresh give, filled row by row.
typedef struct AnswerSet {
    PlaceInfo place;                     // the place: coordinates, and what its search named
    ModelWeather model;                  // the forecast; valid when hasWeather
    int hasWeather;                      // 1 when a forecast was read
    int weatherIsNew;                    // 1 when the forecast arrived within this call
    uint64_t downloadTime;               // when the forecast arrived (file time); else now
    const AlertSource *alertSource;      // the service that warns for the place, or NULL
    AlertList alerts;                    // the place's active alerts (count 0: none)
    MetNorwayClock clock;                // how MET Norway's times read at the place
    char radarPicture[ADDRESS_CAPACITY]; // the picture the radar index names, or empty
    AirQualityRecord air;                // the air; valid when hasAir
    int hasAir;                          // 1 when an air-quality answer was read
    NowcastRecord nowcast;               // MET Norway's nowcast; valid when hasNowcast
    int hasNowcast;                      // 1 when a nowcast answer was read
    char reason[TEXT_CAPACITY];          // a refusal's reason, or empty
} AnswerSet;

// What a row's request needs for the set's place.
enum AnswerStep {
    STEP_ASK,  // its address is written: the answer is kept or asked for
    STEP_HELD, // the set holds what it would give already (a Location ID of coordinates)
    STEP_NONE  // there is nothing to ask for this place (no service warns there)
};

typedef struct ProviderAnswer {
    KeptAnswerRule rule;
    unsigned feeds;     // KindBit of each document kind it feeds
    int needed;         // without it nothing can be written: its failure ends the refresh
    int isForecast;     // its arrival dates the documents, and a new one asks the rows after it
    int followsWeather; // asked only along with a new forecast: its service is asked as often
                        // as the forecast is, and its kept copy serves between
    // Writes the request address for the set's place into `address` and may tune `rule` (a
    // copy of the row's) to the place's service. Returns the step.
    enum AnswerStep (*prepare)(AnswerSet *set, KeptAnswerRule *rule, char *address,
                               size_t capacity);
    AnswerReader read; // reads into the AnswerSet
    // Empties what `read` put into the set when its answer does not serve after all (a failed
    // status, an answer that could not be had); NULL where nothing stays behind.
    void (*discard)(AnswerSet *set);
} ProviderAnswer;

// The bit of `kind` in ProviderAnswer.feeds.
#define KindBit(kind) (1u << (unsigned)(kind))

// The kinds a forecast feeds: every document of the feed's shape. The local page names the
// place alone, and the radar picture comes with the radar index.
#define FEED_DOCUMENT_KINDS                                                                        \
    (KindBit(KIND_CURRENT) | KindBit(KIND_FORECAST) | KindBit(KIND_DETAILS) | KindBit(KIND_HOURLY))

// The kinds a forecast feeds: the feed's documents, and the nowcast, whose hourly steps (and
// where the place has them, 15-minute ones) come from it.
#define FORECAST_KINDS (FEED_DOCUMENT_KINDS | KindBit(KIND_NOWCAST))

extern const ProviderAnswer PlaceAnswer;
extern const ProviderAnswer OpenMeteoAnswer;
extern const ProviderAnswer MetNorwayAnswer;
extern const ProviderAnswer AlertsAnswer;
extern const ProviderAnswer RadarIndexAnswer;
extern const ProviderAnswer AirQualityAnswer;
extern const ProviderAnswer MetNowcastAnswer;

// Empties the set for a refresh of the call's Location ID.
void StartAnswerSet(AnswerSet *set);

// Walks `count` rows in order for the document `kind`, each row that feeds it read into `set`.
// Returns OUTCOME_DONE when the set holds what the documents are written from (the weather, or
// a refusal's reason in set->reason); OUTCOME_FAILED or OUTCOME_PENDING as the first needed row
// that had no answer. A row that is not needed and has none leaves its part empty. `showsCopy`
// as for FetchAnswer.
enum Outcome WalkAnswers(const ProviderAnswer *const *rows, size_t count, enum DocumentKind kind,
                         int showsCopy, AnswerSet *set);

// Reads an Open-Meteo forecast answer into the ModelWeather `record`: the forecast row's reader
// for a record of its own. A refusal that is not about the place reads as unreadable: it is no
// answer to keep, and the service counts as failing.
enum AnswerKind ReadOpenMeteoForecast(const char *bytes, size_t length, void *record, char *reason,
                                      size_t reasonCapacity);

#endif
