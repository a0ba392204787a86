// JSON answers in the shapes of MET Norway's Locationforecast 2.0 `complete` product
// (/weatherapi/locationforecast/2.0/complete) and Nowcast 2.0 `complete` product
// (/weatherapi/nowcast/2.0/complete), built from this service's own weather model, with
// the service's HTTP rules: a User-Agent is required (403 without one), coordinates carry at
// most four decimals (403 with more), and the answer's Expires and Last-Modified headers come
// with every answer, a request whose If-Modified-Since is not older than Last-Modified getting
// 304 with no body.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <ctime>
#include <string>

// How long an answer is fresh, and how often the model's data change.
const int kMetNorwayExpiresSeconds = 30 * 60;
const int kMetNorwayUpdateSeconds = 60 * 60;
// The nowcast is made anew every 5 minutes; its answers are fresh for 5 minutes.
const int kMetNorwayNowcastExpiresSeconds = 5 * 60;

// The answer carries Date, Expires and Last-Modified headers (but for refusals, which carry
// Date alone); a 304 has no body.
Answer LocationforecastAnswer(const QueryParameters &query, const std::string &userAgent,
                              const std::string &ifModifiedSince, time_t utcNow, Scenario scenario);

// The two-hour nowcast at a point of Norway, Sweden, Finland or Denmark: 5-minute steps from
// the current 5-minute boundary, precipitation rates where the radar covers the point. Points in
// the model area but outside those countries get 422, points outside it 404. Headers as above.
Answer NowcastAnswer(const QueryParameters &query, const std::string &userAgent,
                     const std::string &ifModifiedSince, time_t utcNow, Scenario scenario);

// The MET symbol code of a WMO code by day or night ("partlycloudy_day", "rain"): the code the
// service's answers carry for the weather model's hours.
std::string MetSymbolForWmo(int wmoCode, bool isDay);
