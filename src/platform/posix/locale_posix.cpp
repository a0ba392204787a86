// Dates, times, numbers and names of the user's locale, through the C library's locales
// (LC_TIME, LC_NUMERIC, LC_MEASUREMENT as the environment names them). The host process's own
// global locale is never touched.
#if !defined(_WIN32)

#include <langinfo.h>
#include <limits.h>
#include <pthread.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "platform/platform.h"
#include "platform/posix/time_picture.h"

const int OsTextIsUtf8 = 1;

// Seconds between 1601-01-01 and 1970-01-01.
static const int64_t kEpochDifferenceSeconds = 11644473600LL;

// Where the locale names no count of fractional digits for plain numbers (the C library has
// none), numbers show two, as most Windows locales do.
static const int kFractionDigits = 2;

// Locales made for the environments seen so far. Making one reads the locale files, far too
// slow for every call, so each is kept for the life of the process; the environment names a new
// one only when a program changes its LC_* variables, which programs rarely do.
enum { LOCALE_SLOTS = 16, LOCALE_KEY = 512 };

typedef struct CachedLocale {
    char key[LOCALE_KEY]; // the environment's locale variables, joined
    locale_t locale;
} CachedLocale;

static CachedLocale gLocales[LOCALE_SLOTS];
static int gLocaleCount;
static locale_t gCLocale; // for reading and rounding numbers whatever the host's locale
static pthread_mutex_t gLocaleLock = PTHREAD_MUTEX_INITIALIZER;

void OsReleaseCaches(void) {
    pthread_mutex_lock(&gLocaleLock);
    for (int i = 0; i < gLocaleCount; i++) {
        if (gLocales[i].locale != (locale_t)0) {
            freelocale(gLocales[i].locale);
        }
        gLocales[i].locale = (locale_t)0;
        gLocales[i].key[0] = '\0';
    }
    gLocaleCount = 0;
    if (gCLocale != (locale_t)0) {
        freelocale(gCLocale);
        gCLocale = (locale_t)0;
    }
    pthread_mutex_unlock(&gLocaleLock);
}

static size_t AppendVariable(char *key, size_t used, size_t capacity, const char *name) {
    const char *value = getenv(name);
    for (const char *p = value ? value : ""; *p && used + 2 < capacity; p++) {
        key[used++] = *p;
    }
    key[used++] = ';';
    key[used] = '\0';
    return used;
}

// The locale of the environment (LC_ALL, the LC_* categories, LANG); the C locale when the
// named one is not installed. The result stays valid for the life of the process: never free
// it. Returns (locale_t)0 only when not even the C locale can be had.
static locale_t UserLocale(void) {
    static const char *const kVariables[] = {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LC_MEASUREMENT",
                                             "LANG"};
    char key[LOCALE_KEY];
    size_t used = 0;
    key[0] = '\0';
    // LC_ALL, when set, overrides every other variable.
    const char *all = getenv("LC_ALL");
    size_t names = (all != NULL && all[0] != '\0') ? 1 : sizeof kVariables / sizeof kVariables[0];
    for (size_t i = 0; i < names; i++) {
        used = AppendVariable(key, used, sizeof key, kVariables[i]);
    }
    pthread_mutex_lock(&gLocaleLock);
    locale_t found = (locale_t)0;
    for (int i = 0; i < gLocaleCount && found == (locale_t)0; i++) {
        if (strcmp(gLocales[i].key, key) == 0) {
            found = gLocales[i].locale;
        }
    }
    if (found == (locale_t)0) {
        found = newlocale(LC_ALL_MASK, "", (locale_t)0);
        if (found == (locale_t)0) {
            found = newlocale(LC_ALL_MASK, "C", (locale_t)0);
        }
        // When every slot is taken the newest locale replaces the last one; the old one stays
        // allocated (and is lost), as another thread may still be using it.
        int slot = gLocaleCount < LOCALE_SLOTS ? gLocaleCount++ : LOCALE_SLOTS - 1;
        if (found != (locale_t)0) {
            snprintf(gLocales[slot].key, sizeof gLocales[slot].key, "%s", key);
            gLocales[slot].locale = found;
        }
    }
    pthread_mutex_unlock(&gLocaleLock);
    return found;
}

static size_t CopyOut(const char *text, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = strlen(text);
    if (length >= capacity) {
        length = capacity - 1;
        // Never cut a UTF-8 sequence in two.
        while (length > 0 && ((unsigned char)text[length] & 0xC0) == 0x80) {
            length--;
        }
    }
    memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

// The user's locale, for a function that writes `out`; when there is none, `out` is left empty
// and the result is 0.
static locale_t LocaleOrEmpty(char *out, size_t capacity) {
    locale_t locale = UserLocale();
    if (locale == (locale_t)0) {
        CopyOut("", out, capacity);
    }
    return locale;
}

int OsLocaleMeasure(char *out, size_t capacity) {
    locale_t locale = LocaleOrEmpty(out, capacity);
    if (locale == (locale_t)0) {
        return 0;
    }
    // glibc numbers the systems 1 (metric) and 2 (U.S.); Windows says "0" and "1".
    const char *measurement = nl_langinfo_l(_NL_MEASUREMENT_MEASUREMENT, locale);
    int metric = measurement == NULL || measurement[0] != 2;
    return CopyOut(metric ? "0" : "1", out, capacity) > 0;
}

int OsFileTimeToDateTime(uint64_t fileTime, OsDateTime *out) {
    int64_t seconds = (int64_t)(fileTime / 10000000ull) - kEpochDifferenceSeconds;
    time_t instant = (time_t)seconds;
    struct tm utc;
    if (gmtime_r(&instant, &utc) == NULL) {
        return 0;
    }
    out->year = utc.tm_year + 1900;
    out->month = utc.tm_mon + 1;
    out->day = utc.tm_mday;
    out->hour = utc.tm_hour;
    out->minute = utc.tm_min;
    out->second = utc.tm_sec;
    out->milli = (int)((fileTime / 10000ull) % 1000ull);
    out->weekday = utc.tm_wday;
    return 1;
}

void OsLocalNow(OsDateTime *out) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    out->year = local.tm_year + 1900;
    out->month = local.tm_mon + 1;
    out->day = local.tm_mday;
    out->hour = local.tm_hour;
    out->minute = local.tm_min;
    out->second = local.tm_sec;
    out->milli = (int)(now.tv_nsec / 1000000L);
    out->weekday = local.tm_wday;
}

static void ToTm(const OsDateTime *time, struct tm *out) {
    memset(out, 0, sizeof *out);
    out->tm_year = time->year - 1900;
    out->tm_mon = time->month - 1;
    out->tm_mday = time->day;
    out->tm_hour = time->hour;
    out->tm_min = time->minute;
    out->tm_sec = time->second;
    out->tm_wday = time->weekday;
    out->tm_isdst = -1;
}

static size_t FormatWith(const char *format, const struct tm *time, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    locale_t locale = LocaleOrEmpty(out, capacity);
    if (locale == (locale_t)0) {
        return 0;
    }
    size_t written = strftime_l(out, capacity, format, time, locale);
    if (written == 0) {
        out[0] = '\0';
    }
    return written;
}

size_t OsFormatShortDate(int year, int month, int day, char *out, size_t capacity) {
    OsDateTime date = {year, month, day, 12, 0, 0, 0, 0};
    struct tm time;
    ToTm(&date, &time);
    time_t instant = timegm(&time);
    gmtime_r(&instant, &time); // fills the weekday and the day of the year
    return FormatWith("%x", &time, out, capacity);
}

// Spells out the composite conversions of a time format, so that single fields can be removed.
static void ExpandTimeFormat(const char *format, locale_t locale, char *out, size_t capacity) {
    size_t n = 0;
    for (const char *p = format; *p && n + 1 < capacity; p++) {
        const char *insert = NULL;
        if (p[0] == '%' && p[1] != '\0') {
            switch (p[1]) {
            case 'T':
                insert = "%H:%M:%S";
                break;
            case 'R':
                insert = "%H:%M";
                break;
            case 'r':
                insert = nl_langinfo_l(T_FMT_AMPM, locale);
                break;
            case 'X':
                insert = nl_langinfo_l(T_FMT, locale);
                break;
            }
        }
        if (insert != NULL && strstr(insert, "%r") == NULL && strstr(insert, "%X") == NULL) {
            size_t length = strlen(insert);
            if (n + length >= capacity) {
                break;
            }
            memcpy(out + n, insert, length);
            n += length;
            p++;
            continue;
        }
        out[n++] = *p;
    }
    out[n] = '\0';
}

// Removes one conversion (%S, %M) together with the separator before it (":" or "." and the
// like), or the one after it when it stands first.
static void RemoveField(char *format, char field) {
    char needle[3] = {'%', field, '\0'};
    char *at = strstr(format, needle);
    while (at == NULL && field != '\0') {
        // %OS, %OM and %EX-style modifiers.
        for (char *p = format; *p; p++) {
            if (p[0] == '%' && (p[1] == 'O' || p[1] == 'E') && p[2] == field) {
                at = p;
                break;
            }
        }
        break;
    }
    if (at == NULL) {
        return;
    }
    size_t width = (at[1] == field) ? 2 : 3;
    char *start = at, *end = at + width;
    if (start > format && start[-1] != ' ' && start[-1] != 'M' && start[-1] != 'H' &&
        start[-1] != 'I' && start[-1] != 'S' && start[-1] != 'p') {
        start--; // the separator before the field
    } else if (*end != '\0' && *end != '%' && *end != ' ') {
        end++; // the separator after it
    }
    memmove(start, end, strlen(end) + 1);
}

size_t OsFormatTime(const OsDateTime *time, enum OsTimeForm form, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    locale_t locale = LocaleOrEmpty(out, capacity);
    if (locale == (locale_t)0) {
        return 0;
    }
    char format[256];
    ExpandTimeFormat(nl_langinfo_l(T_FMT, locale), locale, format, sizeof format);
    if (form != OS_TIME_FULL) {
        RemoveField(format, 'S');
    }
    if (form == OS_TIME_HOUR_ONLY) {
        RemoveField(format, 'M');
    }
    struct tm when;
    ToTm(time, &when);
    return FormatWith(format, &when, out, capacity);
}

size_t OsFormatTimePicture(const OsDateTime *time, const char *picture, char *out,
                           size_t capacity) {
    locale_t locale = LocaleOrEmpty(out, capacity);
    if (locale == (locale_t)0) {
        return 0;
    }
    char am[64], pm[64];
    CopyOut(nl_langinfo_l(AM_STR, locale), am, sizeof am);
    CopyOut(nl_langinfo_l(PM_STR, locale), pm, sizeof pm);
    // Locales without a marker (de_DE) still show one for "tt", as Windows does.
    if (am[0] == '\0') {
        CopyOut("AM", am, sizeof am);
    }
    if (pm[0] == '\0') {
        CopyOut("PM", pm, sizeof pm);
    }
    return FormatTimePicture(time->hour, time->minute, time->second, am, pm, picture, out,
                             capacity);
}

size_t OsFormatNumber(const char *number, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    char *end = NULL;
    pthread_mutex_lock(&gLocaleLock);
    if (gCLocale == (locale_t)0) {
        gCLocale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
    }
    locale_t c = gCLocale;
    pthread_mutex_unlock(&gLocaleLock);
    if (c == (locale_t)0) {
        return 0;
    }
    double value = strtod_l(number, &end, c);
    if (end == number) {
        return 0;
    }
    while (*end == ' ') {
        end++;
    }
    if (*end != '\0') {
        return 0; // like GetNumberFormat, only a whole number text is formatted
    }
    // Rounded in the C locale: the host process may have set a comma for its own numbers.
    char plain[512];
    locale_t previous = uselocale(c);
    snprintf(plain, sizeof plain, "%.*f", kFractionDigits, value);
    uselocale(previous);

    locale_t locale = UserLocale();
    if (locale == (locale_t)0) {
        return 0;
    }
    const char *point = nl_langinfo_l(RADIXCHAR, locale);
    const char *thousands = nl_langinfo_l(THOUSEP, locale);
    const char *grouping = nl_langinfo_l(GROUPING, locale);
    char result[1024];
    size_t n = 0;
    const char *digits = plain;
    if (*digits == '-') {
        result[n++] = '-';
        digits++;
    }
    const char *dot = strchr(digits, '.');
    size_t integer = dot ? (size_t)(dot - digits) : strlen(digits);
    // Group sizes from the right: each byte of `grouping` one group, the last repeated.
    int groupEnds[128];
    int groups = 0;
    if (thousands != NULL && thousands[0] != '\0' && grouping != NULL && grouping[0] > 0) {
        int position = 0;
        const char *g = grouping;
        int size = *g;
        while (groups < 128) {
            position += size;
            if ((size_t)position >= integer) {
                break;
            }
            groupEnds[groups++] = position;
            if (g[1] != '\0' && g[1] != CHAR_MAX) {
                size = *++g;
            } else if (g[1] == CHAR_MAX) {
                break;
            }
        }
    }
    for (size_t i = 0; i < integer && n + 8 < sizeof result; i++) {
        size_t fromRight = integer - i;
        for (int k = 0; k < groups; k++) {
            if ((size_t)groupEnds[k] == fromRight) {
                size_t length = strlen(thousands);
                if (n + length + 8 < sizeof result) {
                    memcpy(result + n, thousands, length);
                    n += length;
                }
            }
        }
        result[n++] = digits[i];
    }
    if (dot != NULL) {
        size_t length = strlen(point);
        if (n + length + strlen(dot + 1) + 1 < sizeof result) {
            memcpy(result + n, point, length);
            n += length;
            memcpy(result + n, dot + 1, strlen(dot + 1));
            n += strlen(dot + 1);
        }
    }
    result[n] = '\0';
    return CopyOut(result, out, capacity);
}

int OsDecimalSeparator(char *out, size_t capacity) {
    locale_t locale = LocaleOrEmpty(out, capacity);
    if (locale == (locale_t)0) {
        return 0;
    }
    char separator[8];
    CopyOut(nl_langinfo_l(RADIXCHAR, locale), separator, capacity < 4 ? capacity : 4);
    CopyOut(separator, out, capacity < 4 ? capacity : 4);
    return out[0] != '\0';
}

size_t OsCalendarName(int item, char *out, size_t capacity) {
    nl_item name;
    // Windows counts the days from Monday, the C library from Sunday.
    if (item >= 7 && item <= 13) {
        name = (nl_item)(DAY_1 + (item - 7 + 1) % 7);
    } else if (item >= 14 && item <= 20) {
        name = (nl_item)(ABDAY_1 + (item - 14 + 1) % 7);
    } else if (item >= 21 && item <= 32) {
        name = (nl_item)(MON_1 + (item - 21));
    } else if (item >= 34 && item <= 45) {
        name = (nl_item)(ABMON_1 + (item - 34));
    } else {
        CopyOut("", out, capacity);
        return 0;
    }
    locale_t locale = LocaleOrEmpty(out, capacity);
    if (locale == (locale_t)0) {
        return 0;
    }
    size_t written = CopyOut(nl_langinfo_l(name, locale), out, capacity);
    return written;
}

int OsTimeZoneName(char *out, size_t capacity) {
    time_t now = time(NULL);
    struct tm local;
    if (localtime_r(&now, &local) == NULL || local.tm_zone == NULL) {
        CopyOut("", out, capacity);
        return 0;
    }
    CopyOut(local.tm_zone, out, capacity);
    return 1;
}

#endif
