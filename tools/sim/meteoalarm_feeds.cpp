#include "meteoalarm_feeds.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

const char *const kAtomType = "application/atom+xml; charset=utf-8";
const char *const kFeedBase = "https://feeds.meteoalarm.org/feeds/meteoalarm-legacy-atom-";

// The member countries' feeds: slug, the name in the feed's titles, and MeteoAlarm's own region
// code (the United Kingdom's is UK, not GB), which the related link carries.
const struct Country {
    const char *slug, *name, *region;
} kCountries[] = {
    {"andorra", "Andorra", "AD"},
    {"austria", "Austria", "AT"},
    {"belgium", "Belgium", "BE"},
    {"bosnia-herzegovina", "Bosnia and Herzegovina", "BA"},
    {"bulgaria", "Bulgaria", "BG"},
    {"croatia", "Croatia", "HR"},
    {"cyprus", "Cyprus", "CY"},
    {"czechia", "Czechia", "CZ"},
    {"denmark", "Denmark", "DK"},
    {"estonia", "Estonia", "EE"},
    {"finland", "Finland", "FI"},
    {"france", "France", "FR"},
    {"germany", "Germany", "DE"},
    {"greece", "Greece", "GR"},
    {"hungary", "Hungary", "HU"},
    {"iceland", "Iceland", "IS"},
    {"ireland", "Ireland", "IE"},
    {"israel", "Israel", "IL"},
    {"italy", "Italy", "IT"},
    {"latvia", "Latvia", "LV"},
    {"lithuania", "Lithuania", "LT"},
    {"luxembourg", "Luxembourg", "LU"},
    {"malta", "Malta", "MT"},
    {"moldova", "Moldova", "MD"},
    {"montenegro", "Montenegro", "ME"},
    {"netherlands", "Netherlands", "NL"},
    {"norway", "Norway", "NO"},
    {"poland", "Poland", "PL"},
    {"portugal", "Portugal", "PT"},
    {"republic-of-north-macedonia", "Republic of North Macedonia", "MK"},
    {"romania", "Romania", "RO"},
    {"serbia", "Serbia", "RS"},
    {"slovakia", "Slovakia", "SK"},
    {"slovenia", "Slovenia", "SI"},
    {"spain", "Spain", "ES"},
    {"sweden", "Sweden", "SE"},
    {"switzerland", "Switzerland", "CH"},
    {"ukraine", "Ukraine", "UA"},
    {"united-kingdom", "United Kingdom", "UK"},
};

// When an entry's alert stands against the service clock.
enum class Timing {
    Current,   // sent 3 hours ago, in force from 2 hours ago to 10 hours on
    Expired,   // sent 15 hours ago, in force from 14 hours ago until an hour ago
    Cancelled, // the alert in force now, its cancellation sent 30 minutes ago
};

// One entry: one alert (its identifier) in one language (infoIndex) for one area (areaIndex).
struct FeedEntry {
    const char *slug;
    const char *identifier; // shared by every entry of one alert
    int infoIndex, areaIndex;
    const char *title; // English whatever the entry's language; may hold a line break
    const char *event; // in the entry's language
    const char *area;
    const char *scheme; // "EMMA_ID" or "NUTS3" for a coded area; null for a polygon
    const char *code;   // the area's code, with a scheme
    double box[4];      // a polygon's south, west, north, east, without a scheme
    const char *severity, *messageType, *status;
    Timing timing;
};

// Warsaw (52.23, 21.01) lies in PL1465 and nowhere else; Madrid (40.42, -3.70) in ES219, Zaragoza
// (41.65, -0.89) in ES107; Paris (48.86, 2.35) in NUTS3 FR101 (EMMA FR101, and FR067 around it),
// Essonne is FR104; Athens (37.98, 23.73) in GR011. London (51.51, -0.13), Glasgow and Zurich
// (47.37, 8.55) are inside or outside the polygons as their titles say.
const FeedEntry kEntries[] = {
    // Warsaw: one alert in two languages and over a second area, a thunderstorm, a green entry,
    // an expired one, a cancellation, an update, a warning elsewhere in Poland and an exercise.
    {"poland",
     "2.49.0.0.616.0.PL.W1",
     0,
     0,
     "Orange Wind Warning issued for Poland - Warszawa",
     "Orange wind warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.W1",
     1,
     0,
     "Orange Wind Warning issued for Poland - Warszawa",
     "Silny wiatr",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.W1",
     0,
     1,
     "Orange Wind Warning issued for Poland - warszawski zachodni",
     "Orange wind warning",
     "warszawski zachodni",
     "EMMA_ID",
     "PL1432",
     {},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.W2",
     0,
     0,
     "Yellow Thunderstorm Warning issued for Poland - Warszawa",
     "Yellow thunderstorm warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Moderate",
     "Alert",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.G1",
     0,
     0,
     "Green Wind Warning issued for Poland - Warszawa",
     "Green wind warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Minor",
     "Alert",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.X1",
     0,
     0,
     "Red Snow-ice Warning issued for Poland - Warszawa",
     "Red snow-ice warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Extreme",
     "Alert",
     "Actual",
     Timing::Expired},
    {"poland",
     "2.49.0.0.616.0.PL.C1",
     0,
     0,
     "Orange Fog Warning issued for Poland - Warszawa",
     "Orange fog warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Severe",
     "Cancel",
     "Actual",
     Timing::Cancelled},
    {"poland",
     "2.49.0.0.616.0.PL.U1",
     0,
     0,
     "Orange Rain Warning issued for Poland - Warszawa",
     "Orange rain warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Severe",
     "Update",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.F1",
     0,
     0,
     "Red Flood Warning issued for Poland - Gda\u0144sk",
     "Red flood warning",
     "Gda\u0144sk",
     "EMMA_ID",
     "PL2261",
     {},
     "Extreme",
     "Alert",
     "Actual",
     Timing::Current},
    {"poland",
     "2.49.0.0.616.0.PL.E1",
     0,
     0,
     "Red Wind Warning issued for Poland - Warszawa",
     "Red wind warning",
     "Warszawa",
     "EMMA_ID",
     "PL1465",
     {},
     "Extreme",
     "Alert",
     "Exercise",
     Timing::Current},
    // Madrid and Zaragoza.
    {"spain",
     "2.49.0.0.724.0.ES.H1",
     0,
     0,
     "Yellow High-temperature Warning issued for Spain - Metropolitana y Henares",
     "Yellow high-temperature warning",
     "Metropolitana y Henares",
     "EMMA_ID",
     "ES219",
     {},
     "Moderate",
     "Alert",
     "Actual",
     Timing::Current},
    {"spain",
     "2.49.0.0.724.0.ES.H2",
     0,
     0,
     "Orange High-temperature Warning issued for Spain - Ribera del Ebro de Zaragoza",
     "Orange high-temperature warning",
     "Ribera del Ebro de Zaragoza",
     "EMMA_ID",
     "ES107",
     {},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    // Paris and Essonne, by NUTS3 code.
    {"france",
     "2.49.0.0.250.0.FR.P1",
     0,
     0,
     "Orange Flooding Warning issued for France - Paris",
     "Orange flooding warning",
     "Paris",
     "NUTS3",
     "FR101",
     {},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    {"france",
     "2.49.0.0.250.0.FR.P2",
     0,
     0,
     "Yellow Flooding Warning issued for France - Essonne",
     "Yellow flooding warning",
     "Essonne",
     "NUTS3",
     "FR104",
     {},
     "Moderate",
     "Alert",
     "Actual",
     Timing::Current},
    // London: one alert over two polygons, the first around London; a warning around Glasgow.
    {"united-kingdom",
     "2.49.0.0.826.0.UK.R1",
     0,
     0,
     "Yellow Rain\n Warning issued for United Kingdom - London & South East England",
     "Yellow rain warning",
     "London & South East England",
     nullptr,
     nullptr,
     {51.3, -0.5, 51.7, 0.3},
     "Moderate",
     "Alert",
     "Actual",
     Timing::Current},
    {"united-kingdom",
     "2.49.0.0.826.0.UK.R1",
     0,
     1,
     "Yellow Rain\n Warning issued for United Kingdom - London & South East England",
     "Yellow rain warning",
     "London & South East England",
     nullptr,
     nullptr,
     {50.6, -1.8, 51.0, -0.9},
     "Moderate",
     "Alert",
     "Actual",
     Timing::Current},
    {"united-kingdom",
     "2.49.0.0.826.0.UK.S1",
     0,
     0,
     "Orange Wind\n Warning issued for United Kingdom - Strathclyde",
     "Orange wind warning",
     "Strathclyde",
     nullptr,
     nullptr,
     {55.6, -4.8, 56.1, -3.8},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    // Zurich.
    {"switzerland",
     "2.49.0.0.756.0.CH.T1",
     0,
     0,
     "Orange Thunderstorm Warning issued for Switzerland - Z\u00FCrich",
     "Orange thunderstorm warning",
     "Z\u00FCrich",
     nullptr,
     nullptr,
     {47.2, 8.3, 47.6, 8.9},
     "Severe",
     "Alert",
     "Actual",
     Timing::Current},
    // Athens: only the green "no warning" entry.
    {"greece",
     "2.49.0.0.300.0.GR.G1",
     0,
     0,
     "Green Wind Warning issued for Greece - ATTIKI",
     "Green wind warning",
     "ATTIKI",
     "EMMA_ID",
     "GR011",
     {},
     "Minor",
     "Alert",
     "Actual",
     Timing::Current},
};

const char kFeed[] =
    R"xml(<?xml version="1.0" encoding="UTF-8"?>
<feed xmlns="http://www.w3.org/2005/Atom" xmlns:cap="urn:oasis:names:tc:emergency:cap:1.2">
  <id>{{FEED}}</id>
  <title>MeteoAlarm {{COUNTRY}}</title>
  <rights>Licensed under terms equivalent to CC BY 4.0, with additional requirements for redistributing outlined in our Terms and Conditions</rights>
  <updated>{{UPDATED}}</updated>
  <link rel="hub" href="https://pubsubhubbub.appspot.com/"/>
{{ENTRIES}}</feed>
)xml";

// An entry; LOCATION is a coded area's geocode and link, or a polygon.
const char kEntry[] = R"xml(  <entry>
{{LOCATION}}    <cap:areaDesc>{{AREA}}</cap:areaDesc>
    <cap:event>{{EVENT}}</cap:event>
    <cap:sent>{{SENT}}</cap:sent>
    <cap:expires>{{EXPIRES}}</cap:expires>
    <cap:effective>{{ONSET}}</cap:effective>
    <cap:onset>{{ONSET}}</cap:onset>
    <cap:certainty>{{CERTAINTY}}</cap:certainty>
    <cap:severity>{{SEVERITY}}</cap:severity>
    <cap:urgency>{{URGENCY}}</cap:urgency>
    <cap:scope>Public</cap:scope>
    <cap:message_type>{{MESSAGE_TYPE}}</cap:message_type>
    <cap:status>{{STATUS}}</cap:status>
    <cap:identifier>{{IDENTIFIER}}</cap:identifier>
    <link type="application/cap+xml" href="{{CAP}}"/>
    <link title="{{COUNTRY}}" rel="related" href="https://meteoalarm.org?region={{REGION}}" hreflang="en"/>
    <author><name>meteoalarm.org</name><uri>https://meteoalarm.org</uri></author>
    <published>{{PUBLISHED}}</published>
    <id>{{CAP}}?index_info={{INFO_INDEX}}&amp;index_area={{AREA_INDEX}}&amp;{{PLACE_INDEX}}=0</id>
    <title>{{TITLE}}</title>
    <updated>{{PUBLISHED}}</updated>
  </entry>
)xml";

const char kGeocode[] = R"xml(    <cap:geocode>
      <valueName>{{SCHEME}}</valueName>
      <value>{{CODE}}</value>
    </cap:geocode>
    <link title="{{AREA}}" href="https://meteoalarm.org?geocode={{SCHEME}}:{{CODE}}" hreflang="en"/>
)xml";

const char kPolygon[] = "    <cap:polygon>{{POLYGON}}</cap:polygon>\n";

// A well-formed feed of a hostile shape: an entity that expands to some 10 GB if a reader expands
// entities, markup hidden in CDATA, an element nested deeper than a recursive reader may go,
// elements named twice or in another namespace, times that are no times, unknown severities,
// polygons of text, of numbers out of range and of many points, huge and hostile texts, an
// entry for Warsaw's region whose every value is unusable, and CAP elements outside any entry.
const char kHostileFeed[] =
    R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE feed [
  <!ENTITY lol "lollollollollollollollollollol">
  <!ENTITY lol1 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">
  <!ENTITY lol2 "&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;">
  <!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;">
  <!ENTITY lol4 "&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;">
  <!ENTITY lol5 "&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;">
  <!ENTITY lol6 "&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;">
  <!ENTITY lol7 "&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;">
  <!ENTITY lol8 "&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;">
  <!ENTITY lol9 "&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;">
]>
<feed xmlns="http://www.w3.org/2005/Atom" xmlns:cap="urn:oasis:names:tc:emergency:cap:1.2">
  <title>&lol9;</title>
  <cap:severity>Extreme</cap:severity>
  <cap:geocode><valueName>EMMA_ID</valueName><value>PL1465</value></cap:geocode>
  <entry>
    <cap:geocode><valueName>EMMA_ID</valueName><value>PL1465</value></cap:geocode>
    <cap:geocode><valueName>EMMA_ID</valueName><value>{{TEXT}}</value></cap:geocode>
    <cap:areaDesc><![CDATA[</cap:areaDesc><cap:severity>Extreme</cap:severity><entry>]]></cap:areaDesc>
    <cap:event>&lol9;</cap:event>
    <cap:sent>2026-13-45T25:61:00+99:00</cap:sent>
    <cap:expires>javascript:alert(1)</cap:expires>
    <cap:onset>&#x32;&#x30;&#x32;&#x36;</cap:onset>
    <cap:severity>Catastrophic</cap:severity>
    <cap:severity>-1</cap:severity>
    <other:severity xmlns:other="urn:example:other">Extreme</other:severity>
    <cap:message_type>Alert</cap:message_type>
    <cap:status>Actual</cap:status>
    <cap:identifier></cap:identifier>
    <cap:polygon>abc,def 1e308,-1e308 91,181 52.2</cap:polygon>
    <link type="application/cap+xml" href="javascript:alert(1)"/>
    <title>{{TEXT}}</title>
    <x_nested>{{DEEP}}</x_nested>
  </entry>
  <entry>
    <cap:areaDesc>{{TEXT}}</cap:areaDesc>
    <cap:event>{{TEXT}}</cap:event>
    <cap:sent>{{SENT}}</cap:sent>
    <cap:expires>{{EXPIRES}}</cap:expires>
    <cap:onset>{{SENT}}</cap:onset>
    <cap:severity>Severe</cap:severity>
    <cap:message_type>Alert</cap:message_type>
    <cap:status>Actual</cap:status>
    <cap:identifier>{{TEXT}}</cap:identifier>
    <cap:polygon>{{MANY_POINTS}}</cap:polygon>
    <title>{{TEXT}}</title>
  </entry>
  <entry/>
  <entry><title/><cap:polygon/><cap:geocode/><cap:geocode><value/></cap:geocode></entry>
</feed>
)xml";

// The text as it may stand in XML character data or an attribute value.
std::string XmlEscaped(const std::string &text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A rectangle as a CAP polygon: "lat,lon" pairs separated by blanks, the first repeated last.
std::string CapRectangle(const double box[4]) {
    char text[256];
    std::snprintf(text, sizeof text, "%g,%g %g,%g %g,%g %g,%g %g,%g", box[0], box[1], box[2],
                  box[1], box[2], box[3], box[0], box[3], box[0], box[1]);
    return text;
}

// A closed ring of `count` points around Warsaw: valid, but long.
std::string ManyPointRing(int count) {
    std::string ring;
    char point[64];
    for (int i = 0; i < count; ++i) {
        double turn = 6.283185307179586 * (i % (count - 1)) / (count - 1);
        std::snprintf(point, sizeof point, "%s%.4f,%.4f", i == 0 ? "" : " ",
                      52.23 + 0.3 * std::sin(turn), 21.01 + 0.5 * std::cos(turn));
        ring += point;
    }
    return ring;
}

// "<x><x>...</x></x>" nested `depth` deep.
std::string DeepElements(int depth) {
    std::string text;
    text.reserve(static_cast<size_t>(depth) * 7);
    for (int i = 0; i < depth; ++i)
        text += "<x>";
    for (int i = 0; i < depth; ++i)
        text += "</x>";
    return text;
}

// The CAP message's address, the same for every entry of one alert.
std::string CapAddress(const FeedEntry &entry) {
    uint64_t hash = TextHash(entry.identifier);
    uint64_t more = TextHash("uuid", hash);
    char uuid[48];
    std::snprintf(uuid, sizeof uuid, "%08x-%04x-4%03x-%04x-%012llx",
                  static_cast<unsigned>(hash >> 32), static_cast<unsigned>((hash >> 16) & 0xFFFF),
                  static_cast<unsigned>(hash & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((more >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(more & 0xFFFFFFFFFFFFULL));
    return std::string("https://feeds.meteoalarm.org/api/v1/warnings/feeds-") + entry.slug + "/" +
           uuid;
}

std::string EntryText(const FeedEntry &entry, const Country &country, time_t utcNow, bool blank) {
    long sent = -3 * 3600, onset = -2 * 3600, expires = 10 * 3600;
    if (entry.timing == Timing::Expired) {
        sent = -15 * 3600;
        onset = -14 * 3600;
        expires = -3600;
    } else if (entry.timing == Timing::Cancelled) {
        sent = -30 * 60;
    }
    // Under na and nulls every CAP value is empty.
    auto value = [&](const std::string &text) { return blank ? std::string() : XmlEscaped(text); };
    std::string location =
        entry.scheme != nullptr
            ? FillTemplate(kGeocode, {{"SCHEME", entry.scheme},
                                      {"CODE", value(entry.code)},
                                      {"AREA", XmlEscaped(entry.area)}})
            : FillTemplate(kPolygon, {{"POLYGON", value(CapRectangle(entry.box))}});
    return FillTemplate(
        kEntry, {{"LOCATION", location},
                 {"AREA", value(entry.area)},
                 {"EVENT", value(entry.event)},
                 {"SENT", value(IsoTime(utcNow, "+00:00", sent))},
                 {"EXPIRES", value(IsoTime(utcNow, "+00:00", expires))},
                 {"ONSET", value(IsoTime(utcNow, "+00:00", onset))},
                 {"CERTAINTY", value("Likely")},
                 {"SEVERITY", value(entry.severity)},
                 {"URGENCY", value(entry.timing == Timing::Expired ? "Past" : "Immediate")},
                 {"MESSAGE_TYPE", value(entry.messageType)},
                 {"STATUS", value(entry.status)},
                 {"IDENTIFIER", value(entry.identifier)},
                 {"CAP", CapAddress(entry)},
                 {"COUNTRY", XmlEscaped(country.name)},
                 {"REGION", country.region},
                 {"PUBLISHED", IsoTime(utcNow, "Z", sent)},
                 {"INFO_INDEX", std::to_string(entry.infoIndex)},
                 {"AREA_INDEX", std::to_string(entry.areaIndex)},
                 {"PLACE_INDEX", entry.scheme != nullptr ? "index_geocode" : "index_polygon"},
                 {"TITLE", XmlEscaped(entry.title)}});
}

Answer Text(int status, const std::string &body) {
    Answer answer;
    answer.status = status;
    answer.contentType = "text/plain; charset=utf-8";
    answer.body = body;
    return answer;
}

} // namespace

Answer MeteoalarmFeedAnswer(const std::string &slug, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::ServiceError)
        return Text(500, "500 Internal Server Error\n");
    if (scenario == Scenario::RateLimit) {
        Answer answer = Text(429, "429 Too Many Requests\n");
        answer.headers.push_back({"Retry-After", "60"});
        return answer;
    }
    const Country *country = nullptr;
    for (const Country &candidate : kCountries) {
        if (slug == candidate.slug)
            country = &candidate;
    }
    if (country == nullptr)
        return Text(404, "not found: /feeds/meteoalarm-legacy-atom-" + EchoText(slug) + "\n");
    Answer answer;
    answer.contentType = kAtomType;
    if (scenario == Scenario::Hostile) {
        answer.body = FillTemplate(
            kHostileFeed,
            {{"TEXT", "&lt;b&gt;&quot;Storm&quot;&lt;/b&gt; %s%n&#x9;" + std::string(6000, 'w')},
             {"DEEP", DeepElements(kHostileDepth)},
             {"MANY_POINTS", ManyPointRing(20000)},
             {"SENT", IsoTime(utcNow, "+00:00", -3600)},
             {"EXPIRES", IsoTime(utcNow, "+00:00", 3600)}});
        return answer;
    }
    bool blank = WantsNulls(scenario);
    std::string entries;
    for (const FeedEntry &entry : kEntries) {
        if (slug == entry.slug)
            entries += EntryText(entry, *country, utcNow, blank);
    }
    answer.body = FillTemplate(kFeed, {{"FEED", kFeedBase + slug},
                                       {"COUNTRY", XmlEscaped(country->name)},
                                       {"UPDATED", IsoTime(utcNow, "Z", -5 * 60)},
                                       {"ENTRIES", entries}});
    return CutUnderBadJson(answer, scenario);
}
