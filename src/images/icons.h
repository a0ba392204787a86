// Condition, alert and moon pictures from an image folder. Every function here runs inside an
// export's mutex frame; results are texts owned by the module, valid until the next call.
#ifndef NIMBREL_ICONS_H
#define NIMBREL_ICONS_H

#include <stddef.h>

#define TEXT_PATH_TOO_LONG "ERROR: Image path too long."

// The image folder: `folder` itself when it is not empty, else the DefaultIconPath setting.
const char *IconFolder(const char *folder);

// "FOLDER<sep>NAME" into `out` (capacity bytes) with exactly one separator between the two,
// whether or not the folder ends in one ('/' counts as one on every platform). Returns 1 when
// the whole path fit, 0 when it was cut (a cut path names some other file: do not use it).
int FormFolderPath(char *out, size_t capacity, const char *folder, const char *name);

// Which forecast part a clock-chosen icon shows: a forecast day and its day (1) or night (0)
// part, as ResolveIcon takes them.
typedef struct DayPart {
    int day;
    int dayNight;
} DayPart;

// The part for "now" at the local hour 0 to 23: today's day part from 1 to 13 o'clock, tonight
// from 14 o'clock to the end of the hour after midnight.
DayPart NowDayPart(int hour);

// The part that follows it: tonight from 1 to 13 o'clock, tomorrow's day part otherwise.
DayPart LaterDayPart(int hour);

// The path of the picture for the condition code of one period: 0 the current conditions,
// p > 0 forecast day p with its day-or-night flag (1 day, 0 night), p < 0 hour -p. The code is
// looked up in the feed with the default unit type; night codes carry the moon phase when
// ShowMoonPhase is on, and "-" stands for the NA picture, as does a code that cannot be had
// ("N/A", an error text, an empty code), for which NA alone is looked for. Each extension (png,
// gif, jpg, jpeg, bmp, ico) is tried with the moon variant first, then the plain code. Returns the
// image path buffer: the first picture that exists; when none exists, the last path tried, or
// "ERROR: Specified path (...) does not exist." when the folder does not exist (or is empty);
// TEXT_PATH_TOO_LONG when the last path tried does not fit in 259 characters. A separator in
// the feed's code becomes "_", so the path never leads out of the folder. The process's
// current folder is left as it is.
const char *ResolveIcon(const char *locationId, const char *folder, int period, int dayNight);

// The path of the badge of the place's air-quality band for `period` (0 now, d > 0 forecast day
// d, -h hour h) on the place's scale, AQUS1 ... AQUS6 or AQEU1 ... AQEU6, in the DefaultIconPath
// folder; NA where there is no index. Pictures and results as ResolveIcon's.
const char *AirQualityIconPath(const char *locationId, int period);

// The NA picture of the DefaultIconPath folder, for a picture of data a place does not have.
// Pictures and results as ResolveIcon's.
const char *NoDataIconPath(void);

// The alert picture joined to the first alert's link, "PATH%lLINK", with "www." in the link
// (and any "zzz." it held) rewritten to the source's alertLinkHost when it has one (the feed's
// ALERT_HOST_PREFIX); other sources' links stay as they are. PATH is WEATHERALERT with the first
// extension found in the folder, or with "ico" when none is. Returns "" when the feed names no
// alert, cannot be had, or is a service error; TEXT_PATH_TOO_LONG when the path does not fit.
// The result is kept in the link text, which holds a link of any length the feed gives.
const char *AlertIconLink(const char *locationId, const char *folder);

// The moon picture "31_K.png" of the phase index K for `days` from now (MoonPhaseIndex), in the
// image folder, whether or not the file exists. Returns the image path buffer, or
// TEXT_PATH_TOO_LONG.
const char *MoonIconPath(const char *folder, int days);

#endif
