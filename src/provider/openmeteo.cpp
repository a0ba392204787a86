#include "provider/openmeteo.h"

#include <math.h>
#include <string.h>

#include "feed/address.h"
#include "base/text.h"
#include "provider/json.h"
#include "provider/service_text.h"

using rapidjson::Value;

// What is asked, in one request: the current conditions, every hour and every day of the
// forecast. Pressure comes hourly too, for its trend over the last three hours.
static const char kCurrentVariables[] =
    "temperature_2m,relative_humidity_2m,apparent_temperature,dew_point_2m,is_day,weather_code,"
    "pressure_msl,wind_speed_10m,wind_direction_10m,wind_gusts_10m,visibility,uv_index";
static const char kHourlyVariables[] =
    "temperature_2m,relative_humidity_2m,apparent_temperature,dew_point_2m,"
    "precipitation_probability,precipitation,snowfall,weather_code,is_day,pressure_msl,"
    "wind_speed_10m,wind_direction_10m,wind_gusts_10m";
static const char kDailyVariables[] =
    "weather_code,temperature_2m_max,temperature_2m_min,sunrise,sunset,"
    "precipitation_probability_max";

static char QuerySeparator(const char *api) {
    return strchr(api, '?') ? '&' : '?';
}

int ForecastRequestAddress(const char *api, const char *latitude, const char *longitude,
                           int quarters, char *out, size_t capacity) {
    // Nine quarters: the one in progress and the eight of the next two hours.
    if (!FormatText(out, capacity,
                    "%s%clatitude=%s&longitude=%s&current=%s&hourly=%s&daily=%s&timezone=auto&"
                    "timeformat=unixtime&past_days=%d&forecast_days=%d%s",
                    api, QuerySeparator(api), latitude, longitude, kCurrentVariables,
                    kHourlyVariables, kDailyVariables, PAST_DAYS_ASKED, FORECAST_DAYS_ASKED,
                    quarters ? "&minutely_15=precipitation,snowfall&forecast_minutely_15=9" : "")) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// The air-quality variables, in the order of enum AirValue.
static const char *const kAirVariables[AIR_VALUE_COUNT] = {
    "us_aqi",           "european_aqi",    "pm2_5",           "pm10",         "ozone",
    "nitrogen_dioxide", "sulphur_dioxide", "carbon_monoxide", "dust",         "alder_pollen",
    "birch_pollen",     "grass_pollen",    "mugwort_pollen",  "olive_pollen", "ragweed_pollen"};
#define AIR_VARIABLE_LIST                                                                          \
    "us_aqi,european_aqi,pm2_5,pm10,ozone,nitrogen_dioxide,sulphur_dioxide,carbon_monoxide,dust,"  \
    "alder_pollen,birch_pollen,grass_pollen,mugwort_pollen,olive_pollen,ragweed_pollen"

int AirQualityRequestAddress(const char *api, const char *latitude, const char *longitude,
                             char *out, size_t capacity) {
    if (!FormatText(out, capacity,
                    "%s%clatitude=%s&longitude=%s&current=" AIR_VARIABLE_LIST
                    "&hourly=" AIR_VARIABLE_LIST
                    "&forecast_days=5&timezone=auto&timeformat=unixtime",
                    api, QuerySeparator(api), latitude, longitude)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int PlaceRequestAddress(const char *api, const char *name, char *out, size_t capacity) {
    char encoded[256];
    if (!PercentEncode(name, encoded, sizeof encoded) ||
        !FormatText(out, capacity, "%s%cname=%s&count=1&language=en&format=json", api,
                    QuerySeparator(api), encoded)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

// ---- Reading JSON values -------------------------------------------------------------------

// The value of a variable: the member itself (index < 0), or element `index` of its array.
static const Value *Field(const Value *section, const char *name, int index) {
    const Value *value = JsonMember(section, name);
    if (value == NULL || index < 0) {
        return value;
    }
    if (!value->IsArray() || (rapidjson::SizeType)index >= value->Size()) {
        return NULL;
    }
    return &(*value)[(rapidjson::SizeType)index];
}

// A number within [low, high], else NaN.
static double NumberIn(const Value *value, double low, double high) {
    if (value == NULL || !value->IsNumber()) {
        return NAN;
    }
    double number = value->GetDouble();
    return (isfinite(number) && number >= low && number <= high) ? number : NAN;
}

// A whole number within [low, high], else `absent`.
static int WholeIn(const Value *value, int low, int high, int absent) {
    double number = NumberIn(value, low, high);
    return (ModelHas(number) && number == floor(number)) ? (int)number : absent;
}

// An instant at which a zone's rules are read to learn whether the system knows the zone.
static const int64_t kZoneCheckMinutes = 1000000000 / 60; // 2001-09-09

// How the answer's times are read: its one offset, which labels wall-clock texts, and the zone
// whose rules give each instant its own offset.
typedef struct AnswerClock {
    int offsetSeconds;              // the answer's utc_offset_seconds, or 0
    char zone[PLACE_ZONE_CAPACITY]; // the answer's timezone, or empty
} AnswerClock;

// An instant of the answer as UTC minutes: Unix seconds (as asked for), or a wall-clock text
// labelled with the answer's one offset (as answers kept before were).
static int InstantIn(const Value *value, const AnswerClock *clock, int64_t *utcMinutes) {
    if (value != NULL && value->IsNumber()) {
        double seconds = value->GetDouble();
        if (!(seconds >= 0 && seconds < 4e11) || seconds != floor(seconds)) {
            return 0;
        }
        *utcMinutes = (int64_t)floor(seconds / 60.0);
        return 1;
    }
    if (value == NULL || !value->IsString() || value->GetStringLength() >= 32) {
        return 0;
    }
    char text[32];
    int64_t local;
    memcpy(text, value->GetString(), value->GetStringLength());
    text[value->GetStringLength()] = '\0';
    if (!ParseLocalTime(text, &local)) {
        return 0;
    }
    *utcMinutes = local - clock->offsetSeconds / 60;
    return 1;
}

// The place's wall clock at an instant of the answer.
static int64_t LocalOf(const AnswerClock *clock, int64_t utcMinutes) {
    return ZoneLocalMinutes(clock->zone, clock->offsetSeconds, utcMinutes);
}

// An instant of the answer as the place's wall clock, and as UTC minutes.
static int TimeIn(const Value *value, const AnswerClock *clock, int64_t *minutes,
                  int64_t *utcMinutes) {
    if (!InstantIn(value, clock, utcMinutes)) {
        return 0;
    }
    *minutes = LocalOf(clock, *utcMinutes);
    return 1;
}

// A string member as a bounded service text; empty when absent.
static void TextIn(const Value *value, char *out, size_t capacity) {
    out[0] = '\0';
    if (value != NULL && value->IsString()) {
        ServiceText(value->GetString(), value->GetStringLength(), out, capacity);
    }
}

// The service's refusal: {"error": true, "reason": "..."}. Returns 1 with the reason.
static int Refusal(const Value *answer, char *reason, size_t capacity) {
    const Value *error = JsonMember(answer, "error");
    const Value *text = JsonMember(answer, "reason");
    if (error == NULL || !error->IsBool() || !error->GetBool() || text == NULL ||
        !text->IsString()) {
        return 0;
    }
    TextIn(text, reason, capacity);
    if (reason[0] == '\0') {
        CopyText(reason, capacity, "The service refused the request.");
    }
    return 1;
}

// Parses an answer and reads the service's refusal from it, with the reason emptied first.
// Returns ANSWER_WEATHER when the answer may be read on, ANSWER_REFUSED or ANSWER_UNREADABLE.
static enum AnswerKind OpenAnswer(rapidjson::Document *document, const char *json, size_t length,
                                  char *reason, size_t reasonCapacity) {
    if (reasonCapacity > 0) {
        reason[0] = '\0';
    }
    if (!JsonParseObject(document, json, length)) {
        return ANSWER_UNREADABLE;
    }
    return Refusal(document, reason, reasonCapacity) ? ANSWER_REFUSED : ANSWER_WEATHER;
}

// ---- The forecast answer -------------------------------------------------------------------

// Factors to the model's units from the units an answer names.
typedef struct Units {
    int fahrenheit;           // temperatures in degrees Fahrenheit
    double speedToKmh;        // wind speeds
    double distanceToMetres;  // visibility
    double precipitationToMm; // precipitation amounts
    double snowfallToCm;      // snowfall
} Units;

static int EndsWith(const char *text, size_t length, const char *suffix) {
    size_t n = strlen(suffix);
    return length >= n && memcmp(text + length - n, suffix, n) == 0;
}

// The factor from the unit `unit` names to `base`: 1 for `base` itself or no unit at all, the
// inch's in `base` for "inch"; NaN for any other unit.
static double LengthFactor(const Value *unit, const char *base, double absent) {
    if (unit == NULL || !unit->IsString()) {
        return absent;
    }
    const char *text = unit->GetString();
    if (strcmp(text, base) == 0) {
        return 1.0;
    }
    if (strcmp(text, "inch") == 0) {
        return strcmp(base, "mm") == 0 ? 25.4 : 2.54;
    }
    return NAN;
}

static Units UnitsOf(const Value *units) {
    Units result = {0, 1.0, 1.0, 1.0, 1.0};
    const Value *temperature = JsonMember(units, "temperature_2m");
    if (temperature && temperature->IsString()) {
        result.fahrenheit = EndsWith(temperature->GetString(), temperature->GetStringLength(), "F");
    }
    // The service names miles per hour "mp/h"; an answer without a unit is in its default,
    // km/h; a unit it does not know gives no speeds rather than wrong ones.
    const Value *speed = JsonMember(units, "wind_speed_10m");
    if (speed == NULL) {
        speed = JsonMember(units, "wind_gusts_10m");
    }
    if (speed && speed->IsString()) {
        static const struct {
            const char *name;
            double toKmh;
        } kSpeedUnits[] = {{"km/h", 1.0}, {"mp/h", 1.609344}, {"mph", 1.609344},
                           {"m/s", 3.6},  {"ms", 3.6},        {"kn", 1.852}};
        const char *text = speed->GetString();
        result.speedToKmh = NAN;
        for (size_t i = 0; i < sizeof kSpeedUnits / sizeof kSpeedUnits[0]; i++) {
            if (strcmp(text, kSpeedUnits[i].name) == 0) {
                result.speedToKmh = kSpeedUnits[i].toKmh;
            }
        }
    }
    // Amounts in the service's default units (mm, and cm of snow), or inches as asked; a unit
    // it does not know gives no amounts rather than wrong ones.
    result.precipitationToMm = LengthFactor(JsonMember(units, "precipitation"), "mm", 1.0);
    result.snowfallToCm = LengthFactor(JsonMember(units, "snowfall"), "cm", 1.0);
    const Value *distance = JsonMember(units, "visibility");
    if (distance && distance->IsString()) {
        const char *text = distance->GetString();
        if (strcmp(text, "ft") == 0) {
            result.distanceToMetres = 0.3048;
        } else if (strcmp(text, "km") == 0) {
            result.distanceToMetres = 1000.0;
        } else if (strcmp(text, "mi") == 0) {
            result.distanceToMetres = 1609.344;
        }
    }
    return result;
}

static double Temperature(const Value *value, const Units *units) {
    double t = units->fahrenheit ? NumberIn(value, -150, 160) : NumberIn(value, -100, 70);
    if (ModelHas(t) && units->fahrenheit) {
        t = (t - 32.0) * 5.0 / 9.0;
    }
    return t;
}

static double Scaled(double value, double factor, double highest) {
    double scaled = value * factor;
    return (ModelHas(value) && scaled <= highest) ? scaled : NAN;
}

// The values of one instant: the members of `section` (index < 0) or element `index` of its
// arrays.
static void ReadValues(const Value *section, int index, const Units *units, ModelValues *out) {
    out->temperature = Temperature(Field(section, "temperature_2m", index), units);
    out->apparent = Temperature(Field(section, "apparent_temperature", index), units);
    out->dewPoint = Temperature(Field(section, "dew_point_2m", index), units);
    out->humidity = NumberIn(Field(section, "relative_humidity_2m", index), 0, 100);
    out->precipChance = NumberIn(Field(section, "precipitation_probability", index), 0, 100);
    out->pressure = NumberIn(Field(section, "pressure_msl", index), 800, 1100);
    out->windSpeed =
        Scaled(NumberIn(Field(section, "wind_speed_10m", index), 0, 1000), units->speedToKmh, 500);
    out->windGust =
        Scaled(NumberIn(Field(section, "wind_gusts_10m", index), 0, 1000), units->speedToKmh, 500);
    out->windDirection = NumberIn(Field(section, "wind_direction_10m", index), 0, 360);
    out->visibility =
        Scaled(NumberIn(Field(section, "visibility", index), 0, 1e7), units->distanceToMetres, 1e6);
    out->uvIndex = NumberIn(Field(section, "uv_index", index), 0, 30);
    out->precipitation = Scaled(NumberIn(Field(section, "precipitation", index), 0, 1000),
                                units->precipitationToMm, 1000);
    out->snowfall =
        Scaled(NumberIn(Field(section, "snowfall", index), 0, 1000), units->snowfallToCm, 1000);
    out->weatherCode = WholeIn(Field(section, "weather_code", index), 0, 99, MODEL_NO_CODE);
    out->isDay = WholeIn(Field(section, "is_day", index), 0, 1, -1);
}

// Entry `i` of a time array, when it can be read and comes after the last entry kept: then it
// becomes the last. A series that runs backwards or repeats itself keeps only what moves
// forward, so every later search can count on the order. Hours are instants, read by the zone;
// days are dates, which the answer's one offset labels (their midnights, an hour off after a
// change of summer time, are no instants of the place).
static int LaterTime(const Value *times, rapidjson::SizeType i, const AnswerClock *clock, int dates,
                     int64_t *last, int64_t *time, int64_t *utc) {
    if (!InstantIn(&(*times)[i], clock, utc) || (*last != MODEL_NO_TIME && *utc <= *last)) {
        return 0;
    }
    *time = dates ? *utc + clock->offsetSeconds / 60 : LocalOf(clock, *utc);
    if (dates && MinuteOfDay(*time) != 0) {
        return 0;
    }
    *last = *utc;
    return 1;
}

static void ReadHours(const Value *hourly, const Units *units, const AnswerClock *clock,
                      ModelWeather *model) {
    const Value *times = JsonMember(hourly, "time");
    if (times == NULL || !times->IsArray()) {
        return;
    }
    int64_t last = MODEL_NO_TIME, time, utc;
    for (rapidjson::SizeType i = 0; i < times->Size() && model->hourCount < MODEL_HOUR_CAPACITY;
         i++) {
        if (LaterTime(times, i, clock, 0, &last, &time, &utc)) {
            ModelValues *hour = &model->hours[model->hourCount++];
            hour->time = time;
            hour->utc = utc;
            ReadValues(hourly, (int)i, units, hour);
        }
    }
}

static void ReadDays(const Value *daily, const Units *units, const AnswerClock *clock,
                     ModelWeather *model) {
    const Value *dates = JsonMember(daily, "time");
    if (dates == NULL || !dates->IsArray()) {
        return;
    }
    int64_t last = MODEL_NO_TIME, date, utc;
    for (rapidjson::SizeType i = 0; i < dates->Size() && model->dayCount < MODEL_DAY_CAPACITY;
         i++) {
        if (!LaterTime(dates, i, clock, 1, &last, &date, &utc)) {
            continue;
        }
        ModelDay *day = &model->days[model->dayCount++];
        day->date = date;
        int index = (int)i;
        day->high = Temperature(Field(daily, "temperature_2m_max", index), units);
        day->low = Temperature(Field(daily, "temperature_2m_min", index), units);
        day->precipChance = NumberIn(Field(daily, "precipitation_probability_max", index), 0, 100);
        day->weatherCode = WholeIn(Field(daily, "weather_code", index), 0, 99, MODEL_NO_CODE);
        // Sun times belong to their own date; anything else (a polar day gives none) is absent.
        int64_t instant;
        if (!TimeIn(Field(daily, "sunrise", index), clock, &day->sunrise, &instant) ||
            DayOfMinutes(day->sunrise) != DayOfMinutes(date)) {
            day->sunrise = MODEL_NO_TIME;
        }
        if (!TimeIn(Field(daily, "sunset", index), clock, &day->sunset, &instant) ||
            DayOfMinutes(day->sunset) != DayOfMinutes(date)) {
            day->sunset = MODEL_NO_TIME;
        }
    }
}

// Letters, digits and the signs of an offset ("GMT+5:30"); anything else ends the text.
// The 15-minute steps, each labelled with the end of the quarter its amounts fell in.
static void ReadQuarters(const Value *section, const Value *unitsSection, const AnswerClock *clock,
                         ModelWeather *model) {
    const Value *times = JsonMember(section, "time");
    if (times == NULL || !times->IsArray()) {
        return;
    }
    Units units = UnitsOf(unitsSection);
    for (rapidjson::SizeType i = 0; i < times->Size(); i++) {
        int64_t end;
        if (model->quarterCount >= MODEL_QUARTER_CAPACITY ||
            !InstantIn(&(*times)[i], clock, &end) ||
            (model->quarterCount > 0 && end - 15 <= model->quarters[model->quarterCount - 1].utc)) {
            continue;
        }
        ModelQuarter *quarter = &model->quarters[model->quarterCount++];
        quarter->utc = end - 15;
        quarter->precipitation = Scaled(NumberIn(Field(section, "precipitation", (int)i), 0, 1000),
                                        units.precipitationToMm, 1000);
        quarter->snowfall =
            Scaled(NumberIn(Field(section, "snowfall", (int)i), 0, 1000), units.snowfallToCm, 1000);
    }
}

static void ReadZoneAbbreviation(const Value *value, char *out, size_t capacity) {
    out[0] = '\0';
    if (value == NULL || !value->IsString() || value->GetStringLength() >= capacity) {
        return;
    }
    const char *text = value->GetString();
    size_t n = 0;
    for (; n < value->GetStringLength(); n++) {
        char c = text[n];
        int allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '+' || c == '-' || c == ':';
        if (!allowed) {
            break;
        }
        out[n] = c;
    }
    out[n] = '\0';
}

enum AnswerKind ReadForecastAnswer(const char *json, size_t length, ModelWeather *model,
                                   char *reason, size_t reasonCapacity) {
    ModelClear(model);
    CopyText(model->source, sizeof model->source, OPEN_METEO_SOURCE_NAME);
    rapidjson::Document document;
    enum AnswerKind opened = OpenAnswer(&document, json, length, reason, reasonCapacity);
    if (opened != ANSWER_WEATHER) {
        return opened;
    }
    model->latitude = NumberIn(JsonMember(&document, "latitude"), -90, 90);
    model->longitude = NumberIn(JsonMember(&document, "longitude"), -180, 180);
    int offset =
        WholeIn(JsonMember(&document, "utc_offset_seconds"), -18 * 3600, 18 * 3600, INT32_MIN);
    model->hasOffset = offset != INT32_MIN;
    model->utcOffsetSeconds = model->hasOffset ? offset : 0;
    ReadZoneAbbreviation(JsonMember(&document, "timezone_abbreviation"), model->zoneAbbreviation,
                         sizeof model->zoneAbbreviation);
    AnswerClock clock;
    clock.offsetSeconds = model->utcOffsetSeconds;
    TextIn(JsonMember(&document, "timezone"), clock.zone, sizeof clock.zone);
    // A zone the system cannot read leaves the answer's one offset for every time.
    int zoneOffset = 0;
    if (ZoneOffsetAt(clock.zone, 0, kZoneCheckMinutes, &zoneOffset, NULL, 0)) {
        CopyText(model->zone, sizeof model->zone, clock.zone);
    } else {
        clock.zone[0] = '\0';
    }

    const Value *current = JsonMember(&document, "current");
    if (current != NULL && current->IsObject()) {
        Units units = UnitsOf(JsonMember(&document, "current_units"));
        ReadValues(current, -1, &units, &model->current);
        if (!TimeIn(JsonMember(current, "time"), &clock, &model->current.time,
                    &model->current.utc)) {
            model->current.time = model->current.utc = MODEL_NO_TIME;
        }
    }
    Units hourlyUnits = UnitsOf(JsonMember(&document, "hourly_units"));
    ReadHours(JsonMember(&document, "hourly"), &hourlyUnits, &clock, model);
    Units dailyUnits = UnitsOf(JsonMember(&document, "daily_units"));
    // The daily maxima and minima name their unit under their own names.
    const Value *dailyUnitsObject = JsonMember(&document, "daily_units");
    const Value *maximum = JsonMember(dailyUnitsObject, "temperature_2m_max");
    if (maximum && maximum->IsString()) {
        dailyUnits.fahrenheit = EndsWith(maximum->GetString(), maximum->GetStringLength(), "F");
    }
    ReadDays(JsonMember(&document, "daily"), &dailyUnits, &clock, model);
    model->amountsPrecede = 1;
    ReadQuarters(JsonMember(&document, "minutely_15"), JsonMember(&document, "minutely_15_units"),
                 &clock, model);

    // An answer without the current time, the hours or the days is not what was asked: one that
    // has them may still lack any value, which then reads "N/A".
    if (model->current.time == MODEL_NO_TIME || model->hourCount == 0 || model->dayCount == 0) {
        return ANSWER_UNREADABLE;
    }
    return ANSWER_WEATHER;
}

// ---- The air-quality answer ---------------------------------------------------------------

// The largest value of any air-quality variable taken as real: indices run far past their scale
// in smoke, and carbon monoxide is counted in thousands of µg/m³.
static const double kAirHighest = 1e6;

enum AnswerKind ReadAirQualityAnswer(const char *json, size_t length, AirQualityRecord *air,
                                     char *reason, size_t reasonCapacity) {
    memset(air, 0, sizeof *air);
    for (int v = 0; v < AIR_VALUE_COUNT; v++) {
        air->current[v] = NAN;
    }
    rapidjson::Document document;
    enum AnswerKind opened = OpenAnswer(&document, json, length, reason, reasonCapacity);
    if (opened != ANSWER_WEATHER) {
        return opened;
    }
    air->utcOffsetSeconds =
        WholeIn(JsonMember(&document, "utc_offset_seconds"), -18 * 3600, 18 * 3600, 0);
    AnswerClock clock;
    clock.offsetSeconds = air->utcOffsetSeconds;
    clock.zone[0] = '\0';
    const Value *current = JsonMember(&document, "current");
    int64_t currentUtc;
    int hasCurrent = InstantIn(JsonMember(current, "time"), &clock, &currentUtc);
    for (int v = 0; hasCurrent && v < AIR_VALUE_COUNT; v++) {
        air->current[v] = NumberIn(Field(current, kAirVariables[v], -1), 0, kAirHighest);
    }
    const Value *hourly = JsonMember(&document, "hourly");
    const Value *times = JsonMember(hourly, "time");
    if (times != NULL && times->IsArray() && times->Size() > 0 &&
        InstantIn(&(*times)[0], &clock, &air->firstHourUtc)) {
        for (rapidjson::SizeType i = 0; i < times->Size(); i++) {
            int64_t utc;
            if (!InstantIn(&(*times)[i], &clock, &utc) || utc < air->firstHourUtc ||
                (utc - air->firstHourUtc) % 60 != 0 ||
                (utc - air->firstHourUtc) / 60 >= AIR_HOUR_CAPACITY) {
                continue;
            }
            int h = (int)((utc - air->firstHourUtc) / 60);
            for (int v = 0; v < AIR_VALUE_COUNT; v++) {
                air->hours[h][v] =
                    (float)NumberIn(Field(hourly, kAirVariables[v], (int)i), 0, kAirHighest);
            }
            // Hours the answer skipped stay absent.
            for (int gap = air->hourCount; gap < h; gap++) {
                for (int v = 0; v < AIR_VALUE_COUNT; v++) {
                    air->hours[gap][v] = NAN;
                }
            }
            if (h >= air->hourCount) {
                air->hourCount = h + 1;
            }
        }
    }
    return hasCurrent || air->hourCount > 0 ? ANSWER_WEATHER : ANSWER_UNREADABLE;
}

// ---- The geocoding answer ------------------------------------------------------------------

// An ASCII letter or digit, or a byte of a UTF-8 character.
static int IsWordByte(char c) {
    unsigned char u = (unsigned char)c;
    return u >= 0x80 || (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z');
}

// Whether the first-level region adds nothing to the place's name: it is empty, or names the
// place again as a whole word ("Berlin" in "Land Berlin", "London" in "City of London"). Any
// byte of a UTF-8 letter counts as part of a word.
static int RegionNamesPlace(const char *region, const char *name) {
    size_t nameLength = strlen(name);
    if (region[0] == '\0') {
        return 1;
    }
    if (nameLength == 0) {
        return 0;
    }
    for (const char *at = strstr(region, name); at != NULL; at = strstr(at + 1, name)) {
        char before = at == region ? ' ' : at[-1];
        if (!IsWordByte(before) && !IsWordByte(at[nameLength])) {
            return 1;
        }
    }
    return 0;
}

enum AnswerKind ReadPlaceAnswer(const char *json, size_t length, PlaceInfo *place, char *reason,
                                size_t reasonCapacity) {
    place->latitude = place->longitude = NAN;
    place->name[0] = place->country[0] = place->zone[0] = '\0';
    rapidjson::Document document;
    enum AnswerKind opened = OpenAnswer(&document, json, length, reason, reasonCapacity);
    if (opened != ANSWER_WEATHER) {
        return opened;
    }
    const Value *results = JsonMember(&document, "results");
    if (results == NULL) {
        return ANSWER_NO_PLACE; // how the service says that nothing matched
    }
    if (!results->IsArray()) {
        return ANSWER_UNREADABLE;
    }
    const Value *first = results->Size() > 0 ? &(*results)[0] : NULL;
    place->latitude = NumberIn(JsonMember(first, "latitude"), -90, 90);
    place->longitude = NumberIn(JsonMember(first, "longitude"), -180, 180);
    if (!ModelHas(place->latitude) || !ModelHas(place->longitude)) {
        return ANSWER_NO_PLACE;
    }
    char name[PLACE_NAME_CAPACITY], region[PLACE_NAME_CAPACITY], country[PLACE_NAME_CAPACITY];
    TextIn(JsonMember(first, "name"), name, sizeof name);
    TextIn(JsonMember(first, "admin1"), region, sizeof region);
    TextIn(JsonMember(first, "country_code"), country, sizeof country);
    TextIn(JsonMember(first, "timezone"), place->zone, sizeof place->zone);
    if (strlen(country) == 2) {
        CopyText(place->country, sizeof place->country, country);
        UpperCaseAscii(place->country);
    }
    const char *second = RegionNamesPlace(region, name) ? place->country : region;
    if (name[0] == '\0') {
        CopyText(place->name, sizeof place->name, second);
    } else if (second[0] == '\0') {
        CopyText(place->name, sizeof place->name, name);
    } else {
        FormatText(place->name, sizeof place->name, "%s, %s", name, second);
    }
    return ANSWER_WEATHER;
}

int ParseCoordinateId(const char *id, double *latitude, double *longitude) {
    const char *comma = strchr(id, ',');
    if (comma == NULL || strchr(comma + 1, ',') != NULL) {
        return 0;
    }
    return ParseDecimal(id, (size_t)(comma - id), latitude) &&
           ParseDecimal(comma + 1, strlen(comma + 1), longitude);
}
