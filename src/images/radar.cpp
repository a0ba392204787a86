#include "images/radar.h"

#include <string.h>

#include "feed/cache.h"
#include "feed/download.h"
#include "feed/query.h"
#include "feed/source.h"
#include "images/icons.h"
#include "base/state.h"
#include "base/text.h"

static const char kFieldSeparator[] = "','";

enum { CUSTOM_EXTENSION_CAPACITY = 4 }; // three characters and the terminating zero

// The image address in the text cut from the local page: the characters after the first
// "','" up to the second. Returns 1 when there is a nonempty address that fits; else 0.
static int RadarAddressFromPage(const char *cut, char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    const char *first = strstr(cut, kFieldSeparator);
    if (first == NULL) {
        return 0;
    }
    const char *start = first + strlen(kFieldSeparator);
    const char *end = strstr(start, kFieldSeparator);
    if (end == NULL || end == start || (size_t)(end - start) >= capacity) {
        return 0;
    }
    memcpy(out, start, (size_t)(end - start));
    out[end - start] = '\0';
    return 1;
}

// A page that names no radar image is removed, so that the next call fetches it again, and the
// copy kept in memory goes with it: a later extraction reads the file or nothing.
static void DiscardLocalPage(const char *pagePath) {
    OsFileDelete(pagePath);
    ForgetCacheCheck(pagePath);
}

// The text cut from the local page names an image when it is no error of the extraction or
// of the service and holds the address field.
static int ReadRadarAddress(const char *pagePath, char *address, size_t capacity) {
    const char *cut = ExtractElement(pagePath, LOCAL_PAGE_OPEN_MARK, LOCAL_PAGE_CLOSE_MARK, 1);
    if (strstr(cut, "ERROR(") != NULL || strncmp(cut, "ERROR: ", 7) == 0) {
        return 0;
    }
    return RadarAddressFromPage(cut, address, capacity);
}

const char *LocalRadarLink(const char *locationId) {
    CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId,
             (locationId != NULL && locationId[0] != '\0') ? locationId : Plugin.defaultLocationId);
    char radarPath[PATH_CAPACITY];
    char pagePath[PATH_CAPACITY];
    CopyText(radarPath, sizeof radarPath, CacheFilePath(KIND_RADAR));
    CopyText(pagePath, sizeof pagePath, CacheFilePath(KIND_HOME));

    int radarVerdict = CheckCacheFile(radarPath, DocumentKindOf(KIND_RADAR)->ageLimit);
    if (radarVerdict != CACHE_FRESH) {
        if (CheckCacheDocument(pagePath, DocumentKindOf(KIND_HOME)->ageLimit) != CACHE_FRESH &&
            Plugin.source->refreshDocument(Plugin.source, KIND_HOME, pagePath) != OUTCOME_DONE &&
            radarVerdict == CACHE_MISSING) {
            return TEXT_RADAR_PAGE_FAILED;
        }
        char address[ADDRESS_CAPACITY];
        if (!ReadRadarAddress(pagePath, address, sizeof address)) {
            DiscardLocalPage(pagePath);
            return TEXT_RADAR_INVALID_LOCATION;
        }
        // A stale image serves when the refresh fails.
        if (Plugin.source->refreshRadar(Plugin.source, radarPath, address) != OUTCOME_DONE &&
            radarVerdict == CACHE_MISSING) {
            return TEXT_RADAR_IMAGE_FAILED;
        }
    }
    // The image is its own link.
    FormatText(Plugin.linkText, sizeof Plugin.linkText, "%s%%l%s", radarPath, radarPath);
    return Plugin.linkText;
}

// Characters Windows forbids in a file name, besides the control characters; and "%", which
// would let the returned path hold the "%l" at which the host splits picture and link.
static const char kForbiddenInNames[] = "<>:\"/\\|?*%";

// The custom image's extension: the last three characters of the address's path, before any
// query ("?") or fragment ("#"), which name no file type ("sat.gif?a=1" is a gif). Characters a
// file name cannot hold become "_"; every other one stays. A shorter path gives what it has.
static void CustomExtension(const char *address, char out[CUSTOM_EXTENSION_CAPACITY]) {
    size_t length = strcspn(address, "?#");
    size_t start =
        length > CUSTOM_EXTENSION_CAPACITY - 1 ? length - (CUSTOM_EXTENSION_CAPACITY - 1) : 0;
    size_t n = 0;
    for (size_t i = start; i < length; i++) {
        unsigned char c = (unsigned char)address[i];
        int forbidden = c < 0x20 || c == 0x7f || strchr(kForbiddenInNames, c) != NULL;
        out[n++] = forbidden ? '_' : (char)c;
    }
    out[n] = '\0';
}

const char *CustomRadarLink(const char *nickname, const char *address, int refreshMinutes) {
    if (Plugin.cacheFolder[0] == '\0') {
        return TEXT_CUSTOM_IMAGE_FAILED; // nowhere to keep the image
    }
    char name[PATH_CAPACITY];
    char extension[CUSTOM_EXTENSION_CAPACITY];
    char file[PATH_CAPACITY];
    char path[PATH_CAPACITY];
    CustomExtension(address, extension);
    if (!SafeNamePart(nickname, name, sizeof name) ||
        !FormatText(file, sizeof file, "Custom.Radar.%s.%s", name, extension) ||
        !FormFolderPath(path, sizeof path, Plugin.cacheFolder, file)) {
        return TEXT_CUSTOM_NICKNAME_TOO_LONG;
    }
    // Checked before anything is fetched: a cut address would fetch and link some other image.
    if (strlen(path) + 2 + strlen(address) >= sizeof Plugin.linkText) {
        return TEXT_CUSTOM_ADDRESS_TOO_LONG;
    }
    if (CheckCacheFile(path, refreshMinutes) != CACHE_FRESH &&
        FetchToFile(path, address) != OUTCOME_DONE) {
        return TEXT_CUSTOM_IMAGE_FAILED;
    }
    FormatText(Plugin.linkText, sizeof Plugin.linkText, "%s%%l%s", path, address);
    return Plugin.linkText;
}
