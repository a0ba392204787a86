// MeteoAlarm's Atom reader on arbitrary feeds: an entry may be cut anywhere, nest or repeat its
// elements, carry any polygon, code, entity or link. Beyond the sanitizers, what it keeps must be
// what the alert section can show: at most ALERT_CAPACITY warnings, most severe first, each with
// a name that cannot open or close an element, and links a person can open or none.
// Fields: the place's codes (a text of "SCHEME:VALUE" between blanks), the point (two bytes),
// the feed.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "provider/alerts.h"
#include "provider/meteoalarm.h"

static void Require(bool condition) {
    if (!condition) {
        abort();
    }
}

static bool IsPageLink(const char *link) {
    return strncmp(link, "http://", 7) == 0 || strncmp(link, "https://", 8) == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    CoreReady();
    std::vector<std::string> fields = SplitFields(data, size, 3);
    const std::string &point = fields[1];
    // Around Warsaw, within a degree or two either way: where the seeds' polygons lie.
    PlaceInfo place = {52.23, 21.01, "", "PL", ""};
    if (point.size() >= 2) {
        place.latitude += ((unsigned char)point[0] - 128) / 64.0;
        place.longitude += ((unsigned char)point[1] - 128) / 64.0;
    }
    std::string codes = " " + std::string(fields[0].c_str()) + " ";
    const std::string &feed = fields[2];
    // The feed alone in a buffer of its own size, so that a read past its end is caught.
    char *bytes = (char *)malloc(feed.size() ? feed.size() : 1);
    memcpy(bytes, feed.data(), feed.size());
    AlertList alerts;
    enum AnswerKind kind =
        ReadMeteoAlarmFeed(bytes, feed.size(), &place, codes.c_str(), 1796904000, &alerts);
    free(bytes);
    Require(kind == ANSWER_WEATHER || kind == ANSWER_UNREADABLE);
    Require(alerts.count >= 0 && alerts.count <= ALERT_CAPACITY);
    Require(kind == ANSWER_WEATHER || alerts.count == 0);
    for (int i = 0; i < alerts.count; i++) {
        const AlertInfo *alert = &alerts.alerts[i];
        Require(alert->title[0] != '\0' && strpbrk(alert->title, "<>\"") == NULL);
        Require(strstr(alert->title, " issued for") == NULL);
        Require(alert->severity >= 0 && alert->severity <= 4 && alert->severity != 1);
        Require(i == 0 || alerts.alerts[i - 1].severity >= alert->severity);
        Require(alert->link[0] == '\0' ||
                (IsPageLink(alert->link) && strpbrk(alert->link, " <>\"'") == NULL));
    }
    Require(kind != ANSWER_WEATHER ||
            (IsPageLink(alerts.link) && strpbrk(alerts.link, " <>\"'") == NULL));
    return 0;
}
