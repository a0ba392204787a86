// PluginState: the one module-wide state. Declared here, defined once in state.cpp.
//
// Every field is a fixed-size buffer of the capacity named beside it; a text in it is
// zero-terminated and at most its capacity less one. Start-up fills the state and shutdown
// clears it; in between, every export that touches it holds the plugin mutex.
#ifndef NIMBREL_STATE_H
#define NIMBREL_STATE_H

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

enum {
    PATH_CAPACITY = 260,          // a Windows MAX_PATH
    ADDRESS_CAPACITY = 2084,      // a Windows INTERNET_MAX_URL_LENGTH
    TEXT_CAPACITY = 1024,         // expression, value and work texts
    SCRATCH_CAPACITY = 64,        // unit and number scratch
    LOCATION_CAPACITY = 32,       // the default Location ID, as long as a call's may be
    CALL_LOCATION_CAPACITY = 32,  // the Location ID of the call in progress
    UNIT_CAPACITY = 16,           // a unit type text
    LANGUAGE_CAPACITY = 64,       // the CustomLanguage name
    PROXY_FIELD_CAPACITY = 128,   // each proxy value of the host
    SEPARATOR_CAPACITY = 8,       // the locale's decimal separator
    HOST_CAPACITY = 256,          // a service host name, with an optional :port
    USER_AGENT_CAPACITY = 256,    // the user agent with the user's contact
    FEED_DOCUMENT_INITIAL = 51200 // the feed document buffer before any growth
};

// A place's codes in the warning regions, found once for its point.
enum { REGION_MEMO_SLOTS = 8, REGION_CODES_TEXT_CAPACITY = 768 };

typedef struct RegionCodesMemo {
    int used;                               // 0: a free slot
    double latitude, longitude;             // the point, degrees
    char country[4];                        // ISO code of the regions that hold it, or empty
    char codes[REGION_CODES_TEXT_CAPACITY]; // " SCHEME:VALUE SCHEME:VALUE ", or " " for none
} RegionCodesMemo;

enum { CACHE_CHECK_SLOTS = 8 }; // cache files whose time one export call remembers
enum { CACHE_NAME_SLOTS = 4 };  // cache file names one export call remembers

typedef struct CacheCheck {
    char path[PATH_CAPACITY]; // a cache file looked at in this call, or empty
    int exists;               // 0: it could not be opened then
    uint64_t time;            // its last-write time then, when it exists
} CacheCheck;

// An expression with every term asks the same few files some seventy times in one call: each
// one's name is put together once.
typedef struct CacheName {
    int kind;                                // its document kind (feed/kinds.h), or -1: free
    char locationId[CALL_LOCATION_CAPACITY]; // the call's Location ID it was built for
    char unit[UNIT_CAPACITY];                // the unit type it was built for
    char path[PATH_CAPACITY];                // the name
} CacheName;

// A panel in Both reads the Current and the Forecast feed in English, Metric and Both, and the
// narrative: the set holds them all, so that its warm calls read no file's content.
enum { FEED_DOCUMENT_SLOTS = 8 }; // cache files whose content is kept in memory

// FeedDocument: the content of one cache file, kept between calls.
typedef struct FeedDocument {
    char *bytes;              // content plus a zero byte; heap, FEED_DOCUMENT_INITIAL or more
    size_t capacity;          // bytes allocated for bytes
    char path[PATH_CAPACITY]; // path as passed when loaded, or empty for a free slot
    uint64_t time;            // last-write time of that file when it was read
    uint64_t lastUse;         // documentUses when it was last loaded or asked for
    // Marks every extraction asks about, found once per load: offsets into bytes.
    long alert;     // the first "<swa>", or -1
    long alertEnd;  // the first "</swa>", or -1
    long lastError; // the last "<error>", or -1
    int whole;      // 0: a markup document whose root element never closes (the file was cut)
} FeedDocument;

typedef struct PluginState {
    int running; // 1 between start-up and shutdown

    // Settings, read at start-up; all but CustomLanguage and the service hosts written back.
    char defaultLocationId[LOCATION_CAPACITY]; // always upper case
    char defaultUnit[UNIT_CAPACITY];           // "English", "Metric", "Both" or as written
    int unitFromAuto;                          // 1: DefaultUnit read "Auto"
    int maxDays;                               // 1 to 10
    int maxHours;                              // 1 to 24
    OsCalendarNames dayNames;                  // OS_SHORT_DAY_NAMES or OS_LONG_DAY_NAMES
    OsCalendarNames monthNames;                // OS_SHORT_MONTH_NAMES or OS_LONG_MONTH_NAMES
    int showMoonPhase;                         // nonzero: night icons carry the moon phase
    char defaultIconPath[PATH_CAPACITY];       // image folder for an empty folder argument
    char customLanguage[LANGUAGE_CAPACITY];    // "None" means no language file
    int airQualityScale; // enum AirScale (base/air_scales.h): the index the air's terms show

    // The weather source ([Service]), read at start-up; Provider is written back, the rest not.
    const struct WeatherSource *source;      // where the weather comes from (feed/source.h)
    char forecastApi[ADDRESS_CAPACITY];      // the provider's forecast address
    char metNorwayApi[ADDRESS_CAPACITY];     // MET Norway's forecast address
    char metNowcastApi[ADDRESS_CAPACITY];    // MET Norway's nowcast address
    char geocodingApi[ADDRESS_CAPACITY];     // the provider's place search address
    char alertsApi[ADDRESS_CAPACITY];        // the United States' alerts address
    char canadaAlertsApi[ADDRESS_CAPACITY];  // Canada's alerts collection
    char germanyAlertsApi[ADDRESS_CAPACITY]; // Germany's alerts address
    char norwayAlertsApi[ADDRESS_CAPACITY];  // Norway's and Svalbard's alerts address
    char radarApi[ADDRESS_CAPACITY];         // the radar frames' index
    char airQualityApi[ADDRESS_CAPACITY];    // the air-quality service's address
    char meteoAlarmApi[ADDRESS_CAPACITY];    // MeteoAlarm's feeds, before a country's name
    char userAgent[USER_AGENT_CAPACITY];     // User-Agent of the public services' requests

    // Service hosts of the feed ([Service]), read at start-up, never written back.
    char feedHost[HOST_CAPACITY];           // host[:port] of the XML feeds
    char narrativeHost[HOST_CAPACITY];      // host[:port] of the narrative page
    char pageHost[HOST_CAPACITY];           // host[:port] of the local page
    char connectivityUrl[ADDRESS_CAPACITY]; // address of the connectivity test

    // Proxy settings of the host application, read at start-up, never written.
    int useProxy;                             // nonzero: downloads go through the proxy
    char proxyUser[PROXY_FIELD_CAPACITY];     // or empty
    char proxyPassword[PROXY_FIELD_CAPACITY]; // or empty
    char proxyServer[PROXY_FIELD_CAPACITY];   // or empty
    char proxyPort[PROXY_FIELD_CAPACITY];     // or empty
    char proxyAddress[TEXT_CAPACITY];         // "server:port" when useProxy, else empty

    // Paths.
    char settingsPath[PATH_CAPACITY]; // the module path with its extension made ".ini"
    int settingsWritable;             // 0: no usable settings path, shutdown writes nothing
    uint64_t settingsTime; // the settings file's last-write time when last read, 0 when missing
    int64_t settingsSize;  // the settings file's size in bytes when last read, 0 when missing
    char languagePath[PATH_CAPACITY];      // or empty when it does not fit
    char cacheFolder[PATH_CAPACITY];       // TEMP + "Nimbrel" (see OsCacheFolder), or empty
    char cacheFilePath[PATH_CAPACITY];     // last cache file name built
    char requestAddress[ADDRESS_CAPACITY]; // last feed request address built
    char imagePath[PATH_CAPACITY];         // result of the icon functions
    char linkText[ADDRESS_CAPACITY];       // result of the radar functions

    // Host protocol texts.
    char forecastPrompt[TEXT_CAPACITY]; // the Forecast prompt list, formatted at start-up
    char hourlyPrompt[TEXT_CAPACITY];   // the Hourly prompt list, formatted at start-up
    char buildDate[TEXT_CAPACITY];      // getinfo 4's answer, formatted anew on each call and
                                        // kept for the host to read after it

    // Working buffers of the expression functions, shared by the term formatters.
    char expression[TEXT_CAPACITY];       // the expression under substitution: the export's
                                          // answer, which the host reads after the call
    char value[TEXT_CAPACITY];            // every feed query's result, and the formatted term
    char unitScratch[SCRATCH_CAPACITY];   // UnitText's result: the last unit read
    char numberScratch[SCRATCH_CAPACITY]; // a number on its way to the locale's form
    char callLocationId[CALL_LOCATION_CAPACITY]; // Location ID of the call in progress
    char callUnit[UNIT_CAPACITY];                // unit type of the call in progress
    int tagCounter;                              // "<" of the expression not yet accounted for

    // The documents kept in memory, and the file times looked up in the current call.
    FeedDocument documents[FEED_DOCUMENT_SLOTS]; // free slots have an empty path
    FeedDocument *document;                      // the one extraction reads: the last asked for
    uint64_t documentUses;                       // loads and requests so far, for lastUse
    int cacheChecksActive;                       // 1 within an export call
    CacheCheck cacheChecks[CACHE_CHECK_SLOTS];   // file times looked up in this call
    uint64_t cacheCheckClock;                    // the clock the call judges ages by: read at
                                                 // its start and after each file written
    CacheName cacheNames[CACHE_NAME_SLOTS];      // names built in this call
    int nextCacheName;                           // the slot the next new name takes

    // The warning regions of the places asked for (see provider/meteoalarm.h).
    RegionCodesMemo regionCodes[REGION_MEMO_SLOTS]; // places whose codes were found, or free
    int nextRegionCodes;                            // the slot the next place takes

    // Downloads of the call in progress (what is remembered about them lives in the cache folder).
    uint64_t callDownloadDeadline; // monotonic ms by which the call's downloads end, UINT64_MAX
                                   // before its first download, 0 outside a call
    uint64_t callRefreshDeadline;  // monotonic ms by which its waits for refreshes of files with
                                   // a copy end, UINT64_MAX before the first, 0 outside a call

    // The warning regions file (provider/warning_regions.h), kept in memory once read.
    unsigned char *regionsBytes; // its whole content plus a zero byte; heap, or NULL
    size_t regionsLength;        // bytes of regionsBytes without the zero byte
    uint64_t regionsTime;        // the file's last-write time when read, 0 when not loaded
    int64_t regionsSize;         // the file's size in bytes when read, 0 when not loaded

    OsMutex *mutex;       // PluginMutex, or NULL when it could not be created
    int mutexHeld;        // 1 while the call in progress holds it
    OsMutex *threadsLock; // this process's own: one export at a time, also while a call waits
                          // for a refresh without the plugin mutex; or NULL
} PluginState;

extern PluginState Plugin;

#endif
