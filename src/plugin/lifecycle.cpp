#include "plugin/lifecycle.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "feed/cache.h"
#include "plugin/proxy.h"
#include "plugin/settings.h"
#include "base/state.h"
#include "base/text.h"

static const char kErrorSettingsPath[] = "ERROR";
static const char kCacheFolderName[] = "Nimbrel";

static const char kForecastPrompt[] =
    "your weather expression|Location ID|day number (1 to %d)|Unit Type\nEnglish, Metric or "
    "Both|Show degree symbol\nEnter 0 for No|";
static const char kHourlyPrompt[] =
    "your weather expression|Location ID|hour number (1 to %d)|Unit Type\nEnglish, Metric or "
    "Both|Show Degree Symbol\nEnter 0 for No|";

// The file-name part of a path: what follows its last separator.
static const char *FileNamePart(const char *path) {
    const char *name = path;
    for (const char *p = path; *p; p++) {
        if (*p == OsPathSeparator || *p == '/') {
            name = p + 1;
        }
    }
    return name;
}

int SettingsPathFromModule(const char *modulePath, char *out, size_t capacity) {
    if (!CopyText(out, capacity, modulePath)) {
        out[0] = '\0';
        return 0;
    }
    ReplaceAll(out, capacity, OsModuleExtension, ".ini");

    // The extension in another case (WX.DLL) escapes the replacement above; the settings must
    // still not land in the module's own file.
    size_t extensionLength = strlen(OsModuleExtension);
    char *name = (char *)FileNamePart(out);
    size_t nameLength = strlen(name);
    if (nameLength >= extensionLength &&
        EqualsIgnoreCase(name + nameLength - extensionLength, OsModuleExtension)) {
        name[nameLength - extensionLength] = '\0';
        if (!AppendText(out, capacity, ".ini")) {
            out[0] = '\0';
            return 0;
        }
    }
    if (strcmp(out, modulePath) == 0 && !AppendText(out, capacity, ".ini")) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int LanguagePathFromSettings(const char *settingsPath, const char *language, char *out,
                             size_t capacity) {
    char base[PATH_CAPACITY];
    CopyText(base, sizeof base, settingsPath);
    ReplaceAll(base, sizeof base, ".ini", "");
    if (!FormatText(out, capacity, "%s.Languages%c%s.ini", base, OsPathSeparator, language)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

static void ReleaseState(void) {
    OsMutexClose(Plugin.mutex);
    Plugin.mutex = NULL;
    OsMutexClose(Plugin.threadsLock);
    Plugin.threadsLock = NULL;
    FreeFeedDocuments();
}

void Startup(void *instance) {
    if (Plugin.running) {
        ReleaseState();
    }
    srand((unsigned)time(NULL));

    StartFeedDocuments();
    Plugin.tagCounter = 0;
    Plugin.unitFromAuto = 0;

    Plugin.mutex = OsMutexOpen(PLUGIN_MUTEX_NAME);
    Plugin.mutexHeld = 0;
    Plugin.threadsLock = OsMutexOpen(NULL);

    char modulePath[PATH_CAPACITY];
    if (OsModulePath(instance, modulePath, sizeof modulePath) &&
        SettingsPathFromModule(modulePath, Plugin.settingsPath, sizeof Plugin.settingsPath)) {
        Plugin.settingsWritable = 1;
    } else {
        // Reads then find nothing and give the defaults; nothing is ever written there.
        CopyText(Plugin.settingsPath, sizeof Plugin.settingsPath, kErrorSettingsPath);
        Plugin.settingsWritable = 0;
    }

    ReadSettings(Plugin.settingsWritable ? Plugin.settingsPath : NULL);

    LanguagePathFromSettings(Plugin.settingsPath, Plugin.customLanguage, Plugin.languagePath,
                             sizeof Plugin.languagePath);
    ReadProxySettings();
    // Without a usable folder there is no cache: downloads then fail and say so.
    OsCacheFolder(kCacheFolderName, Plugin.cacheFolder, sizeof Plugin.cacheFolder);

    FormatText(Plugin.forecastPrompt, sizeof Plugin.forecastPrompt, kForecastPrompt,
               Plugin.maxDays);
    FormatText(Plugin.hourlyPrompt, sizeof Plugin.hourlyPrompt, kHourlyPrompt, Plugin.maxHours);
    Plugin.running = 1;
}

void Shutdown(void) {
    if (!Plugin.running) {
        return;
    }
    if (Plugin.settingsWritable) {
        WriteSettings(Plugin.settingsPath);
    }
    ReleaseState();
    OsReleaseCaches();
    Plugin.running = 0;
}
