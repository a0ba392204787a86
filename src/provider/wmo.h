// WMO weather codes, as the forecast model gives them, in the feed's terms: the condition code
// 0 to 47 that names the picture, and the condition's own words.
#ifndef NIMBREL_WMO_H
#define NIMBREL_WMO_H

// The feed's condition code of a WMO code by day (isDay nonzero) or by night; -1 for a code the
// model does not give.
int WmoIconCode(int code, int isDay);

// The condition in words ("Partly Cloudy", "Clear" by night); NULL for a code the model does not
// give. Plain ASCII without quotes or marks.
const char *WmoConditionText(int code, int isDay);

// How severe a condition is, for choosing the worst of a period: higher is more severe; -1 for
// an unknown code.
int WmoSeverity(int code);

#endif
