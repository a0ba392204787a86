#include "plugin/settings.h"

#include <string.h>

#include "base/air_scales.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/source.h"
#include "provider/alerts.h"
#include "provider/meteoalarm.h"
#include "provider/metno.h"
#include "provider/openmeteo.h"
#include "provider/provider.h"
#include "provider/rainviewer.h"

static int ReadInt(const char *path, const char *section, const char *key, int fallback) {
    return path ? OsProfileGetInt(path, section, key, fallback) : fallback;
}

static void ReadString(const char *path, const char *section, const char *key, const char *fallback,
                       char *out, size_t capacity) {
    if (path) {
        OsProfileGetString(path, section, key, fallback, out, capacity);
    } else {
        CopyText(out, capacity, fallback);
    }
}

// "Auto" takes the unit from the locale's measurement system: "0" is metric.
static void ResolveAutoUnit(void) {
    if (strcmp(Plugin.defaultUnit, "Auto") != 0) {
        return;
    }
    Plugin.unitFromAuto = 1;
    char measure[2];
    OsLocaleMeasure(measure, sizeof measure);
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit,
             strchr(measure, '0') ? "Metric" : "English");
}

// The sources a user may name.
static const WeatherSource *const kSources[] = {&OpenMeteoSource, &MetNorwaySource, &FeedSource};

// What Provider names when it is not set, or names no source the plugin knows: Open-Meteo, and
// MET Norway whenever Open-Meteo fails. A user who mistyped a name sees it written back.
#define DEFAULT_PROVIDER_LIST "open-meteo,met-norway"

// The sources made into one when Provider names more than one; Plugin.source points into it.
// Outside the state, which lies below the feed layer that defines a chain.
static SourceChain gProviderChain;

// The source called `length` bytes of `name`, in any case, or NULL.
static const WeatherSource *SourceNamed(const char *name, size_t length) {
    char text[SOURCE_NAME_CAPACITY];
    if (!FormatText(text, sizeof text, "%.*s", (int)length, name)) {
        return NULL;
    }
    for (size_t i = 0; i < sizeof kSources / sizeof kSources[0]; i++) {
        if (EqualsIgnoreCase(text, kSources[i]->name)) {
            return kSources[i];
        }
    }
    return NULL;
}

// The sources a Provider list names ("open-meteo, met-norway"), in its order: names separated
// by commas, blanks around them ignored, unknown and repeated ones left out. Returns how many.
static size_t SourcesListed(const char *list, const WeatherSource **out, size_t capacity) {
    size_t count = 0;
    for (const char *name = list; *name != '\0';) {
        size_t length = strcspn(name, ",");
        const char *end = name + length;
        while (name < end && (*name == ' ' || *name == '\t')) {
            name++;
        }
        while (end > name && (end[-1] == ' ' || end[-1] == '\t')) {
            end--;
        }
        const WeatherSource *source = SourceNamed(name, (size_t)(end - name));
        int repeated = 0;
        for (size_t i = 0; i < count; i++) {
            repeated = repeated || out[i] == source;
        }
        if (source != NULL && !repeated && count < capacity) {
            out[count++] = source;
        }
        name += length;
        name += *name == ',' ? 1 : 0;
    }
    return count;
}

// The source of a Provider list: its one source, or the chain of them.
static const WeatherSource *ProviderSource(const char *list) {
    const WeatherSource *listed[SOURCE_CHAIN_CAPACITY];
    size_t count = SourcesListed(list, listed, SOURCE_CHAIN_CAPACITY);
    if (count == 0) {
        count = SourcesListed(DEFAULT_PROVIDER_LIST, listed, SOURCE_CHAIN_CAPACITY);
    }
    return MakeSourceChain(&gProviderChain, listed, count);
}

void ReadSettings(const char *path) {
    Plugin.showMoonPhase = ReadInt(path, "General", "ShowMoonPhase", 1);
    Plugin.maxDays = ReadInt(path, "Forecast", "MaxDays", 5);
    Plugin.dayNames =
        ReadInt(path, "General", "ShortDayNames", 1) ? OS_SHORT_DAY_NAMES : OS_LONG_DAY_NAMES;
    Plugin.monthNames =
        ReadInt(path, "General", "ShortMonthNames", 1) ? OS_SHORT_MONTH_NAMES : OS_LONG_MONTH_NAMES;
    if (Plugin.maxDays > 10 || Plugin.maxDays < 1) {
        Plugin.maxDays = 10;
    }
    Plugin.maxHours = ReadInt(path, "Hourly", "MaxHours", 12);
    if (Plugin.maxHours > 24 || Plugin.maxHours < 1) {
        Plugin.maxHours = 24;
    }

    Plugin.unitFromAuto = 0;
    ReadString(path, "Unit", "DefaultUnit", "Auto", Plugin.defaultUnit, sizeof Plugin.defaultUnit);
    ResolveAutoUnit();

    char scale[UNIT_CAPACITY];
    ReadString(path, "Unit", "AirQualityIndex", "Auto", scale, sizeof scale);
    Plugin.airQualityScale = AirScaleFromSetting(scale);

    ReadString(path, "General", "CustomLanguage", "None", Plugin.customLanguage,
               sizeof Plugin.customLanguage);
    ReadString(path, "LocationID", "DefaultLocationID", DEFAULT_LOCATION_ID,
               Plugin.defaultLocationId, sizeof Plugin.defaultLocationId);
    UpperCaseAscii(Plugin.defaultLocationId);
    ReadString(path, "General", "DefaultIconPath", DEFAULT_ICON_PATH, Plugin.defaultIconPath,
               sizeof Plugin.defaultIconPath);

    ReadString(path, "Service", "FeedHost", DEFAULT_FEED_HOST, Plugin.feedHost,
               sizeof Plugin.feedHost);
    ReadString(path, "Service", "NarrativeHost", DEFAULT_NARRATIVE_HOST, Plugin.narrativeHost,
               sizeof Plugin.narrativeHost);
    ReadString(path, "Service", "PageHost", DEFAULT_PAGE_HOST, Plugin.pageHost,
               sizeof Plugin.pageHost);

    char providers[TEXT_CAPACITY];
    ReadString(path, "Service", "Provider", DEFAULT_PROVIDER_LIST, providers, sizeof providers);
    Plugin.source = ProviderSource(providers);
    ReadString(path, "Service", "ForecastApi", OPEN_METEO_FORECAST_API, Plugin.forecastApi,
               sizeof Plugin.forecastApi);
    ReadString(path, "Service", "MetNorwayApi", MET_NORWAY_FORECAST_API, Plugin.metNorwayApi,
               sizeof Plugin.metNorwayApi);
    ReadString(path, "Service", "MetNowcastApi", MET_NORWAY_NOWCAST_API, Plugin.metNowcastApi,
               sizeof Plugin.metNowcastApi);
    ReadString(path, "Service", "GeocodingApi", OPEN_METEO_GEOCODING_API, Plugin.geocodingApi,
               sizeof Plugin.geocodingApi);
    ReadString(path, "Service", "AlertsApi", NWS_ALERTS_API, Plugin.alertsApi,
               sizeof Plugin.alertsApi);
    ReadString(path, "Service", "CanadaAlertsApi", CANADA_ALERTS_API, Plugin.canadaAlertsApi,
               sizeof Plugin.canadaAlertsApi);
    ReadString(path, "Service", "GermanyAlertsApi", GERMANY_ALERTS_API, Plugin.germanyAlertsApi,
               sizeof Plugin.germanyAlertsApi);
    ReadString(path, "Service", "NorwayAlertsApi", NORWAY_ALERTS_API, Plugin.norwayAlertsApi,
               sizeof Plugin.norwayAlertsApi);
    ReadString(path, "Service", "RadarApi", RAINVIEWER_MAPS_API, Plugin.radarApi,
               sizeof Plugin.radarApi);
    ReadString(path, "Service", "MeteoAlarmApi", METEOALARM_API, Plugin.meteoAlarmApi,
               sizeof Plugin.meteoAlarmApi);
    ReadString(path, "Service", "AirQualityApi", OPEN_METEO_AIR_QUALITY_API, Plugin.airQualityApi,
               sizeof Plugin.airQualityApi);
    // The public services ask to be told who asks: the plugin with its version, and the user's
    // contact where one is added. An empty agent would have every request refused.
    ReadString(path, "Service", "UserAgent", PROVIDER_USER_AGENT, Plugin.userAgent,
               sizeof Plugin.userAgent);
    if (Plugin.userAgent[0] == '\0') {
        CopyText(Plugin.userAgent, sizeof Plugin.userAgent, PROVIDER_USER_AGENT);
    }
    // Without an address of its own, the connectivity test asks the service that is used.
    ReadString(path, "Service", "ConnectivityUrl", "", Plugin.connectivityUrl,
               sizeof Plugin.connectivityUrl);
    if (Plugin.connectivityUrl[0] == '\0') {
        if (!Plugin.source->connectivityAddress(Plugin.source, Plugin.connectivityUrl,
                                                sizeof Plugin.connectivityUrl)) {
            CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl,
                     DEFAULT_CONNECTIVITY_URL);
        }
    }
}

void WriteSettings(const char *path) {
    char number[16];
    FormatText(number, sizeof number, "%d", Plugin.showMoonPhase);
    OsProfileWriteString(path, "General", "ShowMoonPhase", number);
    FormatText(number, sizeof number, "%d", Plugin.maxDays);
    OsProfileWriteString(path, "Forecast", "MaxDays", number);
    FormatText(number, sizeof number, "%d", Plugin.maxHours);
    OsProfileWriteString(path, "Hourly", "MaxHours", number);
    OsProfileWriteString(path, "General", "ShortDayNames",
                         Plugin.dayNames == OS_SHORT_DAY_NAMES ? "1" : "0");
    OsProfileWriteString(path, "General", "ShortMonthNames",
                         Plugin.monthNames == OS_SHORT_MONTH_NAMES ? "1" : "0");
    OsProfileWriteString(path, "Unit", "DefaultUnit",
                         Plugin.unitFromAuto == 1 ? "Auto" : Plugin.defaultUnit);
    OsProfileWriteString(path, "Unit", "AirQualityIndex",
                         AirScaleSettingWord((enum AirScale)Plugin.airQualityScale));
    OsProfileWriteString(path, "LocationID", "DefaultLocationID", Plugin.defaultLocationId);
    OsProfileWriteString(path, "General", "DefaultIconPath", Plugin.defaultIconPath);
    OsProfileWriteString(path, "Service", "Provider", Plugin.source->name);
}
