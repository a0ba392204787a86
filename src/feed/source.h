// The weather source seam: where the content of a stale or missing cache file comes from.
//
// Everything above the cache (the feed queries, the extraction, the expression terms, the
// images) reads the feed's own documents and never asks where they came from. A source is one
// struct of functions, like a file system of SQLite's VFS: one instance per source (FeedSource
// below, OpenMeteoSource and MetNorwaySource in provider/provider.h, and a chain of sources
// asked in order, below), chosen once from the settings at start-up and reached as
// Plugin.source. No other code tests which source is in use: a behaviour that differs between
// sources is a field here.
//
// The contract every source keeps:
// - A refresh is called with the plugin mutex held, on the thread of the call that needs it, and
//   reads the call's Location ID and unit type from Plugin.callLocationId and Plugin.callUnit
//   (set by the query; a source may upper-case the Location ID, as the request addresses do).
//   It keeps nothing between calls but files in the cache folder and the state's fields, so a
//   caller that sets those fields may run it for any place at any time.
// - Its downloads (feed/download.h) run on threads of their own. While the call waits for one,
//   it gives the plugin mutex up (this process's other calls stay out, so the state's fields
//   hold) and takes it again before the refresh goes on: no other process waits for a
//   transfer. The wait lasts at most REFRESH_WAIT_MS of the call when the file has a copy.
// - Done (OUTCOME_DONE) means the file at `path` holds a whole new document and is the feed
// document
//   (LoadFeedDocument). A document the service sent that names an error (no such place, a
//   refusal) is a success: the extraction reports its message.
// - Failed (OUTCOME_FAILED) means no document could be had within the call (no connection, a
// time-out, a
//   failing server, an answer that cannot be read, a download that outlasted its wait or that
//   another process is making), and the file at `path` keeps its content and its age for now. A
//   failure writes no document within the call, so that a caller may try another source after
//   it. A download that outlasted its wait finishes on its own: a whole file then takes its
//   place, and an answer waits in the cache folder for the next refresh of its kind.
// - Pending (OUTCOME_PENDING) means that the source's answer is on its way (a download that
//   outlasted the call's wait, or that another process is making): nothing is known against
//   the service yet, the file keeps its content and its age, and the answer serves a later
//   refresh. A caller asks no other source then.
// - Every download goes through feed/download.h, so that it shares the call's budget, the
//   connectivity test, the claims and the memory of failed downloads of every process.
#ifndef NIMBREL_SOURCE_H
#define NIMBREL_SOURCE_H

#include <stddef.h>

#include "feed/kinds.h"
#include "platform/platform.h"

// What "www." in the feed's alert links becomes: the feed's alerts have a web host of their own.
// It holds "www." itself, which is why the rewrite passes through a marker.
#define ALERT_HOST_PREFIX "www.alerts."

typedef struct WeatherSource {
    // The source's name in the settings ([Service] Provider), as written back at shutdown.
    const char *name;

    // The User-Agent of every request made while this source is in use; it may name a field of
    // the state that start-up fills from the settings.
    const char *userAgent;

    // The prefix that "www." in an alert's link becomes: the source's links lead to a web host
    // of its own. NULL when its links stay as they are.
    const char *alertLinkHost;

    // Gives the cache file `path` of `kind` new content for the call's Location ID and unit
    // type. `kind` is one that a source writes (KIND_BY_SOURCE: the feed's documents and the
    // local page that names the radar picture); `path` is CacheFilePath(kind) for the call.
    // Returns an Outcome as the contract above says.
    enum Outcome (*refreshDocument)(const struct WeatherSource *self, enum DocumentKind kind,
                                    const char *path);

    // Gives the radar picture at `path` new content from `address`, the address that the call's
    // local page names. Returns OUTCOME_DONE with the picture in place, OUTCOME_FAILED when it
    // could not be had (the file then keeps its content and its age).
    enum Outcome (*refreshRadar)(const struct WeatherSource *self, const char *path,
                                 const char *address);

    // Writes into `out` the address whose answer tells whether this source's service can be
    // reached, when the settings name none. Returns 1; 0 when the source has no address of its
    // own (out empty), and the connectivity test then asks the default one.
    int (*connectivityAddress)(const struct WeatherSource *self, char *out, size_t capacity);

    // Writes into `out` the request address of the source's own forecast for a point
    // (`latitude` and `longitude` as decimal texts with a dot), for a diagnostic that lists the
    // services a source asks. Returns 1; 0 when it asks for documents by Location ID instead
    // (out empty).
    int (*pointForecastAddress)(const struct WeatherSource *self, const char *latitude,
                                const char *longitude, char *out, size_t capacity);

    // The sources this one asks, in order, into `out` (room for `capacity`): a chain's members,
    // or the source itself. Returns how many there are (more than `capacity` when they do not
    // all fit).
    size_t (*members)(const struct WeatherSource *self, const struct WeatherSource **out,
                      size_t capacity);

    // Whatever an instance needs besides its functions (a chain's members, say), or NULL.
    const void *context;
} WeatherSource;

// The feed's own request addresses on FeedHost, NarrativeHost and PageHost, downloaded as they
// are.
extern const WeatherSource FeedSource;

// A `members` for a source that asks nobody but itself.
size_t SourceAlone(const WeatherSource *self, const WeatherSource **out, size_t capacity);

// A `pointForecastAddress` for a source that asks by Location ID: always 0, out empty.
int NoPointForecast(const WeatherSource *self, const char *latitude, const char *longitude,
                    char *out, size_t capacity);

// ---- A chain of sources: one source made of others, asked in order -------------------------
//
// For each refresh the members are asked in their order until one gives the file new content;
// the first member's answer wins whenever it has one. A member that fails is passed over for
// that refresh, and the next one asked at once; a member that fails keeps the memory of its
// failed downloads (feed/download.h), so that for two minutes it answers at once without asking
// its service, and after that it is asked first again: the chain goes back to its first member
// by itself. A member whose answer is on its way ends the refresh: its copy serves, and no
// other service is asked while the first one may be well. The chain's user agent, alert host
// and connectivity address are its first member's.

enum {
    SOURCE_CHAIN_CAPACITY = 4, // members of one chain
    SOURCE_NAME_CAPACITY = 64  // a chain's name: its members' names joined by commas
};

typedef struct SourceChain {
    const WeatherSource *members[SOURCE_CHAIN_CAPACITY];
    size_t count;
    char name[SOURCE_NAME_CAPACITY]; // "open-meteo,met-norway"
    WeatherSource source;            // the chain as a source; its context is this record
} SourceChain;

// Makes `chain` the chain of `count` sources (at most SOURCE_CHAIN_CAPACITY; more are left
// out) and returns its source, which lives as long as `chain`. A single member is returned as
// it is, with no chain around it. Returns NULL when `count` is 0.
const WeatherSource *MakeSourceChain(SourceChain *chain, const WeatherSource *const *members,
                                     size_t count);

#endif
