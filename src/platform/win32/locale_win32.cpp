// Dates, times, numbers and names of the user's locale, through the Windows locale functions.
#if defined(_WIN32)

#include <windows.h>

#include <string.h>

#include "platform/platform.h"

const int OsTextIsUtf8 = 0;

// The system keeps the user's locale itself; nothing is read ahead of a call.
void OsLocaleCallBegin(void) {}
void OsLocaleCallEnd(void) {}

static int ClampCapacity(size_t capacity) {
    return capacity > 0x7fffffff ? 0x7fffffff : (int)capacity;
}

static size_t Finish(int written, char *out, size_t capacity) {
    if (written <= 0) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return (size_t)written - 1;
}

static void ToSystemTime(const OsDateTime *time, SYSTEMTIME *out) {
    memset(out, 0, sizeof *out);
    out->wYear = (WORD)(time->year > 0 ? time->year : 1601);
    out->wMonth = (WORD)(time->month > 0 ? time->month : 1);
    out->wDay = (WORD)(time->day > 0 ? time->day : 1);
    out->wHour = (WORD)time->hour;
    out->wMinute = (WORD)time->minute;
    out->wSecond = (WORD)time->second;
    out->wMilliseconds = (WORD)time->milli;
    out->wDayOfWeek = (WORD)time->weekday;
}

static void FromSystemTime(const SYSTEMTIME *time, OsDateTime *out) {
    out->year = time->wYear;
    out->month = time->wMonth;
    out->day = time->wDay;
    out->hour = time->wHour;
    out->minute = time->wMinute;
    out->second = time->wSecond;
    out->milli = time->wMilliseconds;
    out->weekday = time->wDayOfWeek;
}

size_t OsDocumentText(const char *charset, const char *bytes, size_t length, char *out,
                      size_t capacity) {
    (void)charset; // the texts are shown in the ANSI code page as the service wrote them
    if (capacity == 0) {
        return 0;
    }
    size_t count = length < capacity ? length : capacity - 1;
    memmove(out, bytes, count);
    out[count] = '\0';
    return count;
}

int OsLocaleMeasure(char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IMEASURE, out, ClampCapacity(capacity)) == 0) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int OsFileTimeToDateTime(uint64_t fileTime, OsDateTime *out) {
    FILETIME file;
    file.dwLowDateTime = (DWORD)fileTime;
    file.dwHighDateTime = (DWORD)(fileTime >> 32);
    SYSTEMTIME system;
    if (!FileTimeToSystemTime(&file, &system)) {
        return 0;
    }
    FromSystemTime(&system, out);
    return 1;
}

void OsLocalNow(OsDateTime *out) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FromSystemTime(&now, out);
}

size_t OsFormatShortDate(int year, int month, int day, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    SYSTEMTIME date;
    memset(&date, 0, sizeof date);
    date.wYear = (WORD)year;
    date.wMonth = (WORD)month;
    date.wDay = (WORD)day;
    return Finish(GetDateFormatA(LOCALE_USER_DEFAULT, 0, &date, NULL, out, ClampCapacity(capacity)),
                  out, capacity);
}

size_t OsFormatTime(const OsDateTime *time, enum OsTimeForm form, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    SYSTEMTIME system;
    ToSystemTime(time, &system);
    DWORD flags = form == OS_TIME_NO_SECONDS  ? TIME_NOSECONDS
                  : form == OS_TIME_HOUR_ONLY ? TIME_NOMINUTESORSECONDS
                                              : 0;
    return Finish(
        GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &system, NULL, out, ClampCapacity(capacity)),
        out, capacity);
}

size_t OsFormatTimePicture(const OsDateTime *time, const char *picture, char *out,
                           size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    SYSTEMTIME system;
    ToSystemTime(time, &system);
    return Finish(
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &system, picture, out, ClampCapacity(capacity)), out,
        capacity);
}

size_t OsFormatNumber(const char *number, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    return Finish(
        GetNumberFormatA(LOCALE_USER_DEFAULT, 0, number, NULL, out, ClampCapacity(capacity)), out,
        capacity);
}

int OsDecimalSeparator(char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    int size = ClampCapacity(capacity) < 4 ? ClampCapacity(capacity) : 4;
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, out, size) == 0) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

size_t OsCalendarName(OsCalendarNames names, int index, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    // The first calendar item of each kind; the others follow it in order.
    static const CALTYPE kFirst[] = {CAL_SDAYNAME1, CAL_SABBREVDAYNAME1, CAL_SMONTHNAME1,
                                     CAL_SABBREVMONTHNAME1};
    int count = names == OS_LONG_DAY_NAMES || names == OS_SHORT_DAY_NAMES ? 7 : 12;
    if ((unsigned)names >= sizeof kFirst / sizeof kFirst[0] || index < 0 || index >= count) {
        out[0] = '\0';
        return 0;
    }
    return Finish(GetCalendarInfoA(LOCALE_USER_DEFAULT, CAL_GREGORIAN, kFirst[names] + index, out,
                                   ClampCapacity(capacity), NULL),
                  out, capacity);
}

int OsTimeZoneName(char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    TIME_ZONE_INFORMATION zone;
    DWORD result = GetTimeZoneInformation(&zone);
    const WCHAR *name;
    if (result == TIME_ZONE_ID_UNKNOWN || result == TIME_ZONE_ID_STANDARD) {
        name = zone.StandardName;
    } else if (result == TIME_ZONE_ID_DAYLIGHT) {
        name = zone.DaylightName;
    } else {
        return 0;
    }
    int written =
        WideCharToMultiByte(CP_ACP, 0, name, -1, out, ClampCapacity(capacity), NULL, NULL);
    if (written <= 0) {
        out[capacity - 1] = '\0';
    }
    return 1;
}

#endif
