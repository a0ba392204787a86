// The precipitation graph: its pixels from known timelines, its scale, and the picture in the
// cache folder (written whole, drawn again only when its data or its first step change, the NA
// picture for a place without data), all over a timeline given by the test.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "images/precip_graph.h"
#include "platform/platform.h"
#include "support/core_state.h"
#include "support/sandbox.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

namespace {

// The timeline the graph is given, and what it was asked for.
std::vector<PrecipStep> gSteps;
uint64_t gStamp = 0;
int gAskedHours = 0;
std::string gAskedId;

int FakeTimeline(const char *locationId, int hours, PrecipStep *steps, int capacity) {
    gAskedId = locationId;
    gAskedHours = hours;
    int count = 0;
    for (const PrecipStep &step : gSteps) {
        if (count == capacity) {
            break;
        }
        steps[count++] = step;
    }
    return count;
}

uint64_t FakeStamp(const char *) {
    return gStamp;
}

const PrecipTimelineReader kFake = {FakeTimeline, FakeStamp};

PrecipStep Step(int64_t start, int minutes, double rate, PrecipKind kind) {
    PrecipStep step;
    step.startUtc = start;
    step.minutes = minutes;
    step.rate = rate;
    step.kind = kind;
    return step;
}

typedef std::vector<GraphColour> Picture;

Picture Draw(const std::vector<PrecipStep> &steps, int hours) {
    Picture pixels(PRECIP_GRAPH_WIDTH * PRECIP_GRAPH_HEIGHT);
    DrawPrecipGraph(steps.data(), (int)steps.size(), hours, pixels.data());
    return pixels;
}

const GraphColour &At(const Picture &p, int x, int y) {
    return p[y * PRECIP_GRAPH_WIDTH + x];
}

bool Same(const GraphColour &a, const GraphColour &b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

bool Clear(const GraphColour &c) {
    return c.r == 0 && c.g == 0 && c.b == 0 && c.a == 0;
}

// The drawn height of column x: rows from the bottom up to the first clear one.
int ColumnHeight(const Picture &p, int x) {
    int height = 0;
    while (height < PRECIP_GRAPH_HEIGHT && !Clear(At(p, x, PRECIP_GRAPH_HEIGHT - 1 - height))) {
        height++;
    }
    return height;
}

// The bars along the bottom row: [first column, end column) of each run of drawn pixels.
std::vector<std::pair<int, int>> Bars(const Picture &p) {
    std::vector<std::pair<int, int>> bars;
    for (int x = 0; x < PRECIP_GRAPH_WIDTH; x++) {
        if (Clear(At(p, x, PRECIP_GRAPH_HEIGHT - 1))) {
            continue;
        }
        if (bars.empty() || bars.back().second != x) {
            bars.push_back({x, x + 1});
        } else {
            bars.back().second = x + 1;
        }
    }
    return bars;
}

int64_t ThisHourStart() {
    int64_t now = UnixMinutesOf(OsUtcNow());
    return now - now % 60;
}

} // namespace

TEST(PrecipScale, ShowsDrizzleAndDownpoursAlike) {
    EXPECT_EQ(0, PrecipBarHeight(0.0));
    EXPECT_EQ(0, PrecipBarHeight(-1.0));
    EXPECT_EQ(0, PrecipBarHeight(NAN));
    EXPECT_EQ(1, PrecipBarHeight(0.001)); // a trace still shows
    int drizzle = PrecipBarHeight(0.1);
    EXPECT_GE(drizzle, 2);
    EXPECT_LE(drizzle, 6);
    int light = PrecipBarHeight(1.0);
    EXPECT_GE(light, PRECIP_GRAPH_HEIGHT / 3 - 3);
    EXPECT_LE(light, PRECIP_GRAPH_HEIGHT / 3 + 3);
    EXPECT_EQ(PRECIP_GRAPH_HEIGHT, PrecipBarHeight(10.0));
    EXPECT_EQ(PRECIP_GRAPH_HEIGHT, PrecipBarHeight(250.0));
    EXPECT_EQ(PRECIP_GRAPH_HEIGHT, PrecipBarHeight(INFINITY));
    // Rising all the way: a heavier rate never draws a lower bar, and every decade shows.
    int last = 0;
    for (double rate = 0.01; rate < 12.0; rate *= 1.1) {
        int height = PrecipBarHeight(rate);
        EXPECT_GE(height, last) << rate;
        last = height;
    }
    EXPECT_LT(PrecipBarHeight(0.1), PrecipBarHeight(0.5));
    EXPECT_LT(PrecipBarHeight(3.0), PrecipBarHeight(8.0));
}

TEST(PrecipScale, HoursAreHeldToTwoToTwentyFour) {
    EXPECT_EQ(2, ClampGraphHours(INT_MIN));
    EXPECT_EQ(2, ClampGraphHours(0));
    EXPECT_EQ(2, ClampGraphHours(1));
    EXPECT_EQ(2, ClampGraphHours(2));
    EXPECT_EQ(3, ClampGraphHours(3));
    EXPECT_EQ(17, ClampGraphHours(17));
    EXPECT_EQ(24, ClampGraphHours(24));
    EXPECT_EQ(24, ClampGraphHours(25));
    EXPECT_EQ(24, ClampGraphHours(INT_MAX));
}

// Two hours of five-minute steps: 24 slots of 10 pixels, each bar 9 wide with a gap.
TEST(PrecipGraphPixels, NowcastStepsStandAtTheirTimesWithTheirHeightsAndKinds) {
    const int64_t t0 = 29000000;
    std::vector<PrecipStep> steps;
    const double rates[] = {0.1, 0.5, 1.0, 2.0, 4.0, 12.0};
    for (int i = 0; i < 24; i++) {
        PrecipKind kind = i < 8 ? PRECIP_RAIN : (i < 16 ? PRECIP_SLEET : PRECIP_SNOW);
        double rate = rates[i % 6];
        if (i % 4 == 3) {
            kind = PRECIP_NONE; // a dry step between
        }
        steps.push_back(Step(t0 + 5 * i, 5, rate, kind));
    }
    steps[5].rate = NAN;  // rain of unknown rate: nothing
    steps[10].rate = 0.0; // sleet of no rate: nothing
    Picture p = Draw(steps, 2);

    std::vector<std::pair<int, int>> bars = Bars(p);
    std::vector<int> drawn;
    for (int i = 0; i < 24; i++) {
        if (steps[i].kind != PRECIP_NONE && steps[i].rate > 0) {
            drawn.push_back(i);
        }
    }
    ASSERT_EQ(drawn.size(), bars.size());
    for (size_t b = 0; b < bars.size(); b++) {
        int i = drawn[b];
        EXPECT_EQ(10 * i, bars[b].first) << i;
        EXPECT_EQ(10 * i + 9, bars[b].second) << i;
        int expected = PrecipBarHeight(steps[i].rate);
        for (int x = bars[b].first; x < bars[b].second; x++) {
            ASSERT_EQ(expected, ColumnHeight(p, x)) << "step " << i << " column " << x;
        }
        int middle = bars[b].first + 4;
        const GraphColour &inside = At(p, middle, PRECIP_GRAPH_HEIGHT - 1);
        if (steps[i].kind == PRECIP_SNOW) {
            // The fill inside an edge on the left, right and top.
            EXPECT_TRUE(Same(PrecipKindColour(PRECIP_SNOW), inside)) << i;
            EXPECT_TRUE(Same(SnowEdgeColour(), At(p, bars[b].first, PRECIP_GRAPH_HEIGHT - 1)));
            EXPECT_TRUE(Same(SnowEdgeColour(), At(p, bars[b].second - 1, PRECIP_GRAPH_HEIGHT - 1)));
            EXPECT_TRUE(Same(SnowEdgeColour(), At(p, middle, PRECIP_GRAPH_HEIGHT - expected)));
        } else {
            EXPECT_TRUE(Same(PrecipKindColour(steps[i].kind), inside)) << i;
        }
    }
    // Every pixel above a bar, in a gap or over a dry step is wholly transparent.
    int opaque = 0;
    for (int x = 0; x < PRECIP_GRAPH_WIDTH; x++) {
        int height = ColumnHeight(p, x);
        for (int y = 0; y < PRECIP_GRAPH_HEIGHT - height; y++) {
            ASSERT_TRUE(Clear(At(p, x, y))) << x << "," << y;
        }
        opaque += height;
    }
    EXPECT_GT(opaque, 0);
    // The kinds are told apart, and snow is light with a dark edge.
    GraphColour rain = PrecipKindColour(PRECIP_RAIN), sleet = PrecipKindColour(PRECIP_SLEET);
    GraphColour snow = PrecipKindColour(PRECIP_SNOW), edge = SnowEdgeColour();
    EXPECT_FALSE(Same(rain, sleet));
    EXPECT_FALSE(Same(rain, snow));
    EXPECT_FALSE(Same(sleet, snow));
    EXPECT_GT(rain.b, rain.r);
    EXPECT_GT(snow.r + snow.g + snow.b, 3 * 220);
    EXPECT_LT(edge.r + edge.g + edge.b, 3 * 128);
    EXPECT_EQ(0, PrecipKindColour(PRECIP_NONE).a);
}

TEST(PrecipGraphPixels, HourlyStepsFillTheSpanAndNothingOutsideItIsDrawn) {
    const int64_t t0 = 29000040;
    std::vector<PrecipStep> steps;
    for (int i = 0; i < 26; i++) { // two more than the span holds
        steps.push_back(Step(t0 + 60 * i, 60, 10.0, PRECIP_RAIN));
    }
    Picture p = Draw(steps, 24);
    std::vector<std::pair<int, int>> bars = Bars(p);
    ASSERT_EQ(24u, bars.size());
    EXPECT_EQ(0, bars.front().first);
    EXPECT_EQ(239, bars.back().second);

    // Three hours of hourly steps: 80-pixel slots. A 2 given as 0 is held the same way.
    steps.resize(3);
    bars = Bars(Draw(steps, 3));
    ASSERT_EQ(3u, bars.size());
    EXPECT_EQ(80, bars[1].first);
    EXPECT_EQ(159, bars[1].second);
    bars = Bars(Draw(steps, 0));
    ASSERT_EQ(2u, bars.size());
    EXPECT_EQ(120, bars[1].first);

    // Steps that a damaged timeline could hold: before the first, far after it, of no length,
    // and longer than a day. None is drawn and none overflows.
    std::vector<PrecipStep> odd = {Step(t0, 60, 0.0, PRECIP_NONE),
                                   Step(t0 - 120, 60, 5.0, PRECIP_RAIN),
                                   Step(INT64_MAX - 10, 60, 5.0, PRECIP_RAIN),
                                   Step(INT64_MIN, 60, 5.0, PRECIP_RAIN),
                                   Step(t0 + 60, 0, 5.0, PRECIP_RAIN),
                                   Step(t0 + 60, -5, 5.0, PRECIP_RAIN),
                                   Step(t0 + 60, INT_MAX, 5.0, PRECIP_RAIN)};
    EXPECT_TRUE(Bars(Draw(odd, 24)).empty());
    odd[0] = Step(INT64_MIN, 60, 5.0, PRECIP_RAIN);
    EXPECT_TRUE(Bars(Draw(odd, 24)).empty());
    odd[0] = Step(INT64_MAX, 60, 5.0, PRECIP_RAIN);
    EXPECT_TRUE(Bars(Draw(odd, 24)).empty());
    EXPECT_TRUE(Bars(Draw({}, 24)).empty());
}

class PrecipGraphFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("graph");
        cache = sandbox::Join(folder, "Nimbrel");
        icons = sandbox::Join(folder, "icons");
        sandbox::MakeFolderAt(icons);
        ResetCoreState(cache, "127.0.0.1:9");
        CopyText(Plugin.defaultIconPath, sizeof Plugin.defaultIconPath, icons.c_str());
        CopyText(Plugin.defaultLocationId, sizeof Plugin.defaultLocationId, "HOME");
        int64_t hour = ThisHourStart();
        gSteps = {Step(hour, 60, 1.0, PRECIP_RAIN), Step(hour + 60, 60, 0.0, PRECIP_NONE),
                  Step(hour + 120, 60, 12.0, PRECIP_SNOW)};
        gStamp = OsUtcNow() - 10 * FILE_TICKS_PER_MINUTE;
        gAskedHours = 0;
        gAskedId.clear();
    }
    void TearDown() override { sandbox::RemoveTree(folder); }

    std::string GraphFile(const std::string &id, int hours) {
        return sandbox::Join(cache, "Graph." + id + "." + std::to_string(hours) + ".png");
    }

    std::string folder, cache, icons;
};

TEST_F(PrecipGraphFile, IsAPngOfTheDrawnPixelsNamedByPlaceAndHours) {
    std::string path = PrecipGraphPath("OSLO", 3, &kFake);
    EXPECT_EQ(GraphFile("OSLO", 3), path);
    EXPECT_EQ("OSLO", gAskedId);
    EXPECT_EQ(3, gAskedHours);
    std::string bytes = sandbox::ReadFile(path);
    int width = 0, height = 0, channels = 0;
    unsigned char *decoded = stbi_load_from_memory(
        (const unsigned char *)bytes.data(), (int)bytes.size(), &width, &height, &channels, 4);
    ASSERT_NE(nullptr, decoded);
    EXPECT_EQ(PRECIP_GRAPH_WIDTH, width);
    EXPECT_EQ(PRECIP_GRAPH_HEIGHT, height);
    EXPECT_EQ(4, channels);
    Picture expected = Draw(gSteps, 3);
    EXPECT_EQ(0, memcmp(expected.data(), decoded, expected.size() * sizeof expected[0]));
    EXPECT_EQ(0, decoded[3]); // the top left corner is transparent
    stbi_image_free(decoded);
    EXPECT_FALSE(sandbox::Exists(sandbox::Join(cache, "store.part")));
}

TEST_F(PrecipGraphFile, HoursAreClampedAndAnEmptyPlaceIsTheDefaultOne) {
    EXPECT_EQ(GraphFile("HOME", 24), std::string(PrecipGraphPath("", 99, &kFake)));
    EXPECT_EQ("HOME", gAskedId);
    EXPECT_EQ(24, gAskedHours);
    EXPECT_EQ(GraphFile("HOME", 2), std::string(PrecipGraphPath(nullptr, -7, &kFake)));
    EXPECT_EQ(2, gAskedHours);
    EXPECT_TRUE(sandbox::Exists(GraphFile("HOME", 24)));
    EXPECT_TRUE(sandbox::Exists(GraphFile("HOME", 2)));
}

TEST_F(PrecipGraphFile, AnIdThatClimbsOutStaysInTheCacheFolder) {
    std::string path = PrecipGraphPath("../../x", 5, &kFake);
    ASSERT_EQ(0u, path.find(cache));
    EXPECT_EQ(std::string::npos, path.find_first_of("/\\", cache.size() + 1)) << path;
    EXPECT_TRUE(sandbox::Exists(path));
}

TEST_F(PrecipGraphFile, IsDrawnAgainOnlyWhenItsDataOrItsFirstStepChange) {
    std::string path = PrecipGraphPath("OSLO", 6, &kFake);
    // A marker in place of the picture shows whether the next call drew it again.
    sandbox::WriteFile(path, "kept");
    uint64_t written = FileTime(path);
    ASSERT_GE(written, gStamp);
    EXPECT_EQ(path, PrecipGraphPath("OSLO", 6, &kFake));
    EXPECT_EQ("kept", sandbox::ReadFile(path));
    EXPECT_EQ(written, FileTime(path));

    // New data: drawn again.
    gStamp = written + 1;
    PrecipGraphPath("OSLO", 6, &kFake);
    EXPECT_NE("kept", sandbox::ReadFile(path));

    // Written two hours ago, with data older still: current while its first step began before
    // it was written, drawn again once the first step is of a later hour.
    gStamp = 1;
    sandbox::WriteFile(path, "kept");
    ASSERT_TRUE(SetFileAge(path, 2 * 3600));
    std::vector<PrecipStep> now = gSteps;
    for (PrecipStep &step : gSteps) {
        step.startUtc -= 3 * 60;
    }
    PrecipGraphPath("OSLO", 6, &kFake);
    EXPECT_EQ("kept", sandbox::ReadFile(path));
    gSteps = now;
    PrecipGraphPath("OSLO", 6, &kFake);
    EXPECT_NE("kept", sandbox::ReadFile(path));

    // A file from the clock's future is no proof of anything: drawn again.
    sandbox::WriteFile(path, "kept");
    ASSERT_TRUE(SetFileAge(path, -3600));
    PrecipGraphPath("OSLO", 6, &kFake);
    EXPECT_NE("kept", sandbox::ReadFile(path));
}

TEST_F(PrecipGraphFile, AWriteThatFailsLeavesTheOldPictureWhole) {
    std::string path = PrecipGraphPath("OSLO", 4, &kFake);
    std::string old = sandbox::ReadFile(path);
    ASSERT_FALSE(old.empty());
    // The part file cannot be made: the folder holds a folder by its name.
    sandbox::MakeFolderAt(sandbox::Join(cache, "store.part"));
    gStamp = OsUtcNow() + FILE_TICKS_PER_MINUTE; // newer data
    gSteps[0].rate = 40.0;
    EXPECT_EQ(path, PrecipGraphPath("OSLO", 4, &kFake));
    EXPECT_EQ(old, sandbox::ReadFile(path));
    // With no old picture there is nothing to show: an error, and no file.
    EXPECT_STREQ(TEXT_GRAPH_WRITE_FAILED, PrecipGraphPath("OSLO", 5, &kFake));
    EXPECT_FALSE(sandbox::Exists(GraphFile("OSLO", 5)));
}

TEST_F(PrecipGraphFile, APlaceWithoutDataGivesTheNaPicture) {
    sandbox::WriteFile(sandbox::Join(icons, "NA.png"), "na");
    gSteps.clear();
    EXPECT_EQ(sandbox::Join(icons, "NA.png"), std::string(PrecipGraphPath("OSLO", 2, &kFake)));
    EXPECT_FALSE(sandbox::Exists(GraphFile("OSLO", 2)));
    // As the condition icons: another picture type when there is no png.
    sandbox::RemoveTree(sandbox::Join(icons, "NA.png"));
    sandbox::WriteFile(sandbox::Join(icons, "NA.gif"), "na");
    EXPECT_EQ(sandbox::Join(icons, "NA.gif"), std::string(PrecipGraphPath("OSLO", 2, &kFake)));
}

TEST_F(PrecipGraphFile, NoCacheFolderIsAnErrorText) {
    Plugin.cacheFolder[0] = '\0';
    EXPECT_STREQ(TEXT_GRAPH_NO_CACHE, PrecipGraphPath("OSLO", 2, &kFake));
}
