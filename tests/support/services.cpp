#include "support/services.h"

#include <stdlib.h>

#include "platform/platform.h"
#include "support/sandbox.h"

namespace services {

static std::string StateFile(const char *name) {
    const char *folder = getenv("NIMBREL_TEST_SERVICES");
    if (folder == nullptr || folder[0] == '\0') {
        return "";
    }
    std::string path = std::string(folder) + "/" + name;
#if defined(_WIN32)
    if (path[0] == '/') {
        path = "Z:" + path; // Wine shows the Unix root as drive Z:
    }
#endif
    return path;
}

static std::string Port(const char *name) {
    std::string file = StateFile(name);
    if (file.empty() || !sandbox::Exists(file)) {
        return "";
    }
    std::string port = sandbox::ReadFile(file);
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) {
        port.pop_back();
    }
    return port.empty() ? "" : "127.0.0.1:" + port;
}

std::string SimHost() {
    return Port("sim.port");
}
std::string ProxyHost() {
    return Port("proxy.port");
}
std::string RawHost() {
    return Port("raw.port");
}

static int Collect(void *context, const char *bytes, size_t count) {
    ((std::string *)context)->append(bytes, count);
    return 1;
}

std::string SimGet(const std::string &pathAndQuery) {
    std::string address = "http://" + SimHost() + pathAndQuery;
    OsHttpRequest request = {address.c_str(), "nimbrel-tests", 0, "", "", "", 2000, 5000, 10000, NULL, NULL};
    std::string body;
    int status = 0;
    OsHttpGet(&request, Collect, &body, &status);
    return body;
}

void SimReset() {
    SimGet("/_control/reset");
}

void SimScenario(const std::string &name) {
    SimGet("/_control/scenario?name=" + name);
}

std::string SimLog() {
    return SimGet("/_control/log");
}

int SimRequests(const std::string &needle) {
    std::string log = SimLog();
    int count = 0;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        if (log.substr(start, end - start).find(needle) != std::string::npos) {
            count++;
        }
        start = end + 1;
    }
    return count;
}

} // namespace services
