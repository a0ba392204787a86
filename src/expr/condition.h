// The condition description term of every expression.
#ifndef NIMBREL_CONDITION_H
#define NIMBREL_CONDITION_H

// The condition description of one period: t = 0 the current conditions, t > 0 occurrence t of
// the forecast, t < 0 occurrence -t of the hourly forecast; with a language, the condition code
// of icon occurrence i instead, translated. Always with the default unit type. Returns the
// value buffer or a constant text.
const char *ConditionText(const char *locationId, int t, int i);

#endif
