#include "fuzz_support.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "feed/cache.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"

static const char kSeparator = '\x1f';

std::vector<std::string> SplitFields(const uint8_t *data, size_t size, size_t count) {
    std::vector<std::string> fields;
    const char *text = reinterpret_cast<const char *>(data);
    size_t start = 0;
    while (fields.size() + 1 < count) {
        const void *found = start < size ? memchr(text + start, kSeparator, size - start) : NULL;
        if (found == NULL) {
            break;
        }
        size_t end = static_cast<size_t>(static_cast<const char *>(found) - text);
        fields.emplace_back(text + start, end - start);
        start = end + 1;
    }
    fields.emplace_back(start < size ? std::string(text + start, size - start) : std::string());
    fields.resize(count);
    return fields;
}

static std::string scratch;

static void RemoveScratch() {
    if (scratch.empty()) {
        return;
    }
    // Two levels: the scratch folder and the cache folder inside it.
    std::string cache = scratch + "/Nimbrel";
    EmptyFolder(cache);
    rmdir(cache.c_str());
    EmptyFolder(scratch);
    rmdir(scratch.c_str());
}

const std::string &ScratchFolder() {
    if (scratch.empty()) {
        const char *temp = getenv("TMPDIR");
        std::string pattern = std::string(temp && temp[0] ? temp : "/tmp") + "/nimbrel-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == NULL) {
            perror("mkdtemp");
            abort();
        }
        scratch = name.data();
        atexit(RemoveScratch);
    }
    return scratch;
}

bool WriteWholeFile(const std::string &path, const std::string &content) {
    FILE *file = fopen(path.c_str(), "wb");
    if (file == NULL) {
        return false;
    }
    bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
    return fclose(file) == 0 && ok;
}

void EmptyFolder(const std::string &folder) {
    DIR *dir = opendir(folder.c_str());
    if (dir == NULL) {
        return;
    }
    std::vector<std::string> names;
    while (struct dirent *entry = readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    for (const std::string &name : names) {
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
            unlink(path.c_str());
        }
    }
}

// A loopback port that refuses every connection: bound by this process and never listened on,
// so no other program can take it while the fuzzer runs.
static std::string ClosedLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<struct sockaddr *>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<struct sockaddr *>(&address), &length) != 0) {
        perror("closed loopback port");
        abort();
    }
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port)); // the socket stays open
}

const std::string &CoreReady() {
    static std::string cache;
    if (cache.empty()) {
        cache = ScratchFolder() + "/Nimbrel";
        // The first missing document fails at once against the closed port, and the offline
        // memory answers the later ones without a connection.
        ResetCoreState(cache, ClosedLoopbackPort());
        CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "None");
        Plugin.languagePath[0] = '\0';
    }
    return cache;
}

void ForgetDocument() {
    ForgetFeedDocuments();
}

void PlaceFeed(enum DocumentKind kind, const char *locationId, const char *unitType,
               const std::string &content) {
    // The same names as the queries build: the per-call fields, cut to their capacity.
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId,
             locationId[0] ? locationId : Plugin.defaultLocationId);
    CopyText(Plugin.callUnit, sizeof Plugin.callUnit, unitType[0] ? unitType : Plugin.defaultUnit);
    const char *path = CacheFilePath(kind);
    if (path[0] != '\0') {
        WriteWholeFile(path, content);
    }
}

void PlaceAllFeeds(const char *locationId, const char *unitType, const std::string &english,
                   const std::string &metric, const std::string &details) {
    static const enum DocumentKind kKinds[] = {KIND_CURRENT, KIND_FORECAST, KIND_HOURLY};
    for (enum DocumentKind kind : kKinds) {
        PlaceFeed(kind, locationId, unitType, english);
        PlaceFeed(kind, locationId, "", english);
        PlaceFeed(kind, locationId, "English", english);
        PlaceFeed(kind, locationId, "Metric", metric);
    }
    PlaceFeed(KIND_DETAILS, locationId, unitType, details);
    PlaceFeed(KIND_DETAILS, locationId, "", details);
    PlaceFeed(KIND_DETAILS, locationId, "English", details);
    PlaceFeed(KIND_DETAILS, locationId, "Metric", details);
}

void UseLanguage(const std::string &content) {
    if (content.empty()) {
        CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "None");
        Plugin.languagePath[0] = '\0';
        return;
    }
    std::string path = ScratchFolder() + "/Fuzz.ini";
    WriteWholeFile(path, content);
    CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "Fuzz");
    CopyText(Plugin.languagePath, sizeof Plugin.languagePath, path.c_str());
}

void ApplyOptions(const std::string &options) {
    unsigned char b[5] = {4, 11, 0, 0, 1}; // MaxDays 5, MaxHours 12, English, short names, moon
    for (size_t i = 0; i < sizeof b && i < options.size(); i++) {
        b[i] = static_cast<unsigned char>(options[i]);
    }
    Plugin.maxDays = 1 + b[0] % 10;
    Plugin.maxHours = 1 + b[1] % 24;
    static const char *const kUnits[] = {"English", "Metric", "Both", "english", ""};
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit, kUnits[b[2] % 5]);
    Plugin.dayNames = (b[3] & 1) ? OS_LONG_DAY_NAMES : OS_SHORT_DAY_NAMES;
    Plugin.monthNames = (b[3] & 2) ? OS_LONG_MONTH_NAMES : OS_SHORT_MONTH_NAMES;
    Plugin.showMoonPhase = b[4] & 1;
}
