// The air-quality scales and pollen levels: the bands of the US and the European index, and
// each plant's levels by its count of grains. The English words stand here once, below every
// layer that writes, translates or draws them (the documents, the terms, the badges).
#ifndef NIMBREL_AIR_SCALES_H
#define NIMBREL_AIR_SCALES_H

// The plants whose pollen is counted, in the order the answers, documents and terms keep them.
enum Plant {
    PLANT_ALDER,
    PLANT_BIRCH,
    PLANT_GRASS,
    PLANT_MUGWORT,
    PLANT_OLIVE,
    PLANT_RAGWEED,
    PLANT_COUNT
};

// The values an air-quality answer gives for an instant, in the order the answers and the
// documents keep them: the two indices, the pollutants (µg/m³) and each plant's pollen
// (grains/m³).
enum AirValue {
    AIR_US_INDEX,
    AIR_EUROPEAN_INDEX,
    AIR_PM2_5,
    AIR_PM10,
    AIR_OZONE,
    AIR_NITROGEN_DIOXIDE,
    AIR_SULPHUR_DIOXIDE,
    AIR_CARBON_MONOXIDE,
    AIR_DUST,
    AIR_FIRST_POLLEN, // then one per plant, in the order of enum Plant
    AIR_VALUE_COUNT = AIR_FIRST_POLLEN + PLANT_COUNT
};

// The word of a value in the air's document and its terms ("us", "pm25", "birch"); NULL for a
// value outside. A constant text.
const char *AirValueWord(enum AirValue value);

// An index's scale. AIR_SCALE_AUTO is a setting only: the European index for a place in Europe,
// the US one elsewhere.
enum AirScale { AIR_SCALE_AUTO, AIR_SCALE_US, AIR_SCALE_EUROPEAN };

enum {
    AIR_BAND_COUNT = 6,    // bands 1 to 6 on either scale
    POLLEN_LEVEL_COUNT = 6 // levels 0 ("None") to 5 ("Very high")
};

// The band, 1 to 6, of `index` on `scale` (US or European): an index on a band's upper bound
// belongs to that band, and one above the top of the scale stays in the top band. The index is
// taken to the nearest whole number first, as the service writes it. Returns 0 for a negative
// or absent (NaN) index, or for AIR_SCALE_AUTO.
int AirBand(enum AirScale scale, double index);

// The English name of band 1 to 6 of `scale` ("Good" ... "Hazardous", "Good" ... "Extremely
// poor"); NULL for a band or scale outside. Returns a constant text.
const char *AirBandName(enum AirScale scale, int band);

// "US AQI" or "European AQI"; NULL for AIR_SCALE_AUTO. Returns a constant text.
const char *AirScaleName(enum AirScale scale);

// The setting's word of a scale ("Auto", "US", "European"), and the scale a setting's word names:
// AIR_SCALE_AUTO for any word that names none (matched without case).
const char *AirScaleSettingWord(enum AirScale scale);
enum AirScale AirScaleFromSetting(const char *word);

// The level, 0 to 5, of `grains` per cubic metre of `plant`'s pollen: 0 for none at all, then
// "Very low" for any count above 0, and the higher levels from their thresholds on. Returns -1
// for an absent (NaN) or negative count, or a plant outside.
int PollenLevel(enum Plant plant, double grains);

// The highest level among the plants' counts `grains` (NaN where absent), with the first plant
// at that level in *plant. Returns -1 (plant -1) when every count is absent.
int TopPollenLevel(const double grains[PLANT_COUNT], int *plant);

// The English word of level 0 to 5 ("None" ... "Very high"); NULL outside. A constant text.
const char *PollenLevelName(int level);

// The English name of a plant ("Birch"); NULL for a plant outside. A constant text.
const char *PlantName(enum Plant plant);

#endif
