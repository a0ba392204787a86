#include "provider/metno.h"

#include <math.h>
#include <string.h>

#include "base/text.h"
#include "provider/json.h"
#include "provider/sun.h"
#include "provider/wmo.h"

using rapidjson::Value;

static const double kKmhPerMs = 3.6;

int MetNorwayRequestAddress(const char *api, const char *latitude, const char *longitude, char *out,
                            size_t capacity) {
    if (!FormatText(out, capacity, "%s%clat=%s&lon=%s", api, strchr(api, '?') ? '&' : '?', latitude,
                    longitude)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// ---- Symbols -------------------------------------------------------------------------------

typedef struct MetSymbol {
    const char *base; // the code without its suffix
    int wmo;
    int suffixed; // 1: comes as _day, _night and _polartwilight; 0: never has a suffix
} MetSymbol;

// The service's 41 bases, each with the nearest WMO code the provider's table knows. Sleet is
// rain and snow together (68 and 69, 83 and 84 as showers), not freezing rain; every kind of
// thunder is 95, as 96 and 99 say hail, which no symbol does. The two misspelt bases are the
// service's own and stay as it sends them.
static const MetSymbol kMetSymbols[] = {
    {"clearsky", 0, 1},
    {"fair", 1, 1},
    {"partlycloudy", 2, 1},
    {"cloudy", 3, 0},
    {"fog", 45, 0},
    {"lightrain", 61, 0},
    {"rain", 63, 0},
    {"heavyrain", 65, 0},
    {"lightrainshowers", 80, 1},
    {"rainshowers", 81, 1},
    {"heavyrainshowers", 82, 1},
    {"lightsleet", 68, 0},
    {"sleet", 69, 0},
    {"heavysleet", 69, 0},
    {"lightsleetshowers", 83, 1},
    {"sleetshowers", 84, 1},
    {"heavysleetshowers", 84, 1},
    {"lightsnow", 71, 0},
    {"snow", 73, 0},
    {"heavysnow", 75, 0},
    {"lightsnowshowers", 85, 1},
    {"snowshowers", 85, 1},
    {"heavysnowshowers", 86, 1},
    {"lightrainandthunder", 95, 0},
    {"rainandthunder", 95, 0},
    {"heavyrainandthunder", 95, 0},
    {"lightsleetandthunder", 95, 0},
    {"sleetandthunder", 95, 0},
    {"heavysleetandthunder", 95, 0},
    {"lightsnowandthunder", 95, 0},
    {"snowandthunder", 95, 0},
    {"heavysnowandthunder", 95, 0},
    {"lightrainshowersandthunder", 95, 1},
    {"rainshowersandthunder", 95, 1},
    {"heavyrainshowersandthunder", 95, 1},
    {"lightssleetshowersandthunder", 95, 1},
    {"sleetshowersandthunder", 95, 1},
    {"heavysleetshowersandthunder", 95, 1},
    {"lightssnowshowersandthunder", 95, 1},
    {"snowshowersandthunder", 95, 1},
    {"heavysnowshowersandthunder", 95, 1},
};

typedef struct MetSuffix {
    const char *text;
    int isDay;
} MetSuffix;

static const MetSuffix kMetSuffixes[] = {{"_day", 1}, {"_night", 0}, {"_polartwilight", 0}};

int MetNorwayGuessOffset(double longitude, int computerOffsetSeconds) {
    if (!(longitude >= -180.0 && longitude <= 180.0)) {
        longitude = 0.0; // NaN or beyond the globe: the prime meridian
    }
    int nautical = (int)lround(longitude / 15.0) * 3600;
    int apart = computerOffsetSeconds > nautical ? computerOffsetSeconds - nautical
                                                 : nautical - computerOffsetSeconds;
    return apart <= 2 * 3600 ? computerOffsetSeconds : nautical;
}

int MetSymbolWmo(const char *symbol, size_t length, int *wmo, int *isDay) {
    *wmo = MODEL_NO_CODE;
    *isDay = -1;
    size_t baseLength = length;
    int suffixDay = -1;
    for (size_t s = 0; s < sizeof kMetSuffixes / sizeof kMetSuffixes[0]; s++) {
        size_t n = strlen(kMetSuffixes[s].text);
        if (length > n && memcmp(symbol + length - n, kMetSuffixes[s].text, n) == 0) {
            baseLength = length - n;
            suffixDay = kMetSuffixes[s].isDay;
            break;
        }
    }
    for (size_t i = 0; i < sizeof kMetSymbols / sizeof kMetSymbols[0]; i++) {
        const MetSymbol *entry = &kMetSymbols[i];
        if (strlen(entry->base) == baseLength && memcmp(entry->base, symbol, baseLength) == 0 &&
            entry->suffixed == (suffixDay >= 0)) {
            *wmo = entry->wmo;
            *isDay = suffixDay;
            return 1;
        }
    }
    return 0;
}

int MetNorwayAnswerFresh(const char *expires, const char *date, int64_t arrivedSeconds,
                         int64_t nowSeconds) {
    int64_t expiresSeconds = 0, dateSeconds = 0;
    if (!ParseHttpDate(expires, &expiresSeconds) || nowSeconds < arrivedSeconds) {
        return 0;
    }
    int64_t age = nowSeconds - arrivedSeconds;
    int64_t lifetime = MET_NORWAY_LONGEST_FRESHNESS;
    if (ParseHttpDate(date, &dateSeconds)) {
        if (expiresSeconds - dateSeconds < lifetime) {
            lifetime = expiresSeconds - dateSeconds;
        }
    } else if (nowSeconds >= expiresSeconds) {
        return 0;
    }
    return age < lifetime;
}

// ---- Computed values -----------------------------------------------------------------------

double ApparentTemperature(double celsius, double humidity, double windKmh) {
    if (!ModelHas(celsius) || !ModelHas(humidity) || !ModelHas(windKmh)) {
        return NAN;
    }
    // Water vapour pressure (hPa) and the wind at 2 m (m/s) of Steadman's formula.
    double vapour = humidity / 100.0 * 6.105 * exp(17.27 * celsius / (237.7 + celsius));
    double wind2m = windKmh / kKmhPerMs * 0.75;
    return celsius + 0.348 * vapour - 0.70 * wind2m - 4.25;
}

// ---- Reading the answer --------------------------------------------------------------------

static double NumberIn(const Value *value, double low, double high) {
    if (value == NULL || !value->IsNumber()) {
        return NAN;
    }
    double number = value->GetDouble();
    return (isfinite(number) && number >= low && number <= high) ? number : NAN;
}

static double Detail(const Value *details, const char *name, double low, double high) {
    return NumberIn(JsonMember(details, name), low, high);
}

static double Kmh(double metresPerSecond) {
    return ModelHas(metresPerSecond) ? metresPerSecond * kKmhPerMs : NAN;
}

// "2026-12-09T01:00:00Z" (seconds and the Z required) as UTC minutes.
static int UtcTimeIn(const Value *value, int64_t *minutes) {
    if (value == NULL || !value->IsString() || value->GetStringLength() != 20 ||
        value->GetString()[19] != 'Z') {
        return 0;
    }
    char text[20];
    memcpy(text, value->GetString(), 19);
    text[19] = '\0';
    return ParseLocalTime(text, minutes);
}

// A period's symbol as a WMO code with its day or night; MODEL_NO_CODE without one.
static void PeriodSymbol(const Value *period, int *wmo, int *isDay) {
    const Value *symbol = JsonMember(JsonMember(period, "summary"), "symbol_code");
    *wmo = MODEL_NO_CODE;
    *isDay = -1;
    if (symbol != NULL && symbol->IsString()) {
        MetSymbolWmo(symbol->GetString(), symbol->GetStringLength(), wmo, isDay);
    }
}

// The extremes of one step's instant and six-hour period, for the days.
typedef struct StepExtremes {
    double high, low; // degrees Celsius, or NaN
    int hasPeriod;    // 1 when the step begins a forecast period
} StepExtremes;

static double Higher(double a, double b) {
    return !ModelHas(a) ? b : !ModelHas(b) ? a : (a > b ? a : b);
}

static double Lower(double a, double b) {
    return !ModelHas(a) ? b : !ModelHas(b) ? a : (a < b ? a : b);
}

// One time step into an hour of the record; returns the step's extremes.
static StepExtremes ReadStep(const Value *data, int64_t utcMinutes, const MetNorwayClock *clock,
                             ModelValues *hour) {
    const Value *instant = JsonMember(JsonMember(data, "instant"), "details");
    hour->temperature = Detail(instant, "air_temperature", -100, 70);
    hour->dewPoint = Detail(instant, "dew_point_temperature", -100, 70);
    hour->humidity = Detail(instant, "relative_humidity", 0, 100);
    hour->pressure = Detail(instant, "air_pressure_at_sea_level", 800, 1100);
    hour->windSpeed = Kmh(Detail(instant, "wind_speed", 0, 150));
    hour->windGust = Kmh(Detail(instant, "wind_speed_of_gust", 0, 150));
    hour->windDirection = Detail(instant, "wind_from_direction", 0, 360);
    hour->uvIndex = Detail(instant, "ultraviolet_index_clear_sky", 0, 30);
    hour->visibility = NAN;
    hour->apparent = ApparentTemperature(hour->temperature, hour->humidity, hour->windSpeed);

    // The hour's own period where the step has one, else the six-hour period that follows it.
    const Value *nextHour = JsonMember(data, "next_1_hours");
    const Value *nextSix = JsonMember(data, "next_6_hours");
    const Value *nextTwelve = JsonMember(data, "next_12_hours");
    const Value *period = nextHour != NULL ? nextHour : nextSix != NULL ? nextSix : nextTwelve;
    int isDay = -1;
    PeriodSymbol(period, &hour->weatherCode, &isDay);
    hour->precipChance =
        Detail(JsonMember(period, "details"), "probability_of_precipitation", 0, 100);
    // Only an hour's own period says how much falls in that hour; the service gives no snow.
    hour->precipitation = Detail(JsonMember(nextHour, "details"), "precipitation_amount", 0, 1000);
    hour->snowfall = NAN;
    hour->isDay = isDay >= 0 ? isDay : SunIsUp(utcMinutes, clock->latitude, clock->longitude);

    StepExtremes extremes;
    const Value *six = JsonMember(nextSix, "details");
    extremes.high = Higher(hour->temperature, Detail(six, "air_temperature_max", -100, 70));
    extremes.low = Lower(hour->temperature, Detail(six, "air_temperature_min", -100, 70));
    extremes.hasPeriod = period != NULL && period->IsObject();
    return extremes;
}

// The place's wall clock at the instant `utcMinutes`: by its zone's rules at that instant, else
// by the clock's one offset.
static int64_t LocalAt(const MetNorwayClock *clock, int64_t utcMinutes) {
    return ZoneLocalMinutes(clock->zone, clock->hasOffset ? clock->utcOffsetSeconds : 0,
                            utcMinutes);
}

// Starts a new day of the record for a local date; returns it, or NULL when there is no room.
static ModelDay *StartDay(ModelWeather *model, int64_t date, const MetNorwayClock *clock) {
    if (model->dayCount >= MODEL_DAY_CAPACITY) {
        return NULL;
    }
    ModelDay *day = &model->days[model->dayCount++];
    day->date = date;
    day->high = day->low = day->precipChance = NAN;
    day->weatherCode = MODEL_NO_CODE;
    day->sunrise = day->sunset = MODEL_NO_TIME;
    // The events of the solar days around the date whose local times fall on it: far from the
    // zone's own meridian (a place whose zone is not known reads GMT) the sunset of a date's
    // solar day falls on the next local date, and the date's own is the one of the day before.
    // A polar day or night has neither; a date with no such event of its own has none.
    for (int64_t days = DayOfMinutes(date) - 1; days <= DayOfMinutes(date) + 1; days++) {
        int64_t rise, set;
        if (SunRiseSet(days, clock->latitude, clock->longitude, &rise, &set) !=
            SUN_RISES_AND_SETS) {
            continue;
        }
        rise = LocalAt(clock, rise);
        set = LocalAt(clock, set);
        if (day->sunrise == MODEL_NO_TIME && DayOfMinutes(rise) * 1440 == date) {
            day->sunrise = rise;
        }
        if (day->sunset == MODEL_NO_TIME && DayOfMinutes(set) * 1440 == date) {
            day->sunset = set;
        }
    }
    return day;
}

static void AddToDay(ModelDay *day, const ModelValues *hour, const StepExtremes *extremes) {
    day->high = Higher(day->high, extremes->high);
    day->low = Lower(day->low, extremes->low);
    day->precipChance = Higher(day->precipChance, hour->precipChance);
    if (WmoSeverity(hour->weatherCode) > WmoSeverity(day->weatherCode)) {
        day->weatherCode = hour->weatherCode;
    }
}

// The point of the answer: [lon, lat, altitude].
static void ReadPoint(const Value *answer, ModelWeather *model) {
    const Value *coordinates = JsonMember(JsonMember(answer, "geometry"), "coordinates");
    if (coordinates != NULL && coordinates->IsArray() && coordinates->Size() >= 2) {
        model->longitude = NumberIn(&(*coordinates)[0], -180, 180);
        model->latitude = NumberIn(&(*coordinates)[1], -90, 90);
    }
}

enum AnswerKind ReadMetNorwayAnswer(const char *json, size_t length, const MetNorwayClock *clock,
                                    ModelWeather *model) {
    ModelClear(model);
    CopyText(model->source, sizeof model->source, MET_NORWAY_SOURCE_NAME);
    rapidjson::Document document;
    if (!JsonParseObject(&document, json, length)) {
        return ANSWER_UNREADABLE;
    }
    const Value *steps = JsonMember(JsonMember(&document, "properties"), "timeseries");
    if (steps == NULL || !steps->IsArray()) {
        return ANSWER_UNREADABLE;
    }
    ReadPoint(&document, model);
    model->hasOffset = clock->hasOffset;
    model->utcOffsetSeconds = clock->hasOffset ? clock->utcOffsetSeconds : 0;
    CopyText(model->zoneAbbreviation, sizeof model->zoneAbbreviation, clock->zoneAbbreviation);
    CopyText(model->zone, sizeof model->zone, clock->zone);

    int64_t last = MODEL_NO_TIME;
    int current = -1;
    ModelDay *day = NULL;
    for (rapidjson::SizeType i = 0; i < steps->Size() && model->hourCount < MODEL_HOUR_CAPACITY;
         i++) {
        const Value *step = &(*steps)[i];
        const Value *data = JsonMember(step, "data");
        int64_t utc;
        if (data == NULL || !data->IsObject() || !UtcTimeIn(JsonMember(step, "time"), &utc) ||
            (last != MODEL_NO_TIME && utc <= last)) {
            continue;
        }
        last = utc;
        ModelValues *hour = &model->hours[model->hourCount];
        ModelClearValues(hour);
        hour->time = LocalAt(clock, utc);
        hour->utc = utc;
        StepExtremes extremes = ReadStep(data, utc, clock, hour);
        if (utc <= clock->utcNowMinutes || current < 0) {
            current = model->hourCount;
        }
        model->hourCount++;
        // The fencepost step, an instant without a period, begins no day of its own.
        int64_t date = DayOfMinutes(hour->time) * 1440;
        if (day == NULL || day->date != date) {
            day = extremes.hasPeriod ? StartDay(model, date, clock) : NULL;
        }
        if (day != NULL) {
            AddToDay(day, hour, &extremes);
        }
    }
    if (current < 0) {
        return ANSWER_UNREADABLE;
    }
    model->current = model->hours[current];
    return ANSWER_WEATHER;
}

// ---- The nowcast ---------------------------------------------------------------------------

// The kind of the precipitation a symbol names ("lightsnow", "sleetshowers_day", "rain").
static enum PrecipKind SymbolKind(const Value *symbol) {
    if (symbol == NULL || !symbol->IsString()) {
        return PRECIP_RAIN;
    }
    const char *text = symbol->GetString();
    return strstr(text, "sleet") != NULL  ? PRECIP_SLEET
           : strstr(text, "snow") != NULL ? PRECIP_SNOW
                                          : PRECIP_RAIN;
}

enum AnswerKind ReadMetNowcastAnswer(const char *json, size_t length, NowcastRecord *nowcast) {
    memset(nowcast, 0, sizeof *nowcast);
    nowcast->kind = PRECIP_RAIN;
    rapidjson::Document document;
    if (!JsonParseObject(&document, json, length)) {
        return ANSWER_UNREADABLE;
    }
    const Value *properties = JsonMember(&document, "properties");
    const Value *steps = JsonMember(properties, "timeseries");
    if (steps == NULL || !steps->IsArray()) {
        return ANSWER_UNREADABLE;
    }
    const Value *coverage = JsonMember(JsonMember(properties, "meta"), "radar_coverage");
    nowcast->radarCovers =
        coverage != NULL && coverage->IsString() && strcmp(coverage->GetString(), "ok") == 0;
    for (rapidjson::SizeType i = 0; i < steps->Size() && nowcast->count < NOWCAST_STEP_CAPACITY;
         i++) {
        const Value *data = JsonMember(&(*steps)[i], "data");
        int64_t utc;
        if (!UtcTimeIn(JsonMember(&(*steps)[i], "time"), &utc) ||
            (nowcast->count > 0 && utc <= nowcast->utc[nowcast->count - 1])) {
            continue;
        }
        if (nowcast->count == 0) {
            nowcast->kind = SymbolKind(
                JsonMember(JsonMember(JsonMember(data, "next_1_hours"), "summary"), "symbol_code"));
        }
        nowcast->utc[nowcast->count] = utc;
        nowcast->rate[nowcast->count] = Detail(JsonMember(JsonMember(data, "instant"), "details"),
                                               "precipitation_rate", 0, 500);
        nowcast->count++;
    }
    return nowcast->count > 0 ? ANSWER_WEATHER : ANSWER_UNREADABLE;
}
