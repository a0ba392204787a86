// A chain of weather sources: one source whose refreshes ask its members in order.
#include <string.h>

#include "base/text.h"
#include "feed/source.h"

static const SourceChain *ChainOf(const WeatherSource *self) {
    return (const SourceChain *)self->context;
}

// Every member reads the same call fields: none changes them but to upper-case the Location ID,
// which the next one does too.
static enum Outcome RefreshChainDocument(const WeatherSource *self, enum DocumentKind kind,
                                         const char *path) {
    const SourceChain *chain = ChainOf(self);
    for (size_t i = 0; i < chain->count; i++) {
        const WeatherSource *member = chain->members[i];
        enum Outcome result = member->refreshDocument(member, kind, path);
        if (result != OUTCOME_FAILED) {
            return result;
        }
    }
    return OUTCOME_FAILED;
}

// The picture the local page names is the first member's to fetch: whichever member wrote the
// page, it names the same point, and a second try of one picture service costs it a request.
static enum Outcome RefreshChainRadar(const WeatherSource *self, const char *path,
                                      const char *address) {
    const WeatherSource *first = ChainOf(self)->members[0];
    return first->refreshRadar(first, path, address);
}

static int ChainConnectivityAddress(const WeatherSource *self, char *out, size_t capacity) {
    const WeatherSource *first = ChainOf(self)->members[0];
    return first->connectivityAddress(first, out, capacity);
}

static size_t ChainMembers(const WeatherSource *self, const WeatherSource **out, size_t capacity) {
    const SourceChain *chain = ChainOf(self);
    for (size_t i = 0; i < chain->count && i < capacity; i++) {
        out[i] = chain->members[i];
    }
    return chain->count;
}

const WeatherSource *MakeSourceChain(SourceChain *chain, const WeatherSource *const *members,
                                     size_t count) {
    if (count == 0) {
        return NULL;
    }
    if (count == 1) {
        return members[0];
    }
    chain->count = 0;
    chain->name[0] = '\0';
    for (size_t i = 0; i < count && chain->count < SOURCE_CHAIN_CAPACITY; i++) {
        size_t used = strlen(chain->name);
        if (!FormatText(chain->name + used, sizeof chain->name - used, "%s%s", used ? "," : "",
                        members[i]->name)) {
            chain->name[used] = '\0';
            break; // a name that does not fit ends the chain, as it is written back
        }
        chain->members[chain->count++] = members[i];
    }
    if (chain->count == 1) {
        return chain->members[0];
    }
    const WeatherSource *first = chain->members[0];
    WeatherSource source = {
        chain->name,              // name
        first->userAgent,         // userAgent
        first->alertLinkHost,     // alertLinkHost
        RefreshChainDocument,     // refreshDocument
        RefreshChainRadar,        // refreshRadar
        ChainConnectivityAddress, // connectivityAddress
        NoPointForecast,          // pointForecastAddress: the members have theirs
        ChainMembers,             // members
        chain,                    // context
    };
    chain->source = source;
    return &chain->source;
}
