// The precipitation graph: a small picture of bars, one per step of a place's precipitation
// timeline, drawn by the plugin and kept in the cache folder.
#ifndef NIMBREL_PRECIP_GRAPH_H
#define NIMBREL_PRECIP_GRAPH_H

#include <stddef.h>
#include <stdint.h>

#include "feed/nowcast.h"

enum {
    PRECIP_GRAPH_WIDTH = 240, // pixels
    PRECIP_GRAPH_HEIGHT = 60, // pixels
    PRECIP_GRAPH_MIN_HOURS = 2,
    PRECIP_GRAPH_MAX_HOURS = 24
};

#define TEXT_GRAPH_NO_CACHE "ERROR: No cache folder for the graph."
#define TEXT_GRAPH_WRITE_FAILED "ERROR: The graph could not be written."

// One pixel as the picture stores it: red, green, blue, alpha (0 transparent, 255 opaque).
typedef struct GraphColour {
    unsigned char r, g, b, a;
} GraphColour;

// Where the graph reads a place's timeline from. The export passes PrecipTimeline and
// PrecipTimelineStamp (feed/nowcast.h); anything with their contracts serves.
typedef struct PrecipTimelineReader {
    int (*timeline)(const char *locationId, int hours, PrecipStep *steps, int capacity);
    uint64_t (*stamp)(const char *locationId);
} PrecipTimelineReader;

// The hours a graph spans: `hours` held to 2 ... 24.
int ClampGraphHours(int hours);

// The height in pixels of the bar of a step with `rate` mm/h, on a scale that shows drizzle and
// downpours alike: 0.1 mm/h a few pixels, 1 mm/h about a third, 10 mm/h and more the full height.
// Any rate above 0 shows at least one pixel; 0, a negative rate or NaN gives 0.
int PrecipBarHeight(double rate);

// The fill of a bar of `kind`: rain blue, sleet violet, snow nearly white (drawn with
// SnowEdgeColour around it so that it shows on light panels as well as dark). PRECIP_NONE
// gives the transparent background.
GraphColour PrecipKindColour(enum PrecipKind kind);
GraphColour SnowEdgeColour(void);

// Draws the `count` steps into `pixels` (PRECIP_GRAPH_WIDTH x PRECIP_GRAPH_HEIGHT pixels, rows
// from the top, owned by the caller): the graph spans `hours` (clamped as ClampGraphHours) from
// the start of the first step, each step's bar standing at its own time over its own length,
// leaving a pixel's gap to the next where bars are wide enough. A dry or unknown step (kind
// PRECIP_NONE, or no rate above 0) draws nothing, and so does the part of a step outside the
// span; everything not drawn is transparent. Never fails.
void DrawPrecipGraph(const PrecipStep *steps, int count, int hours, GraphColour *pixels);

// The graph of the place (the default Location ID when empty) over `hours` (clamped), as the
// cache file "Graph.<ID>.<hours>.png" (the ID as SafeNamePart writes it). It is drawn again
// only when the timeline's stamp is newer than the file or its first step began after the file
// was written (the hour, or the nowcast's step, has moved on), and put in place whole or not at
// all. Returns the image path buffer holding the file's path; the NA picture of the
// DefaultIconPath folder (as the condition icons give it) when the place has no timeline;
// TEXT_GRAPH_NO_CACHE when there is no cache folder or the path does not fit; when a new
// picture cannot be written, the old one if there is one, else TEXT_GRAPH_WRITE_FAILED.
const char *PrecipGraphPath(const char *locationId, int hours, const PrecipTimelineReader *reader);

#endif
