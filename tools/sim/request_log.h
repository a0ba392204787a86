// The record of requests that tests read to count downloads and check the
// exact addresses the plugin sent.
#pragma once

#include <string>

// Opens the log file for appending; returns false with a reason when it cannot.
bool OpenRequestLogFile(const std::string &path, std::string *reason);
void CloseRequestLogFile();

// Writes one line to stderr and the log file (flushed at once). When kept is
// true the line is also kept in memory for RequestLogText.
void LogRequestLine(const std::string &line, bool kept);

// Notes the User-Agent of a request that is kept in the log.
void NoteUserAgent(const std::string &agent);

// The kept lines since start or the last reset, each ending in a line feed.
std::string RequestLogText();
// Every User-Agent seen since start or the last reset, once each, in order, one a line.
std::string UserAgentText();
void ClearRequestLog();
