#include "plugin/settings.h"

#include <string.h>

#include "base/state.h"
#include "base/text.h"
#include "provider/alerts.h"
#include "provider/openmeteo.h"
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

// The address of the connectivity test for a service address: its scheme, host and port with
// the path "/" ("https://api.open-meteo.com/"). Returns 1, or 0 when the address has no host
// (out empty).
static int ServiceRootAddress(const char *address, char *out, size_t capacity) {
    const char *scheme = strstr(address, "://");
    const char *host = scheme ? scheme + 3 : NULL;
    size_t hostLength = host ? strcspn(host, "/?#") : 0;
    if (hostLength == 0 ||
        !FormatText(out, capacity, "%.*s/", (int)(host + hostLength - address), address)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

void ReadSettings(const char *path) {
    Plugin.showMoonPhase = ReadInt(path, "General", "ShowMoonPhase", 1);
    Plugin.maxDays = ReadInt(path, "Forecast", "MaxDays", 5);
    Plugin.dayNameItem =
        ReadInt(path, "General", "ShortDayNames", 1) ? CAL_ITEM_SHORT_DAY : CAL_ITEM_LONG_DAY;
    Plugin.monthNameItem =
        ReadInt(path, "General", "ShortMonthNames", 1) ? CAL_ITEM_SHORT_MONTH : CAL_ITEM_LONG_MONTH;
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

    char provider[32];
    ReadString(path, "Service", "Provider", PROVIDER_NAME_OPEN_METEO, provider, sizeof provider);
    // Anything but "feed" is the provider, which a user who mistyped the name sees written back.
    Plugin.provider =
        EqualsIgnoreCase(provider, PROVIDER_NAME_FEED) ? PROVIDER_FEED : PROVIDER_OPEN_METEO;
    ReadString(path, "Service", "ForecastApi", OPEN_METEO_FORECAST_API, Plugin.forecastApi,
               sizeof Plugin.forecastApi);
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
    // Without an address of its own, the connectivity test asks the service that is used.
    ReadString(path, "Service", "ConnectivityUrl", "", Plugin.connectivityUrl,
               sizeof Plugin.connectivityUrl);
    if (Plugin.connectivityUrl[0] == '\0') {
        if (Plugin.provider == PROVIDER_FEED ||
            !ServiceRootAddress(Plugin.forecastApi, Plugin.connectivityUrl,
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
                         Plugin.dayNameItem == CAL_ITEM_SHORT_DAY ? "1" : "0");
    OsProfileWriteString(path, "General", "ShortMonthNames",
                         Plugin.monthNameItem == CAL_ITEM_SHORT_MONTH ? "1" : "0");
    OsProfileWriteString(path, "Unit", "DefaultUnit",
                         Plugin.unitFromAuto == 1 ? "Auto" : Plugin.defaultUnit);
    OsProfileWriteString(path, "LocationID", "DefaultLocationID", Plugin.defaultLocationId);
    OsProfileWriteString(path, "General", "DefaultIconPath", Plugin.defaultIconPath);
    OsProfileWriteString(path, "Service", "Provider",
                         Plugin.provider == PROVIDER_FEED ? PROVIDER_NAME_FEED
                                                          : PROVIDER_NAME_OPEN_METEO);
}
