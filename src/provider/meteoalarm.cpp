#include "provider/meteoalarm.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "base/text.h"
#include "platform/platform.h"
#include "provider/region.h"
#include "provider/service_text.h"
#include "provider/warning_regions.h"

// ---- The member countries ------------------------------------------------------------------

enum { COUNTRY_BOX_CAPACITY = 3 };

typedef struct MeteoAlarmCountry {
    const char *iso;                 // its ISO code
    const char *slug;                // its name in the feed's address
    Box boxes[COUNTRY_BOX_CAPACITY]; // around it, for coordinates in no region
    int boxCount;
} MeteoAlarmCountry;

// The members without a national source here (Germany has the Deutscher Wetterdienst's, Norway
// MET Norway's). The smaller countries stand first: for coordinates without the regions file,
// the first box that holds the point decides, and a neighbour's box often holds a corner of a
// small country.
static const MeteoAlarmCountry kCountries[] = {
    {"AD", "andorra", {{42.43, 42.66, 1.41, 1.79}}, 1},
    {"LU", "luxembourg", {{49.45, 50.18, 5.73, 6.53}}, 1},
    {"MT", "malta", {{35.78, 36.09, 14.18, 14.58}}, 1},
    {"CY", "cyprus", {{34.57, 35.70, 32.27, 34.60}}, 1},
    {"ME", "montenegro", {{41.85, 43.56, 18.43, 20.36}}, 1},
    {"MK", "republic-of-north-macedonia", {{40.85, 42.37, 20.45, 23.04}}, 1},
    {"SI", "slovenia", {{45.42, 46.88, 13.38, 16.61}}, 1},
    {"IL", "israel", {{29.49, 33.34, 34.27, 35.90}}, 1},
    {"CH", "switzerland", {{45.82, 47.81, 5.96, 10.49}}, 1},
    {"BE", "belgium", {{49.50, 51.51, 2.54, 6.41}}, 1},
    {"NL", "netherlands", {{50.75, 53.56, 3.36, 7.23}}, 1},
    {"BA", "bosnia-herzegovina", {{42.56, 45.28, 15.72, 19.62}}, 1},
    {"DK", "denmark", {{54.56, 57.75, 8.07, 15.20}}, 1},
    {"EE", "estonia", {{57.51, 59.68, 21.76, 28.21}}, 1},
    {"LV", "latvia", {{55.67, 58.08, 20.97, 28.24}}, 1},
    {"LT", "lithuania", {{53.90, 56.45, 20.94, 26.84}}, 1},
    {"MD", "moldova", {{45.47, 48.49, 26.62, 30.13}}, 1},
    {"SK", "slovakia", {{47.73, 49.61, 16.83, 22.57}}, 1},
    {"HU", "hungary", {{45.74, 48.59, 16.11, 22.90}}, 1},
    {"CZ", "czechia", {{48.55, 51.06, 12.09, 18.86}}, 1},
    {"AT", "austria", {{46.37, 49.02, 9.53, 17.16}}, 1},
    {"HR", "croatia", {{42.39, 46.55, 13.49, 19.45}}, 1},
    {"RS", "serbia", {{42.23, 46.19, 18.82, 23.01}}, 1},
    {"BG", "bulgaria", {{41.23, 44.22, 22.36, 28.61}}, 1},
    {"IE", "ireland", {{51.42, 55.39, -10.48, -5.99}}, 1},
    {"PT",
     "portugal",
     {{36.96, 42.15, -9.53, -6.19}, {36.90, 39.80, -31.30, -24.90}, {32.40, 33.20, -17.30, -16.20}},
     3},
    {"GR", "greece", {{34.80, 41.75, 19.37, 29.65}}, 1},
    {"IS", "iceland", {{63.30, 66.57, -24.55, -13.49}}, 1},
    {"RO", "romania", {{43.62, 48.27, 20.26, 29.76}}, 1},
    {"GB", "united-kingdom", {{49.90, 60.86, -8.65, 1.77}}, 1},
    {"IT", "italy", {{36.62, 47.10, 6.63, 18.52}}, 1},
    {"PL", "poland", {{49.00, 54.84, 14.12, 24.15}}, 1},
    {"ES", "spain", {{36.00, 43.79, -9.30, 4.33}, {27.60, 29.50, -18.20, -13.40}}, 2},
    {"FR", "france", {{41.33, 51.09, -5.14, 9.56}}, 1},
    {"SE", "sweden", {{55.34, 69.06, 11.11, 24.17}}, 1},
    {"FI", "finland", {{59.81, 70.09, 20.55, 31.59}}, 1},
    {"UA", "ukraine", {{44.39, 52.38, 22.14, 40.23}}, 1},
};

enum { COUNTRY_COUNT = sizeof kCountries / sizeof kCountries[0] };

static const MeteoAlarmCountry *CountryByCode(const char *iso) {
    for (size_t i = 0; i < COUNTRY_COUNT; i++) {
        if (strcmp(kCountries[i].iso, iso) == 0) {
            return &kCountries[i];
        }
    }
    return NULL;
}

static const MeteoAlarmCountry *CountryByBoxes(double latitude, double longitude) {
    for (size_t i = 0; i < COUNTRY_COUNT; i++) {
        Region region = {NULL, 0, kCountries[i].boxes, (size_t)kCountries[i].boxCount};
        if (BoxesCover(&region, latitude, longitude)) {
            return &kCountries[i];
        }
    }
    return NULL;
}

// ---- A place's codes -----------------------------------------------------------------------

// Writes the codes as " SCHEME:VALUE SCHEME:VALUE ", leaving out what does not fit.
static void CodesText(const PlaceCodes *found, char *out, size_t capacity) {
    size_t n = CopyText(out, capacity, " ") ? 1 : 0;
    for (int i = 0; i < found->count; i++) {
        char code[2 * WARNING_CODE_CAPACITY + 2];
        if (!FormatText(code, sizeof code, "%s:%s ", found->codes[i].scheme,
                        found->codes[i].value) ||
            !CopyText(out + n, capacity - n, code)) {
            out[n] = '\0';
            return;
        }
        n += strlen(code);
    }
}

int MeteoAlarmPlaceCodes(double latitude, double longitude, char *codes, size_t capacity,
                         char *country, size_t countryCapacity) {
    CopyText(codes, capacity, " ");
    CopyText(country, countryCapacity, "");
    if (!WarningRegionsLoaded()) {
        return 0;
    }
    for (int i = 0; i < REGION_MEMO_SLOTS; i++) {
        const RegionCodesMemo *memo = &Plugin.regionCodes[i];
        if (memo->used && memo->latitude == latitude && memo->longitude == longitude) {
            CopyText(codes, capacity, memo->codes);
            CopyText(country, countryCapacity, memo->country);
            return 1;
        }
    }
    PlaceCodes found;
    if (!FindPlaceCodes(Plugin.regionsBytes, Plugin.regionsLength, latitude, longitude, &found)) {
        return 0;
    }
    RegionCodesMemo *memo = &Plugin.regionCodes[Plugin.nextRegionCodes];
    Plugin.nextRegionCodes = (Plugin.nextRegionCodes + 1) % REGION_MEMO_SLOTS;
    memo->latitude = latitude;
    memo->longitude = longitude;
    CodesText(&found, memo->codes, sizeof memo->codes);
    CopyText(memo->country, sizeof memo->country, found.country);
    memo->used = 1;
    CopyText(codes, capacity, memo->codes);
    CopyText(country, countryCapacity, memo->country);
    return 1;
}

// The member country of a place: by the search's country code; for coordinates, by the regions
// that hold the point, else (`byBoxes`) by the countries' boxes. NULL for any other place.
static const MeteoAlarmCountry *PlaceCountry(const PlaceInfo *place, int byBoxes) {
    if (place->country[0] != '\0') {
        return CountryByCode(place->country);
    }
    char codes[REGION_CODES_TEXT_CAPACITY], country[4];
    int readable = MeteoAlarmPlaceCodes(place->latitude, place->longitude, codes, sizeof codes,
                                        country, sizeof country);
    if (readable && country[0] != '\0') {
        return CountryByCode(country);
    }
    // In no region: the regions file leaves out the countries whose warnings come as polygons.
    return readable || byBoxes ? CountryByBoxes(place->latitude, place->longitude) : NULL;
}

// ---- The feed's text -----------------------------------------------------------------------

// The first `needle` in [from, end), or NULL.
static const char *FindIn(const char *from, const char *end, const char *needle) {
    size_t length = strlen(needle);
    for (const char *at = from; at != NULL && (size_t)(end - at) >= length;) {
        at = (const char *)memchr(at, needle[0], (size_t)(end - at) - length + 1);
        if (at == NULL) {
            return NULL;
        }
        if (memcmp(at, needle, length) == 0) {
            return at;
        }
        at++;
    }
    return NULL;
}

typedef struct Span {
    const char *start, *end; // a piece of the feed
} Span;

// The next element `name` (with its prefix, "cap:severity") in `within`, from `*from` on: its
// opening tag in `tag` (from "<" to ">") and its content in `content` (empty for "<name/>").
// Moves *from past it. Returns 1, or 0 when there is no more whole one.
static int NextElement(const Span *within, const char **from, const char *name, Span *tag,
                       Span *content) {
    char open[48], close[48];
    if (!FormatText(open, sizeof open, "<%s", name) ||
        !FormatText(close, sizeof close, "</%s>", name)) {
        return 0;
    }
    size_t openLength = strlen(open);
    for (const char *at = *from; (at = FindIn(at, within->end, open)) != NULL; at++) {
        const char *after = at + openLength;
        if (after >= within->end || (*after != '>' && *after != '/' && *after != ' ' &&
                                     *after != '\t' && *after != '\r' && *after != '\n')) {
            continue; // another element whose name starts alike
        }
        const char *tagEnd = (const char *)memchr(after, '>', (size_t)(within->end - after));
        if (tagEnd == NULL) {
            return 0;
        }
        tag->start = at;
        tag->end = tagEnd + 1;
        if (tagEnd[-1] == '/') {
            content->start = content->end = tag->end;
            *from = tag->end;
            return 1;
        }
        const char *closing = FindIn(tag->end, within->end, close);
        if (closing == NULL) {
            return 0;
        }
        content->start = tag->end;
        content->end = closing;
        *from = closing + strlen(close);
        return 1;
    }
    return 0;
}

// The content of the first element `name` in `within`, or an empty span.
static Span FirstContent(const Span *within, const char *name) {
    const char *from = within->start;
    Span tag, content = {within->start, within->start};
    if (!NextElement(within, &from, name, &tag, &content)) {
        content.start = content.end = within->start;
    }
    return content;
}

// The character of an entity's or a reference's name ("amp", "#38", "#x26"), or 0.
static unsigned long EntityCharacter(const char *name, size_t length) {
    static const struct {
        const char *name;
        char character;
    } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (size_t i = 0; i < sizeof kEntities / sizeof kEntities[0]; i++) {
        if (strlen(kEntities[i].name) == length && memcmp(kEntities[i].name, name, length) == 0) {
            return (unsigned char)kEntities[i].character;
        }
    }
    if (length < 2 || length > 8 || name[0] != '#') {
        return 0;
    }
    int hex = name[1] == 'x' || name[1] == 'X';
    unsigned long value = 0;
    for (size_t i = hex ? 2 : 1; i < length; i++) {
        char c = name[i];
        int digit = c >= '0' && c <= '9'          ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (digit < 0) {
            return 0;
        }
        value = value * (hex ? 16 : 10) + (unsigned long)digit;
    }
    return value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF) ? value : 0;
}

// Appends a character as UTF-8. Returns 0 when it does not fit.
static int PutCharacter(char *out, size_t capacity, size_t *n, unsigned long c) {
    char bytes[4];
    size_t count = OsUtf8Encode((uint32_t)c, bytes);
    if (*n + count >= capacity) {
        return 0;
    }
    memcpy(out + *n, bytes, count);
    *n += count;
    out[*n] = '\0';
    return 1;
}

// The text of a piece of XML (UTF-8): its entities and character references made characters,
// a CDATA section's content taken as it stands, markup inside left out. Cut at `capacity` less
// one; an entity that cannot be read stays as it is written. Returns the length written.
static size_t XmlText(Span piece, char *out, size_t capacity) {
    size_t n = 0;
    out[0] = '\0';
    const char *at = piece.start;
    while (at < piece.end) {
        if (*at == '<') {
            static const char kData[] = "<![CDATA[";
            if ((size_t)(piece.end - at) >= sizeof kData - 1 &&
                memcmp(at, kData, sizeof kData - 1) == 0) {
                const char *data = at + sizeof kData - 1;
                const char *dataEnd = FindIn(data, piece.end, "]]>");
                const char *stop = dataEnd != NULL ? dataEnd : piece.end;
                for (; data < stop; data++) {
                    if (!PutCharacter(out, capacity, &n, (unsigned char)*data)) {
                        return n;
                    }
                }
                at = dataEnd != NULL ? dataEnd + 3 : piece.end;
                continue;
            }
            const char *tagEnd = (const char *)memchr(at, '>', (size_t)(piece.end - at));
            at = tagEnd != NULL ? tagEnd + 1 : piece.end;
            continue;
        }
        unsigned long c = (unsigned char)*at;
        size_t used = 1;
        if (*at == '&') {
            const char *semicolon = (const char *)memchr(at, ';', (size_t)(piece.end - at));
            unsigned long named =
                semicolon != NULL ? EntityCharacter(at + 1, (size_t)(semicolon - at - 1)) : 0;
            if (named != 0) {
                c = named;
                used = (size_t)(semicolon - at) + 1;
            }
        }
        // Bytes of UTF-8 go through one by one: PutCharacter writes those below 0x80 as they are,
        // so they are written here directly.
        if (c >= 0x80 && used == 1) {
            if (n + 1 >= capacity) {
                return n;
            }
            out[n++] = *at;
            out[n] = '\0';
        } else if (!PutCharacter(out, capacity, &n, c)) {
            return n;
        }
        at += used;
    }
    return n;
}

// The value of the attribute `name` in an opening tag, as text, into `out`. Returns 1, or 0
// (out empty) when the tag has none.
static int AttributeText(Span tag, const char *name, char *out, size_t capacity) {
    out[0] = '\0';
    size_t length = strlen(name);
    for (const char *at = tag.start; (at = FindIn(at, tag.end, name)) != NULL; at++) {
        const char *equals = at + length;
        if (at == tag.start ||
            (at[-1] != ' ' && at[-1] != '\t' && at[-1] != '\r' && at[-1] != '\n') ||
            equals + 1 >= tag.end || *equals != '=' || (equals[1] != '"' && equals[1] != '\'')) {
            continue;
        }
        const char *value = equals + 2;
        const char *valueEnd = (const char *)memchr(value, equals[1], (size_t)(tag.end - value));
        if (valueEnd == NULL) {
            return 0;
        }
        Span piece = {value, valueEnd};
        XmlText(piece, out, capacity);
        return 1;
    }
    return 0;
}

// ---- Where a warning applies ---------------------------------------------------------------

// Whether a CAP polygon, "lat,lon lat,lon ..." (closed or not), holds the point. A polygon that
// cannot be read holds nothing.
static int CapPolygonHolds(Span text, double latitude, double longitude) {
    const char *at = text.start;
    double firstLatitude = 0, firstLongitude = 0, lastLatitude = 0, lastLongitude = 0;
    int count = 0, inside = 0;
    while (at < text.end) {
        while (at < text.end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n')) {
            at++;
        }
        if (at >= text.end) {
            break;
        }
        const char *pairEnd = at;
        while (pairEnd < text.end && *pairEnd != ' ' && *pairEnd != '\t' && *pairEnd != '\r' &&
               *pairEnd != '\n') {
            pairEnd++;
        }
        const char *comma = (const char *)memchr(at, ',', (size_t)(pairEnd - at));
        double pointLatitude, pointLongitude;
        if (comma == NULL || !ParseDecimal(at, (size_t)(comma - at), &pointLatitude) ||
            !ParseDecimal(comma + 1, (size_t)(pairEnd - comma - 1), &pointLongitude) ||
            pointLatitude < -90 || pointLatitude > 90 || pointLongitude < -180 ||
            pointLongitude > 180) {
            return 0;
        }
        if (count == 0) {
            firstLatitude = pointLatitude;
            firstLongitude = pointLongitude;
        } else if (RayCrossesEdge(lastLatitude, lastLongitude, pointLatitude, pointLongitude,
                                  latitude, longitude)) {
            inside = !inside;
        }
        lastLatitude = pointLatitude;
        lastLongitude = pointLongitude;
        count++;
        at = pairEnd;
    }
    if (count < 3) {
        return 0;
    }
    if (RayCrossesEdge(lastLatitude, lastLongitude, firstLatitude, firstLongitude, latitude,
                       longitude)) {
        inside = !inside;
    }
    return inside;
}

// Whether "SCHEME:VALUE" is among the place's codes, or VALUE among its EMMA_IDs: some services
// file their EMMA_IDs under another scheme's name.
static int CodeNamesPlace(const char *codes, const char *scheme, const char *value) {
    char code[64];
    if (value[0] == '\0' || strchr(value, ' ') != NULL) {
        return 0;
    }
    return (FormatText(code, sizeof code, " %s:%s ", scheme, value) && strstr(codes, code)) ||
           (FormatText(code, sizeof code, " EMMA_ID:%s ", value) && strstr(codes, code));
}

// Whether one of the entry's polygons holds the point or one of its codes names the place.
static int EntryApplies(const Span *entry, const PlaceInfo *place, const char *codes) {
    const char *from = entry->start;
    Span tag, content;
    while (NextElement(entry, &from, "cap:polygon", &tag, &content)) {
        if (CapPolygonHolds(content, place->latitude, place->longitude)) {
            return 1;
        }
    }
    from = entry->start;
    while (NextElement(entry, &from, "cap:geocode", &tag, &content)) {
        char scheme[32], value[32];
        XmlText(FirstContent(&content, "valueName"), scheme, sizeof scheme);
        XmlText(FirstContent(&content, "value"), value, sizeof value);
        if (CodeNamesPlace(codes, scheme, value)) {
            return 1;
        }
    }
    return 0;
}

// ---- Reading a feed ------------------------------------------------------------------------

enum { SEEN_CAPACITY = 256 }; // warnings told apart in one feed

// A warning's identifier as a number (FNV-1a), to tell its repeats apart.
static uint64_t IdentifierHash(const char *text) {
    uint64_t hash = 14695981039346656037ull;
    for (; *text != '\0'; text++) {
        hash = (hash ^ (unsigned char)*text) * 1099511628211ull;
    }
    return hash;
}

// The element's text, of a length that an identifier, a time or a word has.
static void ShortText(const Span *entry, const char *name, char *out, size_t capacity) {
    XmlText(FirstContent(entry, name), out, capacity);
}

// The warning's name from the entry's title, "Orange Wind Warning issued for Poland - ...":
// its words before " issued for", in the plugin's text; else the event, as the service words it.
static int WarningTitle(const Span *entry, char *out, size_t capacity) {
    char raw[ALERT_TITLE_CAPACITY * 2];
    size_t length = XmlText(FirstContent(entry, "title"), raw, sizeof raw);
    if (ServiceText(raw, length, out, capacity) > 0) {
        char *issued = strstr(out, " issued for");
        if (issued != NULL && issued != out) {
            *issued = '\0';
        }
        return 1;
    }
    length = XmlText(FirstContent(entry, "cap:event"), raw, sizeof raw);
    return ServiceText(raw, length, out, capacity) > 0;
}

// The entry's rel="related" link: the country's page on MeteoAlarm's site. Returns 1 with it.
static int RelatedLink(const Span *entry, char *out, size_t capacity) {
    const char *from = entry->start;
    Span tag, content;
    while (NextElement(entry, &from, "link", &tag, &content)) {
        char rel[16], href[ALERT_LINK_CAPACITY];
        if (AttributeText(tag, "rel", rel, sizeof rel) && strcmp(rel, "related") == 0 &&
            AttributeText(tag, "href", href, sizeof href)) {
            return AlertPageLink(href, Plugin.meteoAlarmApi, out, capacity);
        }
    }
    out[0] = '\0';
    return 0;
}

enum AnswerKind ReadMeteoAlarmFeed(const char *atom, size_t length, const PlaceInfo *place,
                                   const char *codes, AlertClock now, AlertList *alerts) {
    alerts->count = 0;
    alerts->link[0] = '\0';
    Span feed = {atom, atom + length};
    Span feedTag, feedContent;
    const char *from = atom;
    if (!NextElement(&feed, &from, "feed", &feedTag, &feedContent)) {
        return ANSWER_UNREADABLE;
    }
    uint64_t seen[SEEN_CAPACITY];
    int seenCount = 0;
    from = feedContent.start;
    Span tag, entry;
    while (NextElement(&feedContent, &from, "entry", &tag, &entry)) {
        char word[32], ends[48], identifier[256];
        ShortText(&entry, "cap:status", word, sizeof word);
        if (!EqualsIgnoreCase(word, "Actual")) {
            continue; // an exercise, a test, a draft
        }
        ShortText(&entry, "cap:message_type", word, sizeof word);
        if (EqualsIgnoreCase(word, "Cancel")) {
            continue;
        }
        ShortText(&entry, "cap:severity", word, sizeof word);
        int severity = AlertSeverityRank(word);
        if (severity == 1) {
            continue; // green: no warning
        }
        ShortText(&entry, "cap:expires", ends, sizeof ends);
        AlertClock end;
        if (ParseServiceTime(ends, &end) && end <= now) {
            continue;
        }
        if (!EntryApplies(&entry, place, codes)) {
            continue;
        }
        ShortText(&entry, "cap:identifier", identifier, sizeof identifier);
        uint64_t hash = IdentifierHash(identifier);
        int repeated = 0;
        for (int i = 0; i < seenCount && identifier[0] != '\0'; i++) {
            repeated = repeated || seen[i] == hash;
        }
        if (repeated) {
            continue; // the same warning in another language or for another of its areas
        }
        AlertInfo alert;
        if (!WarningTitle(&entry, alert.title, sizeof alert.title)) {
            continue;
        }
        if (seenCount < SEEN_CAPACITY && identifier[0] != '\0') {
            seen[seenCount++] = hash;
        }
        alert.severity = severity;
        RelatedLink(&entry, alert.link, sizeof alert.link);
        if (alerts->link[0] == '\0' && alert.link[0] != '\0') {
            CopyText(alerts->link, sizeof alerts->link, alert.link);
        }
        InsertAlert(alerts, &alert);
    }
    if (alerts->link[0] == '\0') {
        CopyText(alerts->link, sizeof alerts->link, "https://meteoalarm.org");
    }
    return ANSWER_WEATHER;
}

// ---- The source ----------------------------------------------------------------------------

static int CoversByRegions(const PlaceInfo *place) {
    return PlaceCountry(place, 0) != NULL;
}

static int CoversByBoxes(const PlaceInfo *place) {
    return place->country[0] == '\0' && PlaceCountry(place, 1) != NULL;
}

static const char *CountryKey(const PlaceInfo *place) {
    const MeteoAlarmCountry *country = PlaceCountry(place, 1);
    return country != NULL ? country->slug : NULL;
}

static int FeedAddress(const PlaceInfo *place, char *out, size_t capacity) {
    const char *slug = CountryKey(place);
    if (slug == NULL || !FormatText(out, capacity, "%s%s", Plugin.meteoAlarmApi, slug)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

static enum AnswerKind ReadFeed(const char *atom, size_t length, const PlaceInfo *place,
                                AlertClock now, AlertList *alerts) {
    char codes[REGION_CODES_TEXT_CAPACITY], country[4];
    MeteoAlarmPlaceCodes(place->latitude, place->longitude, codes, sizeof codes, country,
                         sizeof country);
    return ReadMeteoAlarmFeed(atom, length, place, codes, now, alerts);
}

const AlertSource MeteoAlarmAlertSource = {
    "Europe (MeteoAlarm, EUMETNET)", CoversByRegions, FeedAddress, ReadFeed, 0, CountryKey};

const AlertSource MeteoAlarmBoxesSource = {
    "Europe (MeteoAlarm, EUMETNET)", CoversByBoxes, FeedAddress, ReadFeed, 0, CountryKey};
