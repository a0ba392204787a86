// The icon and radar functions. Each takes the plugin mutex for its whole work and releases it
// once on every path; a NULL argument reads as empty, and the result is never NULL.
#include <limits.h>
#include <stdint.h>

#include "feed/nowcast.h"
#include "images/icons.h"
#include "images/precip_graph.h"
#include "images/radar.h"
#include "platform/platform.h"
#include "plugin/exports.h"
#include "plugin/frame.h"
#include "base/text.h"

static const char *OrEmpty(const char *text) {
    return text != NULL ? text : "";
}

static const char *ResolveIconFramed(Text locationId, Text folder, int period, int dayNight) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return ICON_TIMEOUT_TEXT;
    }
    const char *result = ResolveIcon(OrEmpty(locationId), OrEmpty(folder), period, dayNight);
    LeaveFrame(entry);
    return result;
}

// The local hour, read before the mutex is waited for.
static int LocalHour(void) {
    OsDateTime now;
    OsLocalNow(&now);
    return now.hour;
}

Text NIMBREL_CALL IconCC(Text locationId, Text folder) {
    return ResolveIconFramed(locationId, folder, 0, 0);
}

Text NIMBREL_CALL IconForecast(Text locationId, Text day, Text dayOrNight, Text folder) {
    return ResolveIconFramed(locationId, folder, TextToInt(OrEmpty(day)),
                             TextToInt(OrEmpty(dayOrNight)));
}

Text NIMBREL_CALL IconNow(Text locationId, Text folder) {
    DayPart part = NowDayPart(LocalHour());
    return ResolveIconFramed(locationId, folder, part.day, part.dayNight);
}

Text NIMBREL_CALL IconLater(Text locationId, Text folder) {
    DayPart part = LaterDayPart(LocalHour());
    return ResolveIconFramed(locationId, folder, part.day, part.dayNight);
}

Text NIMBREL_CALL IconHourly(Text locationId, Text hour, Text folder) {
    // Hour h is period -h; the lowest int has no negation and stays the farthest hour.
    int64_t period = -(int64_t)TextToInt(OrEmpty(hour));
    return ResolveIconFramed(locationId, folder, period > INT_MAX ? INT_MAX : (int)period, 0);
}

Text NIMBREL_CALL AlertIcon(Text locationId, Text folder) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return ICON_TIMEOUT_TEXT;
    }
    const char *result = AlertIconLink(OrEmpty(locationId), OrEmpty(folder));
    LeaveFrame(entry);
    return result;
}

Text NIMBREL_CALL MoonIcon(Text folder, Text daysFromNow) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return ICON_TIMEOUT_TEXT;
    }
    const char *result = MoonIconPath(OrEmpty(folder), TextToInt(OrEmpty(daysFromNow)));
    LeaveFrame(entry);
    return result;
}

Text NIMBREL_CALL AirQualityIcon(Text locationId, Text period) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return ICON_TIMEOUT_TEXT;
    }
    const char *result = AirQualityIconPath(OrEmpty(locationId), TextToInt(OrEmpty(period)));
    LeaveFrame(entry);
    return result;
}

Text NIMBREL_CALL PrecipitationGraph(Text locationId, Text hours) {
    static const PrecipTimelineReader kNowcast = {PrecipTimeline, PrecipTimelineStamp};
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return ICON_TIMEOUT_TEXT;
    }
    const char *result = PrecipGraphPath(OrEmpty(locationId), TextToInt(OrEmpty(hours)), &kNowcast);
    LeaveFrame(entry);
    return result;
}

Text NIMBREL_CALL LocalRadar(Text locationId) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return TIMEOUT_TEXT;
    }
    const char *result = LocalRadarLink(OrEmpty(locationId));
    LeaveFrame(entry);
    return result;
}

Text NIMBREL_CALL CustomRadar(Text nickname, Text imageAddress, Text refreshMinutes) {
    FrameEntry entry = EnterFrame();
    if (entry == FRAME_TIMED_OUT) {
        return TIMEOUT_TEXT;
    }
    const char *result = CustomRadarLink(OrEmpty(nickname), OrEmpty(imageAddress),
                                         TextToInt(OrEmpty(refreshMinutes)));
    LeaveFrame(entry);
    return result;
}
