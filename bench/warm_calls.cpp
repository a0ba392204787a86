// Warm calls through the module's exports, as the host makes them: the documents of one place
// are fresh in the cache, so a call costs the mutex, the file checks, the scans and the
// formatting, and no download. A timing loop of its own, so that it builds with the Windows
// toolchain and runs under Wine as it runs natively: each call is timed on the steady clock,
// and the median and mean of all calls are printed with their count.
//
//   nimbrel-warm-calls [--calls N] [--show]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/documents.h"
#include "support/plugin_copy.h"

typedef const char *(MODULE_CALL *CurrentExport)(const char *, const char *, const char *,
                                                 const char *);
typedef const char *(MODULE_CALL *DayExport)(const char *, const char *, const char *, const char *,
                                             const char *);

struct Case {
    const char *name;
    const char *function; // "CurrentConditions", "Forecast" or "Hourly"
    const char *unit;
    const char *expression;
};

static const Case kCases[] = {
    // What every call costs whatever its expression: the lock, the frame, one file time.
    {"CurrentConditions, <temp> alone, English", "CurrentConditions", "English", "<temp>"},
    {"CurrentConditions, every term, English", "CurrentConditions", "English", kAllCurrentTerms},
    {"CurrentConditions, every term, Both", "CurrentConditions", "Both", kAllCurrentTerms},
    {"Forecast day 2, every term, English", "Forecast", "English", kAllForecastTerms},
    {"Hourly hour 3, every term, English", "Hourly", "English", kAllHourlyTerms},
};

// A case's export, looked up once as a host does when it loads the module: a lookup in each
// call would time the loader too.
struct Export {
    CurrentExport current; // CurrentConditions, or NULL
    DayExport day;         // Forecast or Hourly, or NULL
};

static Export FindExport(PluginCopy &plugin, const Case &c) {
    Export found = {NULL, NULL};
    if (strcmp(c.function, "CurrentConditions") == 0) {
        found.current = plugin.loaded.Get<CurrentExport>(c.function);
    } else {
        found.day = plugin.loaded.Get<DayExport>(c.function);
    }
    return found;
}

static const char *CallOnce(const Export &function, const Case &c) {
    if (function.current != NULL) {
        return function.current(c.expression, kBenchLocation, c.unit, "1");
    }
    const char *number = strcmp(c.function, "Forecast") == 0 ? "2" : "3";
    return function.day(c.expression, kBenchLocation, number, c.unit, "1");
}

int main(int argc, char **argv) {
    long calls = 2000;
    bool show = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--calls") == 0 && i + 1 < argc) {
            calls = atol(argv[++i]);
        } else if (strcmp(argv[i], "--show") == 0) {
            show = true;
        } else {
            fprintf(stderr, "usage: %s [--calls N] [--show]\n", argv[0]);
            return 2;
        }
    }
    if (calls < 1) {
        calls = 1;
    }

    PluginCopy plugin("warm-calls");
    // Downloads would go to a closed loopback port; none is needed while the files are fresh.
    plugin.UseServiceAt("127.0.0.1:9", "[Unit]\nDefaultUnit=English\n[LocationID]\n"
                                       "DefaultLocationID=B1\n[Forecast]\nMaxDays=5\n"
                                       "[Hourly]\nMaxHours=12\n");
    std::string cache = sandbox::Join(plugin.temp, "Nimbrel");
    sandbox::MakeFolderAt(cache);
    PlaceBenchDocuments([&](const std::string &name, const std::string &content) {
        sandbox::WriteFile(sandbox::Join(cache, name), content);
    });
    if (!plugin.Load()) {
        fprintf(stderr, "cannot load %s\n", plugin.module.c_str());
        return 1;
    }

    int status = 0;
    for (const Case &c : kCases) {
        Export function = FindExport(plugin, c);
        if (function.current == NULL && function.day == NULL) {
            fprintf(stderr, "%s: the module exports no %s\n", c.name, c.function);
            return 1;
        }
        std::string first = CallOnce(function, c);
        if (show) {
            printf("%s:\n  %s\n", c.name, first.c_str());
        }
        // A failed probe or a missing document would time something other than a warm call.
        if (first.find("ERROR") != std::string::npos || first.find("N/A") != std::string::npos) {
            fprintf(stderr, "%s: not a warm call: %s\n", c.name, first.c_str());
            status = 1;
        }
        for (int i = 0; i < 20; i++) {
            CallOnce(function, c);
        }
        std::vector<double> micros;
        micros.reserve((size_t)calls);
        for (long i = 0; i < calls; i++) {
            auto start = std::chrono::steady_clock::now();
            CallOnce(function, c);
            auto end = std::chrono::steady_clock::now();
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        }
        double total = 0;
        for (double m : micros) {
            total += m;
        }
        std::sort(micros.begin(), micros.end());
        printf("%-42s median %8.1f us  mean %8.1f us  (%ld calls)\n", c.name,
               micros[micros.size() / 2], total / (double)micros.size(), calls);
    }
    return status;
}
