// Kept answers: what a provider's service answered, kept in a file of the cache folder and asked
// for anew when it is stale, with the politeness the service asks for. Every answer a provider
// keeps (the place search, each forecast, the alerts, the radar index) is one KeptAnswerRule and
// a reader, and goes through the one mechanism here: a new answer is a new rule, not a new path.
#ifndef NIMBREL_KEPT_ANSWER_H
#define NIMBREL_KEPT_ANSWER_H

#include <stddef.h>
#include <stdint.h>

#include "feed/kinds.h"
#include "platform/platform.h"

// What an answer says.
enum AnswerKind {
    ANSWER_WEATHER = 0,   // what was asked for: a forecast, a place, alerts, an index
    ANSWER_NO_PLACE = 1,  // a search that found nothing
    ANSWER_REFUSED = 2,   // the service's refusal, with its reason
    ANSWER_UNREADABLE = 3 // no JSON object, or none of what was asked
};

// Reads an answer of `length` bytes (not necessarily zero-terminated) into `record`, the
// reader's own; a refusal's reason goes to `reason` (in the plugin's encoding). Returns what
// the answer says.
typedef enum AnswerKind (*AnswerReader)(const char *bytes, size_t length, void *record,
                                        char *reason, size_t reasonCapacity);

typedef struct KeptAnswerRule {
    enum DocumentKind kind; // the file it is kept in; its age limit is the answer's lifetime
                            // (0: stale at once, asked whenever it is needed)
    size_t limit;           // the largest answer read, in bytes
    int keepsCopy;          // 0: only its failure memory is kept (an answer that is stale at once)
    int refusalMinutes;     // a refusal is asked about again after this long; 0: as an answer
    int minimumMinutes;     // its service is not asked again sooner after a request, answered
                            // or failed (an empty file keeps the time of a failed one); or 0
    int staleServes;        // a stale copy serves while the service cannot be asked (a failure
                            // lately, an answer on its way) and, unless failureDrops, when the
                            // new request fails
    int failureDrops;       // a failed request drops the copy: it may say what is over by now
    int keepsHeaders;       // kept with its Expires, Last-Modified and Date in front, and asked
                            // only for an answer newer than its Last-Modified
    // With keepsHeaders: 1 when a copy with `headers` that arrived at `arrived` may serve at
    // `now` (file times) without asking, 0 when it may not, -1 when its headers say nothing of
    // it (no Expires that can be read): then its age decides, as for an answer without headers.
    int (*headersFresh)(const OsHttpAnswerHeaders *headers, uint64_t arrived, uint64_t now);
    const char *key; // for a kind kept per key: the key that names its file (an answer that
                     // serves every place of a country); NULL for the call's Location ID
} KeptAnswerRule;

typedef struct KeptAnswerResult {
    enum AnswerKind kind; // what the answer says
    int isNew;            // 1 when the service answered within this call (a 304 included)
    uint64_t arrived;     // when the answer that serves arrived (file time)
} KeptAnswerResult;

// The answer of `rule` for the call's Location ID, read into `record` by `read`: its kept copy
// while that is fresh, else asked for at `address` (`showsCopy` as for FetchAnswer) and kept when
// it is worth keeping (what the service says, or its refusal of a request that it understood).
// An answer that arrives serves the call even when it cannot be kept. Returns OUTCOME_DONE with
// `result` filled; OUTCOME_FAILED when no answer could be had (a failed request is remembered,
// and with failureDrops the copy dropped); OUTCOME_PENDING when it is on its way for a later
// call and no copy serves meanwhile.
enum Outcome KeepAndRefresh(const KeptAnswerRule *rule, const char *address, int showsCopy,
                            AnswerReader read, void *record, char *reason, size_t reasonCapacity,
                            KeptAnswerResult *result);

// The kept copy of `rule`'s answer for the call's Location ID, whatever its age, read into
// `record`; asks nothing. Returns OUTCOME_DONE with `result` filled, or OUTCOME_FAILED when there
// is none (an unreadable one is removed).
enum Outcome ReadKeptCopy(const KeptAnswerRule *rule, AnswerReader read, void *record, char *reason,
                          size_t reasonCapacity, KeptAnswerResult *result);

#endif
