#include "provider/derive.h"

#include <math.h>

#include "base/calendar.h"
#include "provider/wmo.h"

static const double kPi = 3.14159265358979323846;
static const double kSteadyWithinHpa = 1.0; // change over three hours that is no trend
static const int kTrendMinutes = 180;

// Sun times assumed where the model gives none (a polar day or night).
static const int kDefaultSunrise = 7 * 60;
static const int kDefaultSunset = 19 * 60;

// The moment the answer arrived, in UTC minutes.
static int64_t DownloadUtcMinutes(const RenderContext *context) {
    int64_t seconds = context->downloadTime > UNIX_EPOCH_FILE_TIME
                          ? (int64_t)((context->downloadTime - UNIX_EPOCH_FILE_TIME) / 10000000ull)
                          : 0;
    return seconds / 60;
}

int64_t NowMinutes(const RenderContext *context) {
    if (context->model->current.time != MODEL_NO_TIME) {
        return context->model->current.time;
    }
    return ModelLocalMinutes(context->model, DownloadUtcMinutes(context));
}

int64_t NowUtcMinutes(const RenderContext *context) {
    if (context->model->current.utc != MODEL_NO_TIME) {
        return context->model->current.utc;
    }
    return DownloadUtcMinutes(context);
}

// The place's clock when the answer arrived; without the place's offset, the answer's own now.
int64_t DownloadMinutes(const RenderContext *context) {
    const ModelWeather *model = context->model;
    return model->hasOffset || model->zone[0] != '\0'
               ? ModelLocalMinutes(model, DownloadUtcMinutes(context))
               : NowMinutes(context);
}

int64_t CurrentHourUtc(const RenderContext *context) {
    return NowUtcMinutes(context) - MinuteOfDay(NowMinutes(context)) % 60;
}

const ModelValues *FindHour(const ModelWeather *model, int64_t utc) {
    int low = 0, high = model->hourCount - 1;
    while (low <= high) {
        int middle = low + (high - low) / 2;
        if (model->hours[middle].utc == utc) {
            return &model->hours[middle];
        }
        if (model->hours[middle].utc < utc) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return NULL;
}

const ModelDay *FindDay(const ModelWeather *model, int64_t date) {
    for (int i = 0; i < model->dayCount; i++) {
        if (model->days[i].date == date) {
            return &model->days[i];
        }
    }
    return NULL;
}

int64_t Today(const RenderContext *context) {
    return DayOfMinutes(NowMinutes(context)) * 1440;
}

// The day's sunrise and sunset, or the defaults for a day without them.
void SunTimes(const ModelWeather *model, int64_t date, int64_t *sunrise, int64_t *sunset) {
    const ModelDay *day = FindDay(model, date);
    *sunrise = date + kDefaultSunrise;
    *sunset = date + kDefaultSunset;
    if (day != NULL && day->sunrise != MODEL_NO_TIME && day->sunset != MODEL_NO_TIME &&
        day->sunrise < day->sunset) {
        *sunrise = day->sunrise;
        *sunset = day->sunset;
    }
}

int IsDaylight(const ModelWeather *model, int64_t time, int isDay) {
    if (isDay >= 0) {
        return isDay;
    }
    int64_t sunrise, sunset;
    SunTimes(model, DayOfMinutes(time) * 1440, &sunrise, &sunset);
    return time >= sunrise && time < sunset;
}

static double Either(double first, double second) {
    return ModelHas(first) ? first : second;
}

// The current conditions: the answer's own values, and where it lacks one, the value of the
// current hour.
ModelValues CurrentValues(const RenderContext *context) {
    const ModelWeather *model = context->model;
    ModelValues now = model->current;
    const ModelValues *hour = FindHour(model, CurrentHourUtc(context));
    if (hour == NULL) {
        return now;
    }
    now.temperature = Either(now.temperature, hour->temperature);
    now.apparent = Either(now.apparent, hour->apparent);
    now.dewPoint = Either(now.dewPoint, hour->dewPoint);
    now.humidity = Either(now.humidity, hour->humidity);
    now.precipChance = Either(now.precipChance, hour->precipChance);
    now.pressure = Either(now.pressure, hour->pressure);
    now.windSpeed = Either(now.windSpeed, hour->windSpeed);
    now.windDirection = Either(now.windDirection, hour->windDirection);
    now.windGust = Either(now.windGust, hour->windGust);
    now.visibility = Either(now.visibility, hour->visibility);
    now.uvIndex = Either(now.uvIndex, hour->uvIndex);
    now.precipitation = Either(now.precipitation, hour->precipitation);
    now.snowfall = Either(now.snowfall, hour->snowfall);
    if (now.weatherCode == MODEL_NO_CODE) {
        now.weatherCode = hour->weatherCode;
    }
    if (now.isDay < 0) {
        now.isDay = hour->isDay;
    }
    return now;
}

// "rising", "falling" or "steady": the change of sea-level pressure over the last three hours,
// or, for a forecast that holds no past hours, over the next three.
const char *PressureTrend(const RenderContext *context, double pressureNow) {
    int64_t hour = CurrentHourUtc(context);
    const ModelValues *before = FindHour(context->model, hour - kTrendMinutes);
    const ModelValues *after = FindHour(context->model, hour + kTrendMinutes);
    double change = NAN;
    if (before != NULL && ModelHas(before->pressure)) {
        change = pressureNow - before->pressure;
    } else if (before == NULL && after != NULL && ModelHas(after->pressure)) {
        change = after->pressure - pressureNow;
    }
    if (!ModelHas(change)) {
        return NULL;
    }
    if (fabs(change) < kSteadyWithinHpa) {
        return "steady";
    }
    return change > 0 ? "rising" : "falling";
}

static void AggregatePart(const ModelWeather *model, int64_t start, int64_t end,
                          PartWeather *part) {
    double humiditySum = 0, speedSum = 0, east = 0, north = 0;
    int humidityCount = 0, speedCount = 0, directionCount = 0;
    part->weatherCode = MODEL_NO_CODE;
    part->precipChance = part->windGust = part->precipitation = part->snowfall = NAN;
    for (int i = 0; i < model->hourCount; i++) {
        const ModelValues *hour = &model->hours[i];
        if (hour->time < start || hour->time >= end) {
            continue;
        }
        if (WmoSeverity(hour->weatherCode) > WmoSeverity(part->weatherCode)) {
            part->weatherCode = hour->weatherCode;
        }
        if (ModelHas(hour->precipChance) &&
            (!ModelHas(part->precipChance) || hour->precipChance > part->precipChance)) {
            part->precipChance = hour->precipChance;
        }
        if (ModelHas(hour->windGust) &&
            (!ModelHas(part->windGust) || hour->windGust > part->windGust)) {
            part->windGust = hour->windGust;
        }
        if (ModelHas(hour->precipitation)) {
            part->precipitation =
                (ModelHas(part->precipitation) ? part->precipitation : 0) + hour->precipitation;
        }
        if (ModelHas(hour->snowfall)) {
            part->snowfall = (ModelHas(part->snowfall) ? part->snowfall : 0) + hour->snowfall;
        }
        if (ModelHas(hour->humidity)) {
            humiditySum += hour->humidity;
            humidityCount++;
        }
        if (ModelHas(hour->windSpeed)) {
            speedSum += hour->windSpeed;
            speedCount++;
        }
        if (ModelHas(hour->windDirection)) {
            double weight = ModelHas(hour->windSpeed) ? hour->windSpeed : 1.0;
            double radians = hour->windDirection * kPi / 180.0;
            east += weight * sin(radians);
            north += weight * cos(radians);
            directionCount++;
        }
    }
    part->humidity = humidityCount ? humiditySum / humidityCount : NAN;
    part->windSpeed = speedCount ? speedSum / speedCount : NAN;
    part->windDirection = NAN;
    if (directionCount > 0 && (east != 0 || north != 0)) {
        double degrees = atan2(east, north) * 180.0 / kPi;
        part->windDirection = degrees < 0 ? degrees + 360.0 : degrees;
    }
}

// The day part (sunrise to sunset) or the night part (sunset to the next sunrise) of a date.
// Beyond the hours of the answer, the day's own code and chance stand for both parts.
void ForecastPart(const ModelWeather *model, int64_t date, int night, PartWeather *part) {
    int64_t sunrise, sunset, nextSunrise, nextSunset;
    SunTimes(model, date, &sunrise, &sunset);
    SunTimes(model, date + 1440, &nextSunrise, &nextSunset);
    if (night) {
        AggregatePart(model, sunset, nextSunrise, part);
    } else {
        AggregatePart(model, sunrise, sunset, part);
    }
    const ModelDay *day = FindDay(model, date);
    if (day != NULL && part->weatherCode == MODEL_NO_CODE) {
        part->weatherCode = day->weatherCode;
    }
    if (day != NULL && !ModelHas(part->precipChance)) {
        part->precipChance = day->precipChance;
    }
}
