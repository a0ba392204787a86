// nimbrel-stress (both platforms): several threads of one process call every export of the module
// against the local weather service for a while, as panels of many meters would, and report how
// long the longest call took. A watcher thread keeps checking that every cached document is whole.
//
//   nimbrel-stress --module PATH --seconds N [--threads N] [--bound-ms N]
//
// Exit status 0 when every call returned within the bound, none timed out on the mutex (no
// holder keeps it stuck here: a caller never waits for somebody's transfer) and no cache file
// was ever seen broken; 1 otherwise.
#if defined(_WIN32)
#include <windows.h>
#define STRESS_CALL __stdcall
#else
#include <dlfcn.h>
#define STRESS_CALL
#endif
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

typedef const char *(STRESS_CALL *Call0)(void);
typedef const char *(STRESS_CALL *Call1)(const char *);
typedef const char *(STRESS_CALL *Call2)(const char *, const char *);
typedef const char *(STRESS_CALL *Call3)(const char *, const char *, const char *);
typedef const char *(STRESS_CALL *Call4)(const char *, const char *, const char *, const char *);
typedef const char *(STRESS_CALL *Call5)(const char *, const char *, const char *, const char *,
                                         const char *);

namespace fs = std::filesystem;

static void *gModule;
static std::atomic<long> gCalls{0}, gTimeouts{0}, gLongestMs{0}, gBroken{0}, gChecks{0};
static std::atomic<bool> gStop{false};
static std::mutex gLongestLock;
static std::string gLongestCall; // export and Location ID of the longest call

static const char *const kIds[] = {"90210",    "10001",  "SIMALERT", "SIM500",
                                   "SIMERROR", "ALERTS", "",         "SIMDROP"};
// Servers that stall or drip: asked now and then.
static const char *const kSlowIds[] = {"SIMDRIP", "SIMSTALL"};
static const char *const kUnits[] = {"English", "Metric", "Both", ""};

static void *Get(const char *name) {
#if defined(_WIN32)
    return (void *)GetProcAddress((HMODULE)gModule, name);
#else
    return dlsym(gModule, name);
#endif
}

static long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

static void Note(const char *function, const char *id, const char *unit, const char *result,
                 long long took) {
    gCalls++;
    if (strstr(result, "Mutex timeout") || strstr(result, "mutex timeout")) {
        gTimeouts++;
    }
    std::lock_guard<std::mutex> hold(gLongestLock);
    if (took > gLongestMs) {
        gLongestMs = (long)took;
        gLongestCall = std::string(function) + " " + id + " " + unit;
    }
}

static void Caller(unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return (int)(random() % (unsigned)n); };
    while (!gStop) {
        const char *id = pick(20) == 0 ? kSlowIds[pick(2)] : kIds[pick(8)];
        const char *unit = kUnits[pick(4)];
        std::string day = std::to_string(pick(7));
        long long start = NowMs();
        const char *result = "";
        static const char *const kFunctions[] = {"CurrentConditions",
                                                 "Forecast",
                                                 "Now",
                                                 "Later",
                                                 "Hourly",
                                                 "IconCC",
                                                 "IconForecast",
                                                 "IconHourly",
                                                 "AlertIcon",
                                                 "LocalRadar",
                                                 "CustomRadar",
                                                 "ListCCTerms"};
        int choice = pick(12);
        switch (choice) {
        case 0:
            result = ((Call4)Get("CurrentConditions"))(
                "<temp><tempunit> <cond> <wind> <press> <update> <moon> <alert>", id, unit, "1");
            break;
        case 1:
            result = ((Call5)Get("Forecast"))("<dayname> <high>/<low> <cond> <details>", id,
                                              day.c_str(), unit, "1");
            break;
        case 2:
            result = ((Call4)Get("Now"))("<name> <temp> <cond>", id, unit, "1");
            break;
        case 3:
            result = ((Call4)Get("Later"))("<name> <temp> <cond>", id, unit, "0");
            break;
        case 4:
            result = ((Call5)Get("Hourly"))("<hourname> <temp> <cond>", id, day.c_str(), unit, "1");
            break;
        case 5:
            result = ((Call2)Get("IconCC"))(id, "/nonexistent");
            break;
        case 6:
            result = ((Call4)Get("IconForecast"))(id, day.c_str(), "0", "");
            break;
        case 7:
            result = ((Call3)Get("IconHourly"))(id, day.c_str(), "");
            break;
        case 8:
            result = ((Call2)Get("AlertIcon"))(id, "");
            break;
        case 9:
            result = ((Call1)Get("LocalRadar"))(id);
            break;
        case 10:
            result = ((Call3)Get("CustomRadar"))("stress", "http://127.0.0.1:1/x.png", "0");
            break;
        default:
            result = ((Call0)Get("ListCCTerms"))();
            break;
        }
        Note(kFunctions[choice], id, unit, result ? result : "", NowMs() - start);
    }
}

// A cached document is whole when it ends as the service ends its documents, or is the
// service's empty or error answer; a cached picture when it ends as its format ends.
static bool Whole(const std::string &name, const std::string &content) {
    if (content.empty() || content.find("<error>") != std::string::npos) {
        return true;
    }
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0) {
        return content.find("</weather>") != std::string::npos ||
               content.find("</html>") != std::string::npos;
    }
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".html") == 0) {
        return content.find("</html>") != std::string::npos;
    }
    // A kept answer of the forecast provider is one JSON object.
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0) {
        size_t last = content.find_last_not_of(" \t\r\n");
        return content[0] == '{' && last != std::string::npos && content[last] == '}';
    }
    // The service's pictures are PNG files, whole when they end with their IEND chunk.
    static const char kPngStart[] = "\x89PNG";
    static const char kPngEnd[] = "IEND\xae\x42\x60\x82";
    if (content.compare(0, 4, kPngStart) == 0) {
        return content.size() >= 8 && content.compare(content.size() - 8, 8, kPngEnd) == 0;
    }
    return true;
}

static void Watcher(const std::string &cache) {
    while (!gStop) {
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(cache, error)) {
            std::string name = entry.path().filename().string();
            if (name.compare(0, 8, "Weather.") != 0 && name.compare(0, 5, "Home.") != 0 &&
                name.compare(0, 6, "Radar.") != 0 && name.compare(0, 10, "OpenMeteo.") != 0 &&
                name.compare(0, 6, "Place.") != 0 && name.compare(0, 7, "Alerts.") != 0) {
                continue;
            }
            std::string path = entry.path().string();
            FILE *file = fopen(path.c_str(), "rb");
            if (file == NULL) {
                continue;
            }
            std::string content;
            char buffer[65536];
            size_t got;
            while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
                content.append(buffer, got);
            }
            fclose(file);
            gChecks++;
            if (!Whole(name, content)) {
                gBroken++;
                fprintf(stderr, "nimbrel-stress: broken cache file %s (%zu bytes)\n", path.c_str(),
                        content.size());
            }
            // Age every file past its limit, so that the next query downloads it again.
            std::error_code ignored;
            fs::last_write_time(entry.path(),
                                fs::file_time_type::clock::now() - std::chrono::hours(3), ignored);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
}

int main(int argc, char **argv) {
    const char *module = NULL;
    int seconds = 10, threads = 4;
    // The mutex wait (5 s), the call's download budget (10 s) with one last read (5 s), and room
    // for a loaded machine.
    long boundMs = 26000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--module") == 0) {
            module = argv[i + 1];
        } else if (strcmp(argv[i], "--seconds") == 0) {
            seconds = atoi(argv[i + 1]);
        } else if (strcmp(argv[i], "--threads") == 0) {
            threads = atoi(argv[i + 1]);
        } else if (strcmp(argv[i], "--bound-ms") == 0) {
            boundMs = atol(argv[i + 1]);
        }
    }
    if (module == NULL) {
        fprintf(stderr, "usage: nimbrel-stress --module PATH --seconds N [--threads N]\n");
        return 2;
    }
#if defined(_WIN32)
    gModule = (void *)LoadLibraryA(module);
    char temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    std::string cache = std::string(temp) + "\\Nimbrel";
#else
    gModule = dlopen(module, RTLD_NOW);
    const char *temp = getenv("TEMP");
    std::string cache = std::string(temp ? temp : "/tmp") + "/Nimbrel";
#endif
    if (gModule == NULL) {
        fprintf(stderr, "nimbrel-stress: cannot load %s\n", module);
        return 2;
    }
    std::random_device seeds;
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; i++) {
        workers.emplace_back(Caller, seeds() + (unsigned)i);
    }
    std::thread watcher(Watcher, cache);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    gStop = true;
    for (auto &w : workers) {
        w.join();
    }
    watcher.join();
    printf("calls %ld, mutex time-outs %ld, longest call %ld ms (%s), cache checks %ld, broken "
           "%ld\n",
           gCalls.load(), gTimeouts.load(), gLongestMs.load(), gLongestCall.c_str(), gChecks.load(),
           gBroken.load());
#if defined(_WIN32)
    FreeLibrary((HMODULE)gModule);
#else
    dlclose(gModule);
#endif
    return (gBroken == 0 && gTimeouts == 0 && gLongestMs <= boundMs) ? 0 : 1;
}
