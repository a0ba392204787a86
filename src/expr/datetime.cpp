#include "expr/datetime.h"

#include <string.h>

#include "base/calendar.h"
#include "base/terms.h"
#include "feed/query.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"

enum {
    CLOCK_SCRATCH = 64,     // a feed time
    STAMP_SCRATCH = 256,    // each half of an update stamp
    PICTURE_CAPACITY = 256, // a time picture of the system-clock term
    ZONE_NAME_CAPACITY = 32 // the computer's zone name
};

// The tag's name and the one character after it (sizeof counts the zero for that one).
static const size_t kSystemTimeHead = sizeof "<systemtime";

static int Holds(const char *text, const char *part) {
    return strstr(text, part) != NULL;
}

char *FormatClockTime(char *text) {
    if (Holds(text, "N/A") || Holds(text, "ERROR")) {
        return text;
    }
    char time[CLOCK_SCRATCH];
    CopyText(time, sizeof time, text);
    char *colon = strchr(time, ':');
    if (colon == NULL) {
        return text; // not a clock time: shown as the feed wrote it
    }
    *colon = '\0';
    int hour = TextToInt(time);
    *colon = ':';
    if (hour < 0 || hour > 23) {
        return text; // checked before the afternoon's 12 are added to it
    }
    if (Holds(text, "AM") && hour == 12) {
        hour = 0;
    }
    if (Holds(text, "PM") && hour != 12) {
        hour += 12;
    }
    int minute = TextToInt(colon + 1);
    OsDateTime when = {2000, 1, 1, hour, minute, 0, 0, 6};
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        OsFormatTime(&when, OS_TIME_NO_SECONDS, text, TEXT_CAPACITY) == 0) {
        return text;
    }
    return text;
}

// The year of a stamp's date: its own when it has one ("12/31/26", "12/31/2026"), a two-digit
// year taken in the century that puts it nearest `thisYear`; without one, the year that puts
// month/day nearest today (`today`), so that a stamp of 31 December read on 1 January keeps its
// year. Returns 0 when the text's year is no year or no such date is near.
static int StampYear(const char *yearText, int month, int day, const OsDateTime *today) {
    if (yearText != NULL && *yearText >= '0' && *yearText <= '9') {
        int year = TextToInt(yearText);
        size_t digits = strspn(yearText, "0123456789");
        if (digits <= 2) {
            int century = today->year - today->year % 100;
            year += century;
            if (year > today->year + 50) {
                year -= 100;
            } else if (year < today->year - 50) {
                year += 100;
            }
        } else if (digits != 4) {
            return 0;
        }
        return day <= DaysInMonth(year, month) ? year : 0;
    }
    int64_t now = DaysFromCivil(today->year, today->month, today->day);
    int best = 0;
    int64_t bestApart = 0;
    for (int year = today->year - 1; year <= today->year + 1; year++) {
        if (day > DaysInMonth(year, month)) {
            continue;
        }
        int64_t apart = DaysFromCivil(year, month, day) - now;
        apart = apart < 0 ? -apart : apart;
        if (best == 0 || apart < bestApart) {
            best = year;
            bestApart = apart;
        }
    }
    return bestApart <= 183 ? best : 0;
}

char *FormatMonthDay(char *text) {
    char *slash = strchr(text, '/');
    if (slash == NULL) {
        return text;
    }
    int month = TextToInt(text);
    int day = TextToInt(slash + 1);
    const char *second = strchr(slash + 1, '/');
    OsDateTime today;
    // A day the month does not have (2/30) is no date: the feed's text stays, rather than a
    // date rolled over into the next month.
    if (!OsFileTimeToDateTime(OsUtcNow(), &today) || month < 1 || month > 12 || day < 1 ||
        day > 31) {
        return text;
    }
    int year = StampYear(second != NULL ? second + 1 : NULL, month, day, &today);
    char date[TEXT_CAPACITY];
    if (year > 0 && OsFormatShortDate(year, month, day, date, sizeof date) > 0) {
        CopyText(text, TEXT_CAPACITY, date);
    }
    return text;
}

char *CutAfterMeridiem(char *text) {
    if (Holds(text, "ERROR")) {
        return text;
    }
    char *mark = strstr(text, "AM");
    if (mark == NULL) {
        mark = strstr(text, "PM");
    }
    if (mark != NULL) {
        mark[2] = '\0';
    }
    return text;
}

char *FormatUpdateStamp(char *text) {
    if (Holds(text, "N/A")) {
        return text;
    }
    char *blank = strchr(text, ' ');
    if (blank == NULL) {
        return text; // not a stamp: shown as it came
    }
    char date[STAMP_SCRATCH], time[STAMP_SCRATCH];
    *blank = '\0';
    CopyText(date, sizeof date, text);
    *blank = ' ';
    CopyText(time, sizeof time, blank + 1);
    FormatMonthDay(date);
    FormatClockTime(time);
    FormatText(text, TEXT_CAPACITY, "%s %s", date, time);
    return text;
}

const char *TimeZoneFromStamp(char *text) {
    char *mark = strstr(text, " PM ");
    if (mark == NULL) {
        mark = strstr(text, " AM ");
    }
    if (mark == NULL) {
        return "???";
    }
    memmove(text, mark + 4, strlen(mark + 4) + 1);
    return text;
}

char *FormatHourName(char *text) {
    if (Holds(text, "N/A")) {
        return text;
    }
    int hour = TextToInt(text);
    OsDateTime when = {2000, 1, 1, hour, 0, 0, 0, 6};
    if (hour >= 0 && hour <= 23) {
        OsFormatTime(&when, OS_TIME_HOUR_ONLY, text, TEXT_CAPACITY);
    }
    return text;
}

char *DayName(char *text, int day) {
    if (day == 1) {
        return DayWordText(DAY_WORD_TODAY, text, TEXT_CAPACITY);
    }
    // The locale's day names start on Monday: index 0 is weekday 1.
    for (int index = 0; index < 7; index++) {
        if (strcmp(text, WeekdayEnglish(index + 1)) == 0) {
            char name[TEXT_CAPACITY];
            if (OsCalendarName(Plugin.dayNames, index, name, sizeof name) > 0) {
                CopyText(text, TEXT_CAPACITY, name);
            }
            return text;
        }
    }
    return text; // no day of the week: the feed's text stays
}

char *FormatDayDate(char *text) {
    int day = strlen(text) >= 5 ? TextToInt(text + 4) : 0;
    for (int index = 0; index < 12; index++) {
        if (strstr(text, MonthAbbreviation(index + 1)) != NULL) {
            char month[TEXT_CAPACITY];
            if (OsCalendarName(Plugin.monthNames, index, month, sizeof month) > 0) {
                FormatText(text, TEXT_CAPACITY, "%s %d", month, day);
            }
            return text;
        }
    }
    return text; // no month: the feed's text stays
}

char *CityName(char *text) {
    char *open = strrchr(text, '(');
    if (open == NULL || open == text) {
        return text;
    }
    open[-1] = '\0';
    return text;
}

const char *GmtZoneText(const char *locationId) {
    QueryCurrent(locationId, Plugin.defaultUnit, "<zone>", "</zone>", 1);
    char offset[TEXT_CAPACITY];
    CopyText(offset, sizeof offset, Plugin.value);
    FormatText(Plugin.value, sizeof Plugin.value, "GMT%s", offset);
    return Plugin.value;
}

const char *LocationIdText(const char *locationId) {
    return locationId[0] ? locationId : Plugin.defaultLocationId;
}

char *AbbreviateZoneName(const char *name, char *out, size_t capacity) {
    size_t n = 0;
    for (const char *p = name; *p && n + 1 < capacity; p++) {
        if ((signed char)*p < 'a' && *p != ' ') {
            out[n++] = *p;
        }
    }
    if (capacity > 0) {
        out[n] = '\0';
    }
    return out;
}

const char *LocalZoneAbbreviation(void) {
    char name[ZONE_NAME_CAPACITY];
    if (!OsTimeZoneName(name, sizeof name)) {
        return "error";
    }
    return AbbreviateZoneName(name, Plugin.value, sizeof Plugin.value);
}

const char *FormatNarrative(char *text) {
    if (Holds(text, "ERROR")) {
        return "Data Unavailable";
    }
    const char *marks[12];
    int found = 0;
    for (const char *p = text; *p && found < 12; p++) {
        if (*p == '\'') {
            marks[found++] = p;
        }
    }
    if (found < 12) {
        return text; // not a narrative entry ("N/A" among them): shown as it came
    }
    char narrative[TEXT_CAPACITY];
    size_t length = (size_t)(marks[11] - marks[10] - 1);
    memcpy(narrative, marks[10] + 1, length);
    narrative[length] = '\0';
    const char *rest = marks[11] + 1;
    for (int skip = 0; skip < 2 && *rest; skip++) {
        rest++;
    }
    char result[TEXT_CAPACITY];
    FormatText(result, sizeof result, "%s: %s", rest, narrative);
    CopyText(text, TEXT_CAPACITY, result);
    return text;
}

const char *FormatNarrativeStamp(char *text) {
    char *mark = strstr(text, "AM");
    if (mark == NULL) {
        mark = strstr(text, "PM");
    }
    if (mark == NULL) {
        return "";
    }
    mark[2] = '\0';
    char *blank = strchr(text, ' ');
    if (blank != NULL) {
        memmove(text, blank + 1, strlen(blank + 1) + 1);
    }
    ReplaceInValue(text, TEXT_CAPACITY, ", at", ",");
    return text;
}

// 1 when text in single quotes in a time picture has no closing quote. Inside quotes two quotes
// stand for one, and so every well-formed picture holds an even number of quotes.
static int HasUnclosedQuote(const char *picture) {
    size_t quotes = 0;
    for (const char *p = picture; *p; p++) {
        quotes += *p == '\'';
    }
    return quotes % 2 != 0;
}

const char *SystemTimeTerm(size_t tag) {
    char *expression = Plugin.expression + tag;
    size_t room = sizeof Plugin.expression - tag;
    size_t head = kSystemTimeHead;
    Plugin.value[0] = '\0';
    if (strlen(expression) < head) {
        return Plugin.value;
    }
    const char *close = strchr(expression + head - 1, '>');
    if (close == NULL || close < expression + head) {
        return Plugin.value; // no picture, or no end to the tag: it stays as written
    }
    size_t length = (size_t)(close - (expression + head));
    if (length == 0 || length >= PICTURE_CAPACITY) {
        return Plugin.value;
    }
    char picture[PICTURE_CAPACITY];
    memcpy(picture, expression + head, length);
    picture[length] = '\0';
    if (HasUnclosedQuote(picture)) {
        return Plugin.value; // a malformed picture: the tag stays as written
    }

    OsDateTime now;
    OsLocalNow(&now);
    OsFormatTimePicture(&now, picture, Plugin.value, sizeof Plugin.value);
    ReplaceInValue(expression, room, picture, "");
    char milliseconds[8];
    FormatText(milliseconds, sizeof milliseconds, "%03d", now.milli);
    ReplaceInValue(Plugin.value, sizeof Plugin.value, "zzz", milliseconds);
    // The term's own replacement, which the walk leaves to this handler.
    if (ReplaceTerm(expression, room, "<systemtime >", Plugin.value)) {
        Plugin.tagCounter--;
    }
    return Plugin.value;
}
