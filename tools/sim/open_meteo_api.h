// JSON answers in the shapes of the Open-Meteo forecast API (/v1/forecast) and geocoding API
// (/v1/search), built from this service's own weather model.
//
// Both the HTTP port and the raw listener answer with these, so they take the query as
// decoded name/value pairs and return the status and body; the caller delivers them. Of the
// scenarios, the ones that change what is said are applied here (error, ratelimit, na,
// nulls, hostile, badjson); the ones that change how it is sent (empty to huge) are the
// caller's.
#pragma once

#include "scenarios.h"
#include "sim_util.h"

#include <ctime>

Answer ForecastAnswer(const QueryParameters &query, time_t utcNow, Scenario scenario);
Answer SearchAnswer(const QueryParameters &query, Scenario scenario);

// The scenario in force for a search: the control request's, or else the one the searched
// name selects when read as a Location ID (SIM500, SIMSTALL, ...).
Scenario SearchScenario(const QueryParameters &query);
