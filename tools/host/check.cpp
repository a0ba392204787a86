// nimbrel-host --check. The host runs a copy of the module's own core: start-up reads the
// settings beside the module, the host's proxy and the cache folder exactly as the loaded module
// does, and the requests go through the same HTTP backend, which says why one failed. The module
// itself exports nothing for it.
#include "check.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "feed/address.h"
#include "feed/cache.h"
#include "feed/download.h"
#include "feed/source.h"
#include "images/radar.h"
#include "plugin/lifecycle.h"
#include "plugin/settings.h"
#include "base/state.h"
#include "base/text.h"
#include "provider/alert_sources.h"
#include "provider/alerts.h"
#include "provider/openmeteo.h"
#include "provider/provider.h"
#include "provider/rainviewer.h"

// The most of a body kept: enough for a place search; the rest of a longer answer is not read.
static const size_t kBodyLimit = 256 * 1024;

// A point inside the National Weather Service's area, asked for when the default place lies
// outside it: the service is checked all the same.
static const double kAlertsPointLatitude = 39.8283, kAlertsPointLongitude = -98.5795;

// What one service was asked and what came of it.
typedef struct ServiceCheck {
    std::string service;      // "geocoding", "forecast", ...
    std::string address;      // the address asked
    int anyStatus;            // nonzero: any HTTP status shows the server is there
    int asked;                // nonzero once the request has run
    enum OsHttpResult result; // of the request
    int status;               // the HTTP status, or 0
    OsHttpFailure failure;    // why it failed
    std::string body;         // the start of the body
    std::string note;         // what follows a good status, or empty
} ServiceCheck;

static ServiceCheck Service(const std::string &name, const std::string &address,
                            int anyStatus = 0) {
    ServiceCheck check = ServiceCheck();
    check.service = name;
    check.address = address;
    check.anyStatus = anyStatus;
    return check;
}

static int KeepBody(void *context, const char *bytes, size_t count) {
    std::string *body = (std::string *)context;
    if (body->size() + count > kBodyLimit) {
        return 0; // the status is known; the rest of the answer is not needed
    }
    body->append(bytes, count);
    return 1;
}

static const char *FailureLabel(enum OsHttpFailureKind kind) {
    switch (kind) {
    case OS_HTTP_FAILURE_DNS:
        return "DNS";
    case OS_HTTP_FAILURE_CONNECT:
        return "connect";
    case OS_HTTP_FAILURE_TLS:
        return "TLS";
    case OS_HTTP_FAILURE_TIMEOUT:
        return "time-out";
    case OS_HTTP_FAILURE_BROKEN:
        return "broken answer";
    default:
        return "failure";
    }
}

// Asks the address once, with the bounds, agent and proxy of the module's own downloads.
static void Ask(ServiceCheck *check) {
    OsHttpRequest request = {}; // every field this tool does not set stays empty
    request.address = check->address.c_str();
    request.userAgent = Plugin.source->userAgent;
    request.useProxy = Plugin.useProxy;
    request.proxyAddress = Plugin.proxyAddress;
    request.proxyUser = Plugin.proxyUser;
    request.proxyPassword = Plugin.proxyPassword;
    request.connectTimeoutMs = DOWNLOAD_CONNECT_MS;
    request.readTimeoutMs = DOWNLOAD_READ_MS;
    request.totalTimeoutMs = DOWNLOAD_TOTAL_MS;
    check->asked = 1;
    check->result =
        OsHttpGetExplained(&request, KeepBody, &check->body, &check->status, &check->failure);
}

static bool Answered(const ServiceCheck &check) {
    return check.result == OS_HTTP_COMPLETE || check.result == OS_HTTP_STOPPED;
}

static bool Passed(const ServiceCheck &check) {
    return Answered(check) && (check.anyStatus || (check.status >= 200 && check.status <= 299));
}

static std::string ProxyText(void) {
    if (!Plugin.useProxy) {
        return "none";
    }
    std::string text = Plugin.proxyAddress;
    if (Plugin.proxyUser[0] != '\0') {
        text += std::string(" (user ") + Plugin.proxyUser + ")";
    }
    return text;
}

static void Report(const ServiceCheck &check) {
    printf("%s: %s\n", check.service.c_str(), check.address.c_str());
    printf("  proxy: %s\n", check.failure.viaProxy ? ProxyText().c_str() : "none");
    if (!Answered(check)) {
        const char *reason = check.failure.reason[0] ? check.failure.reason : "no answer";
        printf("  result: FAILED, %s: %s", FailureLabel(check.failure.kind), reason);
        if (check.status != 0) {
            printf(" (the last status: HTTP %d)", check.status);
        }
        printf("\n");
    } else if (!Passed(check)) {
        printf("  result: FAILED, HTTP %d\n", check.status);
    } else {
        printf("  result: ok, HTTP %d%s\n", check.status, check.note.c_str());
    }
}

// Checks the folder the cache lives in: there (start-up has made it if it could), and a file
// can be written into it and removed again.
static bool CheckCacheFolder(void) {
    if (Plugin.cacheFolder[0] == '\0') {
        printf("cache folder: none\n  result: FAILED, no usable private cache folder (TEMP, and "
               "on Linux also XDG_CACHE_HOME or ~/.cache): nothing can be cached, every meter "
               "shows \"N/A\"\n");
        return false;
    }
    printf("cache folder: %s\n", Plugin.cacheFolder);
    if (!OsFolderExists(Plugin.cacheFolder)) {
        printf("  result: FAILED, it does not exist and cannot be made (the folder it belongs in "
               "must exist)\n");
        return false;
    }
    char probe[PATH_CAPACITY];
    OsFile *file = NULL;
    bool written = false;
    if (FormatText(probe, sizeof probe, "%s%ccheck.part", Plugin.cacheFolder, OsPathSeparator)) {
        file = OsFileCreate(probe);
    }
    if (file != NULL) {
        written = OsFileWrite(file, "check", 5) == 5;
        written = OsFileClose(file) && written;
        written = OsFileDelete(probe) && written;
    }
    printf(written ? "  result: ok, exists and writable\n"
                   : "  result: FAILED, exists but a file cannot be written into it\n");
    return written;
}

// The point the provider's checks ask for: the default place when it has coordinates or the
// search found it. Notes on the search what it found. Returns 1 with the place, or 0 with 0,0
// when it is not known.
static int DefaultPlace(ServiceCheck *search, PlaceInfo *place) {
    memset(place, 0, sizeof *place);
    if (ParseCoordinateId(Plugin.defaultLocationId, &place->latitude, &place->longitude)) {
        return 1;
    }
    if (!Passed(*search)) {
        return 0;
    }
    char reason[TEXT_CAPACITY];
    std::string id = Plugin.defaultLocationId;
    switch (
        ReadPlaceAnswer(search->body.data(), search->body.size(), place, reason, sizeof reason)) {
    case ANSWER_WEATHER:
        search->note = "; " + id + " is " + place->name;
        return 1;
    case ANSWER_NO_PLACE:
        search->note = "; no place is called " + id;
        break;
    case ANSWER_REFUSED:
        search->note = std::string("; the service refused the search: ") + reason;
        break;
    default:
        search->note = "; the answer cannot be read";
        break;
    }
    memset(place, 0, sizeof *place);
    return 0;
}

// The provider's services: the place search (unless the default place is coordinates), the
// forecast of each of the `count` sources that ask for one by point ("forecast", or with more
// than one "forecast (open-meteo)" and so on), the alerts and the radar index, asked in that
// order.
static void ProviderServices(std::vector<ServiceCheck> *checks, const WeatherSource *const *sources,
                             size_t count) {
    char address[ADDRESS_CAPACITY], latitude[32], longitude[32];
    PlaceRequestAddress(Plugin.geocodingApi, Plugin.defaultLocationId, address, sizeof address);
    ServiceCheck search = Service("geocoding", address);
    double latitudeIgnored, longitudeIgnored;
    int coordinates =
        ParseCoordinateId(Plugin.defaultLocationId, &latitudeIgnored, &longitudeIgnored);
    if (!coordinates) {
        Ask(&search); // first: the others ask for the place it finds
    }
    PlaceInfo place;
    int known = DefaultPlace(&search, &place);
    if (!coordinates) {
        checks->push_back(search);
    }

    FormatPoint(place.latitude, place.longitude, latitude, longitude, sizeof latitude);
    for (size_t i = 0; i < count; i++) {
        if (!sources[i]->pointForecastAddress(sources[i], latitude, longitude, address,
                                              sizeof address)) {
            continue;
        }
        std::string name = "forecast";
        if (count > 1) {
            name += std::string(" (") + sources[i]->name + ")";
        }
        checks->push_back(Service(name, address));
        if (!known) {
            checks->back().note = "; asked for 0,0, as the place is not known";
        }
    }

    const AlertSource *alerts = AlertSourceFor(&place);
    std::string alertsNote;
    if (alerts == NULL) {
        alerts = &NwsAlertSource;
        place.latitude = kAlertsPointLatitude;
        place.longitude = kAlertsPointLongitude;
        place.country[0] = '\0';
        alertsNote = "; the default place has no alerts, a point in the US was asked";
    }
    alerts->address(&place, address, sizeof address);
    checks->push_back(Service("alerts", address));
    checks->back().note = alertsNote;

    checks->push_back(Service("radar index", Plugin.radarApi));
}

// The feed's services: the feed host, the narrative host and the page host, each with the
// default Location ID's request.
static void FeedServices(std::vector<ServiceCheck> *checks) {
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, Plugin.defaultLocationId);
    CopyText(Plugin.callUnit, sizeof Plugin.callUnit, Plugin.defaultUnit);
    checks->push_back(Service("feed", CurrentAddress()));
    checks->push_back(Service("narrative", DetailsAddress()));
    checks->push_back(Service("local page", LocalPageAddress()));
}

int RunCheck(void *instance) {
    Startup(instance);
    printf("settings: %s%s\n", Plugin.settingsPath,
           FileExists(Plugin.settingsPath) ? "" : " (not there: every setting has its default)");
    printf("weather from: %s, default Location ID %s\n", Plugin.source->name,
           Plugin.defaultLocationId);
    printf("proxy: %s\n", ProxyText().c_str());
    bool cacheUsable = CheckCacheFolder();
    printf("\n");

    std::vector<ServiceCheck> checks;
    // The services of every source the plugin asks: the feed's hosts for a source that asks by
    // Location ID, the provider's for those that ask for a point.
    const WeatherSource *sources[SOURCE_CHAIN_CAPACITY];
    size_t count = Plugin.source->members(Plugin.source, sources, SOURCE_CHAIN_CAPACITY);
    count = count < SOURCE_CHAIN_CAPACITY ? count : (size_t)SOURCE_CHAIN_CAPACITY;
    bool byLocationId = false, byPoint = false;
    for (size_t i = 0; i < count; i++) {
        char address[ADDRESS_CAPACITY];
        bool point =
            sources[i]->pointForecastAddress(sources[i], "0", "0", address, sizeof address) != 0;
        byPoint = byPoint || point;
        byLocationId = byLocationId || !point;
    }
    if (byLocationId) {
        FeedServices(&checks);
    }
    if (byPoint) {
        ProviderServices(&checks, sources, count);
    }
    // Any answer passes the connectivity test, which only needs a connection; with a proxy the
    // module makes no such test.
    checks.push_back(Service("connectivity", Plugin.connectivityUrl, 1));
    checks.back().note = Plugin.useProxy ? "; not used: downloads go through the proxy" : "";

    int failed = 0;
    for (size_t i = 0; i < checks.size(); i++) {
        if (!checks[i].asked) {
            Ask(&checks[i]);
        }
        Report(checks[i]);
        failed += Passed(checks[i]) ? 0 : 1;
    }
    printf("\n");
    if (failed == 0 && cacheUsable) {
        printf("everything ok: %d services answered, the cache folder is usable\n",
               (int)checks.size());
        return 0;
    }
    printf("PROBLEMS: %d of %d services failed%s\n", failed, (int)checks.size(),
           cacheUsable ? "" : ", the cache folder is not usable");
    return 1;
}
