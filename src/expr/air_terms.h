// The air's terms: indices and their bands on the place's scale, the pollutants and the
// pollen, for now, a forecast day or an hour (a period as feed/air_quality.h counts it). Each
// returns its text in the value buffer: "N/A" where the air's answer has no value.
#ifndef NIMBREL_AIR_TERMS_H
#define NIMBREL_AIR_TERMS_H

#include "base/air_scales.h"

// The index on the place's scale ("42").
const char *AirIndexText(const char *locationId, int period);

// The index's band on the place's scale, through the language file ("Moderate").
const char *AirBandText(const char *locationId, int period);

// The place's scale, through the language file ("US AQI").
const char *AirScaleText(const char *locationId);

// A pollutant's concentration in µg/m³, with the locale's decimal separator ("7.1").
const char *AirAmountText(const char *locationId, int period, enum AirValue value);

// "µg/m³" in the plugin's encoding.
const char *AirUnitText(void);

// The plant with the highest pollen level and its level ("Birch: High"), "None" when every plant
// reads 0; through the language file.
const char *PollenText(const char *locationId, int period);

// One plant's pollen level now ("Moderate"), through the language file.
const char *PlantPollenText(const char *locationId, enum Plant plant);

#endif
