#include "plugin/lifecycle.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "feed/cache.h"
#include "provider/warning_regions.h"
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

// Puts a prompt list in place, writing only when the text changes: getparam hands the buffer
// out without the lock, and a reading of unchanged settings must not touch it.
static void SetPrompt(char *out, size_t capacity, const char *text) {
    if (strcmp(text, out) != 0) {
        CopyText(out, capacity, text);
    }
}

// Reads the settings file and what follows from it (the language file path, the prompts), and
// notes the file's time and size as they were before the reading: a change made while it reads
// is then seen by the next look.
static void LoadSettings(void) {
    if (Plugin.settingsWritable) {
        OsFileStamp(Plugin.settingsPath, &Plugin.settingsTime, &Plugin.settingsSize);
    }
    ReadSettings(Plugin.settingsWritable ? Plugin.settingsPath : NULL);
    LanguagePathFromSettings(Plugin.settingsPath, Plugin.customLanguage, Plugin.languagePath,
                             sizeof Plugin.languagePath);
    char prompt[TEXT_CAPACITY];
    FormatText(prompt, sizeof prompt, kForecastPrompt, Plugin.maxDays);
    SetPrompt(Plugin.forecastPrompt, sizeof Plugin.forecastPrompt, prompt);
    FormatText(prompt, sizeof prompt, kHourlyPrompt, Plugin.maxHours);
    SetPrompt(Plugin.hourlyPrompt, sizeof Plugin.hourlyPrompt, prompt);
}

// Whether the settings file has the time and size it had when last read (or is still missing).
static int SettingsFileUnchanged(void) {
    uint64_t time = 0;
    int64_t size = 0;
    OsFileStamp(Plugin.settingsPath, &time, &size);
    return time == Plugin.settingsTime && size == Plugin.settingsSize;
}

void ReadChangedSettings(void) {
    if (Plugin.running && Plugin.settingsWritable && !SettingsFileUnchanged()) {
        LoadSettings();
    }
}

static void ReleaseState(void) {
    OsMutexClose(Plugin.mutex);
    Plugin.mutex = NULL;
    OsMutexClose(Plugin.threadsLock);
    Plugin.threadsLock = NULL;
    FreeFeedDocuments();
    FreeWarningRegions();
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

    Plugin.forecastPrompt[0] = Plugin.hourlyPrompt[0] = '\0';
    LoadSettings();
    ReadProxySettings();
    // Without a usable folder there is no cache: downloads then fail and say so.
    OsCacheFolder(kCacheFolderName, Plugin.cacheFolder, sizeof Plugin.cacheFolder);
    Plugin.running = 1;
}

void Shutdown(void) {
    if (!Plugin.running) {
        return;
    }
    // A file changed since it was read holds the user's edit (or another process's write-back):
    // the values in memory are older and must not overwrite it.
    if (Plugin.settingsWritable && SettingsFileUnchanged()) {
        WriteSettings(Plugin.settingsPath);
    }
    ReleaseState();
    OsReleaseCaches();
    Plugin.running = 0;
}
