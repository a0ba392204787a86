#include "images/icons.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include "base/terms.h"
#include "feed/air_quality.h"
#include "feed/cache.h"
#include "feed/query.h"
#include "feed/source.h"
#include "moon/moon.h"
#include "base/state.h"
#include "base/text.h"

// The extensions of a picture, in the order they are tried.
static const char *const kExtensions[] = {"png", "gif", "jpg", "jpeg", "bmp", "ico"};
enum { EXTENSION_COUNT = sizeof kExtensions / sizeof kExtensions[0] };

// Night conditions, whose pictures may show the moon: mostly cloudy, partly cloudy, clear, fair,
// rain, snow and thunderstorms at night.
static const int kMoonCodes[] = {27, 29, 31, 33, 45, 46, 47};

// Links pass through this marker on their way to the alert prefix, which itself holds "www.".
static const char kLinkMarker[] = "zzz.";

const char *IconFolder(const char *folder) {
    return (folder != NULL && folder[0] != '\0') ? folder : Plugin.defaultIconPath;
}

DayPart NowDayPart(int hour) {
    DayPart part = {1, (hour >= 1 && hour <= 13) ? 1 : 0};
    return part;
}

DayPart LaterDayPart(int hour) {
    DayPart part = {1, 0};
    if (!(hour >= 1 && hour <= 13)) {
        part.day = 2;
        part.dayNight = 1;
    }
    return part;
}

static int ClampToInt(int64_t n) {
    if (n > INT_MAX) {
        return INT_MAX;
    }
    if (n < INT_MIN) {
        return INT_MIN;
    }
    return (int)n;
}

// The condition code of the period as the feed gives it, error texts included.
static const char *QueryConditionCode(const char *locationId, int period, int dayNight) {
    if (period == 0) {
        return QueryCurrent(locationId, "", "<icon>", "</icon>", 1);
    }
    if (period > 0) {
        // Day p has its day part at occurrence 2p - 1 and its night part at 2p.
        int occurrence = ClampToInt(2 * (int64_t)period - dayNight);
        return QueryForecast(locationId, "", "<icon>", "</icon>", occurrence);
    }
    return QueryHourly(locationId, "", "<icon>", "</icon>", ClampToInt(-(int64_t)period));
}

static int IsMoonCode(int code) {
    for (size_t i = 0; i < sizeof kMoonCodes / sizeof kMoonCodes[0]; i++) {
        if (kMoonCodes[i] == code) {
            return 1;
        }
    }
    return 0;
}

static int IsSeparator(char c) {
    return c == OsPathSeparator || c == '/';
}

int FormFolderPath(char *out, size_t capacity, const char *folder, const char *name) {
    size_t length = strlen(folder);
    while (length > 0 && IsSeparator(folder[length - 1])) {
        length--;
    }
    return FormatText(out, capacity, "%.*s%c%s", (int)length, folder, OsPathSeparator, name);
}

// "FOLDER<sep>NAME.EXT" into the image path buffer. Returns 1 when it fit; a path that was cut
// names some other file and must not be used.
static int FormPicturePath(const char *folder, const char *name, const char *extension) {
    char file[PATH_CAPACITY];
    return FormatText(file, sizeof file, "%s.%s", name, extension) &&
           FormFolderPath(Plugin.imagePath, sizeof Plugin.imagePath, folder, file);
}

// A value that names no condition: "N/A", an error text, or nothing at all.
static int IsNoCondition(const char *value) {
    return value[0] == '\0' || strcmp(value, TEXT_NOT_AVAILABLE) == 0 ||
           strstr(value, "ERROR") != NULL;
}

typedef enum SearchResult {
    PICTURE_FOUND = 0,   // the image path buffer names an existing picture
    PICTURE_MISSING = 1, // the buffer holds the last path tried, which does not exist
    PICTURE_TOO_LONG = 2 // the last path tried did not fit the buffer
} SearchResult;

// Tries each extension with `first`, then with `second` (NULL or the same name: once). An empty
// folder is not searched: its paths would name the root of the drive.
static SearchResult FindPicture(const char *folder, const char *first, const char *second) {
    if (second != NULL && strcmp(first, second) == 0) {
        second = NULL;
    }
    int fits = 0;
    for (int i = 0; i < EXTENSION_COUNT; i++) {
        const char *names[2] = {first, second};
        for (int k = 0; k < 2 && names[k] != NULL; k++) {
            fits = FormPicturePath(folder, names[k], kExtensions[i]);
            if (fits && folder[0] != '\0' && FileExists(Plugin.imagePath)) {
                return PICTURE_FOUND;
            }
        }
    }
    return fits ? PICTURE_MISSING : PICTURE_TOO_LONG;
}

// The first picture of `first`, then `second`, as FindPicture searches; else the last path
// tried, or the error texts of a folder that does not exist or a path that does not fit. Returns
// the image path buffer or a constant text.
static const char *PicturePath(const char *directory, const char *first, const char *second) {
    SearchResult found = FindPicture(directory, first, second);
    if (found == PICTURE_FOUND) {
        return Plugin.imagePath;
    }
    if (!OsFolderExists(directory)) {
        FormatText(Plugin.imagePath, sizeof Plugin.imagePath,
                   "ERROR: Specified path (%s) does not exist.", directory);
        return Plugin.imagePath;
    }
    return found == PICTURE_TOO_LONG ? TEXT_PATH_TOO_LONG : Plugin.imagePath;
}

const char *ResolveIcon(const char *locationId, const char *folder, int period, int dayNight) {
    const char *directory = IconFolder(folder);

    // The feed's code names a file inside the folder: a separator in it (an error text, "N/A",
    // a damaged feed) must not lead out of the folder.
    char code[TEXT_CAPACITY];
    CopyText(code, sizeof code, QueryConditionCode(locationId ? locationId : "", period, dayNight));
    // No data, no picture of a condition: the NA picture, as for the feed's "-".
    int noCondition = IsNoCondition(code);
    for (char *p = code; *p; p++) {
        if (*p == '/' || *p == '\\') {
            *p = '_';
        }
    }

    char moonName[16];
    const char *name = code;
    if (Plugin.showMoonPhase) {
        int condition = TextToInt(code);
        if (IsMoonCode(condition)) {
            FormatText(moonName, sizeof moonName, "%d_%d", condition, MoonPhaseIndex(period));
            name = moonName;
        }
    }
    if (strcmp(code, "-") == 0 || noCondition) {
        name = "NA";
    }

    return PicturePath(directory, name, noCondition ? NULL : code);
}

const char *AirQualityIconPath(const char *locationId, int period) {
    enum AirScale scale = AirScaleFor(locationId);
    int band = AirBandFor(locationId, period, scale);
    char name[16] = "NA"; // no index, no band: the NA picture, as for a condition
    if (band > 0) {
        FormatText(name, sizeof name, "AQ%s%d", scale == AIR_SCALE_EUROPEAN ? "EU" : "US", band);
    }
    return PicturePath(IconFolder(""), name, NULL);
}

const char *NoDataIconPath(void) {
    return PicturePath(IconFolder(""), "NA", NULL);
}

const char *AlertIconLink(const char *locationId, const char *folder) {
    const char *link = QueryCurrent(locationId ? locationId : "", "", "<l>", "</l>", 1);
    if (strstr(link, "ERROR") != NULL) {
        return ""; // no alert, no feed, or the service's error
    }
    char rewritten[ADDRESS_CAPACITY];
    CopyText(rewritten, sizeof rewritten, link);
    // The feed's links lead to its alternate web host. Other sources' lead to the alert
    // service's own page, which has no such host: they stay as they are.
    if (Plugin.source->alertLinkHost != NULL) {
        // Straight from "www." to a prefix holding "www." the replacement would find its own
        // output again; the marker in between keeps each step finite.
        ReplaceTerm(rewritten, sizeof rewritten, "www.", kLinkMarker);
        ReplaceTerm(rewritten, sizeof rewritten, kLinkMarker, Plugin.source->alertLinkHost);
    }

    const char *directory = IconFolder(folder);
    if (FindPicture(directory, "WEATHERALERT", NULL) == PICTURE_TOO_LONG) {
        return TEXT_PATH_TOO_LONG;
    }
    // The picture and its link: "%l" is where the host splits them.
    if (!FormatText(Plugin.linkText, sizeof Plugin.linkText, "%s%%l%s", Plugin.imagePath,
                    rewritten)) {
        // A link that cannot be held whole would open some other page: show the picture alone.
        CopyText(Plugin.linkText, sizeof Plugin.linkText, Plugin.imagePath);
    }
    return Plugin.linkText;
}

const char *MoonIconPath(const char *folder, int days) {
    char file[32];
    FormatText(file, sizeof file, "31_%d.png", MoonPhaseIndex(days));
    if (!FormFolderPath(Plugin.imagePath, sizeof Plugin.imagePath, IconFolder(folder), file)) {
        return TEXT_PATH_TOO_LONG;
    }
    return Plugin.imagePath;
}
