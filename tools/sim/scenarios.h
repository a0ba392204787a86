// How the service misbehaves, chosen by Location ID or by a control request.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace httplib {
struct Response;
}

enum class Scenario {
    Normal,
    Alert,        // the current feed carries an alert section with two alerts
    ServiceError, // the feed's own error document, status 200
    NotAvailable, // values read "N/A"
    Dash,         // condition codes read "-"
    Empty,        // empty body, status 200
    Http500,      // a web server error page, status 500
    Drop,         // Content-Length larger than the body; the connection closes early
    Stall,        // no answer at all for up to a minute
    Drip,         // the document one byte every 500 ms
    Slow,         // the usual answer, after a wait of 2 s
    Huge,         // the document padded to 20 MiB
    // The rest change only the JSON answers (/v1/forecast, /v1/search); the feed addresses
    // answer as usual under them.
    RateLimit, // 429 and the public service's "limit exceeded" error
    BadJson,   // status 200, the answer cut off in the middle
    Hostile,   // status 200, valid JSON of a shape no answer has
    Nulls,     // the usual shape with null for every weather value
    // MET Norway's forecast alone: 203, a product about to be retired, whose answers always
    // come whole (If-Modified-Since is not honoured); every other address answers as usual.
    Deprecated,
};

// How long a stalled answer waits, and the pause between the bytes of a dripping one.
const std::chrono::seconds kStallLimit(60);
const std::chrono::milliseconds kDripInterval(500);
// How long a slow answer waits before it goes out whole: longer than a panel's call waits for
// a refresh, well within a download's bounds.
const std::chrono::seconds kSlowDelay(2);
// The size a huge answer is padded to, and the padding's byte at `index` of `length`: a
// comment in XML and HTML, blanks after JSON (both still read as one document), zero
// bytes after a picture, which decoders skip. Every JSON type (application/json, and the
// "+json" ones such as application/geo+json) is padded with blanks, every XML type
// (application/xml and the "+xml" ones such as application/atom+xml) with a comment.
const size_t kHugeSize = 20u * 1024u * 1024u;
enum class Padding { Zeros, Comment, Blanks };
Padding PaddingFor(const std::string &contentType);
char PaddingByte(size_t index, size_t length, Padding padding);

// Returns false for an unknown name.
bool ScenarioFromName(const std::string &name, Scenario *scenario);
const char *ScenarioName(Scenario scenario);
// Every scenario name, separated by blanks, for help and error texts.
std::string ScenarioNames();

// The scenario that an upper-cased Location ID selects (SIMALERT and so on).
Scenario ScenarioForLocation(const std::string &upperCasedId);

// The scenario set by control request; Normal lets the Location ID decide.
void SetServiceScenario(Scenario scenario);
Scenario ServiceScenario();
Scenario EffectiveScenario(const std::string &upperCasedId);

// Addresses that can be given a scenario of their own (/_control/alerts, /_control/radar,
// /_control/frames, /_control/openmeteo, /_control/metno, /_control/airquality,
// /_control/nowcast, /_control/meteoalarm), so that one
// service fails while the others keep working. Normal clears it. Frames are the radar pictures
// alone: a test can let the index answer and the picture fail. OpenMeteo is the JSON forecast
// alone (the place search keeps answering), MetNorway the Locationforecast answers, AirQuality
// the air-quality answers (the forecast keeps answering), Nowcast MET Norway's nowcast answers
// (its Locationforecast keeps answering), MeteoAlarm the European warnings' Atom feeds alone
// (the other alert services keep answering, while the alerts' scenario reaches these feeds too).
enum class AddressGroup {
    Alerts,
    Radar,
    Frames,
    OpenMeteo,
    MetNorway,
    AirQuality,
    Nowcast,
    MeteoAlarm
};
const int kAddressGroupCount = 8;
void SetGroupScenario(AddressGroup group, Scenario scenario);
// The group's own scenario, Normal when it has none.
Scenario OwnGroupScenario(AddressGroup group);
// The scenario in force for the group's addresses: its own, else (for frames) the radar's or (for
// MeteoAlarm) the alerts', else the control request's.
Scenario GroupScenario(AddressGroup group);

// Shutdown wakes every handler that waits, so the server can stop at once.
void BeginShutdown();
bool ShuttingDown();
// Waits for the duration or until shutdown; returns true when shutting down.
bool WaitUnlessShuttingDown(std::chrono::milliseconds duration);

// An answer built before it is delivered. Headers are set as given; a 304 goes out without a
// body whatever the scenario.
struct Answer {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Whether the scenario fills an answer's values with null (nulls, and na on the JSON addresses).
bool WantsNulls(Scenario scenario);
// The answer as the scenario has it said: a successful one cut in half under badjson.
Answer CutUnderBadJson(Answer answer, Scenario scenario);

// Puts the answer into the response, delivered as the scenario says (empty to huge). Scenarios
// that change content are delivered normally: the caller has built the body.
void Serve(httplib::Response &response, Scenario scenario, const Answer &answer);
