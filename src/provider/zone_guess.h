// The place's zone when its forecast names none (MET Norway's): from its place search, the last
// Open-Meteo answer kept for it, or a guess from the computer's clock and its longitude.
#ifndef NIMBREL_ZONE_GUESS_H
#define NIMBREL_ZONE_GUESS_H

#include "provider/alerts.h"
#include "provider/metno.h"

// Fills `clock` for the point `latitude`,`longitude` at `now`. The place's zone is, in this
// order: `zone`, the one its place search named (or empty), where the system knows its rules;
// the one the last Open-Meteo answer kept for the call's Location ID named, or else that
// answer's one offset, which may be from before a change of summer time; else a guess from the
// computer's clock and the place's longitude, named by its hours ("GMT-8", "GMT"). With a zone,
// every time of the answer is read by its rules at its own instant.
void MetClockFor(const char *zone, double latitude, double longitude, AlertClock now,
                 MetNorwayClock *clock);

#endif
