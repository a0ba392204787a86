#include "provider/zone_guess.h"

#include <stdlib.h>

#include "base/calendar.h"
#include "base/state.h"
#include "base/text.h"
#include "platform/platform.h"
#include "provider/answers.h"
#include "provider/model.h"

// The computer's own offset from UTC in seconds, to the quarter hour (its two clocks are read
// a moment apart), or 0 when the clock cannot be read as a date.
static int ComputerUtcOffsetSeconds(void) {
    OsDateTime utc, local;
    if (!OsFileTimeToDateTime(OsUtcNow(), &utc)) {
        return 0;
    }
    OsLocalNow(&local);
    int64_t days = DaysFromCivil(local.year, local.month, local.day) -
                   DaysFromCivil(utc.year, utc.month, utc.day);
    int64_t minutes = days * 1440 + (local.hour - utc.hour) * 60 + (local.minute - utc.minute);
    int64_t quarters = (minutes + (minutes >= 0 ? 7 : -7)) / 15;
    return (int)(quarters * 15 * 60);
}

// Makes `zone` the clock's, with its offset and abbreviation now, when the system knows the
// zone's rules. Returns 1, or 0 (and the clock unchanged) when it does not.
static int UseZone(const char *zone, MetNorwayClock *clock) {
    int offset = 0;
    char abbreviation[MODEL_ZONE_CAPACITY];
    if (!ZoneOffsetAt(zone, 0, clock->utcNowMinutes, &offset, abbreviation, sizeof abbreviation)) {
        return 0;
    }
    CopyText(clock->zone, sizeof clock->zone, zone);
    clock->utcOffsetSeconds = offset;
    CopyText(clock->zoneAbbreviation, sizeof clock->zoneAbbreviation, abbreviation);
    return 1;
}

void MetClockFor(const char *zone, double latitude, double longitude, AlertClock now,
                 MetNorwayClock *clock) {
    clock->utcNowMinutes = now / 60;
    clock->latitude = latitude;
    clock->longitude = longitude;
    clock->hasOffset = 1;
    clock->zone[0] = '\0';
    if (UseZone(zone, clock)) {
        return;
    }
    ModelWeather *openMeteo = (ModelWeather *)malloc(sizeof *openMeteo);
    char reason[TEXT_CAPACITY];
    KeptAnswerResult answer;
    int kept = openMeteo != NULL &&
               ReadKeptCopy(&OpenMeteoAnswer.rule, ReadOpenMeteoForecast, openMeteo, reason,
                            sizeof reason, &answer) == OUTCOME_DONE &&
               answer.kind == ANSWER_WEATHER && openMeteo->hasOffset;
    if (kept && (!UseZone(openMeteo->zone, clock) ||
                 (clock->utcOffsetSeconds == openMeteo->utcOffsetSeconds &&
                  openMeteo->zoneAbbreviation[0] != '\0'))) {
        // The answer's own offset, and its name of it while that is still the offset now.
        clock->utcOffsetSeconds = openMeteo->utcOffsetSeconds;
        CopyText(clock->zoneAbbreviation, sizeof clock->zoneAbbreviation,
                 openMeteo->zoneAbbreviation);
    } else if (!kept) {
        clock->utcOffsetSeconds = MetNorwayGuessOffset(longitude, ComputerUtcOffsetSeconds());
        CopyText(clock->zoneAbbreviation, sizeof clock->zoneAbbreviation,
                 clock->utcOffsetSeconds == 0 ? "GMT" : "");
    }
    free(openMeteo);
}
