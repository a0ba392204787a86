#include "support/core_state.h"

#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "feed/cache.h"
#include "feed/source.h"
#include "platform/platform.h"
#include "plugin/settings.h"
#include "base/state.h"
#include "base/text.h"
#include "support/sandbox.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#endif

void ForgetFeedDocuments(void) {
    FreeFeedDocuments();
    StartFeedDocuments();
}

const FeedDocument *KeptDocument(const char *path) {
    for (int i = 0; i < FEED_DOCUMENT_SLOTS; i++) {
        if (path[0] != '\0' && strcmp(Plugin.documents[i].path, path) == 0) {
            return &Plugin.documents[i];
        }
    }
    return NULL;
}

void ResetCoreState(const std::string &cacheFolder, const std::string &hostPort) {
    ReadSettings(NULL);
    Plugin.source = &FeedSource;
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit, "English");
    Plugin.unitFromAuto = 0;
    if (Plugin.documents[0].bytes == NULL) {
        StartFeedDocuments();
    }
    ForgetFeedDocuments();
    // What the processes remember together starts empty too.
    sandbox::RemoveTree(sandbox::Join(cacheFolder, "Refresh"));
    Plugin.useProxy = 0;
    Plugin.proxyAddress[0] = Plugin.proxyUser[0] = Plugin.proxyPassword[0] = '\0';
    CopyText(Plugin.cacheFolder, sizeof Plugin.cacheFolder, cacheFolder.c_str());
    OsCreateFolder(Plugin.cacheFolder);
    CopyText(Plugin.feedHost, sizeof Plugin.feedHost, hostPort.c_str());
    CopyText(Plugin.narrativeHost, sizeof Plugin.narrativeHost, hostPort.c_str());
    CopyText(Plugin.pageHost, sizeof Plugin.pageHost, hostPort.c_str());
    std::string url = "http://" + hostPort + "/";
    CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, url.c_str());
    // The European warnings of every place a test names in Europe come from the local service.
    std::string feeds = url + "feeds/meteoalarm-legacy-atom-";
    CopyText(Plugin.meteoAlarmApi, sizeof Plugin.meteoAlarmApi, feeds.c_str());
    Plugin.callLocationId[0] = Plugin.callUnit[0] = '\0';
}

bool SetFileAge(const std::string &path, long long secondsAgo) {
    return SetFileTimeTo(path, OsUtcNow() - (uint64_t)(secondsAgo * 10000000LL));
}

bool SetFileTimeTo(const std::string &path, uint64_t time) {
#if defined(_WIN32)
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME written;
    written.dwLowDateTime = (DWORD)time;
    written.dwHighDateTime = (DWORD)(time >> 32);
    BOOL ok = SetFileTime(file, NULL, NULL, &written);
    CloseHandle(file);
    return ok != 0;
#else
    const uint64_t epochDifference = 11644473600ull * 10000000ull;
    struct timespec times[2];
    uint64_t unixTicks = time - epochDifference;
    times[0].tv_sec = times[1].tv_sec = (time_t)(unixTicks / 10000000ull);
    times[0].tv_nsec = times[1].tv_nsec = (long)(unixTicks % 10000000ull) * 100;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
}

uint64_t FileTime(const std::string &path) {
    uint64_t time = 0;
    OsFileLastWrite(path.c_str(), &time);
    return time;
}

void AgeRefreshMemory(const std::string &cacheFolder, long long seconds) {
    std::string folder = sandbox::Join(cacheFolder, "Refresh");
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        std::string suffix = entry.path().extension().string();
        if (suffix != ".failed" && suffix != ".offline") {
            continue;
        }
        std::string path = entry.path().string();
        uint64_t time = strtoull(sandbox::ReadFile(path).c_str(), NULL, 10);
        sandbox::WriteFile(path, std::to_string(time - (uint64_t)(seconds * 10000000LL)));
    }
}
