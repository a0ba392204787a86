#include "provider/alert_sources.h"

#include <stddef.h>

#include "provider/meteoalarm.h"

// Canada before the United States: its boxes keep clear of the border, which the United
// States' boxes do not. MeteoAlarm's members before Germany and Norway where a search or the
// regions file names the country; by their boxes only after them, as Germany's box holds
// corners of five of its neighbours.
static const AlertSource *const kAlertSources[] = {&CanadaAlertSource,     &NwsAlertSource,
                                                   &MeteoAlarmAlertSource, &GermanyAlertSource,
                                                   &NorwayAlertSource,     &MeteoAlarmBoxesSource};

const AlertSource *AlertSourceFor(const PlaceInfo *place) {
    for (size_t i = 0; i < sizeof kAlertSources / sizeof kAlertSources[0]; i++) {
        if (kAlertSources[i]->covers(place)) {
            return kAlertSources[i];
        }
    }
    return NULL;
}
