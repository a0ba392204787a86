// The radar functions on arbitrary Location IDs, nicknames, addresses and refresh times,
// against arbitrary local pages and images in the cache, fresh, stale or missing.
// Fields: options (its sixth byte: bits 0-1 the page, 2-3 the radar image, 4-5 the custom
// image; each 0 missing, 1 fresh, 2 stale, 3 dated ahead of the clock), Location ID, nickname,
// custom image address (after a closed loopback address), refresh minutes, local page, image.
#include <stdlib.h>
#include <string.h>

#include "feed/cache.h"
#include "fuzz_support.h"
#include "images/radar.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"

static void Put(const std::string &path, const std::string &content, int state) {
    if (path.empty() || state == 0) {
        return;
    }
    WriteWholeFile(path, content);
    if (state == 2) {
        SetFileAge(path, 3 * 24 * 3600);
    } else if (state == 3) {
        SetFileAge(path, -3 * 24 * 3600);
    }
}

static void CheckLink(const char *link) {
    if (link == NULL || strlen(link) >= ADDRESS_CAPACITY) {
        abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 7);
    const std::string &cache = CoreReady();
    ApplyOptions(f[0]);
    unsigned char states = f[0].size() > 5 ? static_cast<unsigned char>(f[0][5]) : 0x15;
    ForgetDocument();

    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId,
             f[1][0] ? f[1].c_str() : Plugin.defaultLocationId);
    Put(CacheFilePath(KIND_HOME), f[5], states & 3);
    Put(CacheFilePath(KIND_RADAR), f[6], (states >> 2) & 3);
    CheckLink(LocalRadarLink(f[1].c_str()));

    // Only ever a loopback address that refuses connections: nothing is downloaded.
    std::string address = "http://" + std::string(Plugin.feedHost) + "/" + f[3];
    char name[PATH_CAPACITY];
    if (SafeNamePart(f[2].c_str(), name, sizeof name)) {
        std::string extension;
        for (size_t i = address.size() > 3 ? address.size() - 3 : 0; i < address.size(); i++) {
            char c = address[i];
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            extension += plain ? c : '_';
        }
        Put(cache + "/Custom.Radar." + name + "." + extension, f[6], (states >> 4) & 3);
    }
    CheckLink(CustomRadarLink(f[2].c_str(), address.c_str(), TextToInt(f[4].c_str())));

    EmptyFolder(cache);
    return 0;
}
