// nimbrel-sim: a local weather service for testing the plugin on loopback.
//
//   nimbrel-sim [--port N] [--log FILE] [--bind ADDRESS] [--clock YYYY-MM-DDTHH:MM]
//
// On start it prints one line "port N" to stdout (and "raw-port N" for the raw listener), then
// serves until SIGTERM or SIGINT. Only loopback addresses are accepted for --bind. --clock fixes
// the service's clock (UTC), which moves every stamp, day name and hour of day; without it the
// computer's clock is used. tools/sim/README.md lists every address, scenario and control
// request.
//
// Every request is logged as "METHOD TARGET", the target exactly as received, to stderr and to
// the --log file (appended, flushed per line); control requests are not kept in the in-memory
// log that /_control/log answers.

#include "air_quality_api.h"
#include "feed_documents.h"
#include "national_alerts.h"
#include "meteoalarm_feeds.h"
#include "metno_api.h"
#include "nws_alerts.h"
#include "open_meteo_api.h"
#include "png_image.h"
#include "rainviewer_api.h"
#include "raw_server.h"
#include "request_log.h"
#include "scenarios.h"
#include "sim_util.h"
#include "weather_model.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const char *const kPartnerId = "4827316590";
const char *const kPartnerKey = "c7e2a19f40b63d85";
const size_t kMaxLocationIdLength = 31;
// Stalled handlers each hold a thread, so keep plenty for everyone else.
const size_t kWorkerThreads = 64;
const int kRadarWidth = 120;
const int kRadarHeight = 90;

struct Settings {
    int port = 0;
    std::string bindAddress = "127.0.0.1";
    std::string logPath;
    time_t fixedClock = 0; // 0: use the computer's clock
};

// How far /_control/clock has moved the service clock: at most ten years either way.
const long long kMaxClockOffsetSeconds = 3650LL * 86400;

Settings g_settings;
int g_boundPort = 0;
std::atomic<bool> g_listenFinished(false);
std::atomic<long long> g_clockOffsetSeconds(0);

// The clock before any offset: --clock, or the computer's.
time_t BaseNow() {
    return g_settings.fixedClock != 0 ? g_settings.fixedClock : time(nullptr);
}

time_t ServiceNow() {
    return BaseNow() + static_cast<time_t>(g_clockOffsetSeconds.load());
}

void PrintUsage(std::FILE *to) {
    std::fprintf(to, "usage: nimbrel-sim [--port N] [--log FILE] [--bind 127.0.0.1] "
                     "[--clock YYYY-MM-DDTHH:MM]\n"
                     "  --port 0 (the default) picks a free port; the port is printed as "
                     "\"port N\".\n"
                     "  --bind accepts loopback addresses only (127.x.x.x or localhost).\n"
                     "  --clock fixes the service clock, in UTC.\n");
}

bool ParsePort(const char *text, int *port) {
    if (!AllDigits(text, 5))
        return false;
    int value = std::atoi(text);
    if (value > 65535)
        return false;
    *port = value;
    return true;
}

bool IsLoopbackAddress(const std::string &address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        return false;
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

bool ParseClock(const char *text, time_t *clock) {
    int year, month, day, hour, minute;
    char extra;
    if (std::sscanf(text, "%4d-%2d-%2dT%2d:%2d%c", &year, &month, &day, &hour, &minute, &extra) !=
        5)
        return false;
    if (year < 1971 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
        return false;
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    *clock = timegm(&broken);
    return *clock > 0;
}

// Returns false with a message printed when the command line is unusable.
bool ParseCommandLine(int argc, char **argv, Settings *settings, bool *helpOnly) {
    *helpOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            *helpOnly = true;
            return true;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "nimbrel-sim: %s needs a value\n", option.c_str());
            return false;
        }
        const char *value = argv[++i];
        if (option == "--port") {
            if (!ParsePort(value, &settings->port)) {
                std::fprintf(stderr, "nimbrel-sim: --port needs a number from 0 to 65535, not %s\n",
                             value);
                return false;
            }
        } else if (option == "--log") {
            settings->logPath = value;
        } else if (option == "--bind") {
            std::string address = value;
            if (address == "localhost")
                address = "127.0.0.1";
            if (!IsLoopbackAddress(address)) {
                std::fprintf(stderr,
                             "nimbrel-sim: --bind accepts only a loopback address "
                             "(127.x.x.x or localhost), not %s\n",
                             value);
                return false;
            }
            settings->bindAddress = address;
        } else if (option == "--clock") {
            if (!ParseClock(value, &settings->fixedClock)) {
                std::fprintf(stderr,
                             "nimbrel-sim: --clock needs a UTC time as YYYY-MM-DDTHH:MM, not %s\n",
                             value);
                return false;
            }
        } else {
            std::fprintf(stderr, "nimbrel-sim: unknown option %s\n", option.c_str());
            return false;
        }
    }
    return true;
}

// The upper-cased ID, or false when it is no ID this service knows how to name.
bool NormalizeLocationId(const std::string &raw, std::string *id) {
    if (raw.empty() || raw.size() > kMaxLocationIdLength)
        return false;
    id->clear();
    for (char c : raw) {
        unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '-' && c != '_' && c != '.')
            return false;
        *id += static_cast<char>(std::toupper(u));
    }
    return true;
}

// The address this request reached us by, for links back to this service. The
// Host header is used only when it names loopback, so no document ever points
// elsewhere.
std::string BaseUrl(const httplib::Request &request) {
    std::string fallback = "http://" + g_settings.bindAddress + ":" + std::to_string(g_boundPort);
    std::string host = request.get_header_value("Host");
    size_t colon = host.rfind(':');
    std::string name = colon == std::string::npos ? host : host.substr(0, colon);
    std::string port = colon == std::string::npos ? "" : host.substr(colon + 1);
    if (!AllDigits(port, 5))
        return fallback;
    if (name != "localhost" && !IsLoopbackAddress(name))
        return fallback;
    return "http://" + name + ":" + port;
}

int LeadingInt(const std::string &text, int fallback) {
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str())
        return fallback;
    if (value > 1000)
        return 1000;
    if (value < -1000)
        return -1000;
    return static_cast<int>(value);
}

bool IsMetricUnit(const std::string &unit) {
    std::string lower = LowerAscii(unit);
    return lower == "m" || lower == "metric";
}

bool PartnerMatches(const httplib::Request &request) {
    if (request.has_param("par") && request.get_param_value("par") != kPartnerId)
        return false;
    if (request.has_param("key") && request.get_param_value("key") != kPartnerKey)
        return false;
    return true;
}

DocumentOptions OptionsFor(const Location &location, Scenario scenario,
                           const httplib::Request &request) {
    DocumentOptions options;
    options.metric = IsMetricUnit(request.get_param_value("unit"));
    options.notAvailable = scenario == Scenario::NotAvailable;
    options.dashIcons = scenario == Scenario::Dash;
    if (scenario == Scenario::Alert)
        options.alertCount = 2;
    else if (location.hasAlerts)
        options.alertCount = 1;
    options.baseUrl = BaseUrl(request);
    options.utcNow = ServiceNow();
    return options;
}

const char *const kXmlType = "text/xml";
const char *const kHtmlType = "text/html";
const char *const kPngType = "image/png";

Answer Document(const char *contentType, const std::string &body) {
    Answer answer;
    answer.contentType = contentType;
    answer.body = body;
    return answer;
}

Answer InvalidLocation() {
    return Document(kXmlType, ServiceErrorDocument('2', "Invalid location provided."));
}

// /weather/local/ID: the three feeds by their query, the local page without one.
void ServeWeatherLocal(const httplib::Request &request, httplib::Response &response) {
    std::string id;
    bool valid = NormalizeLocationId(request.matches[1], &id);
    Scenario scenario = valid ? EffectiveScenario(id) : ServiceScenario();
    if (!valid || scenario == Scenario::ServiceError) {
        Serve(response, scenario, InvalidLocation());
        return;
    }
    bool current = request.has_param("cc");
    bool forecast = request.has_param("dayf");
    bool hourly = request.has_param("hbhf");
    if ((current || forecast) && !PartnerMatches(request)) {
        Serve(response, scenario,
              Document(kXmlType, ServiceErrorDocument('1', "Invalid partner code.")));
        return;
    }
    Location location = MakeLocation(id);
    DocumentOptions options = OptionsFor(location, scenario, request);
    if (current)
        Serve(response, scenario, Document(kXmlType, CurrentFeed(location, options)));
    else if (forecast)
        Serve(response, scenario,
              Document(
                  kXmlType,
                  ForecastFeed(location, LeadingInt(request.get_param_value("dayf"), 1), options)));
    else if (hourly)
        Serve(
            response, scenario,
            Document(kXmlType, HourlyFeed(location, LeadingInt(request.get_param_value("hbhf"), 1),
                                          options)));
    else
        Serve(response, scenario, Document(kHtmlType, LocalPage(location, options)));
}

void ServeNarrative(const httplib::Request &request, httplib::Response &response) {
    std::string id;
    bool valid = NormalizeLocationId(request.get_param_value("locid"), &id);
    Scenario scenario = valid ? EffectiveScenario(id) : ServiceScenario();
    if (!valid || scenario == Scenario::ServiceError) {
        Serve(response, scenario, InvalidLocation());
        return;
    }
    Location location = MakeLocation(id);
    Serve(response, scenario,
          Document(kHtmlType, NarrativePage(location, OptionsFor(location, scenario, request))));
}

// A picture, or the service error document when that is the scenario.
void DeliverPicture(httplib::Response &response, Scenario scenario, uint64_t seed) {
    Serve(response, scenario,
          scenario == Scenario::ServiceError
              ? InvalidLocation()
              : Document(kPngType, RadarPicturePng(seed, kRadarWidth, kRadarHeight)));
}

void ServeRadarImage(const httplib::Request &request, httplib::Response &response) {
    std::string id;
    if (!NormalizeLocationId(request.matches[1], &id)) {
        response.status = 404;
        return;
    }
    DeliverPicture(response, EffectiveScenario(id), MakeLocation(id).seed);
}

// Any other picture, for images the user names by address.
void ServeOtherImage(const httplib::Request &request, httplib::Response &response) {
    DeliverPicture(response, ServiceScenario(), MakeLocation(request.matches[1]).seed);
}

void ServeAlertPage(const httplib::Request &request, httplib::Response &response) {
    std::string id;
    if (!NormalizeLocationId(request.matches[1], &id)) {
        response.status = 404;
        return;
    }
    Scenario scenario = EffectiveScenario(id);
    Serve(
        response, scenario,
        scenario == Scenario::ServiceError
            ? InvalidLocation()
            : Document(kHtmlType, AlertPage(MakeLocation(id), LeadingInt(request.matches[2], 1))));
}

// The JSON addresses. /v1/forecast follows only the control requests' scenarios (the
// forecast's own, else every address's), as the address carries no Location ID; /v1/search
// also the searched name read as one.
void ServeJsonForecast(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::OpenMeteo);
    Serve(response, scenario, ForecastAnswer(request.params, ServiceNow(), scenario));
}

// /v1/air-quality: under the air quality's own scenario, else every address's, so that it can
// fail while the forecast answers.
void ServeAirQuality(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::AirQuality);
    Serve(response, scenario, AirQualityAnswer(request.params, ServiceNow(), scenario));
}

void ServeJsonSearch(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = SearchScenario(request.params);
    Serve(response, scenario, SearchAnswer(request.params, scenario));
}

void ServeLocationforecast(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::MetNorway);
    Serve(response, scenario,
          LocationforecastAnswer(request.params, request.get_header_value("User-Agent"),
                                 request.get_header_value("If-Modified-Since"), ServiceNow(),
                                 scenario));
}

// /weatherapi/nowcast/2.0/complete: under the nowcast's own scenario, else every address's.
void ServeNowcast(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Nowcast);
    Serve(response, scenario,
          NowcastAnswer(request.params, request.get_header_value("User-Agent"),
                        request.get_header_value("If-Modified-Since"), ServiceNow(), scenario));
}

// The alerts of the four services, under the alerts' scenario.
void ServeActiveAlerts(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Alerts);
    Serve(response, scenario,
          ActiveAlertsAnswer(request.params, request.get_header_value("User-Agent"), ServiceNow(),
                             scenario));
}

void ServeCanadaAlerts(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Alerts);
    Serve(response, scenario, CanadaAlertsAnswer(request.params, ServiceNow(), scenario));
}

void ServeGermanyAlerts(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Alerts);
    Serve(response, scenario, GermanyAlertsAnswer(request.params, ServiceNow(), scenario));
}

void ServeNorwayAlerts(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Alerts);
    Serve(response, scenario,
          NorwayAlertsAnswer(request.params, request.get_header_value("User-Agent"), ServiceNow(),
                             scenario));
}

// /feeds/meteoalarm-legacy-atom-SLUG: one European country's warnings, under their own
// scenario, else the alerts', else every address's.
void ServeMeteoalarmFeed(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::MeteoAlarm);
    Serve(response, scenario, MeteoalarmFeedAnswer(request.matches[1], ServiceNow(), scenario));
}

// /public/weather-maps.json: the radar frames, whose host is this service.
void ServeRadarIndex(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Radar);
    Serve(response, scenario, RadarIndexAnswer(BaseUrl(request), ServiceNow(), scenario));
}

// /v2/radar/TIME/SIZE/ZOOM/LAT/LON/COLOR/OPTIONS.png: one frame's overlay at a point.
void ServeRadarPicture(const httplib::Request &request, httplib::Response &response) {
    Scenario scenario = GroupScenario(AddressGroup::Frames);
    RadarPictureRequest picture;
    picture.time = request.matches[1];
    picture.size = request.matches[2];
    picture.zoom = request.matches[3];
    picture.latitude = request.matches[4];
    picture.longitude = request.matches[5];
    picture.color = request.matches[6];
    picture.options = request.matches[7];
    Serve(response, scenario, RadarPictureAnswer(picture, ServiceNow(), scenario));
}

// /_control/scenario sets the scenario of every address (`label` empty); /_control/alerts,
// /_control/radar, ... one group's (`label` "alerts " and so on). Without a name, tells it.
void ServeScenarioControl(const std::string &label, Scenario current,
                          const std::function<void(Scenario)> &set, const httplib::Request &request,
                          httplib::Response &response) {
    if (request.has_param("name")) {
        std::string name = request.get_param_value("name");
        if (!ScenarioFromName(name, &current)) {
            response.status = 400;
            response.set_content("unknown scenario \"" + name + "\"; known: " + ScenarioNames() +
                                     "\n",
                                 "text/plain");
            return;
        }
        set(current);
    }
    response.set_content(label + "scenario " + ScenarioName(current) + "\n", "text/plain");
}

// A whole number of minutes: an optional sign and up to nine digits.
bool ParseMinutes(const std::string &text, long long *minutes) {
    size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (!AllDigits(text.substr(sign), 9))
        return false;
    *minutes = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

// /_control/clock?advance=MINUTES moves the service clock; without it, tells the offset.
void ServeClockControl(const httplib::Request &request, httplib::Response &response) {
    if (request.has_param("advance")) {
        std::string text = request.get_param_value("advance");
        long long minutes = 0;
        long long offset = g_clockOffsetSeconds.load();
        if (!ParseMinutes(text, &minutes) ||
            std::llabs(offset + minutes * 60) > kMaxClockOffsetSeconds ||
            static_cast<long long>(BaseNow()) + offset + minutes * 60 < 86400) {
            response.status = 400;
            response.set_content("advance needs a whole number of minutes that keeps the offset "
                                 "within ten years, not \"" +
                                     text.substr(0, 40) + "\"\n",
                                 "text/plain");
            return;
        }
        g_clockOffsetSeconds.store(offset + minutes * 60);
    }
    time_t now = ServiceNow();
    std::tm broken{};
    gmtime_r(&now, &broken);
    char clock[32];
    std::strftime(clock, sizeof clock, "%Y-%m-%dT%H:%M:%SZ", &broken);
    response.set_content("clock offset " + std::to_string(g_clockOffsetSeconds.load() / 60) +
                             " minutes; service clock " + clock + "\n",
                         "text/plain");
}

void ServeConnectivity(const httplib::Request &, httplib::Response &response) {
    response.set_content("ok", "text/plain");
}

// A request may name its target in absolute form ("http://host:port/path"),
// as clients do towards a proxy; a server must accept that form too.
std::string Route(const char *pathPattern) {
    return std::string("(?:http://[^/]+)?") + pathPattern;
}

std::string OriginFormPath(const std::string &path) {
    if (path.compare(0, 7, "http://") != 0)
        return path;
    size_t slash = path.find('/', 7);
    return slash == std::string::npos ? "/" : path.substr(slash);
}

void SetUpRoutes(httplib::Server &server) {
    server.set_pre_routing_handler([](const httplib::Request &request, httplib::Response &) {
        bool control = OriginFormPath(request.path).compare(0, 10, "/_control/") == 0;
        LogRequestLine(request.method + " " + request.target, !control);
        if (!control)
            NoteUserAgent(request.get_header_value("User-Agent"));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get(Route("/"), ServeConnectivity);
    server.Get(Route(R"(/connectivity(/.*)?)"), ServeConnectivity);
    server.Get(Route(R"(/weather/local/([^/]*))"), ServeWeatherLocal);
    server.Get(Route("/weather/mpdwcr/narrative"), ServeNarrative);
    server.Get(Route(R"(/images/radar/([^/]+)\.png)"), ServeRadarImage);
    server.Get(Route(R"(/images/(.+))"), ServeOtherImage);
    server.Get(Route("/alerts/active"), ServeActiveAlerts);
    server.Get(Route("/alerts"), ServeGermanyAlerts);
    server.Get(Route("/collections/weather-alerts/items"), ServeCanadaAlerts);
    server.Get(Route(R"(/weatherapi/metalerts/2\.0/current\.json)"), ServeNorwayAlerts);
    server.Get(Route(R"(/alerts/([^/]+)/([0-9]+))"), ServeAlertPage);
    server.Get(Route("/feeds/meteoalarm-legacy-atom-([^/]*)"), ServeMeteoalarmFeed);
    server.Get(Route("/v1/forecast"), ServeJsonForecast);
    server.Get(Route("/v1/search"), ServeJsonSearch);
    server.Get(Route("/v1/air-quality"), ServeAirQuality);
    server.Get(Route("/weatherapi/locationforecast/2.0/complete"), ServeLocationforecast);
    server.Get(Route("/weatherapi/nowcast/2.0/complete"), ServeNowcast);
    server.Get(Route(R"(/public/weather-maps\.json)"), ServeRadarIndex);
    server.Get(Route(R"(/v2/radar/([^/]+)/([^/]+)/([^/]+)/([^/]+)/([^/]+)/([^/]+)/([^/]+)\.png)"),
               ServeRadarPicture);
    server.Get(Route("/_control/scenario"), [](const httplib::Request &request,
                                               httplib::Response &response) {
        ServeScenarioControl("", ServiceScenario(), SetServiceScenario, request, response);
    });
    // /_control/alerts, /_control/radar, ...: a scenario for one group of addresses.
    static const struct {
        AddressGroup group;
        const char *label;
    } kGroups[] = {{AddressGroup::Alerts, "alerts"},   {AddressGroup::Radar, "radar"},
                   {AddressGroup::Frames, "frames"},   {AddressGroup::OpenMeteo, "openmeteo"},
                   {AddressGroup::MetNorway, "metno"}, {AddressGroup::AirQuality, "airquality"},
                   {AddressGroup::Nowcast, "nowcast"}, {AddressGroup::MeteoAlarm, "meteoalarm"}};
    for (const auto &entry : kGroups) {
        AddressGroup group = entry.group;
        const char *label = entry.label;
        server.Get(Route((std::string("/_control/") + label).c_str()),
                   [group, label](const httplib::Request &request, httplib::Response &response) {
                       ServeScenarioControl(
                           std::string(label) + " ", OwnGroupScenario(group),
                           [group](Scenario scenario) { SetGroupScenario(group, scenario); },
                           request, response);
                   });
    }
    server.Get(Route("/_control/clock"), ServeClockControl);
    server.Get(Route("/_control/log"), [](const httplib::Request &, httplib::Response &response) {
        response.set_content(RequestLogText(), "text/plain");
    });
    server.Get(Route("/_control/agents"),
               [](const httplib::Request &, httplib::Response &response) {
                   response.set_content(UserAgentText(), "text/plain");
               });
    server.Get(Route("/_control/reset"), [](const httplib::Request &, httplib::Response &response) {
        ClearRequestLog();
        SetServiceScenario(Scenario::Normal);
        for (const auto &entry : kGroups)
            SetGroupScenario(entry.group, Scenario::Normal);
        g_clockOffsetSeconds.store(0);
        response.set_content("reset\n", "text/plain");
    });
    // Only answers that carry no body of their own get a short text.
    httplib::Server::HandlerWithResponse notFound = [](const httplib::Request &request,
                                                       httplib::Response &response) {
        if (!response.body.empty() || response.status != 404)
            return httplib::Server::HandlerResponse::Unhandled;
        response.set_content("not found: " + request.path + "\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    };
    server.set_error_handler(notFound);
}

} // namespace

int main(int argc, char **argv) {
    bool helpOnly = false;
    if (!ParseCommandLine(argc, argv, &g_settings, &helpOnly)) {
        PrintUsage(stderr);
        return 2;
    }
    if (helpOnly) {
        PrintUsage(stdout);
        return 0;
    }
    std::string reason;
    if (!g_settings.logPath.empty() && !OpenRequestLogFile(g_settings.logPath, &reason)) {
        std::fprintf(stderr, "nimbrel-sim: cannot open log file %s: %s\n",
                     g_settings.logPath.c_str(), reason.c_str());
        return 2;
    }

    // A client that hangs up mid-answer must not end the service.
    std::signal(SIGPIPE, SIG_IGN);
    // SIGTERM and SIGINT go to one waiting thread, which stops the server:
    // stopping from a signal handler itself would not be safe. A shell starts
    // background jobs with SIGINT ignored, and an ignored signal never reaches
    // sigwait, so both get their default action back first.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_keep_alive_timeout(2);
    SetUpRoutes(server);

    if (g_settings.port == 0) {
        g_boundPort = server.bind_to_any_port(g_settings.bindAddress);
    } else if (server.bind_to_port(g_settings.bindAddress, g_settings.port)) {
        g_boundPort = g_settings.port;
    } else {
        g_boundPort = -1;
    }
    if (g_boundPort <= 0) {
        std::fprintf(stderr, "nimbrel-sim: cannot listen on %s port %d\n",
                     g_settings.bindAddress.c_str(), g_settings.port);
        CloseRequestLogFile();
        return 1;
    }
    std::printf("port %d\n", g_boundPort);
    int rawPort = StartRawServer(g_settings.bindAddress, ServiceNow);
    if (rawPort > 0) {
        std::printf("raw-port %d\n", rawPort);
    }
    std::fflush(stdout);

    std::thread stopper([&server, &stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        BeginShutdown();
        // A stop that arrives before the listening loop runs is not seen by
        // it, so repeat until the loop has ended.
        while (!g_listenFinished.load()) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    server.listen_after_bind();
    g_listenFinished.store(true);
    bool stoppedBySignal = ShuttingDown();
    if (!stoppedBySignal) {
        std::fprintf(stderr, "nimbrel-sim: the server stopped unexpectedly\n");
        kill(getpid(), SIGTERM); // wakes the stopper thread, which then ends
    }
    stopper.join();
    CloseRequestLogFile();
    return stoppedBySignal ? 0 : 1;
}
