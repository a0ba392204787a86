// Measurement formatting: temperatures, wind, visibility and pressure for English, Metric or
// Both, with unit texts, the degree sign and the pressure-trend symbol. Each formatter makes
// its own feed queries, so callers pass element marks, not values.
#ifndef NIMBREL_MEASURE_H
#define NIMBREL_MEASURE_H

#include <stddef.h>

enum { BEAUFORT_NAME_COUNT = 13 }; // Beaufort numbers 0 to 12

enum UnitKind {
    UNIT_SPEED,
    UNIT_TEMPERATURE,
    UNIT_PRESSURE,
    UNIT_DISTANCE,
    UNIT_PRECIPITATION,
    UNIT_SNOW
};

// The built-in name of Beaufort number 0 to 12 ("Calm" to "Hurricane"), which is also its key in
// the language file's "Wind" section; a number outside is held at the nearer end. Returns a
// constant text.
const char *BeaufortName(int number);

// "" when the flag is exactly "0", else the degree sign.
const char *DegreeSign(const char *degreeFlag);

// The unit text of a kind from the Current feed (in the unit buffer), or "" when the unit flag
// is exactly "0".
const char *UnitText(const char *locationId, const char *unitType, const char *unitFlag,
                     enum UnitKind kind);

// A temperature-like value with degree sign and unit: occurrence 0 the Current feed, n > 0
// occurrence n of the Forecast feed, n < 0 occurrence -n of the Hourly feed. "Both" gives
// "English (Metric)" with both units; any "N/A" makes the whole value "N/A". Value buffer.
const char *FormatMeasure(const char *locationId, const char *unitType, const char *degreeFlag,
                          const char *unitFlag, const char *open, const char *close,
                          int occurrence);

// A wind or gust speed of the Current feed; with `metresPerSecond` and the unit flag "0" the
// km/h value turned into m/s in the locale's number form. Value buffer.
const char *FormatWind(const char *locationId, const char *unitType, const char *unitFlag,
                       const char *open, const char *close, int metresPerSecond);

// Visibility of the Current feed; "Both" with "Unlimited" in either half is "Unlimited".
const char *FormatVisibility(const char *locationId, const char *unitType, const char *unitFlag,
                             const char *open, const char *close);

// Pressure of the Current feed, without thousands commas and with the locale's decimal
// separator. Value buffer.
const char *FormatPressure(const char *locationId, const char *unitType, const char *unitFlag,
                           const char *open, const char *close);

// An amount of precipitation (UNIT_PRECIPITATION) or snow (UNIT_SNOW) of an occurrence (0 the
// Current feed, n > 0 the Forecast feed's n-th part, n < 0 hour -n), with the locale's decimal
// separator: the number alone, or in Both "0.12 in (3.0 mm)". "N/A" where the feed has none.
// Value buffer.
const char *FormatAmount(const char *locationId, const char *unitType, enum UnitKind kind,
                         const char *open, const char *close, int occurrence);

// Puts the locale's decimal separator in place of the dot of a number written with one, in place
// (cut to `capacity`). Returns `text`.
char *WithLocaleDecimal(char *text, size_t capacity);

// One symbol for "steady", "rising", "falling" and anything else.
const char *PressureSymbol(const char *trend);

// An mph value in knots, in place (a 1024-byte buffer); a value whose leading integer is 0
// stays as it is.
char *FormatKnots(char *text);

// An mph value on the Beaufort scale, in place: the number (numberSwitch nonzero) or the name,
// translated through the language file. A value whose leading integer is 0 stays as it is.
char *BeaufortWind(char *text, int numberSwitch);

#endif
