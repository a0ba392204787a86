// The settings file beside the module.
#ifndef NIMBREL_SETTINGS_H
#define NIMBREL_SETTINGS_H

// Default values of the settings file.
#define DEFAULT_LOCATION_ID "90210"
#define DEFAULT_ICON_PATH "C:\\Program Files\\Orvane\\weather.images"
#define DEFAULT_FEED_HOST "xml.nimbrel.example"
#define DEFAULT_NARRATIVE_HOST "narrative.nimbrel.example"
#define DEFAULT_PAGE_HOST "local.nimbrel.example"
#define DEFAULT_CONNECTIVITY_URL "http://www.nimbrel.example/"

// Reads every setting from the file at `path` into PluginState, with the defaults, clamps and
// the locale's unit for "Auto". A NULL path gives every default without reading anything.
void ReadSettings(const char *path);

// Writes the effective settings (all but CustomLanguage and the service addresses) to `path`.
void WriteSettings(const char *path);

#endif
