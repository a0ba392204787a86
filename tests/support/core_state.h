// Puts the core's module-wide state into a known shape for a test, without loading a module.
#ifndef NIMBREL_TEST_CORE_STATE_H
#define NIMBREL_TEST_CORE_STATE_H

#include <stdint.h>

#include <string>

#include "base/state.h"

// Every setting at its default (English as the default unit, the feed as the weather source), an
// empty feed document, no
// connectivity or failure memory, the cache folder `cacheFolder` (created), and every service
// host set to `hostPort` (for example "127.0.0.1:8470"), the connectivity test included.
void ResetCoreState(const std::string &cacheFolder, const std::string &hostPort);

// Empties every document kept in memory: freed, and made anew as start-up makes them.
void ForgetFeedDocuments(void);

// The copy of the file at `path` kept in memory, or NULL when there is none.
const FeedDocument *KeptDocument(const char *path);

// Moves every failure and offline verdict remembered in the cache folder `seconds` into the past.
void AgeRefreshMemory(const std::string &cacheFolder, long long seconds);

// Sets the last-write time of a file to `secondsAgo` before now (negative: in the future).
bool SetFileAge(const std::string &path, long long secondsAgo);

// Sets the last-write time of a file to the file time `time` exactly.
bool SetFileTimeTo(const std::string &path, uint64_t time);

// The last-write time of a file as a file time, or 0.
uint64_t FileTime(const std::string &path);

#endif
