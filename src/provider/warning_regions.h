// Which warning regions hold a place. Most of MeteoAlarm's warnings name the areas they warn for by
// region codes (EMMA_ID such as "PL3001", or NUTS3, NUTS2, FIPS, WARNCELLID codes that stand for
// the same regions) rather than by outlines; the build packs the regions' outlines and those
// codes into one file beside the module (tools/regions/pack_regions.py), which this reads.
//
// The regions file, little-endian throughout:
//
//     header     8 bytes  magic "NIMREGN1"
//                u32      region count, u32 ring count, u32 point count, u32 alias count
//     regions    40 bytes each:
//                12 bytes code, NUL-padded
//                 2 bytes country ISO code
//                 1 byte  flags: bit 0 set for a marine (sea and coast) region
//                 1 byte  zero
//                4 x i32  box of the region's outline: south, north, west, east, in 1e-5 degrees
//                u32      index of its first ring, u32 its ring count
//     rings      8 bytes each: u32 index of its first point, u32 its point count
//     points     8 bytes each: i32 latitude, i32 longitude, in 1e-5 degrees
//     aliases    28 bytes each:
//                12 bytes type, NUL-padded ("NUTS3", "NUTS2", "FIPS", "WARNCELLID")
//                12 bytes code, NUL-padded
//                u32      index of the region it stands for
//
// A whole file is exactly 24 + 40 regions + 8 rings + 8 points + 28 aliases bytes long.
#ifndef NIMBREL_WARNING_REGIONS_H
#define NIMBREL_WARNING_REGIONS_H

#include <stddef.h>

enum { WARNING_CODE_CAPACITY = 24, PLACE_CODES_CAPACITY = 32 };

// A code as a warning names an area: its scheme and its value, "EMMA_ID" and "PL3001".
typedef struct WarningCode {
    char scheme[12];
    char value[12];
} WarningCode;

typedef struct PlaceCodes {
    int count;                               // 0 to PLACE_CODES_CAPACITY
    WarningCode codes[PLACE_CODES_CAPACITY]; // the EMMA_IDs of the regions holding the point,
                                             // then the other codes that stand for them
    char country[3]; // ISO code of the first region holding the point, or empty
} PlaceCodes;

// The packed regions file's path: the settings file's path (Plugin.settingsPath, "<module>.ini")
// with its extension made ".Regions". Returns 1, or 0 (out empty) when there is no settings path
// or it does not fit.
int RegionsFilePath(char *out, size_t capacity);

// Finds the regions of the packed file `bytes` that hold the point: every land region that holds
// it; marine regions only when no land region does. Returns 1 when `bytes` is a whole, consistent
// regions file (out->count may be 0), 0 when it is not (wrong magic, counts or indices that point
// outside the file, a truncated file) with out empty. Never reads outside `bytes`, whatever they
// hold. The caller owns both buffers.
int FindPlaceCodes(const unsigned char *bytes, size_t length, double latitude, double longitude,
                   PlaceCodes *out);

// FindPlaceCodes over the regions file at RegionsFilePath, whose bytes stay loaded in
// Plugin.regionsBytes and are read again when the file's size or time changes. Returns 1 with the
// codes, 0 (out empty) when there is no readable, whole regions file. It changes the module-wide
// state: call it within an export call, as every reader of the cache is.
int PlaceCodesFromFile(double latitude, double longitude, PlaceCodes *out);

// Loads the regions file at RegionsFilePath into Plugin.regionsBytes unless the bytes held are
// its current ones (same size and time); a file read anew forgets the places' codes found in the
// old one (Plugin.regionCodes). Returns 1 when a file's bytes are held, 0 when there is none
// that can be read (nothing is held then).
int WarningRegionsLoaded(void);

// Frees the regions file's bytes kept in memory, and the places' codes found in them; the next
// PlaceCodesFromFile reads it again.
void FreeWarningRegions(void);

#endif
