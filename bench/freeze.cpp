// How long a panel's thread is blocked when the weather service hangs. Six meters of one place
// are polled through the module's exports every few seconds, as a panel host polls them, while
// every cached file is stale and the service at `HOST:PORT` accepts connections and never
// answers (scripts/bench.sh puts the local service in its stall scenario). Each call is timed on
// the steady clock; the blocked seconds of all calls together, the worst call and the calls that
// came back with an error text or "N/A" are printed. It builds with both toolchains, so that the
// DLL is measured under Wine as the shared object is natively.
//
//   nimbrel-freeze HOST:PORT [--seconds N] [--period N]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/documents.h"
#include "support/plugin_copy.h"

typedef const char *(MODULE_CALL *CurrentExport)(const char *, const char *, const char *,
                                                 const char *);
typedef const char *(MODULE_CALL *DayExport)(const char *, const char *, const char *, const char *,
                                             const char *);
typedef const char *(MODULE_CALL *IconExport)(const char *, const char *);

struct Meter {
    const char *name;
    const char *(*call)(PluginCopy &plugin);
};

static const char *Temperature(PluginCopy &p) {
    return p.loaded.Get<CurrentExport>("CurrentConditions")("<temp><tempunit> <cond>",
                                                            kBenchLocation, "English", "1");
}
static const char *Wind(PluginCopy &p) {
    return p.loaded.Get<CurrentExport>("CurrentConditions")("<wind> <winddir> <humidity>",
                                                            kBenchLocation, "Metric", "1");
}
static const char *Tomorrow(PluginCopy &p) {
    return p.loaded.Get<DayExport>("Forecast")("<dayname> <high>/<low> <cond>", kBenchLocation, "2",
                                               "English", "1");
}
static const char *Narrative(PluginCopy &p) {
    return p.loaded.Get<DayExport>("Forecast")("<details>", kBenchLocation, "1", "English", "1");
}
static const char *NextHour(PluginCopy &p) {
    return p.loaded.Get<DayExport>("Hourly")("<hourname> <temp> <cond>", kBenchLocation, "1",
                                             "English", "1");
}
static const char *Icon(PluginCopy &p) {
    return p.loaded.Get<IconExport>("IconCC")(kBenchLocation, "");
}

static const Meter kMeters[] = {
    {"CurrentConditions, English", Temperature},
    {"CurrentConditions, Metric", Wind},
    {"Forecast day 2", Tomorrow},
    {"Forecast narrative", Narrative},
    {"Hourly hour 1", NextHour},
    {"IconCC", Icon},
};

// Every cache file made three hours old: older than any of the cache's age limits.
static void MakeStale(const std::string &cache) {
    auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(3);
    for (const auto &entry : std::filesystem::directory_iterator(cache)) {
        std::filesystem::last_write_time(entry.path(), old);
    }
}

int main(int argc, char **argv) {
    if (argc < 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: %s HOST:PORT [--seconds N] [--period N]\n", argv[0]);
        return 2;
    }
    std::string service = argv[1];
    long seconds = 120, period = 5;
    for (int i = 2; i < argc; i++) {
        if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = atol(argv[++i]);
        } else if (strcmp(argv[i], "--period") == 0 && i + 1 < argc) {
            period = atol(argv[++i]);
        } else {
            fprintf(stderr, "usage: %s HOST:PORT [--seconds N] [--period N]\n", argv[0]);
            return 2;
        }
    }
    if (period < 1) {
        period = 1;
    }

    PluginCopy plugin("freeze");
    // The icon folder is the plugin's own: an icon's path is then an answer, not an error text.
    plugin.UseServiceAt(service, "[Unit]\nDefaultUnit=English\n[LocationID]\n"
                                 "DefaultLocationID=B1\n[Forecast]\nMaxDays=5\n"
                                 "[Hourly]\nMaxHours=12\n[General]\nDefaultIconPath=" +
                                     plugin.folder + "\n");
    std::string cache = sandbox::Join(plugin.temp, "Nimbrel");
    sandbox::MakeFolderAt(cache);
    PlaceBenchDocuments([&](const std::string &name, const std::string &content) {
        sandbox::WriteFile(sandbox::Join(cache, name), content);
    });
    MakeStale(cache);
    if (!plugin.Load()) {
        fprintf(stderr, "cannot load %s\n", plugin.module.c_str());
        return 1;
    }

    double blockedMs = 0, worstMs = 0;
    long calls = 0, errors = 0, unknown = 0;
    const char *worstMeter = "";
    long long start = sandbox::NowMilliseconds();
    for (long round = 0; round * period < seconds; round++) {
        long long roundStart = sandbox::NowMilliseconds();
        for (const Meter &meter : kMeters) {
            auto before = std::chrono::steady_clock::now();
            std::string text = meter.call(plugin);
            double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
                    .count();
            calls++;
            blockedMs += ms;
            if (ms > worstMs) {
                worstMs = ms;
                worstMeter = meter.name;
            }
            errors += text.find("ERROR") != std::string::npos;
            unknown += text.find("N/A") != std::string::npos || text.empty();
        }
        long long next = roundStart + period * 1000;
        long long now = sandbox::NowMilliseconds();
        if (next > now) {
            sandbox::SleepMilliseconds((int)(next - now));
        }
    }
    long long elapsed = sandbox::NowMilliseconds() - start;
    plugin.Unload();
    printf("%ld calls in %.0f s: blocked %.2f s in all, worst call %.0f ms (%s); "
           "%ld with an error text, %ld with N/A or nothing\n",
           calls, (double)elapsed / 1000.0, blockedMs / 1000.0, worstMs, worstMeter, errors,
           unknown);
    return 0;
}
