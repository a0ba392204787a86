// The air's values as its terms and badge ask for them: by the place, a period and a value's
// word, read from the air's document (provider/air_document.h), which is asked for, as any
// document, when it is stale or missing, and only then.
//
// A period is 0 for now, d > 0 for forecast day d (1 is the place's today), or -h for hour h
// (1 is the first hour that begins after now), counted at the clock of the call.
#ifndef NIMBREL_AIR_QUALITY_H
#define NIMBREL_AIR_QUALITY_H

#include "base/air_scales.h"

// The text of the value `word` ("us", "pm25", "birch"; for a day or an hour also "pollen") for
// `period` of the place, in the value buffer; NULL where there is none to show: no document, a
// day or hour beyond the answer, a value the service did not give. A service's refusal or a
// cache that cannot be read gives their texts ("ERROR: ..."), as every feed query does.
const char *AirText(const char *locationId, int period, const char *word);

// The scale the place's indices are shown on: the setting's, or where it is Auto, the European
// index for a place in Europe and the US index elsewhere.
enum AirScale AirScaleFor(const char *locationId);

// The band, 1 to 6, of an index as AirText gives it (NULL, a number, or an error text) on
// `scale`; 0 when it is no index.
int AirBandOf(const char *indexText, enum AirScale scale);

// The band, 1 to 6, of the place's index for `period` on `scale`; 0 when there is no index.
int AirBandFor(const char *locationId, int period, enum AirScale scale);

// The pollen of a period: the highest level among the plants and the plant at it (enum Plant).
// Returns the level, 0 to 5, or -1 when there is no count; *plant is -1 where no plant stands
// out (no count, or none above 0).
int AirPollenFor(const char *locationId, int period, int *plant);

#endif
