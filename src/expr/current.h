// The current-conditions expression.
#ifndef NIMBREL_CURRENT_H
#define NIMBREL_CURRENT_H

// Fills the expression with the current conditions at the location: probes the Current feed,
// replaces every known term. The caller holds the frame (plugin/expr_frame.h). Returns the
// expression buffer or the probe's error text.
const char *FillCurrent(const char *expression, const char *locationId, const char *unitType,
                        const char *degreeFlag);

// The help text that lists the current-conditions terms.
const char *CurrentTermsHelp(void);

#endif
