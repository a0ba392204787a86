// Date, time and place formatting: the feed's fixed English times, dates and names in the
// user's locale; city and zone texts; the narrative; the system-clock term. Formatters that
// take a text change it in place (a 1024-byte buffer, in practice the value buffer).
#ifndef NIMBREL_DATETIME_H
#define NIMBREL_DATETIME_H

#include <stddef.h>

// "h:mm AM" to the locale's time without seconds. "N/A" and error texts stay.
char *FormatClockTime(char *text);

// "month/day[/year]" to the locale's short date of the text's own year (a two-digit year in the
// century nearest the current year); without a year, the year that puts the date nearest
// today. A date that does not exist, or a year that is none, leaves the text as it came.
char *FormatMonthDay(char *text);

// Ends the stamp right after its first "AM" (else "PM"); error texts and texts without either
// stay.
char *CutAfterMeridiem(char *text);

// "month/day h:mm AM" to the locale's date and time. "N/A" stays.
char *FormatUpdateStamp(char *text);

// What follows " PM " (else " AM ") in the stamp, or "???".
const char *TimeZoneFromStamp(char *text);

// An hour number to the locale's hour without minutes. "N/A" stays.
char *FormatHourName(char *text);

// An English day name to the locale's; day 1 is "Today" (or its translation).
char *DayName(char *text, int day);

// "Mon d" (a three-letter English month, a blank, the day) to the locale's month name and day.
char *FormatDayDate(char *text);

// The city text without its last parenthesised group.
char *CityName(char *text);

// "GMT" and the zone of the Current feed. Value buffer.
const char *GmtZoneText(const char *locationId);

// The Location ID argument, or the default Location ID for an empty one.
const char *LocationIdText(const char *locationId);

// Keeps the bytes of a zone name below "a" (as signed bytes) but blanks: capitals, digits,
// punctuation and every byte from 0x80 up. "Pacific Standard Time" gives "PST".
char *AbbreviateZoneName(const char *name, char *out, size_t capacity);

// The abbreviation of the computer's zone name. Value buffer, or "error".
const char *LocalZoneAbbreviation(void);

// The narrative element "…'text','name'…" as "name: text"; "Data Unavailable" for an error.
const char *FormatNarrative(char *text);

// The narrative's issue stamp, cut after its time and shortened, or "".
const char *FormatNarrativeStamp(char *text);

// Replaces the first "<systemtime PICTURE>" tag of the expression buffer, which begins at
// `tag`, by the local time formatted with the picture. A malformed tag stays as written.
// Returns the value buffer.
const char *SystemTimeTerm(size_t tag);

#endif
