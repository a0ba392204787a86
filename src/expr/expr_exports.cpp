// The expression functions and their term lists.
#include "expr/current.h"
#include "plugin/exports.h"
#include "plugin/frame.h"

Text NIMBREL_CALL CurrentConditions(Text expression, Text locationId, Text unitType,
                                    Text degreeFlag) {
    return CurrentConditionsText(expression, locationId, unitType, degreeFlag);
}

Text NIMBREL_CALL Forecast(Text, Text, Text, Text, Text) {
    return PendingExport(TIMEOUT_TEXT);
}
Text NIMBREL_CALL Now(Text, Text, Text, Text) {
    return PendingExport(TIMEOUT_TEXT);
}
Text NIMBREL_CALL Later(Text, Text, Text, Text) {
    return PendingExport(TIMEOUT_TEXT);
}
Text NIMBREL_CALL Hourly(Text, Text, Text, Text, Text) {
    return PendingExport(TIMEOUT_TEXT);
}

Text NIMBREL_CALL ListCCTerms(void) {
    return CurrentTermsHelp();
}
Text NIMBREL_CALL ListForecastTerms(void) {
    return "N/A";
}
Text NIMBREL_CALL ListHourlyTerms(void) {
    return "N/A";
}
