// The expression functions and their term lists. The frame is taken in plugin/expr_frame.cpp.
#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "plugin/exports.h"

#include "platform/platform.h"

Text NIMBREL_CALL CurrentConditions(Text expression, Text locationId, Text unitType,
                                    Text degreeFlag) {
    return CurrentConditionsText(expression, locationId, unitType, degreeFlag);
}

Text NIMBREL_CALL Forecast(Text expression, Text locationId, Text day, Text unitType,
                           Text degreeFlag) {
    return ForecastText(expression, locationId, day, unitType, degreeFlag);
}

// Now and Later read the local clock before they take the mutex.
static int LocalHour(void) {
    OsDateTime now;
    OsLocalNow(&now);
    return now.hour;
}

Text NIMBREL_CALL Now(Text expression, Text locationId, Text unitType, Text degreeFlag) {
    return NowOrLaterText(expression, locationId, unitType, degreeFlag, 0, LocalHour());
}

Text NIMBREL_CALL Later(Text expression, Text locationId, Text unitType, Text degreeFlag) {
    return NowOrLaterText(expression, locationId, unitType, degreeFlag, 1, LocalHour());
}

Text NIMBREL_CALL Hourly(Text expression, Text locationId, Text hour, Text unitType,
                         Text degreeFlag) {
    return HourlyText(expression, locationId, hour, unitType, degreeFlag);
}

Text NIMBREL_CALL ListCCTerms(void) {
    return CurrentTermsHelp();
}
Text NIMBREL_CALL ListForecastTerms(void) {
    return ForecastTermsHelp();
}
Text NIMBREL_CALL ListHourlyTerms(void) {
    return HourlyTermsHelp();
}
