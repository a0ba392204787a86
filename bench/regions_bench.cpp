// The warning regions of a place from the nimbrel.Regions the build packed beside the module:
// the search over bytes already in memory, the same through the file beside the settings with
// its bytes kept (one look at the file's time and size), and cold, the file read first.
#include <benchmark/benchmark.h>

#include <stdio.h>

#include <string>

#include "base/state.h"
#include "base/text.h"
#include "provider/warning_regions.h"
#include "support/sandbox.h"

static std::string RegionsPath() {
    return sandbox::Join(sandbox::BuildFolder(), "nimbrel.Regions");
}

static const struct Place {
    const char *name;
    double latitude, longitude;
} kPlaces[] = {{"Warsaw", 52.2297, 21.0122},
               {"Paris", 48.8566, 2.3522},
               {"Madrid", 40.4168, -3.7038},
               {"Helsinki", 60.1699, 24.9384},
               {"London", 51.5074, -0.1278}};

static void FindInMemory(benchmark::State &state, const Place *place) {
    std::string bytes = sandbox::ReadFile(RegionsPath());
    PlaceCodes codes;
    for (auto _ : state) {
        FindPlaceCodes((const unsigned char *)bytes.data(), bytes.size(), place->latitude,
                       place->longitude, &codes);
        benchmark::DoNotOptimize(codes);
    }
    state.SetLabel(std::to_string(codes.count) + " codes");
}
BENCHMARK_CAPTURE(FindInMemory, Warsaw, &kPlaces[0]);
BENCHMARK_CAPTURE(FindInMemory, Paris, &kPlaces[1]);
BENCHMARK_CAPTURE(FindInMemory, Madrid, &kPlaces[2]);
BENCHMARK_CAPTURE(FindInMemory, Helsinki, &kPlaces[3]);
BENCHMARK_CAPTURE(FindInMemory, London, &kPlaces[4]);

static void FromFileLoaded(benchmark::State &state) {
    PlaceCodes codes;
    PlaceCodesFromFile(kPlaces[0].latitude, kPlaces[0].longitude, &codes);
    for (auto _ : state) {
        PlaceCodesFromFile(kPlaces[0].latitude, kPlaces[0].longitude, &codes);
        benchmark::DoNotOptimize(codes);
    }
}
BENCHMARK(FromFileLoaded);

static void FromFileCold(benchmark::State &state) {
    PlaceCodes codes;
    for (auto _ : state) {
        FreeWarningRegions();
        PlaceCodesFromFile(kPlaces[0].latitude, kPlaces[0].longitude, &codes);
        benchmark::DoNotOptimize(codes);
    }
}
BENCHMARK(FromFileCold)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
    std::string path = RegionsPath();
    if (!sandbox::Exists(path)) {
        fprintf(stderr, "no %s: the build had no MeteoAlarm regions\n", path.c_str());
        return 1;
    }
    printf("%s: %zu bytes\n", path.c_str(), sandbox::ReadFile(path).size());
    CopyText(Plugin.settingsPath, sizeof Plugin.settingsPath,
             sandbox::Join(sandbox::BuildFolder(), "nimbrel.ini").c_str());
    Plugin.settingsWritable = 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    FreeWarningRegions();
    return 0;
}
