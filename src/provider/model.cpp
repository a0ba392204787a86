#include "provider/model.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "base/calendar.h"
#include "platform/platform.h"

int ModelHas(double value) {
    return !isnan(value);
}

void ModelClearValues(ModelValues *values) {
    values->time = values->utc = MODEL_NO_TIME;
    values->temperature = values->apparent = values->dewPoint = NAN;
    values->humidity = values->precipChance = values->pressure = NAN;
    values->windSpeed = values->windDirection = values->windGust = NAN;
    values->visibility = values->uvIndex = NAN;
    values->precipitation = values->snowfall = NAN;
    values->weatherCode = MODEL_NO_CODE;
    values->isDay = -1;
}

void ModelClear(ModelWeather *model) {
    model->source[0] = '\0';
    model->latitude = model->longitude = NAN;
    model->hasOffset = 0;
    model->utcOffsetSeconds = 0;
    model->zoneAbbreviation[0] = model->zone[0] = '\0';
    ModelClearValues(&model->current);
    model->hourCount = 0;
    model->dayCount = 0;
    model->amountsPrecede = 0;
    model->quarterCount = 0;
}

int ZoneOffsetAt(const char *zone, int fallbackOffsetSeconds, int64_t utcMinutes,
                 int *offsetSeconds, char *abbreviation, size_t capacity) {
    char ignored[MODEL_ZONE_CAPACITY];
    if (abbreviation == NULL || capacity == 0) {
        abbreviation = ignored;
        capacity = sizeof ignored;
    }
    // Instants before 1970 or past the year 30000 are no file times the systems convert.
    if (zone[0] != '\0' && utcMinutes >= 0 && utcMinutes < 15000000000ll &&
        OsZoneAt(zone, UNIX_EPOCH_FILE_TIME + (uint64_t)utcMinutes * FILE_TICKS_PER_MINUTE,
                 offsetSeconds, abbreviation, capacity)) {
        return 1;
    }
    *offsetSeconds = fallbackOffsetSeconds;
    abbreviation[0] = '\0';
    return 0;
}

int64_t ZoneLocalMinutes(const char *zone, int fallbackOffsetSeconds, int64_t utcMinutes) {
    int offset = 0;
    ZoneOffsetAt(zone, fallbackOffsetSeconds, utcMinutes, &offset, NULL, 0);
    return utcMinutes + offset / 60;
}

int64_t ModelLocalMinutes(const ModelWeather *model, int64_t utcMinutes) {
    return ZoneLocalMinutes(model->zone, model->hasOffset ? model->utcOffsetSeconds : 0,
                            utcMinutes);
}

// Reads exactly `count` digits.
static int Digits(const char *text, int count, int *value) {
    *value = 0;
    for (int i = 0; i < count; i++) {
        if (text[i] < '0' || text[i] > '9') {
            return 0;
        }
        *value = *value * 10 + (text[i] - '0');
    }
    return 1;
}

int ParseLocalTime(const char *text, int64_t *minutes) {
    int year, month, day, hour = 0, minute = 0;
    size_t length = strlen(text);
    if (length < 10 || !Digits(text, 4, &year) || text[4] != '-' || !Digits(text + 5, 2, &month) ||
        text[7] != '-' || !Digits(text + 8, 2, &day)) {
        return 0;
    }
    if (length > 10) {
        int second = 0;
        if ((length != 16 && length != 19) || text[10] != 'T' || !Digits(text + 11, 2, &hour) ||
            text[13] != ':' || !Digits(text + 14, 2, &minute)) {
            return 0;
        }
        if (length == 19 && (text[16] != ':' || !Digits(text + 17, 2, &second) || second > 59)) {
            return 0;
        }
    }
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59) {
        return 0;
    }
    *minutes = DaysFromCivil(year, month, day) * 1440 + hour * 60 + minute;
    return 1;
}

int ParseHttpDate(const char *text, int64_t *seconds) {
    int day, year, hour, minute, second;
    // "Ddd, DD Mon YYYY HH:MM:SS GMT": 29 characters exactly.
    if (strlen(text) != 29 || text[3] != ',' || text[4] != ' ' || !Digits(text + 5, 2, &day) ||
        text[7] != ' ' || text[11] != ' ' || !Digits(text + 12, 4, &year) || text[16] != ' ' ||
        !Digits(text + 17, 2, &hour) || text[19] != ':' || !Digits(text + 20, 2, &minute) ||
        text[22] != ':' || !Digits(text + 23, 2, &second) || strcmp(text + 25, " GMT") != 0) {
        return 0;
    }
    int month = 0;
    while (month < 12 && memcmp(MonthAbbreviation(month + 1), text + 8, 3) != 0) {
        month++;
    }
    if (month == 12 || year < 1970 || day < 1 || day > DaysInMonth(year, month + 1) || hour > 23 ||
        minute > 59 || second > 60) {
        return 0;
    }
    *seconds = ((DaysFromCivil(year, month + 1, day) * 24 + hour) * 60 + minute) * 60 + second;
    return 1;
}

int64_t DayOfMinutes(int64_t minutes) {
    return FloorDivide(minutes, 1440);
}

int MinuteOfDay(int64_t minutes) {
    return (int)(minutes - DayOfMinutes(minutes) * 1440);
}

int FormatFixed(double value, int decimals, char *out, size_t capacity) {
    static const long long kScale[5] = {1, 10, 100, 1000, 10000};
    if (capacity > 0) {
        out[0] = '\0';
    }
    if (isnan(value) || fabs(value) > 1e12 || decimals < 0 || decimals > 4) {
        return 0;
    }
    long long scaled = llround(fabs(value) * (double)kScale[decimals]);
    const char *sign = (value < 0 && scaled != 0) ? "-" : "";
    long long whole = scaled / kScale[decimals];
    long long fraction = scaled % kScale[decimals];
    int written = decimals == 0
                      ? snprintf(out, capacity, "%s%lld", sign, whole)
                      : snprintf(out, capacity, "%s%lld.%0*lld", sign, whole, decimals, fraction);
    if (written < 0 || (size_t)written >= capacity) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

int FormatPoint(double latitude, double longitude, char *latitudeText, char *longitudeText,
                size_t capacity) {
    return FormatFixed(latitude, 4, latitudeText, capacity) &&
           FormatFixed(longitude, 4, longitudeText, capacity);
}

int RoundToInt(double value) {
    return (int)lround(value);
}
