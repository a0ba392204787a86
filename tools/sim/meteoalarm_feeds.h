// Weather warnings of Europe's national services, one Atom feed per country, in the shape of
// MeteoAlarm's legacy feeds:
//
//   GET /feeds/meteoalarm-legacy-atom-SLUG
//
// SLUG is the country's English name as the service spells it (`poland`, `united-kingdom`,
// `republic-of-north-macedonia`, ...). Each entry is one alert in one language for one area,
// located by a region code (EMMA_ID or NUTS3) or by a CAP polygon; one alert repeats over several
// entries with the same identifier. The warnings are this service's own, over real region codes,
// timed against the service clock; tools/sim/README.md lists them.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <ctime>
#include <string>

// The feed of the country `slug`, at the service clock `utcNow`; 404 for a slug the service does
// not know. Of the scenarios it applies the ones that change what is said (error, ratelimit,
// hostile, na and nulls, badjson); the ones that change how it is sent (empty to huge) are the
// caller's.
Answer MeteoalarmFeedAnswer(const std::string &slug, time_t utcNow, Scenario scenario);
