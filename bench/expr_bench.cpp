// Warm expression calls with every term: the documents are fresh in the cache and held, so a
// call costs the file-time checks, the scans and the formatting, and no download.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "bench/documents.h"
#include "expr/current.h"
#include "expr/forecast.h"
#include "plugin/expr_frame.h"
#include "feed/cache.h"
#include "platform/platform.h"
#include "plugin/settings.h"
#include "base/state.h"
#include "base/text.h"
#include "support/sandbox.h"

static std::string gFolder;

// Every timed call of every run, the runs that find the number of iterations included: what a
// profiler of the whole process saw (scripts/bench.sh divides its counts by it).
static long gTimedCalls;

static void Place(const std::string &name, const std::string &content) {
    std::string path = gFolder + "/" + name;
    FILE *file = fopen(path.c_str(), "wb");
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

static void Prepare() {
    if (!gFolder.empty()) {
        return;
    }
    gFolder = sandbox::MakeFolder("bench");
    ReadSettings(NULL);
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit, "English");
    StartFeedDocuments();
    CopyText(Plugin.cacheFolder, sizeof Plugin.cacheFolder, gFolder.c_str());
    CopyText(Plugin.feedHost, sizeof Plugin.feedHost, "127.0.0.1:9");
    CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, "http://127.0.0.1:9/");
    PlaceBenchDocuments(Place);
}

static void CurrentAllTerms(benchmark::State &state, const char *unit) {
    Prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(CurrentConditionsText(kAllCurrentTerms, "B1", unit, "1"));
        gTimedCalls++;
    }
}
BENCHMARK_CAPTURE(CurrentAllTerms, English, "English");
BENCHMARK_CAPTURE(CurrentAllTerms, Both, "Both");

static void ForecastAllTerms(benchmark::State &state) {
    Prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ForecastText(kAllForecastTerms, "B1", "2", "English", "1"));
        gTimedCalls++;
    }
}
BENCHMARK(ForecastAllTerms);

static void HourlyAllTerms(benchmark::State &state) {
    Prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(HourlyText(kAllHourlyTerms, "B1", "3", "English", "1"));
        gTimedCalls++;
    }
}
BENCHMARK(HourlyAllTerms);

// Resident memory in KiB, from the kernel's account of this process.
static long ResidentKiB() {
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status != NULL && fgets(line, sizeof line, status) != NULL) {
        if (strncmp(line, "VmRSS:", 6) == 0) {
            kib = atol(line + 6);
        }
    }
    if (status != NULL) {
        fclose(status);
    }
    return kib;
}

// --soak N: N warm calls of every expression function in turn, with the resident memory
// after the first tenth and at the end; it must not grow.
static int Soak(long calls) {
    Prepare();
    long early = 0;
    for (long i = 0; i < calls; i++) {
        switch (i % 4) {
        case 0:
            CurrentConditionsText(kAllCurrentTerms, "B1", "Both", "1");
            break;
        case 1:
            ForecastText(kAllForecastTerms, "B1", "2", "English", "1");
            break;
        case 2:
            HourlyText(kAllHourlyTerms, "B1", "3", "Metric", "1");
            break;
        default:
            NowOrLaterText("<name> <temp> <cond>", "B1", "", "1", 1, (int)(i % 24));
            break;
        }
        if (i == calls / 10) {
            early = ResidentKiB();
        }
    }
    long late = ResidentKiB();
    printf("soak: %ld calls, resident %ld KiB after a tenth, %ld KiB at the end\n", calls, early,
           late);
    return late > early + 1024 ? 1 : 0;
}

int main(int argc, char **argv) {
    int status = 0;
    if (argc == 3 && strcmp(argv[1], "--soak") == 0) {
        status = Soak(atol(argv[2]));
    } else {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        fprintf(stderr, "timed calls: %ld\n", gTimedCalls);
    }
    if (!gFolder.empty()) {
        sandbox::RemoveTree(gFolder);
    }
    return status;
}
