// Active alerts of three national services for a point, each in the shape of its public answer:
//
//   GET /collections/weather-alerts/items?bbox=W,S,E,N&lang=en&limit=N&f=json
//       Environment and Climate Change Canada's alerts collection (OGC API - Features): every
//       forecast region's alert whose bounds meet the box, with the region's polygon, as GeoJSON.
//   GET /alerts?lat=..&lon=..
//       Bright Sky's warnings of the Deutscher Wetterdienst for the point's municipality.
//   GET /weatherapi/metalerts/2.0/current.json?lat=..&lon=..
//       MET Norway's MetAlerts 2.0 for the point, as GeoJSON.
//
// The places and alerts are this service's own invention; tools/sim/README.md lists them.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <ctime>
#include <string>

// Of the scenarios, the ones that change what is said are applied here; the ones that change
// how it is sent (empty to huge) are the caller's.
Answer CanadaAlertsAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario);
Answer GermanyAlertsAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario);
// `userAgent` is the request's User-Agent header: MET Norway refuses requests without one that
// names the application.
Answer NorwayAlertsAnswer(const QueryParameters &query, const std::string &userAgent, time_t utcNow,
                          Scenario scenario);
