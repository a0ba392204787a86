#include "plugin/expr_frame.h"

#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/frame.h"

const char *CurrentConditionsText(const char *expression, const char *locationId,
                                  const char *unitType, const char *degreeFlag) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return TIMEOUT_TEXT;
    }
    const char *result = FillCurrent(expression, locationId, unitType, degreeFlag);
    LeaveFrame(entry);
    return result;
}

const char *ForecastText(const char *expression, const char *locationId, const char *day,
                         const char *unitType, const char *degreeFlag) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return TIMEOUT_TEXT;
    }
    const char *result = FillForecast(expression, locationId, day, unitType, degreeFlag);
    LeaveFrame(entry);
    return result;
}

const char *NowOrLaterText(const char *expression, const char *locationId, const char *unitType,
                           const char *degreeFlag, int later, int hour) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return TIMEOUT_TEXT;
    }
    const char *result = FillNowOrLater(expression, locationId, unitType, degreeFlag, later, hour);
    LeaveFrame(entry);
    return result;
}

const char *HourlyText(const char *expression, const char *locationId, const char *hour,
                       const char *unitType, const char *degreeFlag) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return TIMEOUT_TEXT;
    }
    const char *result = FillHourly(expression, locationId, hour, unitType, degreeFlag);
    LeaveFrame(entry);
    return result;
}
