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
#include <wctype.h>

#include "platform/platform.h"
#include "platform/posix/charset_posix.h"
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

// One text of the locale: a name, a marker, one field of a time.
enum { TEXT_PIECE_CAPACITY = 256 };

// A time format is worked on in pieces, so that a field leaves together with the characters
// that belong to it, and no character is ever cut in two.
enum PieceKind {
    PIECE_FIELD, // a conversion: "%M", "%OS", "%-H"
    PIECE_BLANK, // one blank character
    PIECE_MARK,  // one punctuation character: ":", ".", a full-width colon
    PIECE_WORD   // one other character: a letter, an ideograph, "h"
};

typedef struct FormatPiece {
    size_t start, length; // bytes of the UTF-8 format
    enum PieceKind kind;
    char field; // the conversion's letter, for PIECE_FIELD
} FormatPiece;

enum { TIME_FORMAT_CAPACITY = 256, CONVERSION_CAPACITY = 16, TIME_FORMS = 3 };

// A locale with what the formatting functions read from it again and again, worked out once
// when the locale is made: a locale's data never change while it is loaded. Never changed after
// it is made, so that threads read it without a lock; freed only by OsReleaseCaches.
typedef struct LocaleFacts {
    locale_t locale;
    char point[TEXT_PIECE_CAPACITY];       // the decimal separator, UTF-8
    char thousands[TEXT_PIECE_CAPACITY];   // the grouping separator, UTF-8, or empty
    char grouping[TEXT_PIECE_CAPACITY];    // the group sizes as nl_langinfo gives them, or empty
    char am[64], pm[64];                   // the AM and PM markers, UTF-8, "AM" and "PM" when none
    char timeFormat[TIME_FORMAT_CAPACITY]; // the locale's time format made UTF-8, spelt out
    FormatPiece timePieces[TIME_FORMS][TIME_FORMAT_CAPACITY]; // its pieces for each OsTimeForm
    size_t timePieceCount[TIME_FORMS];                        // how many of them are used
} LocaleFacts;

typedef struct CachedLocale {
    char key[LOCALE_KEY]; // the environment's locale variables, joined
    LocaleFacts *facts;   // the locale made for them
} CachedLocale;

static CachedLocale gLocales[LOCALE_SLOTS];
static int gLocaleCount;
static locale_t gCLocale; // for reading and rounding numbers whatever the host's locale
static pthread_mutex_t gLocaleLock = PTHREAD_MUTEX_INITIALIZER;

// The locale that OsLocaleCallBegin pinned for the calling thread's call, or NULL.
static thread_local const LocaleFacts *tCallLocale;

static void FreeFacts(LocaleFacts *facts) {
    if (facts != NULL) {
        freelocale(facts->locale);
        free(facts);
    }
}

void OsReleaseCaches(void) {
    pthread_mutex_lock(&gLocaleLock);
    for (int i = 0; i < gLocaleCount; i++) {
        FreeFacts(gLocales[i].facts);
        gLocales[i].facts = NULL;
        gLocales[i].key[0] = '\0';
    }
    gLocaleCount = 0;
    if (gCLocale != (locale_t)0) {
        freelocale(gCLocale);
        gCLocale = (locale_t)0;
    }
    pthread_mutex_unlock(&gLocaleLock);
    tCallLocale = NULL;
    ReleaseConverters();
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

static LocaleFacts *MakeFacts(locale_t locale);

// The locale of the environment (LC_ALL, the LC_* categories, LANG), with its facts; the C
// locale when the named one is not installed. Within a call that pinned one (OsLocaleCallBegin)
// that one, without reading the environment again. The result stays valid for the life of the
// process: never free it. Returns NULL only when not even the C locale can be had.
static const LocaleFacts *UserLocale(void) {
    if (tCallLocale != NULL) {
        return tCallLocale;
    }
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
    LocaleFacts *found = NULL;
    for (int i = 0; i < gLocaleCount && found == NULL; i++) {
        if (strcmp(gLocales[i].key, key) == 0) {
            found = gLocales[i].facts;
        }
    }
    if (found == NULL) {
        locale_t made = newlocale(LC_ALL_MASK, "", (locale_t)0);
        if (made == (locale_t)0) {
            made = newlocale(LC_ALL_MASK, "C", (locale_t)0);
        }
        found = made != (locale_t)0 ? MakeFacts(made) : NULL;
        if (found == NULL && made != (locale_t)0) {
            freelocale(made);
        }
        // When every slot is taken the newest locale replaces the last one; the old one stays
        // allocated (and is lost), as another thread may still be using it.
        int slot = gLocaleCount < LOCALE_SLOTS ? gLocaleCount++ : LOCALE_SLOTS - 1;
        if (found != NULL) {
            snprintf(gLocales[slot].key, sizeof gLocales[slot].key, "%s", key);
            gLocales[slot].facts = found;
        }
    }
    pthread_mutex_unlock(&gLocaleLock);
    return found;
}

void OsLocaleCallBegin(void) {
    tCallLocale = NULL;
    tCallLocale = UserLocale();
}

void OsLocaleCallEnd(void) {
    tCallLocale = NULL;
}

static size_t CopyOut(const char *text, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = OsUtf8FitLength(text, strlen(text), capacity - 1);
    memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

// Writes a text of the locale (a name, a marker, a format, a formatted date) as UTF-8, the
// module's one encoding: converted from the locale's code set when that is another (fr_FR is
// ISO-8859-1, de_DE@euro ISO-8859-15, ja_JP.eucjp EUC-JP). Cut to `capacity` less one on a
// character boundary. Returns the length written.
static size_t LocaleText(locale_t locale, const char *text, char *out, size_t capacity) {
    const char *codeset = nl_langinfo_l(CODESET, locale);
    if (capacity == 0 || codeset == NULL || codeset[0] == '\0' || IsUtf8Name(codeset)) {
        return CopyOut(text, out, capacity);
    }
    int known = 0;
    size_t written = ConvertToUtf8(codeset, text, strlen(text), out, capacity, &known);
    if (!known) {
        // No converter for the code set: its ASCII texts are still good UTF-8.
        written = IsWellFormedUtf8(text, strlen(text)) ? CopyOut(text, out, capacity)
                                                       : CopyOut("", out, capacity);
    }
    return written;
}

// The user's locale, for a function that writes `out`; when there is none, `out` is left empty
// and the result is NULL.
static const LocaleFacts *LocaleOrEmpty(char *out, size_t capacity) {
    const LocaleFacts *facts = UserLocale();
    if (facts == NULL) {
        CopyOut("", out, capacity);
    }
    return facts;
}

int OsLocaleMeasure(char *out, size_t capacity) {
    const LocaleFacts *facts = LocaleOrEmpty(out, capacity);
    if (facts == NULL) {
        return 0;
    }
    locale_t locale = facts->locale;
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
    const LocaleFacts *facts = LocaleOrEmpty(out, capacity);
    if (facts == NULL) {
        return 0;
    }
    locale_t locale = facts->locale;
    char text[1024];
    if (strftime_l(text, sizeof text, format, time, locale) == 0) {
        out[0] = '\0';
        return 0;
    }
    return LocaleText(locale, text, out, capacity);
}

size_t OsFormatShortDate(int year, int month, int day, char *out, size_t capacity) {
    OsDateTime date = {year, month, day, 12, 0, 0, 0, 0};
    struct tm time;
    ToTm(&date, &time);
    time_t instant = timegm(&time);
    gmtime_r(&instant, &time); // fills the weekday and the day of the year
    if (time.tm_mday != day || time.tm_mon != month - 1) {
        // A day the month does not have: no date, rather than one rolled into the next month.
        CopyOut("", out, capacity);
        return 0;
    }
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

// Splits a UTF-8 time format into its pieces. Returns the number of pieces; a format with more
// pieces than `capacity` is taken as far as they go.
static size_t SplitFormat(const char *format, locale_t locale, FormatPiece *pieces,
                          size_t capacity) {
    size_t count = 0;
    const unsigned char *text = (const unsigned char *)format;
    size_t at = 0;
    while (text[at] != '\0' && count < capacity) {
        FormatPiece *piece = &pieces[count++];
        piece->start = at;
        piece->field = '\0';
        if (text[at] == '%') {
            // '%', flags, a width, an E or O modifier, the conversion's letter.
            size_t i = at + 1;
            while (text[i] != '\0' && strchr("_-0^#", text[i]) != NULL) {
                i++;
            }
            while (text[i] >= '0' && text[i] <= '9') {
                i++;
            }
            if (text[i] == 'E' || text[i] == 'O') {
                i++;
            }
            if (text[i] != '\0') {
                piece->kind = PIECE_FIELD;
                piece->field = (char)text[i];
                piece->length = i + 1 - at;
                at = i + 1;
                continue;
            }
        }
        uint32_t decoded;
        piece->length = OsUtf8Decode(format + at, strlen(format + at), &decoded);
        wint_t value = decoded == OS_NOT_A_CHARACTER ? 0xFFFD : (wint_t)decoded;
        piece->kind = iswspace_l(value, locale)   ? PIECE_BLANK
                      : iswpunct_l(value, locale) ? PIECE_MARK
                                                  : PIECE_WORD;
        at += piece->length;
    }
    return count;
}

// Removes the first conversion of `field` (%S, %M, also with a modifier) with the characters
// that belong to it: the word written right after it when there is one (ja_JP "%S秒", ko_KR
// "%M분", with the blank before it), else the separators before it (":%S", ".%M"), else, for a
// field that stands first, the separators after it. Returns the new number of pieces.
static size_t RemoveField(FormatPiece *pieces, size_t count, char field) {
    size_t i = 0;
    while (i < count && !(pieces[i].kind == PIECE_FIELD && pieces[i].field == field)) {
        i++;
    }
    if (i == count) {
        return count;
    }
    size_t from = i, to = i + 1;
    int word = 0;
    while (to < count && pieces[to].kind != PIECE_FIELD && pieces[to].kind != PIECE_BLANK) {
        word |= pieces[to].kind == PIECE_WORD;
        to++;
    }
    if (word) {
        if (from > 0 && pieces[from - 1].kind == PIECE_BLANK &&
            (to == count || pieces[to].kind == PIECE_BLANK)) {
            from--;
        }
    } else {
        to = i + 1;
        while (from > 0 &&
               (pieces[from - 1].kind == PIECE_BLANK || pieces[from - 1].kind == PIECE_MARK)) {
            from--;
        }
        if (from == i) {
            while (to < count &&
                   (pieces[to].kind == PIECE_BLANK || pieces[to].kind == PIECE_MARK)) {
                to++;
            }
        }
    }
    memmove(pieces + from, pieces + to, (count - to) * sizeof pieces[0]);
    return count - (to - from);
}

// Writes the pieces of a UTF-8 format with the time: the literal characters as they stand, each
// conversion as the locale writes it, made UTF-8. Cut on a character boundary. Returns the length
// written.
static size_t WriteFormat(const char *format, const FormatPiece *pieces, size_t count,
                          const struct tm *time, locale_t locale, char *out, size_t capacity) {
    size_t n = 0;
    for (size_t i = 0; i < count; i++) {
        const FormatPiece *piece = &pieces[i];
        char value[TEXT_PIECE_CAPACITY];
        const char *text = format + piece->start;
        size_t length = piece->length;
        if (piece->kind == PIECE_FIELD) {
            char conversion[CONVERSION_CAPACITY];
            char raw[TEXT_PIECE_CAPACITY];
            value[0] = '\0';
            if (length < sizeof conversion) {
                memcpy(conversion, text, length);
                conversion[length] = '\0';
                if (strftime_l(raw, sizeof raw, conversion, time, locale) > 0) {
                    LocaleText(locale, raw, value, sizeof value);
                }
            }
            text = value;
            length = strlen(value);
        }
        size_t fit = OsUtf8FitLength(text, length, capacity - 1 - n);
        memcpy(out + n, text, fit);
        n += fit;
        if (fit < length) {
            break;
        }
    }
    out[n] = '\0';
    return n;
}

// Works out the facts of a locale that the formatting functions read: its separators and
// markers made UTF-8, and its time format split into pieces for each OsTimeForm. Returns a
// malloc'd record that holds `locale` (FreeFacts frees both), or NULL when memory runs out.
static LocaleFacts *MakeFacts(locale_t locale) {
    LocaleFacts *facts = (LocaleFacts *)malloc(sizeof(LocaleFacts));
    if (facts == NULL) {
        return NULL;
    }
    facts->locale = locale;
    LocaleText(locale, nl_langinfo_l(RADIXCHAR, locale), facts->point, sizeof facts->point);
    LocaleText(locale, nl_langinfo_l(THOUSEP, locale), facts->thousands, sizeof facts->thousands);
    const char *grouping = nl_langinfo_l(GROUPING, locale);
    snprintf(facts->grouping, sizeof facts->grouping, "%s", grouping != NULL ? grouping : "");
    LocaleText(locale, nl_langinfo_l(AM_STR, locale), facts->am, sizeof facts->am);
    LocaleText(locale, nl_langinfo_l(PM_STR, locale), facts->pm, sizeof facts->pm);
    // Locales without a marker (de_DE) still show one for "tt", as Windows does.
    if (facts->am[0] == '\0') {
        CopyOut("AM", facts->am, sizeof facts->am);
    }
    if (facts->pm[0] == '\0') {
        CopyOut("PM", facts->pm, sizeof facts->pm);
    }
    char expanded[TIME_FORMAT_CAPACITY];
    ExpandTimeFormat(nl_langinfo_l(T_FMT, locale), locale, expanded, sizeof expanded);
    // The fields are removed from the format made UTF-8, where every character's length is
    // known; the locale's own code set may use several bytes for one character too.
    LocaleText(locale, expanded, facts->timeFormat, sizeof facts->timeFormat);
    for (int form = 0; form < TIME_FORMS; form++) {
        FormatPiece *pieces = facts->timePieces[form];
        size_t count = SplitFormat(facts->timeFormat, locale, pieces, TIME_FORMAT_CAPACITY);
        if (form != OS_TIME_FULL) {
            count = RemoveField(pieces, count, 'S');
        }
        if (form == OS_TIME_HOUR_ONLY) {
            count = RemoveField(pieces, count, 'M');
        }
        facts->timePieceCount[form] = count;
    }
    return facts;
}

size_t OsFormatTime(const OsDateTime *time, enum OsTimeForm form, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const LocaleFacts *facts = LocaleOrEmpty(out, capacity);
    if (facts == NULL) {
        return 0;
    }
    int index = form == OS_TIME_NO_SECONDS  ? OS_TIME_NO_SECONDS
                : form == OS_TIME_HOUR_ONLY ? OS_TIME_HOUR_ONLY
                                            : OS_TIME_FULL;
    struct tm when;
    ToTm(time, &when);
    return WriteFormat(facts->timeFormat, facts->timePieces[index], facts->timePieceCount[index],
                       &when, facts->locale, out, capacity);
}

size_t OsFormatTimePicture(const OsDateTime *time, const char *picture, char *out,
                           size_t capacity) {
    const LocaleFacts *facts = LocaleOrEmpty(out, capacity);
    if (facts == NULL) {
        return 0;
    }
    return FormatTimePicture(time->hour, time->minute, time->second, facts->am, facts->pm, picture,
                             out, capacity);
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

    const LocaleFacts *facts = UserLocale();
    if (facts == NULL) {
        return 0;
    }
    const char *point = facts->point;
    const char *thousands = facts->thousands;
    const char *grouping = facts->grouping;
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
    if (thousands[0] != '\0' && grouping[0] > 0) {
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
    const LocaleFacts *facts = LocaleOrEmpty(out, capacity);
    if (facts == NULL) {
        return 0;
    }
    CopyOut(facts->point, out, capacity < 4 ? capacity : 4);
    return out[0] != '\0';
}

size_t OsCalendarName(OsCalendarNames names, int index, char *out, size_t capacity) {
    nl_item name;
    int days = names == OS_LONG_DAY_NAMES || names == OS_SHORT_DAY_NAMES;
    if (index < 0 || index >= (days ? 7 : 12)) {
        CopyOut("", out, capacity);
        return 0;
    }
    // The names count from Monday; the C library's from Sunday.
    switch (names) {
    case OS_LONG_DAY_NAMES:
        name = (nl_item)(DAY_1 + (index + 1) % 7);
        break;
    case OS_SHORT_DAY_NAMES:
        name = (nl_item)(ABDAY_1 + (index + 1) % 7);
        break;
    case OS_LONG_MONTH_NAMES:
        name = (nl_item)(MON_1 + index);
        break;
    case OS_SHORT_MONTH_NAMES:
        name = (nl_item)(ABMON_1 + index);
        break;
    default:
        CopyOut("", out, capacity);
        return 0;
    }
    const LocaleFacts *facts = LocaleOrEmpty(out, capacity);
    if (facts == NULL) {
        return 0;
    }
    return LocaleText(facts->locale, nl_langinfo_l(name, facts->locale), out, capacity);
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
