// The documents the local weather service answers with.
//
// The plugin reads these documents as plain text, counting occurrences of
// literal marks, so the order of elements matters as much as their content:
//
// - Current feed: units in <head>; <dnam>, <tm>, <lat>, <lon>, <sunr>, <suns>,
//   <zone> in <loc>; then the alert section <swa> (before any other <t>, so its
//   titles come first in the document and its links are the only <l>); then
//   <cc>, where <t> occurs as condition, wind direction, UV text in that order,
//   and <d> as pressure trend, then wind degrees.
// - Forecast feed: one <sunr>/<suns> in <loc> that belongs to no day, then per
//   day an element with the attributes t="<English day name>" and dt="Mon D",
//   its <hi>, <low>, <sunr>, <suns>, then a day part and a night part, each
//   with one <icon>, two <t> (condition, wind direction), <s>, <d>, <ppcp>,
//   <hmid>.
// - Hourly feed: per hour an element with c="<hour of day>" holding <tmp>,
//   <flik>, <icon>, two <t> (condition, wind direction), <s>, <d>, <ppcp>,
//   <hmid>, <dewp>.
// - Narrative page: "mpdData['narr'] = new Array();" and then one entry per
//   day, so day d is the (d + 1)-th text after that mark; each entry holds seven
//   quoted fields, the narrative sixth and the period name seventh; the issue
//   stamp is the one "mpdNObj('".
// - Local page: one "new mw_propsObj(" whose second quoted field is the radar
//   image address on this service, followed by a field holding "Radar".
#pragma once

#include "weather_model.h"

#include <ctime>
#include <string>

struct DocumentOptions {
    bool metric = false;       // metric units, converted from the English values
    bool notAvailable = false; // observed and forecast values read "N/A"
    bool dashIcons = false;    // every condition code reads "-"
    int alertCount = 0;        // alerts in the current feed's alert section
    std::string baseUrl;       // "http://127.0.0.1:PORT", for addresses back to us
    time_t utcNow = 0;
};

std::string CurrentFeed(const Location &location, const DocumentOptions &options);
// days is clamped to 1 to kMaxForecastDays, hours to 1 to kMaxForecastHours.
std::string ForecastFeed(const Location &location, int days, const DocumentOptions &options);
std::string HourlyFeed(const Location &location, int hours, const DocumentOptions &options);
std::string NarrativePage(const Location &location, const DocumentOptions &options);
std::string LocalPage(const Location &location, const DocumentOptions &options);
std::string AlertPage(const Location &location, int alertNumber);

// The feed's own error answer; errorType must be a single character so that
// the element's head, "<err type="2">", is exactly 14 characters long.
std::string ServiceErrorDocument(char errorType, const std::string &message);
// What a failing web server sends: none of the feed's marks.
std::string ServerErrorPage();
