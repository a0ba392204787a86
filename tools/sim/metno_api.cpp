#include "metno_api.h"

#include "grid_weather.h"
#include "weather_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char *const kJsonType = "application/json";
const char *const kTextType = "text/plain; charset=utf-8";
// Hours with hourly steps before the six-hourly ones begin, and the reach of the answer.
const long long kHourlyReach = 60;
const long long kWholeReach = 9 * 24 + 12;
const double kKmhPerMs = 3.6;

// Bases that come as _day, _night and _polartwilight; every other base has no suffix.
const char *const kSuffixedBases[] = {
    "clearsky",
    "fair",
    "partlycloudy",
    "lightrainshowers",
    "rainshowers",
    "heavyrainshowers",
    "lightrainshowersandthunder",
    "rainshowersandthunder",
    "heavyrainshowersandthunder",
    "lightsleetshowers",
    "sleetshowers",
    "heavysleetshowers",
    "lightssleetshowersandthunder",
    "sleetshowersandthunder",
    "heavysleetshowersandthunder",
    "lightsnowshowers",
    "snowshowers",
    "heavysnowshowers",
    "lightssnowshowersandthunder",
    "snowshowersandthunder",
    "heavysnowshowersandthunder",
};

struct WmoSymbol {
    int wmo;
    const char *base;
};

// The nearest symbol of each WMO code the weather model gives.
const WmoSymbol kWmoSymbols[] = {
    {0, "clearsky"},
    {1, "fair"},
    {2, "partlycloudy"},
    {3, "cloudy"},
    {45, "fog"},
    {48, "fog"},
    {51, "lightrain"},
    {53, "rain"},
    {55, "heavyrain"},
    {56, "lightsleet"},
    {57, "sleet"},
    {61, "lightrain"},
    {63, "rain"},
    {65, "heavyrain"},
    {66, "lightsleet"},
    {67, "heavysleet"},
    {71, "lightsnow"},
    {73, "snow"},
    {75, "heavysnow"},
    {77, "snow"},
    {80, "lightrainshowers"},
    {81, "rainshowers"},
    {82, "heavyrainshowers"},
    {85, "lightsnowshowers"},
    {86, "heavysnowshowers"},
    {95, "rainandthunder"},
    {96, "rainshowersandthunder"},
    {99, "heavyrainshowersandthunder"},
};

bool HasSuffix(const char *base) {
    for (const char *suffixed : kSuffixedBases) {
        if (std::strcmp(suffixed, base) == 0)
            return true;
    }
    return false;
}

Answer TextAnswer(int status, const std::string &text) {
    Answer answer;
    answer.status = status;
    answer.contentType = kTextType;
    answer.body = text + "\n";
    return answer;
}

// A coordinate as the service takes it: a plain decimal within the limit. Sets *tooPrecise for
// more than four digits after the point.
bool ParseCoordinate(const std::string *text, double limit, double *value, bool *tooPrecise) {
    int decimals = 0;
    if (text == nullptr || !ParseDecimal(*text, value, &decimals) || std::fabs(*value) > limit)
        return false;
    *tooPrecise = decimals > 4;
    return true;
}

// An object of numbers as the service writes them: one decimal, or null in the nulls scenario.
std::string Numbers(std::initializer_list<std::pair<const char *, double>> values, bool nulls) {
    std::string text;
    for (const auto &value : values)
        text += std::string(text.empty() ? "{" : ",") + "\"" + value.first +
                "\":" + (nulls ? "null" : NumberText(std::round(value.second * 10.0) / 10.0 + 0.0));
    return text + "}";
}

// The hours [first, first + count) of UTC, as the model's local hours.
struct Period {
    double temperatureMax = -1e9, temperatureMin = 1e9, precipitation = 0;
    int chanceMax = 0, worstCode = -1;
    bool isDay = true;
};

Period PeriodOf(const GridWeather &grid, long long firstUtcHour, int count) {
    Period period;
    long long offsetHours = grid.utcOffsetSeconds() / 3600;
    for (int i = 0; i < count; ++i) {
        // Hour h holds what fell in the hour before h, so the period's first hour is the next.
        GridHour hour = grid.Hour(firstUtcHour + i + 1 + offsetHours);
        period.temperatureMax = std::max(period.temperatureMax, hour.temperatureC);
        period.temperatureMin = std::min(period.temperatureMin, hour.temperatureC);
        period.precipitation += hour.precipitationMm;
        period.chanceMax = std::max(period.chanceMax, hour.precipitationProbabilityPercent);
        period.worstCode = std::max(period.worstCode, hour.weatherCode);
        if (i == count / 2)
            period.isDay = hour.isDay;
    }
    return period;
}

// One period after a step: its summary, then the details `numbers` gives.
std::string Next(const GridWeather &grid, long long utcHour, int hours, bool nulls,
                 std::string (*numbers)(const Period &, bool)) {
    Period period = PeriodOf(grid, utcHour, hours);
    return ",\"next_" + std::to_string(hours) + "_hours\":{\"summary\":{\"symbol_code\":" +
           JsonString(MetSymbolForWmo(period.worstCode, period.isDay), nulls) +
           "},\"details\":" + numbers(period, nulls) + "}";
}

std::string Step(const GridWeather &grid, long long utcHour, long long lastUtcHour, bool hourly,
                 bool nulls) {
    GridHour hour = grid.Hour(utcHour + grid.utcOffsetSeconds() / 3600);
    std::string step =
        "{\"time\":\"" + IsoTime(static_cast<time_t>(utcHour * 3600), "Z") +
        "\",\"data\":{\"instant\":{\"details\":" +
        Numbers({{"air_pressure_at_sea_level", hour.pressureMslHpa},
                 {"air_temperature", hour.temperatureC},
                 {"cloud_area_fraction", hour.cloudCoverPercent},
                 {"cloud_area_fraction_high", hour.cloudCoverPercent * 0.5},
                 {"cloud_area_fraction_low", hour.cloudCoverPercent * 0.3},
                 {"cloud_area_fraction_medium", hour.cloudCoverPercent * 0.2},
                 {"dew_point_temperature", hour.dewPointC},
                 {"fog_area_fraction", hour.weatherCode == 45 || hour.weatherCode == 48 ? 100 : 0},
                 {"relative_humidity", hour.humidityPercent},
                 {"ultraviolet_index_clear_sky", hour.uvIndex},
                 {"wind_from_direction", hour.windDegrees},
                 {"wind_speed", hour.windKmh / kKmhPerMs},
                 {"wind_speed_of_gust", hour.gustKmh / kKmhPerMs}},
                nulls) +
        "}";
    if (hourly && utcHour + 1 <= lastUtcHour)
        step += Next(grid, utcHour, 1, nulls, [](const Period &p, bool n) {
            return Numbers({{"precipitation_amount", p.precipitation},
                            {"precipitation_amount_max", p.precipitation * 1.5},
                            {"precipitation_amount_min", p.precipitation * 0.5},
                            {"probability_of_precipitation", p.chanceMax},
                            {"probability_of_thunder", p.worstCode >= 95 ? 60 : 0}},
                           n);
        });
    if (utcHour + 6 <= lastUtcHour)
        step += Next(grid, utcHour, 6, nulls, [](const Period &p, bool n) {
            return Numbers({{"air_temperature_max", p.temperatureMax},
                            {"air_temperature_min", p.temperatureMin},
                            {"precipitation_amount", p.precipitation},
                            {"precipitation_amount_max", p.precipitation * 1.5},
                            {"precipitation_amount_min", p.precipitation * 0.5},
                            {"probability_of_precipitation", p.chanceMax}},
                           n);
        });
    if (utcHour + 12 <= lastUtcHour)
        step += Next(grid, utcHour, 12, nulls, [](const Period &p, bool n) {
            return Numbers({{"probability_of_precipitation", p.chanceMax}}, n);
        });
    return step + "}}";
}

const char kForecast[] =
    R"({"type":"Feature","geometry":{"type":"Point","coordinates":{{POINT}}},)"
    R"("properties":{"meta":{"updated_at":"{{UPDATED}}","units":{)"
    R"("air_pressure_at_sea_level":"hPa","air_temperature":"celsius",)"
    R"("air_temperature_max":"celsius","air_temperature_min":"celsius",)"
    R"("cloud_area_fraction":"%","cloud_area_fraction_high":"%","cloud_area_fraction_low":"%",)"
    R"("cloud_area_fraction_medium":"%","dew_point_temperature":"celsius",)"
    R"("fog_area_fraction":"%","precipitation_amount":"mm","precipitation_amount_max":"mm",)"
    R"("precipitation_amount_min":"mm","probability_of_precipitation":"%",)"
    R"("probability_of_thunder":"%","relative_humidity":"%","ultraviolet_index_clear_sky":"1",)"
    R"("wind_from_direction":"degrees","wind_speed":"m/s","wind_speed_of_gust":"m/s"}},)"
    R"("timeseries":[{{STEPS}}]}})";

std::string ForecastBody(double latitude, double longitude, const GridWeather &grid, time_t utcNow,
                         time_t updated, bool nulls) {
    long long first = static_cast<long long>(utcNow) / 3600;
    // Hourly steps up to the first six-hourly step (00, 06, 12, 18 UTC) past the reach of
    // the short-range model, then six-hourly ones; the last step holds the instant alone.
    long long sixHourly = first + kHourlyReach;
    sixHourly += (6 - sixHourly % 6) % 6;
    long long last = first + kWholeReach;
    last -= last % 6;
    std::string steps;
    for (long long hour = first; hour <= last; hour += hour < sixHourly ? 1 : 6)
        steps += (steps.empty() ? "" : ",") + Step(grid, hour, last, hour < sixHourly - 1, nulls);
    return FillTemplate(kForecast,
                        {{"POINT", "[" + NumberText(longitude) + "," + NumberText(latitude) + "," +
                                       std::to_string(std::lround(grid.elevationMetres())) + "]"},
                         {"UPDATED", IsoTime(updated, "Z")},
                         {"STEPS", steps}});
}

// Valid JSON of shapes no answer has: each member the wrong type in turn.
std::string HostileBody() {
    return "{\"type\":\"Feature\",\"properties\":{\"meta\":{\"units\":7},\"timeseries\":["
           "{\"time\":\"2026-13-40T25:61:00Z\",\"data\":{\"instant\":{\"details\":"
           "{\"air_temperature\":\"warm\",\"wind_speed\":-5,\"relative_humidity\":1e308}}}},"
           "{\"time\":12,\"data\":[]},{\"data\":{\"instant\":null}},"
           "{\"time\":\"2026-12-09T00:00:00Z\",\"data\":{\"instant\":{\"details\":{}},"
           "\"next_1_hours\":{\"summary\":{\"symbol_code\":\"nosuchsymbol_day\"},"
           "\"details\":{\"probability_of_precipitation\":400}}}},"
           "{\"time\":\"2026-12-08T00:00:00Z\",\"data\":{\"next_6_hours\":{\"summary\":"
           "{\"symbol_code\":[1,2]}}}}]}}";
}

} // namespace

std::string MetSymbolForWmo(int wmoCode, bool isDay) {
    const char *base = "cloudy";
    for (const WmoSymbol &symbol : kWmoSymbols) {
        if (symbol.wmo == wmoCode)
            base = symbol.base;
    }
    std::string code = base;
    if (HasSuffix(base))
        code += isDay ? "_day" : "_night";
    return code;
}

namespace {

// Refuses a request as the service does before it looks at the product: no User-Agent (403),
// coordinates that are no decimal degrees (400) or carry more than four decimals (403), then the
// error (400) and rate-limit (429) scenarios. Returns true with the refusal in *refusal, else
// false with the coordinates read.
bool Refuse(const QueryParameters &query, const std::string &userAgent, Scenario scenario,
            double *latitude, double *longitude, Answer *refusal) {
    bool latitudeTooPrecise = false, longitudeTooPrecise = false;
    if (userAgent.find_first_not_of(" \t") == std::string::npos)
        *refusal = TextAnswer(403, "403 Forbidden: identify your application in the User-Agent "
                                   "header (see the terms of service)");
    else if (!ParseCoordinate(QueryValue(query, "lat"), 90, latitude, &latitudeTooPrecise) ||
             !ParseCoordinate(QueryValue(query, "lon"), 180, longitude, &longitudeTooPrecise))
        *refusal = TextAnswer(400, "400 Bad Request: lat and lon must be decimal degrees");
    else if (latitudeTooPrecise || longitudeTooPrecise)
        *refusal = TextAnswer(403, "403 Forbidden: do not use more than 4 decimals in coordinates");
    else if (scenario == Scenario::ServiceError)
        *refusal = TextAnswer(400, "400 Bad Request: simulated service error");
    else if (scenario == Scenario::RateLimit)
        *refusal = TextAnswer(429, "429 Too Many Requests: you are being throttled");
    else
        return false;
    return true;
}

// A JSON answer of data last changed at `updated`, fresh until `expires`, with its cache
// headers: 203 under the deprecated scenario (whose answers always come whole), else 304 with no
// body when If-Modified-Since is that change or later. Returns true for the 304.
bool NotModified(time_t updated, time_t expires, const std::string &ifModifiedSince,
                 Scenario scenario, Answer *answer) {
    answer->contentType = kJsonType;
    answer->headers = {{"Expires", HttpDate(expires)}, {"Last-Modified", HttpDate(updated)}};
    time_t since = 0;
    if (scenario == Scenario::Deprecated) {
        answer->status = 203;
        return false;
    }
    if (!ifModifiedSince.empty() && ParseHttpDate(ifModifiedSince, &since) && since >= updated) {
        answer->status = 304;
        return true;
    }
    return false;
}

// The answer with the service's clock in Date, as RFC 9111 reads Expires against it.
Answer Dated(Answer answer, time_t utcNow) {
    answer.headers.push_back({"Date", HttpDate(utcNow)});
    return answer;
}

Answer LocationforecastContent(const QueryParameters &query, const std::string &userAgent,
                               const std::string &ifModifiedSince, time_t utcNow,
                               Scenario scenario) {
    double latitude = 0, longitude = 0;
    Answer answer;
    if (Refuse(query, userAgent, scenario, &latitude, &longitude, &answer))
        return answer;
    time_t updated = utcNow - utcNow % kMetNorwayUpdateSeconds;
    if (NotModified(updated, utcNow + kMetNorwayExpiresSeconds, ifModifiedSince, scenario, &answer))
        return answer;
    if (scenario == Scenario::Hostile) {
        answer.body = HostileBody();
        return answer;
    }
    GridWeather grid(latitude, longitude, utcNow);
    answer.body = ForecastBody(latitude, longitude, grid, utcNow, updated, WantsNulls(scenario));
    return CutUnderBadJson(answer, scenario);
}

// --- the nowcast

// Where the nowcast answers (Norway, Sweden, Finland and Denmark as a box), and the model
// area around it, where points outside the nowcast's get 422; farther away, 404. Edges inside.
const struct Box {
    double south, north, west, east;
    bool Holds(double latitude, double longitude) const {
        return latitude >= south && latitude <= north && longitude >= west && longitude <= east;
    }
} kNowcastArea = {54.5, 71.5, 4.0, 31.5}, kModelArea = {49.0, 76.0, -18.0, 55.0};

const int kNowcastStepSeconds = 5 * 60;
const int kNowcastSteps = 25; // two hours from the first
const int kStepsInHour = 12;

const char kNowcast[] =
    R"({"type":"Feature","geometry":{"type":"Point","coordinates":{{POINT}}},)"
    R"("properties":{"meta":{"updated_at":"{{UPDATED}}","units":{"air_temperature":"celsius",)"
    R"("precipitation_amount":"mm","precipitation_rate":"mm/h","relative_humidity":"%",)"
    R"("wind_from_direction":"degrees","wind_speed":"m/s","wind_speed_of_gust":"m/s"},)"
    R"("radar_coverage":"{{COVERAGE}}"},"timeseries":[{{STEPS}}]}})";

// Steps every 5 minutes from `first` (UTC): the first with the current hour's weather and the
// next hour's summary, the others the precipitation rate alone. The rate is given only where
// the radar covers the point.
std::string NowcastBody(double latitude, double longitude, const GridWeather &grid, time_t first,
                        bool radar, bool nulls) {
    GridHour hour = grid.Hour(grid.currentLocalHour());
    std::vector<PrecipitationRate> rates;
    double rainMm = 0.0, snowWaterMm = 0.0;
    for (int step = 0; step < kNowcastSteps; ++step) {
        rates.push_back(grid.RateAt(first + static_cast<long long>(step) * kNowcastStepSeconds));
        if (step < kStepsInHour) {
            rainMm += rates.back().rainMmPerHour * kNowcastStepSeconds / 3600.0;
            snowWaterMm += rates.back().snowWaterMmPerHour * kNowcastStepSeconds / 3600.0;
        }
    }
    auto totalRate = [&](int step) {
        return rates[static_cast<size_t>(step)].rainMmPerHour +
               rates[static_cast<size_t>(step)].snowWaterMmPerHour;
    };
    int code = WmoCodeForAmounts(rainMm, snowWaterMm, hour.weatherCode < 50 ? hour.weatherCode : 3);
    std::string details = radar ? Numbers({{"air_temperature", hour.temperatureC},
                                           {"precipitation_rate", totalRate(0)},
                                           {"relative_humidity", hour.humidityPercent},
                                           {"wind_from_direction", hour.windDegrees},
                                           {"wind_speed", hour.windKmh / kKmhPerMs},
                                           {"wind_speed_of_gust", hour.gustKmh / kKmhPerMs}},
                                          nulls)
                                : Numbers({{"air_temperature", hour.temperatureC},
                                           {"relative_humidity", hour.humidityPercent},
                                           {"wind_from_direction", hour.windDegrees},
                                           {"wind_speed", hour.windKmh / kKmhPerMs},
                                           {"wind_speed_of_gust", hour.gustKmh / kKmhPerMs}},
                                          nulls);
    std::string steps =
        "{\"time\":\"" + IsoTime(first, "Z") + "\",\"data\":{\"instant\":{\"details\":" + details +
        "},\"next_1_hours\":{\"summary\":{\"symbol_code\":" +
        JsonString(MetSymbolForWmo(code, hour.isDay), nulls) +
        "},\"details\":" + Numbers({{"precipitation_amount", rainMm + snowWaterMm}}, nulls) + "}}}";
    for (int step = 1; step < kNowcastSteps; ++step)
        steps += ",{\"time\":\"" + IsoTime(first + step * kNowcastStepSeconds, "Z") +
                 "\",\"data\":{\"instant\":{\"details\":" +
                 (radar ? Numbers({{"precipitation_rate", totalRate(step)}}, nulls) : "{}") + "}}}";
    const RecordedPrecipitation *recorded = grid.recorded();
    return FillTemplate(kNowcast,
                        {{"POINT", "[" + NumberText(longitude) + "," + NumberText(latitude) + "," +
                                       std::to_string(std::lround(grid.elevationMetres())) + "]"},
                         {"UPDATED", IsoTime(first, "Z")},
                         {"COVERAGE", recorded != nullptr ? recorded->radarCoverage : "ok"},
                         {"STEPS", steps}});
}

Answer NowcastContent(const QueryParameters &query, const std::string &userAgent,
                      const std::string &ifModifiedSince, time_t utcNow, Scenario scenario) {
    double latitude = 0, longitude = 0;
    Answer answer;
    if (Refuse(query, userAgent, scenario, &latitude, &longitude, &answer))
        return answer;
    if (!kModelArea.Holds(latitude, longitude))
        return TextAnswer(404, "404 Not Found: the location is outside the model area");
    if (!kNowcastArea.Holds(latitude, longitude))
        return TextAnswer(422, "422 Unprocessable Entity: the location is outside the "
                               "nowcast's area (Norway, Sweden, Finland, Denmark)");
    time_t updated = utcNow - utcNow % kNowcastStepSeconds;
    if (NotModified(updated, utcNow + kMetNorwayNowcastExpiresSeconds, ifModifiedSince, scenario,
                    &answer))
        return answer;
    if (scenario == Scenario::Hostile) {
        answer.body = HostileBody();
        return answer;
    }
    GridWeather grid(latitude, longitude, utcNow);
    const RecordedPrecipitation *recorded = grid.recorded();
    bool radar = recorded == nullptr || std::strcmp(recorded->radarCoverage, "ok") == 0;
    answer.body = NowcastBody(latitude, longitude, grid, updated, radar, WantsNulls(scenario));
    return CutUnderBadJson(answer, scenario);
}

} // namespace

Answer LocationforecastAnswer(const QueryParameters &query, const std::string &userAgent,
                              const std::string &ifModifiedSince, time_t utcNow,
                              Scenario scenario) {
    return Dated(LocationforecastContent(query, userAgent, ifModifiedSince, utcNow, scenario),
                 utcNow);
}

Answer NowcastAnswer(const QueryParameters &query, const std::string &userAgent,
                     const std::string &ifModifiedSince, time_t utcNow, Scenario scenario) {
    return Dated(NowcastContent(query, userAgent, ifModifiedSince, utcNow, scenario), utcNow);
}
