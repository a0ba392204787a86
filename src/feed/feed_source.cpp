// The feed's own source: each kind has its request address, downloaded as it stands.
#include "feed/source.h"

#include <string.h>

#include "base/text.h"
#include "feed/address.h"
#include "feed/download.h"

typedef const char *(*AddressBuilder)(void);

typedef struct FeedAddress {
    enum DocumentKind kind;
    AddressBuilder build;
} FeedAddress;

// The request address of each kind the feed serves.
static const FeedAddress kFeedAddresses[] = {
    {KIND_CURRENT, CurrentAddress}, {KIND_FORECAST, ForecastAddress},
    {KIND_DETAILS, DetailsAddress}, {KIND_HOURLY, HourlyAddress},
    {KIND_HOME, LocalPageAddress},
};

static enum Outcome RefreshFeedDocument(const WeatherSource *self, enum DocumentKind kind,
                                        const char *path) {
    (void)self;
    for (size_t i = 0; i < sizeof kFeedAddresses / sizeof kFeedAddresses[0]; i++) {
        if (kFeedAddresses[i].kind == kind) {
            return FetchToFile(path, kFeedAddresses[i].build());
        }
    }
    return OUTCOME_FAILED; // a kind the feed has no address for
}

static enum Outcome RefreshFeedRadar(const WeatherSource *self, const char *path,
                                     const char *address) {
    (void)self;
    return FetchToFile(path, address);
}

static int FeedConnectivityAddress(const WeatherSource *self, char *out, size_t capacity) {
    (void)self;
    if (capacity > 0) {
        out[0] = '\0';
    }
    return 0;
}

size_t SourceAlone(const WeatherSource *self, const WeatherSource **out, size_t capacity) {
    if (capacity > 0) {
        out[0] = self;
    }
    return 1;
}

int NoPointForecast(const WeatherSource *self, const char *latitude, const char *longitude,
                    char *out, size_t capacity) {
    (void)self;
    (void)latitude;
    (void)longitude;
    if (capacity > 0) {
        out[0] = '\0';
    }
    return 0;
}

const WeatherSource FeedSource = {
    "feed",                  // name
    DOWNLOAD_USER_AGENT,     // userAgent
    ALERT_HOST_PREFIX,       // alertLinkHost
    RefreshFeedDocument,     // refreshDocument
    RefreshFeedRadar,        // refreshRadar
    FeedConnectivityAddress, // connectivityAddress
    NoPointForecast,         // pointForecastAddress
    SourceAlone,             // members
    NULL,                    // context
};
