// The forecast, Now, Later and hourly expressions. Every Fill function runs inside the frame its
// caller holds (plugin/expr_frame.h).
#ifndef NIMBREL_FORECAST_H
#define NIMBREL_FORECAST_H

#define TEXT_INVALID_DAY "ERROR(10): Invalid day number."
#define TEXT_INVALID_HOUR "ERROR(11): Invalid hour number."

// Fills the expression with the values of forecast day `day` (1 to MaxDays). Returns the
// expression buffer, the probe's error text, or a fixed error text.
const char *FillForecast(const char *expression, const char *locationId, const char *day,
                         const char *unitType, const char *degreeFlag);

// The forecast period that Now (later 0) or Later (later 1) shows at a local hour 0 to 23:
// the day number, and whether it is the night part. Hours 1 to 13 are daytime.
void ChoosePeriod(int hour, int later, int *day, int *night);

// Now and Later at the local hour `hour`: rewrites the expression for the chosen period and
// hands it to the forecast.
const char *FillNowOrLater(const char *expression, const char *locationId, const char *unitType,
                           const char *degreeFlag, int later, int hour);

// Fills the expression with the values of hour `hour` (1 to MaxHours) of the hourly forecast.
const char *FillHourly(const char *expression, const char *locationId, const char *hour,
                       const char *unitType, const char *degreeFlag);

// The help texts that list the forecast and the hourly terms.
const char *ForecastTermsHelp(void);
const char *HourlyTermsHelp(void);

#endif
