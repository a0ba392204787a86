// The nowcast's terms: what the precipitation does in the next two hours, worked out at each call
// from the kept timeline and the clock, so that a change already past is never announced ahead.
// Both return their text in the value buffer.
#ifndef NIMBREL_NOWCAST_TERMS_H
#define NIMBREL_NOWCAST_TERMS_H

#include <stddef.h>

// "Rain starting around 14:20", "Snow stopping around 15:05", "Sleet for at least 2 hours",
// "No rain within 2 hours", or where the place has only hourly steps "Rain likely from about
// 14:00"; through the language file. "N/A" without a timeline.
const char *NowcastText(const char *locationId);

// The minutes until the change the sentence names; "N/A" when nothing changes within two hours
// or the place has only hourly steps, which cannot say the minute.
const char *NowcastMinutesText(const char *locationId);

// The language file's keys of the sentences, in the section "Nowcast": index 0 to
// NOWCAST_KEY_COUNT - 1 into `out`. Returns 0 for an index outside.
enum { NOWCAST_KEY_COUNT = 16 };
int NowcastKeyAt(int index, char *out, size_t capacity);

#endif
