// The current-conditions expression.
#ifndef NIMBREL_CURRENT_H
#define NIMBREL_CURRENT_H

// Fills the expression with the current conditions at the location: waits for the plugin
// mutex, probes the Current feed, replaces every known term. Returns the expression buffer,
// the probe's error text, or the time-out text.
const char *CurrentConditionsText(const char *expression, const char *locationId,
                                  const char *unitType, const char *degreeFlag);

// The help text that lists the current-conditions terms.
const char *CurrentTermsHelp(void);

#endif
