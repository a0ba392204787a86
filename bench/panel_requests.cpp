// What a whole panel costs the weather service: every current-conditions, forecast, Now, Later
// and hourly term in English, Metric and Both, and every icon, for one place, looked at every
// minute for an hour. The hour passes by moving the cache files' times back a minute at each
// look, which is all the plugin sees of time going by. Counts the requests the local service
// received, by address.
//
// With "openmeteo-down" the hour passes with Open-Meteo failing (HTTP 500) and MET Norway
// behind it, as the default Provider list has it: the failure memory and MET Norway's kept
// Expires are moved back a minute at each look too, as they hold times of their own.
//
// With "air" the panel shows the air too: every air-quality term now, by day and by hour, and the
// air's badge.
//
//   nimbrel-panel-requests HOST:PORT [MINUTES] [LOCATION_ID] [openmeteo-down] [air]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "feed/cache.h"
#include "feed/download.h"
#include "images/icons.h"
#include "images/radar.h"
#include "plugin/settings.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/source.h"
#include "provider/model.h"
#include "provider/provider.h"
#include "support/core_state.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

static const char kCurrentTerms[] =
    "<temp><tempunit><feel><city><locid><citydata><cond><humidity><vis><visunit><dewpoint>"
    "<update><timezone><download><uvnum><uv><long><lat><moon><sunrise><sunset><timezonegmt>"
    "<press><pressdir><presssymbol><pressunit><wind><windms><windknots><windbeaufort>"
    "<windstrength><windgustms><windgust><winddir><winddeg><windunit><alert>";
static const char kForecastTerms[] =
    "<high><low><tempunit><sunrise><city><sunset><download><update><timezone><precip><precipn>"
    "<humidity><humidityn><dayname><daydate><cond><condn><details><detailsupdate><wind><windn>"
    "<winddir><winddirn><winddeg><winddegn><windunit>";
static const char kHourlyTerms[] = "<update><timezone><download><temp><tempunit><feel><hourname>"
                                   "<precip><cond><dewpoint><humidity><wind><winddir><winddeg>"
                                   "<windunit>";

static const char kAirCurrentTerms[] =
    "<aqi><aqitext><aqiscale><pm25><pm10><o3><no2><so2><co><dust><aqunit><pollen><pollenalder>"
    "<pollenbirch><pollengrass><pollenmugwort><pollenolive><pollenragweed>";
static const char kAirDayTerms[] = "<aqi><aqitext><pollen>";
static const char kAirHourTerms[] = "<aqi><aqitext><pm25><pollen>";

static int Collect(void *context, const char *bytes, size_t count) {
    ((std::string *)context)->append(bytes, count);
    return 1;
}

static std::string Get(const std::string &address) {
    OsHttpRequest request = {
        address.c_str(), "nimbrel-bench", 0, "", "", "", 2000, 5000, 10000, NULL, NULL};
    std::string body;
    int status = 0;
    OsHttpGet(&request, Collect, &body, &status);
    return body;
}

static int Lines(const std::string &log, const char *needle) {
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        count++;
    }
    return count;
}

// One look at the panel.
static long Look(const char *id, bool air) {
    long calls = 0;
    if (air) {
        CurrentConditionsText(kAirCurrentTerms, id, "", "1");
        ForecastText(kAirDayTerms, id, "1", "", "1");
        ForecastText(kAirDayTerms, id, "3", "", "1");
        HourlyText(kAirHourTerms, id, "2", "", "1");
        AirQualityIconPath(id, 0);
        calls += 5;
    }
    for (const char *unit : {"English", "Metric", "Both"}) {
        CurrentConditionsText(kCurrentTerms, id, unit, "1");
        for (int day = 1; day <= Plugin.maxDays; day++) {
            char number[8];
            FormatText(number, sizeof number, "%d", day);
            ForecastText(kForecastTerms, id, number, unit, "1");
            calls++;
        }
        NowOrLaterText("<name> <temp> <cond> <wind>", id, unit, "1", 0, 15);
        NowOrLaterText("<name> <temp> <cond> <wind>", id, unit, "1", 1, 15);
        for (int hour = 1; hour <= Plugin.maxHours; hour++) {
            char number[8];
            FormatText(number, sizeof number, "%d", hour);
            HourlyText(kHourlyTerms, id, number, unit, "1");
            calls++;
        }
        calls += 3;
    }
    ResolveIcon(id, "", 0, 0);
    for (int day = 1; day <= Plugin.maxDays; day++) {
        ResolveIcon(id, "", day, 1);
        ResolveIcon(id, "", day, 0);
    }
    for (int hour = 1; hour <= Plugin.maxHours; hour++) {
        ResolveIcon(id, "", -hour, 0);
    }
    AlertIconLink(id, "");
    LocalRadarLink(id);
    return calls + 3 + 2 * Plugin.maxDays + Plugin.maxHours;
}

// Moves the Expires of every MET Norway answer kept in `folder` `seconds` into the past.
static void AgeMetExpires(const std::string &folder, int seconds) {
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, 10, "MetNorway.") != 0) {
            continue;
        }
        std::string kept = sandbox::ReadFile(entry.path().string());
        size_t end = kept.find('\n');
        int64_t expires = 0;
        if (kept.compare(0, 9, "Expires: ") != 0 || end == std::string::npos ||
            !ParseHttpDate(kept.substr(9, end - 9).c_str(), &expires)) {
            continue;
        }
        time_t earlier = (time_t)(expires - seconds);
        struct tm broken;
        char date[64];
        gmtime_r(&earlier, &broken);
        strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &broken);
        auto time = entry.last_write_time();
        sandbox::WriteFile(entry.path().string(),
                           "Expires: " + std::string(date) + kept.substr(end));
        fs::last_write_time(entry.path(), time, error);
    }
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: nimbrel-panel-requests HOST:PORT [MINUTES] [LOCATION_ID]\n");
        return 2;
    }
    std::string base = std::string("http://") + argv[1];
    int minutes = argc > 2 ? atoi(argv[2]) : 60;
    const char *id = argc > 3 ? argv[3] : "90210";
    bool openMeteoDown = false, air = false;
    for (int i = 4; i < argc; i++) {
        openMeteoDown = openMeteoDown || strcmp(argv[i], "openmeteo-down") == 0;
        air = air || strcmp(argv[i], "air") == 0;
    }

    char pattern[] = "/tmp/nimbrel-panel-XXXXXX";
    std::string folder = mkdtemp(pattern);
    ReadSettings(NULL);
    StartFeedDocuments();
    CopyText(Plugin.cacheFolder, sizeof Plugin.cacheFolder, folder.c_str());
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit, "English");
    CopyText(Plugin.forecastApi, sizeof Plugin.forecastApi, (base + "/v1/forecast").c_str());
    CopyText(Plugin.geocodingApi, sizeof Plugin.geocodingApi, (base + "/v1/search").c_str());
    CopyText(Plugin.alertsApi, sizeof Plugin.alertsApi, (base + "/alerts/active").c_str());
    CopyText(Plugin.meteoAlarmApi, sizeof Plugin.meteoAlarmApi,
             (base + "/feeds/meteoalarm-legacy-atom-").c_str());
    CopyText(Plugin.radarApi, sizeof Plugin.radarApi, (base + "/public/weather-maps.json").c_str());
    CopyText(Plugin.airQualityApi, sizeof Plugin.airQualityApi, (base + "/v1/air-quality").c_str());
    CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, (base + "/").c_str());
    CopyText(Plugin.metNorwayApi, sizeof Plugin.metNorwayApi,
             (base + "/weatherapi/locationforecast/2.0/complete").c_str());
    Get(base + "/_control/reset");
    if (openMeteoDown) {
        Get(base + "/_control/openmeteo?name=http500");
    }

    long calls = 0;
    auto started = std::chrono::steady_clock::now();
    for (int minute = 0; minute <= minutes; minute++) {
        calls += Look(id, air);
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(folder, error)) {
            fs::last_write_time(entry.path(), entry.last_write_time() - std::chrono::minutes(1),
                                error);
        }
        AgeRefreshMemory(folder, 60);
        AgeMetExpires(folder, 60);
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string log = Get(base + "/_control/log");
    printf("%s (weather from %s%s): %ld export calls over %d minutes (%.1f s): %d forecast "
           "requests, %d MET Norway requests, %d place searches, %d alert requests, %d radar "
           "indexes, %d radar pictures, %d air-quality requests, %d requests in all\n",
           id, Plugin.source->name, openMeteoDown ? ", Open-Meteo down" : "", calls, minutes,
           seconds, Lines(log, "/v1/forecast?"),
           Lines(log, "/weatherapi/locationforecast/2.0/complete?"), Lines(log, "/v1/search?"),
           Lines(log, "/alerts/active?"), Lines(log, "/public/weather-maps.json"),
           Lines(log, "/v2/radar/"), Lines(log, "/v1/air-quality?"), Lines(log, "GET "));
    fs::remove_all(folder);
    return 0;
}
