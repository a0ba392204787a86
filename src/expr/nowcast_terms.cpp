#include "expr/nowcast_terms.h"

#include <math.h>
#include <string.h>

#include "base/calendar.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"
#include "expr/datetime.h"
#include "feed/nowcast.h"
#include "feed/query.h"
#include "platform/platform.h"

// What the next two hours bring.
enum Outlook {
    OUTLOOK_UNKNOWN,   // no timeline, or no rate for now
    OUTLOOK_DRY,       // nothing within two hours
    OUTLOOK_STARTS,    // dry now, wet from `at`
    OUTLOOK_STOPS,     // wet now, dry from `at`
    OUTLOOK_CONTINUES, // wet for all of the two hours
    OUTLOOK_LIKELY,    // hourly steps only: wet from the hour at `at`
    OUTLOOK_UNTIL      // hourly steps only: wet now, until the hour at `at`
};

typedef struct Nowcast {
    enum Outlook outlook;
    enum PrecipKind kind; // of the precipitation the sentence speaks of
    int64_t at;           // UTC minutes of the change
    int hourly;           // 1 when the steps are hours
} Nowcast;

static int IsWet(const PrecipStep *step) {
    return !isnan(step->rate) && step->rate >= PRECIP_WET_RATE && step->kind != PRECIP_NONE;
}

static Nowcast Outlook(const char *locationId) {
    Nowcast result = {OUTLOOK_UNKNOWN, PRECIP_RAIN, 0, 0};
    PrecipStep steps[PRECIP_STEP_CAPACITY];
    int count = PrecipTimeline(locationId, 2, steps, PRECIP_STEP_CAPACITY);
    if (count == 0 || isnan(steps[0].rate)) {
        return result;
    }
    int wetNow = IsWet(&steps[0]);
    result.kind = steps[0].kind;
    // An hour says no minute: rain in this hour is rain from its start, on.
    if (steps[0].minutes == 60 && wetNow) {
        result.hourly = 1;
        result.outlook = OUTLOOK_LIKELY;
        result.at = steps[0].startUtc;
        return result;
    }
    int i = 1;
    for (; i < count && !isnan(steps[i].rate); i++) {
        if (IsWet(&steps[i]) != wetNow) {
            // A change found in an hourly step is worded by the hour.
            result.hourly = steps[i].minutes == 60;
            result.at = steps[i].startUtc;
            result.kind = wetNow ? steps[0].kind : steps[i].kind;
            result.outlook = wetNow ? (result.hourly ? OUTLOOK_UNTIL : OUTLOOK_STOPS)
                                    : (result.hourly ? OUTLOOK_LIKELY : OUTLOOK_STARTS);
            return result;
        }
    }
    // No change: said only of steps that reach two hours on; nothing is known past an unknown
    // step.
    const PrecipStep *last = &steps[i - 1];
    if (last->startUtc + last->minutes < UnixMinutesOf(OsUtcNow()) + 120) {
        return result; // OUTLOOK_UNKNOWN
    }
    result.outlook = wetNow ? OUTLOOK_CONTINUES : OUTLOOK_DRY;
    return result;
}

static const char *KindWord(enum PrecipKind kind) {
    return kind == PRECIP_SNOW ? "Snow" : kind == PRECIP_SLEET ? "Sleet" : "Rain";
}

// Each outlook's phrase after the kind's word; the first two have none.
static const char *const kPhrases[] = {"",
                                       "",
                                       "starting around",
                                       "stopping around",
                                       "for at least 2 hours",
                                       "likely from about",
                                       "likely until about"};
static const char kNoRain[] = "No rain within 2 hours";

// The sentence's key (before its time) of an outlook and a kind.
static void SentenceKey(enum Outlook outlook, enum PrecipKind kind, char *out, size_t capacity) {
    if (outlook == OUTLOOK_DRY) {
        CopyText(out, capacity, kNoRain);
    } else {
        FormatText(out, capacity, "%s %s", KindWord(kind), kPhrases[outlook]);
    }
}

int NowcastKeyAt(int index, char *out, size_t capacity) {
    static const enum PrecipKind kKinds[] = {PRECIP_RAIN, PRECIP_SNOW, PRECIP_SLEET};
    if (index < 0 || index >= NOWCAST_KEY_COUNT) {
        return 0;
    }
    if (index == NOWCAST_KEY_COUNT - 1) {
        SentenceKey(OUTLOOK_DRY, PRECIP_RAIN, out, capacity);
    } else {
        SentenceKey((enum Outlook)(OUTLOOK_STARTS + index % 5), kKinds[index / 5], out, capacity);
    }
    return 1;
}

const char *NowcastText(const char *locationId) {
    Nowcast nowcast = Outlook(locationId);
    if (nowcast.outlook == OUTLOOK_UNKNOWN) {
        CopyText(Plugin.value, sizeof Plugin.value, TEXT_NOT_AVAILABLE);
        return Plugin.value;
    }
    char sentence[TEXT_CAPACITY];
    SentenceKey(nowcast.outlook, nowcast.kind, sentence, sizeof sentence);
    Translate("Nowcast", sentence);
    if (nowcast.outlook == OUTLOOK_DRY || nowcast.outlook == OUTLOOK_CONTINUES) {
        CopyText(Plugin.value, sizeof Plugin.value, sentence);
        return Plugin.value;
    }
    // The place's clock at the change, written as the feed writes times and then as the locale
    // does, as <sunrise> is.
    int offset = PrecipTimelineOffset(locationId);
    FeedClockText(nowcast.at + offset, Plugin.value, sizeof Plugin.value);
    FormatClockTime(Plugin.value);
    char clock[TEXT_CAPACITY];
    CopyText(clock, sizeof clock, Plugin.value);
    FormatText(Plugin.value, sizeof Plugin.value, "%s %s", sentence, clock);
    return Plugin.value;
}

const char *NowcastMinutesText(const char *locationId) {
    Nowcast nowcast = Outlook(locationId);
    if ((nowcast.outlook != OUTLOOK_STARTS && nowcast.outlook != OUTLOOK_STOPS) || nowcast.hourly) {
        CopyText(Plugin.value, sizeof Plugin.value, TEXT_NOT_AVAILABLE);
        return Plugin.value;
    }
    int64_t minutes = nowcast.at - UnixMinutesOf(OsUtcNow());
    FormatText(Plugin.value, sizeof Plugin.value, "%lld", (long long)(minutes > 0 ? minutes : 0));
    return Plugin.value;
}
