// Active alerts for a point, in the shape of the National Weather Service's alerts API
// (GET /alerts/active?point=LAT,LON on api.weather.gov): a GeoJSON FeatureCollection of CAP
// alerts, and RFC 7807 problem documents for refused requests.
//
// Coverage is the United States, as four boxes (the contiguous states, Alaska, Hawaii, Puerto
// Rico). Inside it, a point whose latitude has an odd whole part (absolute value, truncated:
// 39.74 and -39.74 give 39) has two alerts, a Wind Advisory and then a Winter Storm Warning;
// an even one has none. A point outside gets an empty collection.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <ctime>
#include <string>

// `userAgent` is the request's User-Agent header (empty when it has none). Of the scenarios, the
// ones that change what is said are applied here; the ones that change how it is sent (empty to
// huge) are the caller's.
Answer ActiveAlertsAnswer(const QueryParameters &query, const std::string &userAgent, time_t utcNow,
                          Scenario scenario);
