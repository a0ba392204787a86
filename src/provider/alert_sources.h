// Which alert source speaks for a place: the national services and MeteoAlarm's members, in the
// order their regions are looked at.
#ifndef NIMBREL_ALERT_SOURCES_H
#define NIMBREL_ALERT_SOURCES_H

#include "provider/alerts.h"

// The source of the place's region, or NULL where no source has alerts.
const AlertSource *AlertSourceFor(const PlaceInfo *place);

#endif
