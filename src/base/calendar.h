// The proleptic Gregorian calendar: month lengths, day counts since 1970-01-01 and back,
// weekdays, and the English day and month names the weather documents write.
#ifndef NIMBREL_CALENDAR_H
#define NIMBREL_CALENDAR_H

#include <stddef.h>
#include <stdint.h>

// 1970-01-01 00:00 UTC as a file time (100-ns units since 1601-01-01), and a minute in its units.
#define UNIX_EPOCH_FILE_TIME 116444736000000000ull
#define FILE_TICKS_PER_MINUTE 600000000ull

// `value` divided by `divisor` (> 0), rounded towards minus infinity: the day or hour a count of
// minutes before 1970 falls in, as well as after.
int64_t FloorDivide(int64_t value, int64_t divisor);

// The time of day of `localMinutes` (minutes since 1970-01-01 00:00 of a wall clock) as the
// feed's documents write times: "7:12 AM", "12:05 PM". Returns 1 when it fit in `out`.
int FeedClockText(int64_t localMinutes, char *out, size_t capacity);

// Minutes since 1970-01-01 00:00 UTC of a file time, rounded down; 0 for a time before 1970.
int64_t UnixMinutesOf(uint64_t fileTime);

// The days of a month (1 to 12) in the Gregorian calendar: 28 to 31.
int DaysInMonth(int year, int month);

// Days since 1970-01-01 of a calendar date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int *year, int *month, int *day);

// 0 Sunday to 6 Saturday for a day count since 1970-01-01.
int WeekdayOfDays(int64_t days);

// The English name of weekday 0 (Sunday) to 6 ("Sunday" to "Saturday"), taken modulo 7.
// Returns a constant text.
const char *WeekdayEnglish(int weekday);

// The three-letter English name of month 1 to 12 ("Jan" to "Dec"); a month outside is held at
// the nearer end. Returns a constant text.
const char *MonthAbbreviation(int month);

#endif
