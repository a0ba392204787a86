// The provider's readers and writers on arbitrary answers: a forecast answer read and written as
// every feed document in both unit systems, a place search and an alerts answer read and
// written into them (as each national service's), and a radar index read for its picture's address.
// Beyond the sanitizers, every document must keep the layout the feed queries count on:
// each day, part and hour with its elements, the narrative with its quoted fields, and no text
// of the answer that opens or closes an element.
// MET Norway's forecast is read too, against a clock and an offset the options give, its nowcast
// into the nowcast's document, and an
// air-quality answer is read and written as the air's document, one element of each kind for
// every hour and every local day.
// Fields: options (forecast days, hours, the place's offset in hours, the clock), answer.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "base/grow_text.h"
#include "base/text.h"
#include "provider/alerts.h"
#include "provider/metno.h"
#include "provider/openmeteo.h"
#include "provider/rainviewer.h"
#include "provider/render.h"

static ModelWeather gModel;
static AirQualityRecord gAir;
static NowcastRecord gNowcast;
static const NowcastRecord *gRadar; // gNowcast when the answer read as a nowcast, else NULL

static int Count(const char *text, const char *mark) {
    int count = 0;
    size_t length = strlen(mark);
    for (const char *at = strstr(text, mark); at != NULL; at = strstr(at + length, mark)) {
        count++;
    }
    return count;
}

static void Require(bool condition) {
    if (!condition) {
        abort();
    }
}

static void CheckDocuments(const PlaceInfo *place, const AlertList *alerts, int days, int hours) {
    for (int metric = 0; metric <= 1; metric++) {
        RenderContext context = {
            &gModel, place,   "FUZZ", metric, days, hours, 133000000000000000ull,
            alerts,  nullptr, gRadar};
        GrowText text;
        GrowTextInit(&text, 0);
        Require(RenderFeedDocument(KIND_CURRENT, &context, &text) == 1);
        int shown = alerts ? alerts->count : 0;
        Require(Count(text.bytes, "<swa>") == (shown > 0) && Count(text.bytes, "<l>") == shown &&
                Count(text.bytes, "</swa>") == (shown > 0));
        Require(Count(text.bytes, "<t>") == 3 + shown && Count(text.bytes, "<d>") == 2 &&
                Count(text.bytes, "<dnam>") == 1 && Count(text.bytes, "</dnam>") == 1 &&
                Count(text.bytes, "<") == Count(text.bytes, ">"));
        Require(RenderFeedDocument(KIND_FORECAST, &context, &text) == 1);
        Require(Count(text.bytes, "<hi>") == days && Count(text.bytes, "<icon>") == 2 * days &&
                Count(text.bytes, "<t>") == 4 * days && Count(text.bytes, " t=\"") == days &&
                Count(text.bytes, " dt=\"") == days && Count(text.bytes, "<sunr>") == days + 1);
        Require(RenderFeedDocument(KIND_HOURLY, &context, &text) == 1);
        Require(Count(text.bytes, "<tmp>") == hours && Count(text.bytes, "<t>") == 2 * hours &&
                Count(text.bytes, " c=\"") == hours);
        Require(RenderFeedDocument(KIND_NOWCAST, &context, &text) == 1);
        Require(Count(text.bytes, "<fine>") == 1 && Count(text.bytes, "</fine>") == 1 &&
                Count(text.bytes, "<hourly>60 ") == 1 && Count(text.bytes, ",") >= 25 &&
                Count(text.bytes, "<") == Count(text.bytes, ">"));
        Require(RenderFeedDocument(KIND_DETAILS, &context, &text) == 1);
        Require(Count(text.bytes, "mpdData['narr']") == 11 && Count(text.bytes, "');") == 11 &&
                Count(text.bytes, "'") == 164 && Count(text.bytes, "mpdNObj('") == 1);
        GrowTextFree(&text);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> f = SplitFields(data, size, 2);
    const std::string &options = f[0];
    int days = options.size() > 0 ? 1 + (unsigned char)options[0] % 10 : 5;
    int hours = options.size() > 1 ? 1 + (unsigned char)options[1] % 24 : 12;
    const std::string &json = f[1];
    char reason[1024];

    PlaceInfo place = {12.5, -45.25, "", "", ""};
    enum AnswerKind placeKind =
        ReadPlaceAnswer(json.data(), json.size(), &place, reason, sizeof reason);
    Require(strlen(place.name) < sizeof place.name && strlen(reason) < sizeof reason);
    if (placeKind != ANSWER_WEATHER) {
        place.latitude = 12.5, place.longitude = -45.25, place.name[0] = '\0';
    }
    Require(strpbrk(place.name, "<>\"'") == NULL && strpbrk(reason, "<>") == NULL);

    // Every alert source reads the answer, for the place or, as the third option says, for a
    // point inside the local service's Canadian regions; the last list read is written out.
    static const AlertSource *const kSources[] = {&NwsAlertSource, &CanadaAlertSource,
                                                  &GermanyAlertSource, &NorwayAlertSource};
    PlaceInfo alertPlace = place;
    if (options.size() > 2 && options[2] % 2 == 1) {
        alertPlace.latitude = 45.40, alertPlace.longitude = -75.70;
    }
    AlertList alerts, read;
    int alertsRead = 0;
    for (const AlertSource *source : kSources) {
        if (source->read(json.data(), json.size(), &alertPlace, 1796796000, &read) !=
            ANSWER_WEATHER) {
            continue;
        }
        Require(read.count >= 0 && read.count <= ALERT_CAPACITY);
        for (int i = 0; i < read.count; i++) {
            const AlertInfo *alert = &read.alerts[i];
            Require(strpbrk(alert->title, "<>\"'") == NULL && alert->title[0]);
            Require(i == 0 || read.alerts[i - 1].severity >= alert->severity);
            Require(alert->link[0] == '\0' || (strncmp(alert->link, "http", 4) == 0 &&
                                               strpbrk(alert->link, " <>\"'") == NULL));
        }
        alerts = read;
        alertsRead = 1;
    }

    char picture[512];
    if (ReadRadarIndex(json.data(), json.size(), RAINVIEWER_MAPS_API, place.latitude,
                       place.longitude, picture, sizeof picture) == ANSWER_WEATHER) {
        // An index that came over https never sends the picture over plain http.
        Require(strncmp(picture, "https://", 8) == 0 && strpbrk(picture, " \"'<>?#") == NULL &&
                strstr(picture, ".png") != NULL);
    } else {
        Require(picture[0] == '\0');
    }

    gRadar = ReadMetNowcastAnswer(json.data(), json.size(), &gNowcast) == ANSWER_WEATHER ? &gNowcast
                                                                                         : NULL;
    Require(gNowcast.count >= 0 && gNowcast.count <= NOWCAST_STEP_CAPACITY);

    MetNorwayClock clock;
    clock.utcNowMinutes = 29442600 + (options.size() > 3 ? (unsigned char)options[3] * 360 : 0);
    clock.latitude = place.latitude;
    clock.longitude = place.longitude;
    clock.hasOffset = options.size() > 2;
    clock.utcOffsetSeconds = options.size() > 2 ? ((unsigned char)options[2] % 27 - 12) * 3600 : 0;
    CopyText(clock.zoneAbbreviation, sizeof clock.zoneAbbreviation, "GMT");
    // Now and then a zone whose summer time begins and ends within the answers' steps.
    CopyText(clock.zone, sizeof clock.zone,
             options.size() > 4 && (options[4] & 1) ? "Europe/Berlin" : "");
    if (ReadMetNorwayAnswer(json.data(), json.size(), &clock, &gModel) == ANSWER_WEATHER) {
        Require(gModel.hourCount >= 1 && gModel.hourCount <= MODEL_HOUR_CAPACITY);
        Require(gModel.dayCount >= 0 && gModel.dayCount <= MODEL_DAY_CAPACITY);
        for (int i = 1; i < gModel.hourCount; i++) {
            Require(gModel.hours[i - 1].utc < gModel.hours[i].utc);
        }
        for (int i = 1; i < gModel.dayCount; i++) {
            Require(gModel.days[i - 1].date < gModel.days[i].date);
        }
        CheckDocuments(&place, NULL, days, hours);
    }

    if (ReadAirQualityAnswer(json.data(), json.size(), &gAir, reason, sizeof reason) ==
        ANSWER_WEATHER) {
        Require(gAir.hourCount >= 0 && gAir.hourCount <= AIR_HOUR_CAPACITY);
        RenderContext context = {NULL, &place, "FUZZ", 1, days, hours, 133000000000000000ull,
                                 NULL, &gAir,  NULL};
        GrowText text;
        GrowTextInit(&text, 0);
        Require(RenderFeedDocument(KIND_AIR, &context, &text) == 1);
        int dayCount = Count(text.bytes, "<day>");
        Require(Count(text.bytes, "<hour>") == gAir.hourCount &&
                Count(text.bytes, "<hus>") == gAir.hourCount &&
                Count(text.bytes, "<hpollen>") == gAir.hourCount &&
                Count(text.bytes, "<dus>") == dayCount && dayCount <= gAir.hourCount &&
                Count(text.bytes, "<now>") == 1 && Count(text.bytes, "<birch>") == 1 &&
                Count(text.bytes, "<") == Count(text.bytes, ">"));
        GrowTextFree(&text);
    }
    Require(strlen(reason) < sizeof reason && strpbrk(reason, "<>") == NULL);

    enum AnswerKind kind =
        ReadForecastAnswer(json.data(), json.size(), &gModel, reason, sizeof reason);
    Require(strlen(reason) < sizeof reason && strpbrk(reason, "<>") == NULL);
    Require(gModel.hourCount >= 0 && gModel.hourCount <= MODEL_HOUR_CAPACITY);
    Require(gModel.dayCount >= 0 && gModel.dayCount <= MODEL_DAY_CAPACITY);
    if (kind == ANSWER_WEATHER) {
        CheckDocuments(&place, alertsRead ? &alerts : NULL, days, hours);
    } else if (kind == ANSWER_REFUSED) {
        GrowText text;
        GrowTextInit(&text, 0);
        Require(RenderServiceError(reason, &text) == 1 && Count(text.bytes, "</err>") == 1);
        GrowTextFree(&text);
    }
    return 0;
}
