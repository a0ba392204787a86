#include "request_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex g_logMutex;
std::FILE *g_logFile = nullptr;
std::vector<std::string> g_keptLines;
std::vector<std::string> g_userAgents;

// A bound on the memory the kept lines take; the file has every line.
const size_t kMaxKeptLines = 100000;

} // namespace

bool OpenRequestLogFile(const std::string &path, std::string *reason) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_logFile = std::fopen(path.c_str(), "a");
    if (g_logFile == nullptr) {
        *reason = std::strerror(errno);
        return false;
    }
    return true;
}

void CloseRequestLogFile() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_logFile != nullptr)
        std::fclose(g_logFile);
    g_logFile = nullptr;
}

void LogRequestLine(const std::string &line, bool kept) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    if (g_logFile != nullptr) {
        std::fprintf(g_logFile, "%s\n", line.c_str());
        std::fflush(g_logFile);
    }
    if (kept && g_keptLines.size() < kMaxKeptLines)
        g_keptLines.push_back(line);
}

std::string RequestLogText() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::string text;
    for (const std::string &line : g_keptLines)
        text += line + "\n";
    return text;
}

void NoteUserAgent(const std::string &agent) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    for (const std::string &seen : g_userAgents) {
        if (seen == agent)
            return;
    }
    if (g_userAgents.size() < 100)
        g_userAgents.push_back(agent);
}

std::string UserAgentText() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::string text;
    for (const std::string &agent : g_userAgents)
        text += agent + "\n";
    return text;
}

void ClearRequestLog() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_keptLines.clear();
    g_userAgents.clear();
}
