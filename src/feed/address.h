// Request addresses of the weather service's feeds.
#ifndef NIMBREL_ADDRESS_H
#define NIMBREL_ADDRESS_H

#include <stddef.h>

// The unit code for the per-call unit type: "m" for Metric, "s" for English (either in any
// case); any other unit type sends the default unit type's text as it stands.
const char *UnitCode(void);

// UnitCode for the unit type `unit` instead of the call's.
const char *UnitCodeOf(const char *unit);

// The next pseudo-random number, 0 to 999, for the random tag that defeats caches.
int RandomTag(void);

// Percent-encodes every byte of `text` but the unreserved ones (letters, digits, "-._~").
// Returns 1 when it fit, else 0 (out empty).
int PercentEncode(const char *text, char *out, size_t capacity);

// Each builds its address in the request address field and returns it; each upper-cases the
// per-call Location ID first. The field is empty when the address would not fit.
const char *CurrentAddress(void);
const char *ForecastAddress(void);
const char *DetailsAddress(void);
const char *HourlyAddress(void);

// The local page of the per-call Location ID, which names its radar picture, in the request
// address field, as the others; the Location ID goes as the call gave it, not upper-cased.
const char *LocalPageAddress(void);

#endif
