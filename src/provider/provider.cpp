#include "provider/provider.h"

#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "feed/source.h"
#include "provider/answers.h"
#include "provider/documents.h"
#include "provider/metno.h"
#include "provider/openmeteo.h"
#include "provider/radar_refresh.h"

// One forecast service of the provider: the answers its refreshes walk, in order (the place
// before the forecast that needs its point, the forecast before the alerts that go with it), and
// the address its service answers at.
typedef struct ProviderService {
    const char *api; // the state's field with the forecast address
    const ProviderAnswer *const *answers;
    size_t count;
} ProviderService;

static const ProviderAnswer *const kOpenMeteoAnswers[] = {&PlaceAnswer,      &OpenMeteoAnswer,
                                                          &AlertsAnswer,     &RadarIndexAnswer,
                                                          &AirQualityAnswer, &MetNowcastAnswer};
static const ProviderAnswer *const kMetNorwayAnswers[] = {&PlaceAnswer,      &MetNorwayAnswer,
                                                          &AlertsAnswer,     &RadarIndexAnswer,
                                                          &AirQualityAnswer, &MetNowcastAnswer};

static const ProviderService kOpenMeteoService = {
    Plugin.forecastApi, kOpenMeteoAnswers, sizeof kOpenMeteoAnswers / sizeof kOpenMeteoAnswers[0]};
static const ProviderService kMetNorwayService = {
    Plugin.metNorwayApi, kMetNorwayAnswers, sizeof kMetNorwayAnswers / sizeof kMetNorwayAnswers[0]};

static enum Outcome RefreshProviderDocument(const WeatherSource *self, enum DocumentKind kind,
                                            const char *path) {
    const ProviderService *service = (const ProviderService *)self->context;
    UpperCaseAscii(Plugin.callLocationId);
    AnswerSet *set = (AnswerSet *)malloc(sizeof *set);
    if (set == NULL) {
        return OUTCOME_FAILED;
    }
    StartAnswerSet(set);
    // Whatever this source asks, the call has the document's copy to show meanwhile: a chain's
    // later member, whose own answer is not kept yet, holds the call no longer than its first.
    enum Outcome outcome =
        WalkAnswers(service->answers, service->count, kind, FileExists(path), set);
    if (outcome == OUTCOME_DONE && !WriteDocument(kind, Plugin.callUnit, path, set)) {
        outcome = OUTCOME_FAILED;
    } else if (outcome == OUTCOME_DONE) {
        if (set->weatherIsNew) {
            RewriteSiblings(path, set);
        }
        LoadFeedDocument(path, 1);
    }
    free(set);
    return outcome;
}

static enum Outcome RefreshProviderRadar(const WeatherSource *self, const char *path,
                                         const char *address) {
    const ProviderService *service = (const ProviderService *)self->context;
    return RefreshRadarPicture(service->answers, service->count, path, address);
}

// The address of the connectivity test for the forecast address: its scheme, host and port with
// the path "/" ("https://api.open-meteo.com/"). Returns 1, or 0 when the address has no host
// (out empty).
static int ServiceRootAddress(const WeatherSource *self, char *out, size_t capacity) {
    const char *address = ((const ProviderService *)self->context)->api;
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

static int OpenMeteoPointAddress(const WeatherSource *self, const char *latitude,
                                 const char *longitude, char *out, size_t capacity) {
    (void)self;
    return ForecastRequestAddress(Plugin.forecastApi, latitude, longitude, 0, out, capacity);
}

static int MetNorwayPointAddress(const WeatherSource *self, const char *latitude,
                                 const char *longitude, char *out, size_t capacity) {
    (void)self;
    return MetNorwayRequestAddress(Plugin.metNorwayApi, latitude, longitude, out, capacity);
}

const WeatherSource OpenMeteoSource = {
    "open-meteo",            // name
    Plugin.userAgent,        // userAgent: [Service] UserAgent
    NULL,                    // alertLinkHost: links lead to the alert service's own page
    RefreshProviderDocument, // refreshDocument
    RefreshProviderRadar,    // refreshRadar
    ServiceRootAddress,      // connectivityAddress
    OpenMeteoPointAddress,   // pointForecastAddress
    SourceAlone,             // members
    &kOpenMeteoService,      // context
};

const WeatherSource MetNorwaySource = {
    "met-norway",            // name
    Plugin.userAgent,        // userAgent: [Service] UserAgent, which MET Norway requires
    NULL,                    // alertLinkHost
    RefreshProviderDocument, // refreshDocument
    RefreshProviderRadar,    // refreshRadar
    ServiceRootAddress,      // connectivityAddress
    MetNorwayPointAddress,   // pointForecastAddress
    SourceAlone,             // members
    &kMetNorwayService,      // context
};
