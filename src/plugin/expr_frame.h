// The expression functions inside the frame: each waits for the plugin mutex, fills the
// expression and releases the mutex once. The exports call these, and so do the tests, the
// fuzzers and the benchmarks that drive the core without the module.
#ifndef NIMBREL_EXPR_FRAME_H
#define NIMBREL_EXPR_FRAME_H

// The current conditions (FillCurrent). Returns the expression buffer, the probe's error text,
// or the time-out text.
const char *CurrentConditionsText(const char *expression, const char *locationId,
                                  const char *unitType, const char *degreeFlag);

// Forecast day `day` (FillForecast): the expression buffer, an error text, or the time-out text.
const char *ForecastText(const char *expression, const char *locationId, const char *day,
                         const char *unitType, const char *degreeFlag);

// Now (later 0) or Later (later 1) at local hour `hour` (FillNowOrLater), in one frame: the
// rewritten expression and its forecast are one call's work.
const char *NowOrLaterText(const char *expression, const char *locationId, const char *unitType,
                           const char *degreeFlag, int later, int hour);

// Hour `hour` of the hourly forecast (FillHourly).
const char *HourlyText(const char *expression, const char *locationId, const char *hour,
                       const char *unitType, const char *degreeFlag);

#endif
