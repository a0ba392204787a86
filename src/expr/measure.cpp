#include "expr/measure.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "base/terms.h"
#include "feed/query.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"

// The double nearest 1/3.6: km/h to m/s.
static const double kMetresPerSecondPerKmh = 0.2777777777777778;
static const double kKnotsPerMph = 0.869;

static const char *const kBeaufortNames[BEAUFORT_NAME_COUNT] = {
    "Calm",         "Light Air",     "Slight Breeze", "Gentle Breeze", "Moderate Breeze",
    "Fresh Breeze", "Strong Breeze", "High Wind",     "Gale",          "Strong Gale",
    "Storm",        "Violent Storm", "Hurricane"};

const char *BeaufortName(int number) {
    int last = BEAUFORT_NAME_COUNT - 1;
    return kBeaufortNames[number < 0 ? 0 : number > last ? last : number];
}

static int IsOff(const char *flag) {
    return strcmp(flag, "0") == 0;
}
// Whether a call shows both units: its unit type, or the default unit type when it gives none
// (an empty Unit Type means the default, "Both" included).
static int IsBoth(const char *unitType) {
    return strcmp(unitType[0] != '\0' ? unitType : Plugin.defaultUnit, "Both") == 0;
}

static const char *SetValue(const char *text) {
    if (text != Plugin.value) {
        CopyText(Plugin.value, sizeof Plugin.value, text);
    }
    return Plugin.value;
}

// The value buffer becomes "english (metric)"; the English half is in the value buffer, the
// Metric half in `metric` (the work or pressure buffer, which nothing clears in between).
static const char *JoinBoth(const char *metric) {
    char joined[TEXT_CAPACITY];
    FormatText(joined, sizeof joined, "%s (%s)", Plugin.value, metric);
    return SetValue(joined);
}

const char *DegreeSign(const char *degreeFlag) {
    return IsOff(degreeFlag) ? "" : Latin1Text(0xB0);
}

const char *UnitText(const char *locationId, const char *unitType, const char *unitFlag,
                     enum UnitKind kind) {
    static const char *const kMarks[][2] = {{"<us>", "</us>"}, {"<ut>", "</ut>"},
                                            {"<up>", "</up>"}, {"<ud>", "</ud>"},
                                            {"<ur>", "</ur>"}, {"<usn>", "</usn>"}};
    if (IsOff(unitFlag)) {
        return "";
    }
    QueryCurrent(locationId, unitType, kMarks[kind][0], kMarks[kind][1], 1);
    CopyText(Plugin.unitScratch, sizeof Plugin.unitScratch, Plugin.value);
    return Plugin.unitScratch;
}

// The value of the occurrence: 0 the Current feed, n > 0 the Forecast feed, n < 0 the Hourly.
static const char *QueryByOccurrence(const char *locationId, const char *unitType, const char *open,
                                     const char *close, int occurrence) {
    if (occurrence == 0) {
        return QueryCurrent(locationId, unitType, open, close, 1);
    }
    if (occurrence > 0) {
        return QueryForecast(locationId, unitType, open, close, occurrence);
    }
    // -INT_MIN would overflow; no feed has that many occurrences anyway.
    return QueryHourly(locationId, unitType, open, close,
                       occurrence == -2147483647 - 1 ? 2147483647 : -occurrence);
}

const char *FormatMeasure(const char *locationId, const char *unitType, const char *degreeFlag,
                          const char *unitFlag, const char *open, const char *close,
                          int occurrence) {
    if (IsBoth(unitType)) {
        char metric[TEXT_CAPACITY];
        FormatMeasure(locationId, "Metric", degreeFlag, "1", open, close, occurrence);
        CopyText(metric, sizeof metric, Plugin.value);
        FormatMeasure(locationId, "English", degreeFlag, "1", open, close, occurrence);
        JoinBoth(metric);
    } else {
        const char *unit = UnitText(locationId, unitType, unitFlag, UNIT_TEMPERATURE);
        const char *degree = DegreeSign(degreeFlag);
        QueryByOccurrence(locationId, unitType, open, close, occurrence);
        AppendText(Plugin.value, sizeof Plugin.value, degree);
        AppendText(Plugin.value, sizeof Plugin.value, unit);
    }
    if (strstr(Plugin.value, "N/A") != NULL) {
        SetValue("N/A");
    }
    return Plugin.value;
}

// The value buffer becomes "value unit" for the unit kind.
static const char *WithUnit(const char *locationId, const char *unitType, const char *unitFlag,
                            enum UnitKind kind, const char *value) {
    char number[TEXT_CAPACITY];
    CopyText(number, sizeof number, value);
    const char *unit = UnitText(locationId, unitType, unitFlag, kind);
    char joined[TEXT_CAPACITY];
    FormatText(joined, sizeof joined, "%s %s", number, unit);
    return SetValue(joined);
}

const char *FormatAmount(const char *locationId, const char *unitType, enum UnitKind kind,
                         const char *open, const char *close, int occurrence) {
    if (IsBoth(unitType)) {
        char metric[TEXT_CAPACITY];
        FormatAmount(locationId, "Metric", kind, open, close, occurrence);
        if (strcmp(Plugin.value, "N/A") != 0) {
            WithUnit(locationId, "Metric", "1", kind, Plugin.value);
        }
        CopyText(metric, sizeof metric, Plugin.value);
        FormatAmount(locationId, "English", kind, open, close, occurrence);
        if (strcmp(Plugin.value, "N/A") != 0 && strcmp(metric, "N/A") != 0) {
            WithUnit(locationId, "English", "1", kind, Plugin.value);
            return JoinBoth(metric);
        }
        return SetValue("N/A");
    }
    QueryByOccurrence(locationId, unitType, open, close, occurrence);
    return WithLocaleDecimal(Plugin.value, sizeof Plugin.value);
}

const char *FormatWind(const char *locationId, const char *unitType, const char *unitFlag,
                       const char *open, const char *close, int metresPerSecond) {
    if (IsBoth(unitType)) {
        char metric[TEXT_CAPACITY];
        FormatWind(locationId, "Metric", "1", open, close, metresPerSecond);
        CopyText(metric, sizeof metric, Plugin.value);
        FormatWind(locationId, "English", "1", open, close, metresPerSecond);
        return JoinBoth(metric);
    }
    const char *value = QueryCurrent(locationId, unitType, open, close, 1);
    if (!IsOff(unitFlag)) {
        return WithUnit(locationId, unitType, unitFlag, UNIT_SPEED, value);
    }
    int speed = TextToInt(value);
    if (metresPerSecond && speed != 0) {
        FormatText(Plugin.numberScratch, sizeof Plugin.numberScratch, "%0.1f",
                   speed * kMetresPerSecondPerKmh);
        if (OsFormatNumber(Plugin.numberScratch, Plugin.value, sizeof Plugin.value) == 0) {
            SetValue(Plugin.numberScratch);
        }
    }
    return Plugin.value;
}

const char *FormatVisibility(const char *locationId, const char *unitType, const char *unitFlag,
                             const char *open, const char *close) {
    if (IsBoth(unitType)) {
        char metric[TEXT_CAPACITY];
        FormatVisibility(locationId, "Metric", "1", open, close);
        CopyText(metric, sizeof metric, Plugin.value);
        FormatVisibility(locationId, "English", "1", open, close);
        JoinBoth(metric);
        if (strstr(Plugin.value, "Unlimited") != NULL) {
            SetValue("Unlimited");
        }
        return Plugin.value;
    }
    const char *value = QueryCurrent(locationId, unitType, open, close, 1);
    if (IsOff(unitFlag)) {
        return value;
    }
    return WithUnit(locationId, unitType, unitFlag, UNIT_DISTANCE, value);
}

char *WithLocaleDecimal(char *text, size_t capacity) {
    char separator[SEPARATOR_CAPACITY];
    OsDecimalSeparator(separator, 4); // at most three characters, as the locale's are read
    if (strchr(separator, '.') == NULL) {
        ReplaceInValue(text, capacity, ".", separator);
    }
    return text;
}

const char *FormatPressure(const char *locationId, const char *unitType, const char *unitFlag,
                           const char *open, const char *close) {
    if (IsBoth(unitType)) {
        char metric[TEXT_CAPACITY];
        FormatPressure(locationId, "Metric", "1", open, close);
        CopyText(metric, sizeof metric, Plugin.value);
        FormatPressure(locationId, "English", "1", open, close);
        return JoinBoth(metric);
    }
    QueryCurrent(locationId, unitType, open, close, 1);
    ReplaceInValue(Plugin.value, sizeof Plugin.value, ",", "");
    WithLocaleDecimal(Plugin.value, sizeof Plugin.value);
    if (IsOff(unitFlag)) {
        return Plugin.value;
    }
    CopyText(Plugin.numberScratch, sizeof Plugin.numberScratch, Plugin.value);
    return WithUnit(locationId, unitType, unitFlag, UNIT_PRESSURE, Plugin.numberScratch);
}

const char *PressureSymbol(const char *trend) {
    if (strcmp(trend, "steady") == 0) {
        return Latin1Text(0xA1);
    }
    if (strcmp(trend, "rising") == 0) {
        return Latin1Text(0xE1);
    }
    if (strcmp(trend, "falling") == 0) {
        return Latin1Text(0xE2);
    }
    return Latin1Text(0xF4);
}

char *FormatKnots(char *text) {
    int speed = TextToInt(text);
    if (speed == 0) {
        return text;
    }
    FormatText(Plugin.numberScratch, sizeof Plugin.numberScratch, "%0.1f", speed * kKnotsPerMph);
    if (OsFormatNumber(Plugin.numberScratch, text, TEXT_CAPACITY) == 0) {
        CopyText(text, TEXT_CAPACITY, Plugin.numberScratch);
    }
    return text;
}

char *BeaufortWind(char *text, int numberSwitch) {
    int speed = TextToInt(text);
    if (speed == 0) {
        return text;
    }
    double x = speed;
    double y = 2.50529e-05 * pow(x, 3) - 0.0038120102 * pow(x, 2) + 0.303191992 * x + 0.542920112;
    double level = floor(y);
    // The scale ends at 12: stronger winds are hurricanes, and negative speeds are calm.
    int number = level > 1e9 ? 1000000000 : level < -1e9 ? -1000000000 : (int)level;
    if (numberSwitch) {
        FormatText(text, TEXT_CAPACITY, "%d", number);
        return text;
    }
    CopyText(text, TEXT_CAPACITY, BeaufortName(number));
    return Translate("Wind", text);
}
