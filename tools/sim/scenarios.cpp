#include "scenarios.h"

#include "feed_documents.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

struct ScenarioEntry {
    Scenario scenario;
    const char *name;
    const char *locationId;
};

const ScenarioEntry kScenarios[] = {
    {Scenario::Normal, "normal", ""},
    {Scenario::Alert, "alert", "SIMALERT"},
    {Scenario::ServiceError, "error", "SIMERROR"},
    {Scenario::NotAvailable, "na", "SIMNA"},
    {Scenario::Dash, "dash", "SIMDASH"},
    {Scenario::Empty, "empty", "SIMEMPTY"},
    {Scenario::Http500, "http500", "SIM500"},
    {Scenario::Drop, "drop", "SIMDROP"},
    {Scenario::Stall, "stall", "SIMSTALL"},
    {Scenario::Drip, "drip", "SIMDRIP"},
    {Scenario::Slow, "slow", "SIMSLOW"},
    {Scenario::Huge, "huge", "SIMHUGE"},
    {Scenario::RateLimit, "ratelimit", "SIMRATELIMIT"},
    {Scenario::BadJson, "badjson", "SIMBADJSON"},
    {Scenario::Hostile, "hostile", "SIMHOSTILE"},
    {Scenario::Nulls, "nulls", "SIMNULLS"},
    {Scenario::Deprecated, "deprecated", "SIMDEPRECATED"},
};

const size_t kHugePiece = 64u * 1024u;

std::atomic<int> g_serviceScenario(static_cast<int>(Scenario::Normal));
std::atomic<int> g_groupScenarios[kAddressGroupCount] = {
    {static_cast<int>(Scenario::Normal)}, {static_cast<int>(Scenario::Normal)},
    {static_cast<int>(Scenario::Normal)}, {static_cast<int>(Scenario::Normal)},
    {static_cast<int>(Scenario::Normal)}, {static_cast<int>(Scenario::Normal)},
    {static_cast<int>(Scenario::Normal)}, {static_cast<int>(Scenario::Normal)}};
std::atomic<bool> g_shuttingDown(false);
std::mutex g_shutdownMutex;
std::condition_variable g_shutdownSignal;

void DeliverDrop(httplib::Response &response, const std::string &body,
                 const std::string &contentType) {
    auto shared = std::make_shared<std::string>(body);
    // Announce the whole length, send half of it, then give up: the server
    // closes the connection when a provider returns false.
    response.set_content_provider(shared->size(), contentType,
                                  [shared](size_t, size_t, httplib::DataSink &sink) {
                                      size_t half = shared->size() / 2;
                                      if (half > 0)
                                          sink.write(shared->data(), half);
                                      return false;
                                  });
}

void DeliverDrip(httplib::Response &response, const std::string &body,
                 const std::string &contentType) {
    auto shared = std::make_shared<std::string>(body);
    // The whole length is announced, as HTTP/1.0 clients need it: chunked bodies, whole and cut
    // short, come from the raw listener.
    response.set_content_provider(shared->size(), contentType,
                                  [shared](size_t offset, size_t, httplib::DataSink &sink) {
                                      if (WaitUnlessShuttingDown(kDripInterval))
                                          return false;
                                      return sink.write(shared->data() + offset, 1);
                                  });
}

void DeliverHuge(httplib::Response &response, const std::string &body,
                 const std::string &contentType) {
    auto shared = std::make_shared<std::string>(body);
    size_t total = shared->size() > kHugeSize ? shared->size() : kHugeSize;
    Padding padding = PaddingFor(contentType);
    response.set_content_provider(
        total, contentType,
        [shared, total, padding](size_t offset, size_t length, httplib::DataSink &sink) {
            if (ShuttingDown())
                return false;
            if (length > kHugePiece)
                length = kHugePiece;
            if (offset < shared->size()) {
                size_t part = shared->size() - offset;
                return sink.write(shared->data() + offset, part < length ? part : length);
            }
            size_t paddingLength = total - shared->size();
            size_t paddingOffset = offset - shared->size();
            std::string piece(length, '\0');
            for (size_t i = 0; i < length; ++i)
                piece[i] = PaddingByte(paddingOffset + i, paddingLength, padding);
            return sink.write(piece.data(), piece.size());
        });
}

void DeliverStall(httplib::Response &response, const std::string &contentType) {
    // Hold this handler's thread (never the whole server) until the limit or
    // shutdown. Afterwards the headers go out and the connection closes
    // without a body: the server has nothing to say.
    WaitUnlessShuttingDown(kStallLimit);
    response.set_chunked_content_provider(contentType,
                                          [](size_t, httplib::DataSink &) { return false; });
}

} // namespace

Padding PaddingFor(const std::string &contentType) {
    std::string mediaType = contentType.substr(0, contentType.find(';'));
    if (mediaType == "application/xml" ||
        (mediaType.compare(0, 12, "application/") == 0 && mediaType.size() >= 4 &&
         mediaType.compare(mediaType.size() - 4, 4, "+xml") == 0))
        return Padding::Comment;
    if (mediaType == "application/json" ||
        (mediaType.compare(0, 12, "application/") == 0 && mediaType.size() >= 5 &&
         mediaType.compare(mediaType.size() - 5, 5, "+json") == 0))
        return Padding::Blanks;
    return contentType.compare(0, 5, "text/") == 0 ? Padding::Comment : Padding::Zeros;
}

char PaddingByte(size_t index, size_t length, Padding padding) {
    if (padding == Padding::Blanks)
        return index % 80 == 79 ? '\n' : ' ';
    if (padding == Padding::Zeros)
        return '\0';
    static const char kOpen[] = "\n<!--";
    static const char kClose[] = "-->\n";
    if (length >= 9 && index < 5)
        return kOpen[index];
    if (length >= 9 && index >= length - 4)
        return kClose[index - (length - 4)];
    return index % 80 == 79 ? '\n' : 'x';
}

bool ScenarioFromName(const std::string &name, Scenario *scenario) {
    for (const ScenarioEntry &entry : kScenarios) {
        if (name == entry.name) {
            *scenario = entry.scenario;
            return true;
        }
    }
    return false;
}

const char *ScenarioName(Scenario scenario) {
    for (const ScenarioEntry &entry : kScenarios) {
        if (entry.scenario == scenario)
            return entry.name;
    }
    return "normal";
}

std::string ScenarioNames() {
    std::string names;
    for (const ScenarioEntry &entry : kScenarios) {
        if (!names.empty())
            names += " ";
        names += entry.name;
    }
    return names;
}

Scenario ScenarioForLocation(const std::string &upperCasedId) {
    for (const ScenarioEntry &entry : kScenarios) {
        if (entry.locationId[0] != '\0' && upperCasedId == entry.locationId)
            return entry.scenario;
    }
    return Scenario::Normal;
}

void SetServiceScenario(Scenario scenario) {
    g_serviceScenario.store(static_cast<int>(scenario));
}

Scenario ServiceScenario() {
    return static_cast<Scenario>(g_serviceScenario.load());
}

Scenario EffectiveScenario(const std::string &upperCasedId) {
    Scenario service = ServiceScenario();
    return service != Scenario::Normal ? service : ScenarioForLocation(upperCasedId);
}

void SetGroupScenario(AddressGroup group, Scenario scenario) {
    g_groupScenarios[static_cast<int>(group)].store(static_cast<int>(scenario));
}

Scenario OwnGroupScenario(AddressGroup group) {
    return static_cast<Scenario>(g_groupScenarios[static_cast<int>(group)].load());
}

Scenario GroupScenario(AddressGroup group) {
    Scenario own = OwnGroupScenario(group);
    if (own != Scenario::Normal)
        return own;
    if (group == AddressGroup::Frames)
        return GroupScenario(AddressGroup::Radar);
    if (group == AddressGroup::MeteoAlarm)
        return GroupScenario(AddressGroup::Alerts);
    return ServiceScenario();
}

void BeginShutdown() {
    {
        std::lock_guard<std::mutex> lock(g_shutdownMutex);
        g_shuttingDown.store(true);
    }
    g_shutdownSignal.notify_all();
}

bool ShuttingDown() {
    return g_shuttingDown.load();
}

bool WaitUnlessShuttingDown(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(g_shutdownMutex);
    return g_shutdownSignal.wait_for(lock, duration, [] { return g_shuttingDown.load(); });
}

bool WantsNulls(Scenario scenario) {
    return scenario == Scenario::Nulls || scenario == Scenario::NotAvailable;
}

Answer CutUnderBadJson(Answer answer, Scenario scenario) {
    if (scenario == Scenario::BadJson && answer.status == 200)
        answer.body.resize(answer.body.size() / 2);
    return answer;
}

void Serve(httplib::Response &response, Scenario scenario, const Answer &answer) {
    response.status = answer.status;
    for (const auto &header : answer.headers)
        response.set_header(header.first.c_str(), header.second);
    if (answer.status == 304)
        return;
    const std::string &body = answer.body;
    const std::string &contentType = answer.contentType;
    switch (scenario) {
    case Scenario::Empty:
        response.set_content("", contentType);
        break;
    case Scenario::Http500:
        response.status = 500;
        response.set_content(ServerErrorPage(), "text/html");
        break;
    case Scenario::Drop:
        DeliverDrop(response, body, contentType);
        break;
    case Scenario::Stall:
        DeliverStall(response, contentType);
        break;
    case Scenario::Drip:
        DeliverDrip(response, body, contentType);
        break;
    case Scenario::Huge:
        DeliverHuge(response, body, contentType);
        break;
    case Scenario::Slow:
        WaitUnlessShuttingDown(kSlowDelay);
        response.set_content(body, contentType);
        break;
    default:
        response.set_content(body, contentType);
        break;
    }
}
