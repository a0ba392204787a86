#include "base/calendar.h"
#include "base/text.h"

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The civil calendar's day count in whole 400-year eras.
int64_t DaysFromCivil(int year, int month, int day) {
    int64_t y = (int64_t)year - (month <= 2 ? 1 : 0);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yearOfEra = y - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int *year, int *month, int *day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    *day = (int)(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    *month = (int)(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    *year = (int)(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

int WeekdayOfDays(int64_t days) {
    // 1970-01-01 was a Thursday.
    int64_t weekday = (days + 4) % 7;
    return (int)(weekday < 0 ? weekday + 7 : weekday);
}

const char *WeekdayEnglish(int weekday) {
    static const char *const kNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
    int wrapped = weekday % 7;
    return kNames[wrapped < 0 ? wrapped + 7 : wrapped];
}

const char *MonthAbbreviation(int month) {
    static const char *const kNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return kNames[month < 1 ? 0 : month > 12 ? 11 : month - 1];
}

int64_t FloorDivide(int64_t value, int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

int FeedClockText(int64_t localMinutes, char *out, size_t capacity) {
    int minute = (int)(localMinutes - FloorDivide(localMinutes, 1440) * 1440);
    int hour = minute / 60;
    return FormatText(out, capacity, "%d:%02d %s", hour % 12 == 0 ? 12 : hour % 12, minute % 60,
                      hour < 12 ? "AM" : "PM");
}

int64_t UnixMinutesOf(uint64_t fileTime) {
    return fileTime > UNIX_EPOCH_FILE_TIME
               ? (int64_t)((fileTime - UNIX_EPOCH_FILE_TIME) / FILE_TICKS_PER_MINUTE)
               : 0;
}
