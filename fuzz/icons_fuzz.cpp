// The icon functions on arbitrary Location IDs, folders, periods and picture folders, against
// arbitrary documents placed fresh in the cache.
// Fields: options (its sixth byte is the day-or-night flag, its seventh the moon's day offset),
// Location ID, folder (empty: the default image folder; else a name inside the scratch
// folder), period, picture names (one a line), English document, Metric document.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "fuzz_support.h"
#include "images/icons.h"
#include "base/state.h"
#include "base/text.h"

static void CheckPath(const char *path) {
    if (path == NULL || strlen(path) >= PATH_CAPACITY) {
        abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 7);
    const std::string &cache = CoreReady();
    static const std::string pictures = ScratchFolder() + "/images";
    mkdir(pictures.c_str(), 0700);
    ApplyOptions(f[0]);
    int dayNight = f[0].size() > 5 ? f[0][5] & 1 : 1;
    int days = f[0].size() > 6 ? static_cast<signed char>(f[0][6]) : 0;
    CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, pictures.c_str());
    std::string folder = f[2].empty() ? std::string() : pictures + "/" + f[2];
    // The pictures that exist: plain names only, so nothing lands outside the folder.
    size_t start = 0;
    for (int made = 0; start < f[4].size() && made < 16; made++) {
        size_t end = f[4].find('\n', start);
        std::string name = f[4].substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? f[4].size() : end + 1;
        if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
            name.find('\0') == std::string::npos) {
            WriteWholeFile(pictures + "/" + name, "picture");
        }
    }
    ForgetDocument();
    PlaceAllFeeds(f[1].c_str(), "", f[5], f[6], std::string());

    CheckPath(ResolveIcon(f[1].c_str(), folder.c_str(), TextToInt(f[3].c_str()), dayNight));
    const char *link = AlertIconLink(f[1].c_str(), folder.c_str());
    if (link == NULL || strlen(link) >= ADDRESS_CAPACITY) {
        abort();
    }
    CheckPath(MoonIconPath(folder.c_str(), days));

    EmptyFolder(pictures);
    EmptyFolder(cache);
    return 0;
}
