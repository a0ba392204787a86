// What the answers in the shapes of Open-Meteo's APIs share (the forecast and place search in
// open_meteo_api.cpp, air quality in air_quality_api.cpp): the JSON answers and their errors,
// the reading of the query as the public service reads it, times, grid cells and the members
// that open an answer for a point.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <string>
#include <vector>

// What the `error` scenario answers, with status 400, as for a variable the service does not
// know.
extern const char *const kServiceErrorReason;

// A JSON answer (application/json; charset=utf-8) of the status and body.
Answer JsonAnswer(int status, const std::string &body);
// The service's error: {"error":true,"reason":REASON}.
Answer ErrorAnswer(int status, const std::string &reason);

// An optional sign and 1 to 18 digits; false for any other text, *value untouched.
bool ParseInteger(const std::string &text, long long *value);
// The items of a comma-separated list; empty items are left out.
std::vector<std::string> SplitList(const std::string &text);

// The coordinates of a request for one point: `latitude` and `longitude`, one plain decimal
// each, -90 to 90 and -180 to 180. Returns false with the public service's reason otherwise.
bool ParseCoordinates(const QueryParameters &query, double *latitude, double *longitude,
                      std::string *reason);
// Reads one of a few names; the first is the default when the parameter is absent. Returns
// false with the reason ("Cannot initialize TYPE from invalid String value ...") otherwise.
bool ParseChoice(const QueryParameters &query, const char *key, std::vector<const char *> names,
                 const char *typeName, int *choice, std::string *reason);
// A whole number from 0 to `highest`; *value is left alone when the parameter is absent.
// Returns false with the reason ("LABEL is invalid. Allowed range ...") otherwise.
bool ParseCount(const QueryParameters &query, const char *key, const char *label, long long highest,
                long long *value, std::string *reason);

// A variable a request names: as the caller spelled it, and its index in the service's table.
struct Requested {
    std::string name;
    size_t index;
};
// The comma-separated variables of the parameter `key`, each once, in the order first given,
// looked up in `names`. Returns false at the first unknown one, with the reason "Cannot
// initialize TYPE from invalid String value NAME", followed by " for key KEY" when `namesKey`.
bool ParseVariableList(const QueryParameters &query, const char *key,
                       const std::vector<const char *> &names, const char *typeName, bool namesKey,
                       std::vector<Requested> *requested, std::string *reason);

// A local time (seconds since 1970-01-01 00:00 local) as the caller asked: wall-clock text in
// quotes ("2026-12-08T11:00", or the date alone without `withClock`), or Unix seconds (UTC).
std::string TimeValue(long long localSeconds, bool withClock, bool unixTime, int utcOffsetSeconds);

// The centre of the grid cell of `step` degrees that holds the coordinate, kept within
// -limit to limit, to a millionth of a degree.
double CellCentre(double coordinate, double limit, double step);

// A section's units: "time" (and "interval" for current values), then each variable's, given
// as (name, unit) pairs in the answer's order.
std::string UnitsText(bool unixTime, bool withInterval,
                      const std::vector<std::pair<std::string, std::string>> &variableUnits);

// "[a,b,c]" of `count` texts.
template <typename Item> std::string ArrayText(long long count, Item item) {
    std::string text = "[";
    for (long long i = 0; i < count; ++i)
        text += (i == 0 ? "" : ",") + item(i);
    return text + "]";
}

// Mixed rubbish for the arrays of a hostile answer, taken in turn: their lengths differ.
const size_t kHostileArrayCount = 4;
extern const char *const kHostileArrays[kHostileArrayCount];

// The members that open an answer for a point, in the public service's order, followed by
// `sections` (",\"current_units\":..." and so on) and the closing brace.
struct PointHeader {
    double latitude, longitude; // the grid cell's centre
    double generationMs;
    int utcOffsetSeconds;
    std::string timezone, abbreviation;
    double elevationMetres;
};
std::string PointAnswerBody(const PointHeader &header, const std::string &sections);
