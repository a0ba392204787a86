// The functions the host calls by name. Every one returns a zero-terminated text owned by the
// module, valid until the next call into the module, and never NULL.
#ifndef NIMBREL_EXPORTS_H
#define NIMBREL_EXPORTS_H

#if defined(_WIN32)
#define NIMBREL_CALL __stdcall
#define NIMBREL_API extern "C"
#else
#define NIMBREL_CALL
#define NIMBREL_API extern "C" __attribute__((visibility("default")))
#endif

typedef const char *Text;

// Host protocol.
NIMBREL_API Text NIMBREL_CALL init(void);
NIMBREL_API Text NIMBREL_CALL getinfo(unsigned int type);
NIMBREL_API Text NIMBREL_CALL getparam(Text name);

// Expression functions.
NIMBREL_API Text NIMBREL_CALL CurrentConditions(Text expression, Text locationId, Text unitType,
                                                Text degreeFlag);
NIMBREL_API Text NIMBREL_CALL Forecast(Text expression, Text locationId, Text day, Text unitType,
                                       Text degreeFlag);
NIMBREL_API Text NIMBREL_CALL Now(Text expression, Text locationId, Text unitType, Text degreeFlag);
NIMBREL_API Text NIMBREL_CALL Later(Text expression, Text locationId, Text unitType,
                                    Text degreeFlag);
NIMBREL_API Text NIMBREL_CALL Hourly(Text expression, Text locationId, Text hour, Text unitType,
                                     Text degreeFlag);

// Icon functions.
NIMBREL_API Text NIMBREL_CALL IconCC(Text locationId, Text folder);
NIMBREL_API Text NIMBREL_CALL IconForecast(Text locationId, Text day, Text dayOrNight, Text folder);
NIMBREL_API Text NIMBREL_CALL IconNow(Text locationId, Text folder);
NIMBREL_API Text NIMBREL_CALL IconLater(Text locationId, Text folder);
NIMBREL_API Text NIMBREL_CALL IconHourly(Text locationId, Text hour, Text folder);
NIMBREL_API Text NIMBREL_CALL AlertIcon(Text locationId, Text folder);
NIMBREL_API Text NIMBREL_CALL MoonIcon(Text folder, Text daysFromNow);
// The badge of the air-quality band of a period (0 now, d a forecast day, -h an hour) in the
// DefaultIconPath folder, or its NA picture.
NIMBREL_API Text NIMBREL_CALL AirQualityIcon(Text locationId, Text period);
// The path of a 240 x 60 PNG of the place's precipitation over the next hours (2 for the
// nowcast's own steps, 3 to 24 hourly; others held to that range), drawn in the cache folder;
// the NA picture where the place has no data.
NIMBREL_API Text NIMBREL_CALL PrecipitationGraph(Text locationId, Text hours);

// Radar functions.
NIMBREL_API Text NIMBREL_CALL LocalRadar(Text locationId);
NIMBREL_API Text NIMBREL_CALL CustomRadar(Text nickname, Text imageAddress, Text refreshMinutes);

// Term lists.
NIMBREL_API Text NIMBREL_CALL ListCCTerms(void);
NIMBREL_API Text NIMBREL_CALL ListForecastTerms(void);
NIMBREL_API Text NIMBREL_CALL ListHourlyTerms(void);

// Lifecycle bodies; the loader hooks of each platform call them. On Windows they are exported
// as _startup@4 and _cleanup@0.
NIMBREL_API void NIMBREL_CALL NimbrelStartup(void *instance);
NIMBREL_API void NIMBREL_CALL NimbrelCleanup(void);

#endif
