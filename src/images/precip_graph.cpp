#include "images/precip_graph.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "base/calendar.h"
#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "images/icons.h"
#include "platform/platform.h"

// stb's writer, kept to this file: its functions are static, and it writes to memory only.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

// The rate at which the scale turns from nearly straight to logarithmic, and the rate that
// fills the whole height (mm/h).
static const double kScaleKnee = 0.6;
static const double kFullScaleRate = 10.0;

// A step longer than a day is no step of any timeline: it is not drawn.
static const int kLongestStepMinutes = 24 * 60;

// The range of first steps that are drawn at all (minutes since 1970): far beyond any clock.
static const int64_t kEarliestStart = INT64_MIN / 2;
static const int64_t kLatestStart = INT64_MAX / 2;

// Bars this wide or wider keep their last column empty, so that neighbours stand apart.
enum { GAP_MIN_BAR_WIDTH = 4 };

int ClampGraphHours(int hours) {
    if (hours < PRECIP_GRAPH_MIN_HOURS) {
        return PRECIP_GRAPH_MIN_HOURS;
    }
    return hours > PRECIP_GRAPH_MAX_HOURS ? PRECIP_GRAPH_MAX_HOURS : hours;
}

int PrecipBarHeight(double rate) {
    if (!(rate > 0.0)) {
        return 0; // dry, or NaN
    }
    if (rate >= kFullScaleRate) {
        return PRECIP_GRAPH_HEIGHT;
    }
    double share = log1p(rate / kScaleKnee) / log1p(kFullScaleRate / kScaleKnee);
    int height = (int)lround(share * PRECIP_GRAPH_HEIGHT);
    if (height < 1) {
        return 1; // a trace still shows
    }
    return height > PRECIP_GRAPH_HEIGHT ? PRECIP_GRAPH_HEIGHT : height;
}

GraphColour PrecipKindColour(enum PrecipKind kind) {
    GraphColour colour = {0, 0, 0, 0};
    switch (kind) {
    case PRECIP_RAIN:
        colour = GraphColour{0x2f, 0x80, 0xed, 0xff};
        break;
    case PRECIP_SLEET:
        colour = GraphColour{0x9b, 0x59, 0xd0, 0xff};
        break;
    case PRECIP_SNOW:
        colour = GraphColour{0xf2, 0xf6, 0xfc, 0xff};
        break;
    case PRECIP_NONE:
        break;
    }
    return colour;
}

GraphColour SnowEdgeColour(void) {
    GraphColour colour = {0x5a, 0x67, 0x7d, 0xff};
    return colour;
}

// Fills columns [x0, x1) of the bottom `height` rows; snow gets its edge on the left, right and
// top of the bar.
static void DrawBar(GraphColour *pixels, int x0, int x1, int height, enum PrecipKind kind) {
    GraphColour fill = PrecipKindColour(kind);
    GraphColour edge = SnowEdgeColour();
    int top = PRECIP_GRAPH_HEIGHT - height;
    for (int y = top; y < PRECIP_GRAPH_HEIGHT; y++) {
        for (int x = x0; x < x1; x++) {
            int onEdge = kind == PRECIP_SNOW && (y == top || x == x0 || x == x1 - 1);
            pixels[y * PRECIP_GRAPH_WIDTH + x] = onEdge ? edge : fill;
        }
    }
}

void DrawPrecipGraph(const PrecipStep *steps, int count, int hours, GraphColour *pixels) {
    memset(pixels, 0, sizeof *pixels * PRECIP_GRAPH_WIDTH * PRECIP_GRAPH_HEIGHT);
    if (steps == NULL || count <= 0) {
        return;
    }
    int64_t span = (int64_t)ClampGraphHours(hours) * 60;
    int64_t origin = steps[0].startUtc;
    if (origin < kEarliestStart || origin > kLatestStart) {
        return; // no time of any clock, and the span's arithmetic would overflow
    }
    for (int i = 0; i < count; i++) {
        const PrecipStep *step = &steps[i];
        int height = step->kind == PRECIP_NONE ? 0 : PrecipBarHeight(step->rate);
        if (height == 0 || step->minutes <= 0 || step->minutes > kLongestStepMinutes) {
            continue;
        }
        // Compared before any arithmetic: a step far outside the span would overflow it.
        if (step->startUtc < origin - kLongestStepMinutes || step->startUtc >= origin + span) {
            continue;
        }
        int64_t from = step->startUtc - origin;
        int64_t to = from + step->minutes;
        if (to <= 0) {
            continue;
        }
        int x0 = (int)((from < 0 ? 0 : from) * PRECIP_GRAPH_WIDTH / span);
        int x1 = (int)((to > span ? span : to) * PRECIP_GRAPH_WIDTH / span);
        if (x1 - x0 >= GAP_MIN_BAR_WIDTH) {
            x1--;
        }
        if (x1 <= x0) {
            x1 = x0 + 1; // a step narrower than a pixel still shows
        }
        DrawBar(pixels, x0, x1, height, step->kind);
    }
}

// stb's output, appended to the text the encoder was given.
static void AppendPng(void *context, void *data, int size) {
    if (size > 0) {
        GrowTextAppendBytes((GrowText *)context, (const char *)data, (size_t)size);
    }
}

// Encodes the pixels as a PNG and puts it in place as `path`, whole or not at all.
static enum Outcome StoreGraph(const char *path, const GraphColour *pixels) {
    GrowText png;
    GrowTextInit(&png, 0);
    int encoded = stbi_write_png_to_func(AppendPng, &png, PRECIP_GRAPH_WIDTH, PRECIP_GRAPH_HEIGHT,
                                         4, pixels, PRECIP_GRAPH_WIDTH * 4);
    enum Outcome outcome = OUTCOME_FAILED;
    if (encoded && !png.failed && png.length > 0) {
        outcome = StoreFile(path, png.bytes, png.length);
    }
    GrowTextFree(&png);
    return outcome;
}

// The file at `path` shows the timeline when it was written after the data changed, after its
// first step began, and not in the future of the clock (a clock set back would keep it for
// ever otherwise).
static int GraphIsCurrent(const char *path, uint64_t stamp, int64_t firstStepStart) {
    uint64_t written = 0;
    if (!OsFileLastWriteByName(path, &written)) {
        return 0;
    }
    return written >= stamp && written <= OsUtcNow() && UnixMinutesOf(written) >= firstStepStart;
}

// The graph file's path into the image path buffer. Returns 1 when it fit.
static int FormGraphPath(const char *locationId, int hours) {
    char id[PATH_CAPACITY];
    char file[PATH_CAPACITY];
    return Plugin.cacheFolder[0] != '\0' && SafeNamePart(locationId, id, sizeof id) &&
           FormatText(file, sizeof file, "Graph.%s.%d.png", id, hours) &&
           FormFolderPath(Plugin.imagePath, sizeof Plugin.imagePath, Plugin.cacheFolder, file);
}

const char *PrecipGraphPath(const char *locationId, int hours, const PrecipTimelineReader *reader) {
    const char *id =
        (locationId != NULL && locationId[0] != '\0') ? locationId : Plugin.defaultLocationId;
    int span = ClampGraphHours(hours);
    PrecipStep steps[PRECIP_STEP_CAPACITY];
    int count = reader->timeline(id, span, steps, PRECIP_STEP_CAPACITY);
    if (count <= 0) {
        return NoDataIconPath();
    }
    if (count > PRECIP_STEP_CAPACITY) {
        count = PRECIP_STEP_CAPACITY;
    }
    if (!FormGraphPath(id, span)) {
        return TEXT_GRAPH_NO_CACHE;
    }
    if (GraphIsCurrent(Plugin.imagePath, reader->stamp(id), steps[0].startUtc)) {
        return Plugin.imagePath;
    }
    GraphColour *pixels =
        (GraphColour *)malloc(sizeof *pixels * PRECIP_GRAPH_WIDTH * PRECIP_GRAPH_HEIGHT);
    enum Outcome stored = OUTCOME_FAILED;
    if (pixels != NULL) {
        DrawPrecipGraph(steps, count, span, pixels);
        stored = StoreGraph(Plugin.imagePath, pixels);
        free(pixels);
    }
    // An older picture is still a whole one: it serves until a new one can be written.
    if (stored != OUTCOME_DONE && !FileExists(Plugin.imagePath)) {
        return TEXT_GRAPH_WRITE_FAILED;
    }
    return Plugin.imagePath;
}
