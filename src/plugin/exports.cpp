// The host protocol and the lifecycle bodies.
#include "plugin/exports.h"

#include <string.h>

#include "plugin/lifecycle.h"
#include "feed/download.h"
#include "base/state.h"
#include "base/text.h"

static const char kFunctionList[] =
    "CurrentConditions|Forecast|Now|Later|Hourly|IconCC|IconForecast|IconNow|IconLater|"
    "IconHourly|AlertIcon|MoonIcon|LocalRadar|CustomRadar|ListCCTerms|ListForecastTerms|"
    "ListHourlyTerms|AirQualityIcon|PrecipitationGraph";

static const char kExpressionPrompts[] =
    "your weather expression|Location ID|Unit Type\nEnglish, Metric or Both|Show degree symbol|";
static const char kLocationAndFolderPrompts[] = "Location ID|Path to the Images|";

typedef struct PromptEntry {
    const char *name;
    const char *prompts; // NULL: formatted at start-up, see PromptsFor
} PromptEntry;

// In the order getparam compares them; the first exact match wins.
static const PromptEntry kPrompts[] = {
    {"CurrentConditions", kExpressionPrompts},
    {"Forecast", NULL},
    {"Now", kExpressionPrompts},
    {"Later", kExpressionPrompts},
    {"Hourly", NULL},
    {"IconCC", "Location ID|Path to the Icons|"},
    {"IconForecast",
     "Location ID|day number|day or night\n(1 for day, 0 for night)|Path to the Images|"},
    {"IconHourly", "Location ID|hour number|Path to the Images|"},
    {"IconNow", kLocationAndFolderPrompts},
    {"IconLater", kLocationAndFolderPrompts},
    {"AlertIcon", kLocationAndFolderPrompts},
    {"LocalRadar", "Location ID|"},
    {"CustomRadar", "nickname|image url|refresh time (in minutes)|"},
    {"MoonIcon", "Path to the Images|how many days from now|"},
    {"AirQualityIcon", "Location ID|period\n(0 now, a day number, or -hour number)|"},
    {"PrecipitationGraph", "Location ID|hours\n(2 for the nowcast, 3 to 24)|"},
};

Text NIMBREL_CALL init(void) {
    return kFunctionList;
}

Text NIMBREL_CALL getinfo(unsigned int type) {
    switch (type) {
    case 0:
        return "Nimbrel";
    case 1:
        return "vexlin";
    case 2:
        return "0.99";
    case 4:
        OsFormatShortDate(2005, 1, 23, Plugin.buildDate, sizeof Plugin.buildDate);
        return Plugin.buildDate;
    default:
        return " ";
    }
}

// The Forecast and Hourly prompts hold MaxDays and MaxHours, which are fixed from start-up on,
// so they are formatted once there; no call ever writes them and none can disturb another.
Text NIMBREL_CALL getparam(Text name) {
    if (name == NULL) {
        return "";
    }
    for (size_t i = 0; i < sizeof kPrompts / sizeof kPrompts[0]; i++) {
        if (strcmp(name, kPrompts[i].name) != 0) {
            continue;
        }
        if (kPrompts[i].prompts != NULL) {
            return kPrompts[i].prompts;
        }
        return strcmp(name, "Forecast") == 0 ? Plugin.forecastPrompt : Plugin.hourlyPrompt;
    }
    return "";
}

void NIMBREL_CALL NimbrelStartup(void *instance) {
    Startup(instance);
}
void NIMBREL_CALL NimbrelCleanup(void) {
    Shutdown();
}

void CoreModuleLoaded(void *instance) {
    Startup(instance);
}
void CoreModuleUnloaded(void) {
    Shutdown();
}
void CoreFinishRefreshes(void) {
    WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS);
}
