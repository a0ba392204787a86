#include "provider/warning_regions.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "provider/region.h"
#include "platform/platform.h"

// The layout of the file (see the header): sizes of its header and records in bytes.
static const unsigned char kMagic[8] = {'N', 'I', 'M', 'R', 'E', 'G', 'N', '1'};
enum {
    HEADER_SIZE = 24,
    REGION_SIZE = 40,
    RING_SIZE = 8,
    POINT_SIZE = 8,
    ALIAS_SIZE = 28,
    TEXT_FIELD_SIZE = 12,
    MARINE_FLAG = 1
};
static const double kScale = 100000.0; // points are stored in 1e-5 degrees
// The largest regions file read into memory: the real one is about a megabyte.
static const size_t kRegionsFileLimit = 64u * 1024u * 1024u;
static const char kEmmaScheme[] = "EMMA_ID";

static uint32_t ReadU32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int32_t ReadI32(const unsigned char *p) {
    uint32_t value = ReadU32(p);
    return value <= INT32_MAX ? (int32_t)value : -(int32_t)(UINT32_MAX - value) - 1;
}

// The sections of a regions file, every count checked against its length.
typedef struct RegionsFile {
    const unsigned char *regions, *rings, *points, *aliases; // into the caller's bytes
    uint32_t regionCount, ringCount, pointCount, aliasCount;
} RegionsFile;

// Reads the header and checks that the file is exactly as long as its counts say and that every
// region's rings, every ring's points and every alias's region lie within their sections.
// Returns 1, or 0 for a file that is not whole and consistent. Sizes are counted in 64 bits, so
// that no count overflows them on a 32-bit system.
static int OpenRegionsFile(const unsigned char *bytes, size_t length, RegionsFile *file) {
    if (bytes == NULL || length < HEADER_SIZE || memcmp(bytes, kMagic, sizeof kMagic) != 0) {
        return 0;
    }
    file->regionCount = ReadU32(bytes + 8);
    file->ringCount = ReadU32(bytes + 12);
    file->pointCount = ReadU32(bytes + 16);
    file->aliasCount = ReadU32(bytes + 20);
    uint64_t size = (uint64_t)HEADER_SIZE + (uint64_t)file->regionCount * REGION_SIZE +
                    (uint64_t)file->ringCount * RING_SIZE +
                    (uint64_t)file->pointCount * POINT_SIZE +
                    (uint64_t)file->aliasCount * ALIAS_SIZE;
    if (size != (uint64_t)length) {
        return 0;
    }
    file->regions = bytes + HEADER_SIZE;
    file->rings = file->regions + (size_t)file->regionCount * REGION_SIZE;
    file->points = file->rings + (size_t)file->ringCount * RING_SIZE;
    file->aliases = file->points + (size_t)file->pointCount * POINT_SIZE;
    for (uint32_t i = 0; i < file->regionCount; i++) {
        const unsigned char *region = file->regions + (size_t)i * REGION_SIZE;
        if ((uint64_t)ReadU32(region + 32) + ReadU32(region + 36) > file->ringCount) {
            return 0;
        }
    }
    for (uint32_t i = 0; i < file->ringCount; i++) {
        const unsigned char *ring = file->rings + (size_t)i * RING_SIZE;
        if ((uint64_t)ReadU32(ring) + ReadU32(ring + 4) > file->pointCount) {
            return 0;
        }
    }
    for (uint32_t i = 0; i < file->aliasCount; i++) {
        if (ReadU32(file->aliases + (size_t)i * ALIAS_SIZE + 24) >= file->regionCount) {
            return 0;
        }
    }
    return 1;
}

// Whether the region's rings hold the point (in 1e-5 degrees) by the even-odd rule over all of
// them: a point in a hole crosses the outer ring and the hole's, and each part of a multipolygon
// counts on its own. Indices were checked by OpenRegionsFile.
static int RingsHold(const RegionsFile *file, const unsigned char *region, double y, double x) {
    uint32_t firstRing = ReadU32(region + 32);
    uint32_t ringCount = ReadU32(region + 36);
    int inside = 0;
    for (uint32_t r = firstRing; r < firstRing + ringCount; r++) {
        const unsigned char *ring = file->rings + (size_t)r * RING_SIZE;
        uint32_t first = ReadU32(ring);
        uint32_t count = ReadU32(ring + 4);
        if (count < 3) {
            continue;
        }
        const unsigned char *points = file->points + (size_t)first * POINT_SIZE;
        const unsigned char *last = points + (size_t)(count - 1) * POINT_SIZE;
        double y0 = ReadI32(last), x0 = ReadI32(last + 4);
        for (uint32_t i = 0; i < count; i++) {
            const unsigned char *point = points + (size_t)i * POINT_SIZE;
            double y1 = ReadI32(point), x1 = ReadI32(point + 4);
            if (RayCrossesEdge(y0, x0, y1, x1, y, x)) {
                inside = !inside;
            }
            y0 = y1;
            x0 = x1;
        }
    }
    return inside;
}

// Copies a NUL-padded text field of the file, cut to the capacity.
static void CopyField(char *out, size_t capacity, const unsigned char *field, size_t fieldSize) {
    size_t length = 0;
    while (length < fieldSize && length + 1 < capacity && field[length] != '\0') {
        out[length] = (char)field[length];
        length++;
    }
    out[length] = '\0';
}

static void AddCode(PlaceCodes *out, const char *scheme, const unsigned char *value) {
    if (out->count >= PLACE_CODES_CAPACITY) {
        return;
    }
    WarningCode *code = &out->codes[out->count++];
    CopyText(code->scheme, sizeof code->scheme, scheme);
    CopyField(code->value, sizeof code->value, value, TEXT_FIELD_SIZE);
}

int FindPlaceCodes(const unsigned char *bytes, size_t length, double latitude, double longitude,
                   PlaceCodes *out) {
    memset(out, 0, sizeof *out);
    RegionsFile file;
    if (!OpenRegionsFile(bytes, length, &file)) {
        return 0;
    }
    if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0)) {
        return 1; // no region holds a point off the earth (or NaN)
    }
    double y = latitude * kScale;
    double x = longitude * kScale;
    // The regions found, land first: marine ones count only when no land region holds the point.
    uint32_t found[PLACE_CODES_CAPACITY];
    int foundCount = 0;
    for (int marine = 0; marine <= 1 && foundCount == 0; marine++) {
        for (uint32_t i = 0; i < file.regionCount && foundCount < PLACE_CODES_CAPACITY; i++) {
            const unsigned char *region = file.regions + (size_t)i * REGION_SIZE;
            if (((region[14] & MARINE_FLAG) != 0) != (marine != 0) || y < ReadI32(region + 16) ||
                y > ReadI32(region + 20) || x < ReadI32(region + 24) || x > ReadI32(region + 28)) {
                continue;
            }
            if (RingsHold(&file, region, y, x)) {
                found[foundCount++] = i;
            }
        }
    }
    if (foundCount == 0) {
        return 1;
    }
    CopyField(out->country, sizeof out->country, file.regions + (size_t)found[0] * REGION_SIZE + 12,
              2);
    for (int i = 0; i < foundCount; i++) {
        AddCode(out, kEmmaScheme, file.regions + (size_t)found[i] * REGION_SIZE);
    }
    for (uint32_t a = 0; a < file.aliasCount && out->count < PLACE_CODES_CAPACITY; a++) {
        const unsigned char *alias = file.aliases + (size_t)a * ALIAS_SIZE;
        uint32_t region = ReadU32(alias + 24);
        for (int i = 0; i < foundCount; i++) {
            if (found[i] == region) {
                char scheme[TEXT_FIELD_SIZE];
                CopyField(scheme, sizeof scheme, alias, TEXT_FIELD_SIZE);
                AddCode(out, scheme, alias + TEXT_FIELD_SIZE);
                break;
            }
        }
    }
    return 1;
}

int RegionsFilePath(char *out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    if (!Plugin.settingsWritable || Plugin.settingsPath[0] == '\0') {
        return 0;
    }
    char path[PATH_CAPACITY];
    if (!CopyText(path, sizeof path, Plugin.settingsPath)) {
        return 0;
    }
    // The extension is the last dot of the file's own name, not of a folder's.
    char *name = path;
    for (char *p = path; *p != '\0'; p++) {
        if (*p == OsPathSeparator || *p == '/') {
            name = p + 1;
        }
    }
    char *dot = strrchr(name, '.');
    if (dot != NULL && dot != name) {
        *dot = '\0';
    }
    if (!FormatText(out, capacity, "%s.Regions", path)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

void FreeWarningRegions(void) {
    memset(Plugin.regionCodes, 0, sizeof Plugin.regionCodes);
    free(Plugin.regionsBytes);
    Plugin.regionsBytes = NULL;
    Plugin.regionsLength = 0;
    Plugin.regionsTime = 0;
    Plugin.regionsSize = 0;
}

int WarningRegionsLoaded(void) {
    char path[PATH_CAPACITY];
    uint64_t time = 0;
    int64_t size = 0;
    if (!RegionsFilePath(path, sizeof path) || !OsFileStamp(path, &time, &size)) {
        FreeWarningRegions();
        return 0;
    }
    if (Plugin.regionsBytes == NULL || time != Plugin.regionsTime || size != Plugin.regionsSize) {
        FreeWarningRegions();
        size_t length = 0;
        char *bytes = ReadWholeFile(path, kRegionsFileLimit, &length);
        if (bytes == NULL) {
            return 0;
        }
        Plugin.regionsBytes = (unsigned char *)bytes;
        Plugin.regionsLength = length;
        Plugin.regionsTime = time;
        Plugin.regionsSize = size;
    }
    return 1;
}

int PlaceCodesFromFile(double latitude, double longitude, PlaceCodes *out) {
    memset(out, 0, sizeof *out);
    return WarningRegionsLoaded() &&
           FindPlaceCodes(Plugin.regionsBytes, Plugin.regionsLength, latitude, longitude, out);
}
