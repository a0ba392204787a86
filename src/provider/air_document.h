// The air's document: a place's air as its terms and badge read it, written from an
// air-quality answer. Pure: no file, no clock, no network.
//
// Every value is written as the service gave it (indices whole, concentrations in µg/m³ with one
// decimal, pollen in grains/m³), or empty where it gave none, under its word (base/air_scales.h):
// the current values as <WORD>, each local day's highest indices and pollen level as <dus>,
// <deu> and <dpollen>, each hour's as <hus>, <heu>, <hpm25> and <hpollen>. A pollen level is
// written "LEVEL PLANT" (enum Plant). The head says whether the place is in Europe (<europe>),
// when the first hour begins (<first>, UTC minutes), the place's offset (<offset>, minutes) and
// the local day of the first hour (<firstday>, days since 1970-01-01), from which a reader finds
// the day or hour it is asked for at its own clock.
#ifndef NIMBREL_AIR_DOCUMENT_H
#define NIMBREL_AIR_DOCUMENT_H

#include "base/grow_text.h"
#include "provider/derive.h"

// Writes the air's document of context->air (none: a document with no value) into `out`.
void AirDocument(const RenderContext *context, GrowText *out);

#endif
