// The walk that every expression function makes over its own table of terms.
#ifndef NIMBREL_EXPRESSION_H
#define NIMBREL_EXPRESSION_H

#include <stddef.h>

// The arguments of one expression call, as the host passed them (NULL read as "").
typedef struct ExpressionCall {
    const char *locationId; // "" for the default Location ID
    const char *unitType;   // "English", "Metric", "Both", or "" for the default unit type
    const char *degreeFlag; // exactly "0" hides the degree sign
    int period;             // forecast day or hourly hour, 0 for the current conditions
} ExpressionCall;

typedef const char *(*TermValue)(const ExpressionCall *call);

enum TermFlags {
    TERM_TESTED = 0,        // a replacement that leaves the counter at 0 ends the walk
    TERM_NOT_TESTED = 1,    // the walk goes on whatever the counter says
    TERM_SELF_REPLACING = 2 // a prefix; its handler replaces the tag itself (the clock term)
};

typedef struct Term {
    const char *text; // the term, brackets included, or the prefix of a self-replacing term
    TermValue value;  // computes the value; called only when the term is present; never
                      // writes the expression buffer
    int flags;        // TermFlags
} Term;

// The handler of a self-replacing term gets the offset of its tag in the expression buffer.
typedef const char *(*TagHandler)(size_t tag);

// Copies the expression (cut to 1023 characters) into the expression buffer, sets the tag
// counter to its count of "<", and replaces the terms of the table in order, each value
// computed only when its term is present; stops early when a tested replacement leaves the
// counter at exactly 0. `tagHandler` serves the self-replacing term. Returns the expression
// buffer.
const char *SubstituteTerms(const char *expression, const Term *terms, size_t count,
                            const ExpressionCall *call, TagHandler tagHandler);

// One of the feed queries (QueryCurrent, QueryForecast, QueryHourly).
typedef const char *(*FeedQuery)(const char *locationId, const char *unitType, const char *open,
                                 const char *close, int n);

// What an expression function asks its feed before it substitutes anything.
typedef struct Probe {
    FeedQuery query;
    const char *open, *close; // the probe element
    int naIsError;            // 1: "N/A" stops the function as "ERROR" does
    int naNeedsNoStamp;       // 1: ... but only when the last-update stamp is "N/A" or an
                              // error too: one value the document lacks is no missing feed
} Probe;

// The common body of the expression functions, run under the plugin mutex: probes the feed
// with the default unit type; when the probe holds an error mark, the result is its text (or,
// for an expression with "<update>", the raw last-update element); otherwise the terms are
// substituted. Returns the expression buffer.
const char *ProbeAndSubstitute(const Probe *probe, const char *expression, const Term *terms,
                               size_t count, const ExpressionCall *call, TagHandler tagHandler);

// A NULL argument from a careless host reads as the empty text.
const char *ArgumentText(const char *argument);

#endif
