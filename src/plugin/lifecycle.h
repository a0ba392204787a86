// Start-up and shutdown of the module.
#ifndef NIMBREL_LIFECYCLE_H
#define NIMBREL_LIFECYCLE_H

#include <stddef.h>

// Name of the plugin mutex, shared by every process of the user that loads the module.
#define PLUGIN_MUTEX_NAME "nimbrel"

// Fills PluginState: settings, proxy, paths, the mutex and the cache folder. `instance` is the
// module's instance handle (on POSIX an address inside the module). Never fails: every failure
// leaves a usable state. Calling it again while running first releases what the last call took.
void Startup(void *instance);

// Reads the settings again when the settings file's last-write time or size differs from when
// it was last read. A refresh keeps the module loaded across the host's unload, so that the
// next load runs no start-up: this is how the settings the user changed meanwhile still come
// in, at the first call after. Costs one look at the file's directory entry; call it holding the
// plugin mutex. Does nothing when the module is not running or has no settings path.
void ReadChangedSettings(void);

// Writes the effective settings back to the settings file, unless the file changed (time or
// size) since it was last read, and releases the state. Does nothing when the module is not
// running.
void Shutdown(void);

// Derives the settings file path from the module path: every ".dll" (the module extension)
// becomes ".ini"; a module whose extension differs only in case, or that has none, still gets a
// path of its own beside it, never its own file. Returns 1 on success, 0 when it does not fit.
int SettingsPathFromModule(const char *modulePath, char *out, size_t capacity);

// Derives the language file path: the settings path without any ".ini", then
// "<that>.Languages<sep><language>.ini". Returns 1, or 0 (and `out` empty) when it does not fit.
int LanguagePathFromSettings(const char *settingsPath, const char *language, char *out,
                             size_t capacity);

#endif
