// JSON answers in the shape of the Open-Meteo air-quality API (/v1/air-quality): indices,
// pollutants and pollen by the hour for a point, from this service's own invention.
//
// The point's zone, elevation and model come from the same location model as the JSON forecast
// (grid_weather.h), so the two answers agree on them. A few recorded places (found by the place
// search as CLEANAIR, SMOKE, SMOKEHAZARD, SPRING, SPRINGEDGE and FARAWAY) have fixed current
// values and daily peaks; any other point gets mostly clean air derived from the point. Pollen
// exists only inside the European domain's box and for its first 97 hours; nothing exists past
// the global domain's 121 hours.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <ctime>

// The answer to GET /v1/air-quality with the decoded query, at the service clock `utcNow`.
// Of the scenarios it applies the ones that change what is said (error, ratelimit, na, nulls,
// hostile, badjson); the ones that change how it is sent (empty to huge) are the caller's.
Answer AirQualityAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario);
