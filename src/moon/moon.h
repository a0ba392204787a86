// Moon values computed from the clock: phase index and name, illumination, phase age, the next
// full and new moon, and the moon's age. Each operation has a form that takes the instant (a
// file time, see OsUtcNow) and one that reads the clock.
#ifndef NIMBREL_MOON_H
#define NIMBREL_MOON_H

#include <stddef.h>
#include <stdint.h>

enum { MOON_PHASE_COUNT = 8 }; // phase indexes 1 to 8

// The fraction of the current lunation at `instant`, measured from `reference`: 0 new moon,
// 0.5 full moon, always 0 <= F < 1.
double LunationFraction(uint64_t instant, uint64_t reference);

// The phase index 1 to 8. A positive offset looks offset + 1 days ahead; zero and negative
// offsets read the instant itself.
int MoonPhaseIndexAt(uint64_t now, int offset);
int MoonPhaseIndex(int offset);

// The phase name of MoonPhaseIndex(offset): built in, or from the language file's "Moon"
// section. Returns a constant text or the value buffer.
const char *MoonPhaseNameAt(uint64_t now, int offset);
const char *MoonPhaseName(int offset);

// The built-in English name of phase index 1 to 8 (an index outside is held at the nearer end).
// Returns a constant text.
const char *MoonPhaseEnglish(int index);

// Writes the language file's key of phase index `index` ("Moon1" to "Moon8") into `out`.
// Returns `out`.
char *MoonPhaseKey(int index, char *out, size_t capacity);

// The illuminated percentage in the locale's number form (age 0), or the phase age in
// fortieths of a lunation (age nonzero). A non-negative offset is in days, a negative one in
// hours. Returns the value buffer.
const char *MoonIlluminationAt(uint64_t now, int offset, int age);
const char *MoonIllumination(int offset, int age);

// The UTC date and time of the next full moon (full nonzero) or new moon, in the locale's short
// date and time forms. Returns the value buffer.
const char *NextMoonDateAt(uint64_t now, int full);
const char *NextMoonDate(int full);

// The moon's age, "N days M hours". Returns the value buffer.
const char *MoonAgeAt(uint64_t now);
const char *MoonAge(void);

#endif
