#include "provider/render.h"

#include <math.h>
#include <string.h>

#include "platform/platform.h"
#include "base/vocabulary.h"
#include "base/calendar.h"
#include "base/text.h"
#include "provider/air_document.h"
#include "provider/derive.h"
#include "provider/rainviewer.h"
#include "provider/wmo.h"

static const char kNotAvailable[] = "N/A";
static const char kNoIcon[] = "-"; // the feed's "no picture for this period"

static const double kKmhPerMph = 1.609344;
static const double kMetresPerMile = 1609.344;
static const double kInchesPerHpa = 0.02953;
static const double kMmPerInch = 25.4;
static const double kCalmBelowKmh = 1.0;
static const int kNarrativeDays = 10; // the narrative page always holds ten days

enum { VALUE_CAPACITY = 64 };

// ---- Values as the feed writes them --------------------------------------------------------

static const char *Whole(double value, char *out) {
    if (!ModelHas(value)) {
        return kNotAvailable;
    }
    FormatText(out, VALUE_CAPACITY, "%d", RoundToInt(value));
    return out;
}

// Precipitation as the feed writes it: inches with two decimals, or millimetres with one.
static const char *PrecipitationText(double mm, int metric, char *out) {
    if (!ModelHas(mm)) {
        return kNotAvailable;
    }
    FormatFixed(metric ? mm : mm / kMmPerInch, metric ? 1 : 2, out, VALUE_CAPACITY);
    return out;
}

// Snow: inches or centimetres, with one decimal.
static const char *SnowText(double cm, int metric, char *out) {
    if (!ModelHas(cm)) {
        return kNotAvailable;
    }
    FormatFixed(metric ? cm : cm * 10.0 / kMmPerInch, 1, out, VALUE_CAPACITY);
    return out;
}

static const char *TemperatureText(double celsius, int metric, char *out) {
    return Whole(metric || !ModelHas(celsius) ? celsius : celsius * 9.0 / 5.0 + 32.0, out);
}

static int IsCalm(double kmh) {
    return ModelHas(kmh) && kmh < kCalmBelowKmh;
}

// A speed in the unit of the document; a wind that is not calm never reads 0.
static const char *SpeedText(double kmh, int metric, char *out) {
    if (!ModelHas(kmh)) {
        return kNotAvailable;
    }
    int speed = RoundToInt(metric ? kmh : kmh / kKmhPerMph);
    FormatText(out, VALUE_CAPACITY, "%d", speed < 1 ? 1 : speed);
    return out;
}

static const char *WindSpeedText(double kmh, int metric, char *out) {
    return IsCalm(kmh) ? "calm" : SpeedText(kmh, metric, out);
}

static const char *CompassText(double degrees, double kmh) {
    if (IsCalm(kmh)) {
        return kWindCalmText;
    }
    if (!ModelHas(degrees)) {
        return kNotAvailable;
    }
    return CompassPointText(RoundToInt(degrees / 22.5));
}

static const char *DegreesText(double degrees, double kmh, char *out) {
    if (IsCalm(kmh)) {
        return "0";
    }
    if (!ModelHas(degrees)) {
        return kNotAvailable;
    }
    FormatText(out, VALUE_CAPACITY, "%d", RoundToInt(degrees) % 360);
    return out;
}

// Inches of mercury with two decimals, or millibars with one and a thousands comma.
static const char *PressureText(double hpa, int metric, char *out) {
    if (!ModelHas(hpa)) {
        return kNotAvailable;
    }
    if (!metric) {
        FormatFixed(hpa * kInchesPerHpa, 2, out, VALUE_CAPACITY);
        return out;
    }
    char plain[VALUE_CAPACITY];
    FormatFixed(hpa, 1, plain, sizeof plain);
    size_t wholeDigits = strcspn(plain, ".");
    if (wholeDigits > 3) {
        FormatText(out, VALUE_CAPACITY, "%.*s,%s", (int)(wholeDigits - 3), plain,
                   plain + wholeDigits - 3);
    } else {
        CopyText(out, VALUE_CAPACITY, plain);
    }
    return out;
}

static const char *VisibilityText(double metres, int metric, char *out) {
    if (!ModelHas(metres)) {
        return kNotAvailable;
    }
    if (metres >= 10 * kMetresPerMile) {
        return "Unlimited";
    }
    FormatFixed(metric ? metres / 1000.0 : metres / kMetresPerMile, 1, out, VALUE_CAPACITY);
    return out;
}

static const char *UvBand(double index) {
    if (!ModelHas(index)) {
        return kNotAvailable;
    }
    int rounded = RoundToInt(index);
    int band = rounded <= 2 ? 0 : rounded <= 5 ? 1 : rounded <= 7 ? 2 : rounded <= 10 ? 3 : 4;
    return UvBandText(band);
}

// "h:mm AM" of local minutes.
static const char *ClockText(int64_t minutes, char *out) {
    if (minutes == MODEL_NO_TIME) {
        return kNotAvailable;
    }
    FeedClockText(minutes, out, VALUE_CAPACITY);
    return out;
}

// The zone as the feed writes it: whole hours, or hours with a fraction ("5.5").
static const char *ZoneText(const ModelWeather *model, char *out) {
    if (!model->hasOffset) {
        return kNotAvailable;
    }
    if (model->utcOffsetSeconds % 3600 == 0) {
        FormatText(out, VALUE_CAPACITY, "%d", model->utcOffsetSeconds / 3600);
    } else {
        FormatFixed(model->utcOffsetSeconds / 3600.0, 2, out, VALUE_CAPACITY);
        size_t length = strlen(out);
        if (length > 0 && out[length - 1] == '0') {
            out[length - 1] = '\0'; // 5.50 reads 5.5, 5.75 stays
        }
    }
    return out;
}

static void ZoneAbbreviation(const ModelWeather *model, char *out) {
    if (model->zoneAbbreviation[0] != '\0') {
        CopyText(out, VALUE_CAPACITY, model->zoneAbbreviation);
    } else if (model->hasOffset && model->utcOffsetSeconds % 3600 == 0) {
        FormatText(out, VALUE_CAPACITY, "GMT%+d", model->utcOffsetSeconds / 3600);
    } else {
        CopyText(out, VALUE_CAPACITY, "GMT");
    }
}

// "M/D/YY h:mm AM ZONE", the last-update stamp.
static const char *StampText(const ModelWeather *model, int64_t minutes, char *out) {
    if (minutes == MODEL_NO_TIME) {
        return kNotAvailable;
    }
    int year, month, day;
    CivilFromDays(DayOfMinutes(minutes), &year, &month, &day);
    char clock[VALUE_CAPACITY], zone[VALUE_CAPACITY];
    ZoneAbbreviation(model, zone);
    FormatText(out, VALUE_CAPACITY, "%d/%d/%02d %s %s", month, day, year % 100,
               ClockText(minutes, clock), zone);
    return out;
}

// ---- Document pieces -----------------------------------------------------------------------

static void Indent(GrowText *out, int depth) {
    static const char kBlanks[] = "                ";
    GrowTextAppendBytes(out, kBlanks, (size_t)(depth * 2 < 16 ? depth * 2 : 16));
}

static void Element(GrowText *out, int depth, const char *name, const char *value) {
    Indent(out, depth);
    GrowTextFormat(out, "<%s>", name);
    GrowTextAppend(out, value);
    GrowTextFormat(out, "</%s>\n", name);
}

static void Open(GrowText *out, int depth, const char *tag) {
    Indent(out, depth);
    GrowTextFormat(out, "<%s>\n", tag);
}

static void Close(GrowText *out, int depth, const char *name) {
    Indent(out, depth);
    GrowTextFormat(out, "</%s>\n", name);
}

// The Location ID as documents show it: only characters that can end no mark or quoted field.
static void SafeId(const char *id, char *out, size_t capacity) {
    size_t n = 0;
    for (; id[n] != '\0' && n + 1 < capacity; n++) {
        char c = id[n];
        int plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    strchr(" .,+-_", c) != NULL;
        out[n] = plain ? c : '_';
    }
    out[n] = '\0';
}

static void DocumentStart(GrowText *out) {
    GrowTextAppend(out, "<?xml version=\"1.0\" encoding=\"");
    GrowTextAppend(out, OsTextIsUtf8 ? "UTF-8" : "ISO-8859-1");
    GrowTextAppend(out, "\"?>\n<weather ver=\"2.0\">\n");
}

static void UnitsHead(GrowText *out, int metric) {
    Open(out, 1, "head");
    Element(out, 2, "locale", "en_US");
    Element(out, 2, "form", "MEDIUM");
    Element(out, 2, "ut", metric ? "C" : "F");
    Element(out, 2, "ud", metric ? "km" : "mi");
    Element(out, 2, "us", metric ? "km/h" : "mph");
    Element(out, 2, "up", metric ? "mb" : "in");
    Element(out, 2, "ur", metric ? "mm" : "in");
    Element(out, 2, "usn", metric ? "cm" : "in");
    Close(out, 1, "head");
}

// The place's name with the Location ID, or the coordinates that are the ID.
static void PlaceName(const RenderContext *context, char *out, size_t capacity) {
    char id[64];
    SafeId(context->locationId, id, sizeof id);
    if (context->place->name[0] != '\0') {
        FormatText(out, capacity, "%s (%s)", context->place->name, id);
    } else {
        CopyText(out, capacity, id);
    }
}

static void LocationBlock(GrowText *out, const RenderContext *context, int withSun) {
    char id[64], name[PLACE_NAME_CAPACITY + 64], value[VALUE_CAPACITY];
    SafeId(context->locationId, id, sizeof id);
    PlaceName(context, name, sizeof name);
    Indent(out, 1);
    GrowTextFormat(out, "<loc id=\"%s\">\n", id);
    Element(out, 2, "dnam", name);
    const ModelWeather *model = context->model;
    Element(out, 2, "tm", ClockText(DownloadMinutes(context), value));
    FormatFixed(context->place->latitude, 2, value, sizeof value);
    Element(out, 2, "lat", value[0] ? value : kNotAvailable);
    FormatFixed(context->place->longitude, 2, value, sizeof value);
    Element(out, 2, "lon", value[0] ? value : kNotAvailable);
    if (withSun) {
        const ModelDay *today = FindDay(model, Today(context));
        Element(out, 2, "sunr", ClockText(today ? today->sunrise : MODEL_NO_TIME, value));
        Element(out, 2, "suns", ClockText(today ? today->sunset : MODEL_NO_TIME, value));
    }
    Element(out, 2, "zone", ZoneText(model, value));
    Close(out, 1, "loc");
}

static void WindBlock(GrowText *out, int depth, double speed, double gust, double direction,
                      int metric) {
    char value[VALUE_CAPACITY];
    Open(out, depth, "wind");
    Element(out, depth + 1, "s", WindSpeedText(speed, metric, value));
    Element(out, depth + 1, "gust", SpeedText(gust, metric, value));
    Element(out, depth + 1, "d", DegreesText(direction, speed, value));
    Element(out, depth + 1, "t", CompassText(direction, speed));
    Close(out, depth, "wind");
}

static const char *IconText(int weatherCode, int daylight, char *out) {
    int icon = WmoIconCode(weatherCode, daylight);
    if (icon < 0) {
        return kNoIcon;
    }
    FormatText(out, VALUE_CAPACITY, "%d", icon);
    return out;
}

static const char *ConditionWords(int weatherCode, int daylight) {
    const char *text = WmoConditionText(weatherCode, daylight);
    return text ? text : kNotAvailable;
}

// The alerts before the current conditions, so that their titles are the first "<t>" of the
// document and their links its only "<l>": each alert's own page, else the list's.
static void AlertSection(GrowText *out, const AlertList *alerts) {
    if (alerts == NULL || alerts->count == 0) {
        return;
    }
    Open(out, 1, "swa");
    for (int i = 0; i < alerts->count; i++) {
        char tag[32];
        FormatText(tag, sizeof tag, "a id=\"%d\" uc=\"1\"", i + 1);
        Open(out, 2, tag);
        Element(out, 3, "t", alerts->alerts[i].title);
        const char *link = alerts->alerts[i].link[0] ? alerts->alerts[i].link
                           : alerts->link[0]         ? alerts->link
                                                     : kNotAvailable;
        Element(out, 3, "l", link);
        Close(out, 2, "a");
    }
    Close(out, 1, "swa");
}

// ---- The documents -------------------------------------------------------------------------

static void CurrentFeed(const RenderContext *context, GrowText *out) {
    const ModelWeather *model = context->model;
    int metric = context->metric;
    ModelValues now = CurrentValues(context);
    int daylight = IsDaylight(model, NowMinutes(context), now.isDay);
    char value[VALUE_CAPACITY], grid[2 * VALUE_CAPACITY];

    DocumentStart(out);
    UnitsHead(out, metric);
    LocationBlock(out, context, 1);
    AlertSection(out, context->alerts);
    Open(out, 1, "cc");
    Element(out, 2, "lsup", StampText(model, model->current.time, value));
    // The station text names the source of the values, as the services' licences ask.
    char latitude[VALUE_CAPACITY], longitude[VALUE_CAPACITY], from[MODEL_SOURCE_CAPACITY + 8];
    FormatText(from, sizeof from, model->source[0] ? " from %s" : "%s", model->source);
    if (FormatFixed(model->latitude, 2, latitude, sizeof latitude) &&
        FormatFixed(model->longitude, 2, longitude, sizeof longitude)) {
        FormatText(grid, sizeof grid, "Model data%s for grid point %s,%s", from, latitude,
                   longitude);
    } else {
        FormatText(grid, sizeof grid, "Model data%s for the nearest grid point", from);
    }
    Element(out, 2, "obst", grid);
    Element(out, 2, "tmp", TemperatureText(now.temperature, metric, value));
    Element(out, 2, "flik", TemperatureText(now.apparent, metric, value));
    Element(out, 2, "t", ConditionWords(now.weatherCode, daylight));
    Element(out, 2, "icon", IconText(now.weatherCode, daylight, value));
    Open(out, 2, "bar");
    Element(out, 3, "r", PressureText(now.pressure, metric, value));
    const char *trend = PressureTrend(context, now.pressure);
    Element(out, 3, "d", trend != NULL ? trend : kNotAvailable);
    Close(out, 2, "bar");
    WindBlock(out, 2, now.windSpeed, now.windGust, now.windDirection, metric);
    Element(out, 2, "hmid", Whole(now.humidity, value));
    Element(out, 2, "vis", VisibilityText(now.visibility, metric, value));
    Open(out, 2, "uv");
    Element(out, 3, "i", Whole(now.uvIndex, value));
    Element(out, 3, "t", UvBand(now.uvIndex));
    Close(out, 2, "uv");
    Element(out, 2, "dewp", TemperatureText(now.dewPoint, metric, value));
    Element(out, 2, "pa", PrecipitationText(now.precipitation, metric, value));
    Close(out, 1, "cc");
    GrowTextAppend(out, "</weather>\n");
}

static void PartBlock(GrowText *out, const char *name, const PartWeather *part, int night,
                      int metric) {
    char tag[32], value[VALUE_CAPACITY];
    FormatText(tag, sizeof tag, "part p=\"%s\"", name);
    Open(out, 3, tag);
    Element(out, 4, "icon", IconText(part->weatherCode, !night, value));
    Element(out, 4, "t", ConditionWords(part->weatherCode, !night));
    WindBlock(out, 4, part->windSpeed, part->windGust, part->windDirection, metric);
    Element(out, 4, "ppcp", Whole(part->precipChance, value));
    Element(out, 4, "hmid", Whole(part->humidity, value));
    Element(out, 4, "pa", PrecipitationText(part->precipitation, metric, value));
    Element(out, 4, "sa", SnowText(part->snowfall, metric, value));
    Close(out, 3, "part");
}

static void ForecastFeed(const RenderContext *context, GrowText *out) {
    const ModelWeather *model = context->model;
    char value[VALUE_CAPACITY], tag[96];
    DocumentStart(out);
    UnitsHead(out, context->metric);
    LocationBlock(out, context, 1);
    Open(out, 1, "dayf");
    Element(out, 2, "lsup", StampText(model, model->current.time, value));
    int64_t today = Today(context);
    for (int d = 1; d <= context->days; d++) {
        int64_t date = today + (int64_t)(d - 1) * 1440;
        int year, month, dayOfMonth;
        CivilFromDays(DayOfMinutes(date), &year, &month, &dayOfMonth);
        FormatText(tag, sizeof tag, "day d=\"%d\" t=\"%s\" dt=\"%s %d\"", d - 1,
                   WeekdayEnglish(WeekdayOfDays(DayOfMinutes(date))), MonthAbbreviation(month),
                   dayOfMonth);
        Open(out, 2, tag);
        const ModelDay *day = FindDay(model, date);
        Element(out, 3, "hi", TemperatureText(day ? day->high : NAN, context->metric, value));
        Element(out, 3, "low", TemperatureText(day ? day->low : NAN, context->metric, value));
        Element(out, 3, "sunr", ClockText(day ? day->sunrise : MODEL_NO_TIME, value));
        Element(out, 3, "suns", ClockText(day ? day->sunset : MODEL_NO_TIME, value));
        PartWeather part;
        ForecastPart(model, date, 0, &part);
        PartBlock(out, "d", &part, 0, context->metric);
        ForecastPart(model, date, 1, &part);
        PartBlock(out, "n", &part, 1, context->metric);
        Close(out, 2, "day");
    }
    Close(out, 1, "dayf");
    GrowTextAppend(out, "</weather>\n");
}

static void HourlyFeed(const RenderContext *context, GrowText *out) {
    const ModelWeather *model = context->model;
    int metric = context->metric;
    char value[VALUE_CAPACITY], tag[64];
    DocumentStart(out);
    UnitsHead(out, metric);
    LocationBlock(out, context, 0);
    Open(out, 1, "hbhf");
    Element(out, 2, "lsup", StampText(model, model->current.time, value));
    // Hour 1 is the first whole hour after now. The hours are instants an hour apart, each
    // named by the place's clock at it: the hour that summer time skips is never named, and the
    // one it repeats is named twice.
    int64_t first = CurrentHourUtc(context) + 60;
    for (int h = 1; h <= context->hours; h++) {
        int64_t utc = first + (int64_t)(h - 1) * 60;
        int64_t time = ModelLocalMinutes(model, utc);
        FormatText(tag, sizeof tag, "hour h=\"%d\" c=\"%d\"", h - 1, MinuteOfDay(time) / 60);
        Open(out, 2, tag);
        const ModelValues *found = FindHour(model, utc);
        ModelValues hour;
        if (found != NULL) {
            hour = *found;
        } else {
            ModelClearValues(&hour);
        }
        int daylight = IsDaylight(model, time, hour.isDay);
        Element(out, 3, "tmp", TemperatureText(hour.temperature, metric, value));
        Element(out, 3, "flik", TemperatureText(hour.apparent, metric, value));
        Element(out, 3, "icon", IconText(hour.weatherCode, daylight, value));
        Element(out, 3, "t", ConditionWords(hour.weatherCode, daylight));
        WindBlock(out, 3, hour.windSpeed, hour.windGust, hour.windDirection, metric);
        Element(out, 3, "ppcp", Whole(hour.precipChance, value));
        Element(out, 3, "hmid", Whole(hour.humidity, value));
        Element(out, 3, "dewp", TemperatureText(hour.dewPoint, metric, value));
        Element(out, 3, "pa", PrecipitationText(hour.precipitation, metric, value));
        Element(out, 3, "sa", SnowText(hour.snowfall, metric, value));
        Close(out, 2, "hour");
    }
    Close(out, 1, "hbhf");
    GrowTextAppend(out, "</weather>\n");
}

// The day's forecast in plain sentences: "Partly Cloudy. High 48F. Winds SW at 10 mph. Chance
// of precipitation 20%. Tonight: rain, low 36F." A sentence whose value is missing is left out;
// a day without any value reads "N/A". No sentence holds an apostrophe, which would move the
// page's quoted fields.
static void Narrative(const RenderContext *context, int d, char *out, size_t capacity) {
    const ModelWeather *model = context->model;
    int64_t date = Today(context) + (int64_t)(d - 1) * 1440;
    const ModelDay *day = FindDay(model, date);
    const char *unit = context->metric ? "C" : "F";
    PartWeather dayPart, nightPart;
    ForecastPart(model, date, 0, &dayPart);
    ForecastPart(model, date, 1, &nightPart);
    char value[VALUE_CAPACITY], sentence[256];
    out[0] = '\0';

    const char *condition = WmoConditionText(dayPart.weatherCode, 1);
    if (condition != NULL) {
        FormatText(sentence, sizeof sentence, "%s. ", condition);
        AppendText(out, capacity, sentence);
    }
    if (day != NULL && ModelHas(day->high)) {
        FormatText(sentence, sizeof sentence, "High %s%s. ",
                   TemperatureText(day->high, context->metric, value), unit);
        AppendText(out, capacity, sentence);
    }
    if (IsCalm(dayPart.windSpeed)) {
        AppendText(out, capacity, "Winds calm. ");
    } else if (ModelHas(dayPart.windSpeed)) {
        const char *direction = CompassText(dayPart.windDirection, dayPart.windSpeed);
        FormatText(sentence, sizeof sentence, "Winds %s%sat %s %s. ",
                   ModelHas(dayPart.windDirection) ? direction : "",
                   ModelHas(dayPart.windDirection) ? " " : "",
                   SpeedText(dayPart.windSpeed, context->metric, value),
                   context->metric ? "km/h" : "mph");
        AppendText(out, capacity, sentence);
    }
    if (ModelHas(dayPart.precipChance)) {
        FormatText(sentence, sizeof sentence, "Chance of precipitation %d%%. ",
                   RoundToInt(dayPart.precipChance));
        AppendText(out, capacity, sentence);
    }
    const char *nightCondition = WmoConditionText(nightPart.weatherCode, 0);
    int hasLow = day != NULL && ModelHas(day->low);
    if (nightCondition != NULL || hasLow) {
        char lower[96] = "";
        if (nightCondition != NULL) {
            CopyText(lower, sizeof lower, nightCondition);
            LowerCaseAscii(lower); // the condition in the middle of a sentence
        }
        FormatText(sentence, sizeof sentence, "%s: %s%s", d == 1 ? "Tonight" : "At night", lower,
                   nightCondition != NULL && hasLow ? ", " : "");
        AppendText(out, capacity, sentence);
        if (hasLow) {
            FormatText(sentence, sizeof sentence, "low %s%s",
                       TemperatureText(day->low, context->metric, value), unit);
            AppendText(out, capacity, sentence);
        }
        AppendText(out, capacity, ". ");
    }
    size_t length = strlen(out);
    if (length == 0) {
        CopyText(out, capacity, kNotAvailable);
    } else if (out[length - 1] == ' ') {
        out[length - 1] = '\0';
    }
}

static void NarrativePage(const RenderContext *context, GrowText *out) {
    const ModelWeather *model = context->model;
    char id[64], title[PLACE_NAME_CAPACITY + 64];
    SafeId(context->locationId, id, sizeof id);
    PlaceName(context, title, sizeof title);
    GrowTextAppend(out, "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
                        "<html>\n<head>\n<title>Forecast narrative for ");
    GrowTextAppend(out, title);
    GrowTextAppend(out, "</title>\n<script type=\"text/javascript\">\n"
                        "function mpdNarr(d, loc, part, date, abbr, text, name) { this.text = "
                        "text; }\n"
                        "function mpdNObj(issued) { this.issued = issued; }\n"
                        "var mpdData = new Object();\n"
                        "mpdData['narr'] = new Array();\n");
    int64_t today = Today(context);
    for (int d = 1; d <= kNarrativeDays; d++) {
        int64_t date = today + (int64_t)(d - 1) * 1440;
        int year, month, dayOfMonth;
        CivilFromDays(DayOfMinutes(date), &year, &month, &dayOfMonth);
        const char *dayName = WeekdayEnglish(WeekdayOfDays(DayOfMinutes(date)));
        char text[1024];
        Narrative(context, d, text, sizeof text);
        GrowTextFormat(out, "mpdData['narr'][%d] = new mpdNarr('%d','%s','d','%s %d','%.3s','", d,
                       d, id, MonthAbbreviation(month), dayOfMonth, dayName);
        GrowTextAppend(out, text);
        GrowTextFormat(out, "','%s');\n", d == 1 ? "Today" : dayName);
    }
    char clock[VALUE_CAPACITY], zone[VALUE_CAPACITY];
    int64_t issued =
        model->current.time != MODEL_NO_TIME ? model->current.time : NowMinutes(context);
    int year, month, dayOfMonth;
    CivilFromDays(DayOfMinutes(issued), &year, &month, &dayOfMonth);
    ZoneAbbreviation(model, zone);
    GrowTextFormat(out, "var mpdIssued = new mpdNObj('Issued %s, %s %d, at %s %s');\n",
                   WeekdayEnglish(WeekdayOfDays(DayOfMinutes(issued))), MonthAbbreviation(month),
                   dayOfMonth, ClockText(issued, clock), zone);
    GrowTextAppend(out, "</script>\n</head>\n<body>\n<h1>");
    GrowTextAppend(out, title);
    GrowTextAppend(out, "</h1>\n<p>Ten-day forecast narrative.</p>\n</body>\n</html>\n");
}

// The local page: its one "new mw_propsObj(" names the place's radar picture in its second
// quoted field, before the word that ends the cut. The picture is named by the point, which
// holds neither that word nor the fields' separator.
static void LocalPage(const RenderContext *context, GrowText *out) {
    char id[64], title[PLACE_NAME_CAPACITY + 64], radar[128];
    SafeId(context->locationId, id, sizeof id);
    PlaceName(context, title, sizeof title);
    RadarPointAddress(context->place, radar, sizeof radar);
    GrowTextAppend(out, "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
                        "<html>\n<head>\n<title>Local weather for ");
    GrowTextAppend(out, title);
    GrowTextAppend(out, "</title>\n<script type=\"text/javascript\">\n"
                        "function mw_propsObj(loc, img, title, w, h) { this.img = img; }\n");
    GrowTextFormat(out, "var localMap = new mw_propsObj('%s','%s','Local Radar','%d','%d');\n", id,
                   radar, RADAR_PICTURE_SIZE, RADAR_PICTURE_SIZE);
    GrowTextAppend(out, "</script>\n</head>\n<body>\n<h1>");
    GrowTextAppend(out, title);
    GrowTextAppend(out, "</h1>\n<p>Radar pictures by RainViewer.</p>\n</body>\n</html>\n");
}

// ---- The nowcast ---------------------------------------------------------------------------

// The kind of what falls: snow where its water is nearly all of it, sleet where there is some
// snow, rain otherwise; none where nothing falls.
static enum PrecipKind KindOfAmounts(double mm, double snowCm) {
    double snowMm = ModelHas(snowCm) ? snowCm * 10.0 / 7.0 : 0;
    if (!ModelHas(mm) || mm <= 0) {
        return snowMm > 0 ? PRECIP_SNOW : PRECIP_NONE;
    }
    return snowMm >= 0.9 * mm ? PRECIP_SNOW : snowMm > 0 ? PRECIP_SLEET : PRECIP_RAIN;
}

// One step as the nowcast's document keeps it: " RATE,KIND" (mm/h, enum PrecipKind; "-" for an
// unknown rate).
static void Step(GrowText *out, double rate, enum PrecipKind kind) {
    char number[VALUE_CAPACITY] = "-";
    if (ModelHas(rate)) {
        FormatFixed(rate, 2, number, sizeof number);
    }
    GrowTextFormat(out, " %s,%d", number,
                   ModelHas(rate) && rate >= PRECIP_WET_RATE ? (int)kind : 0);
}

// The steps of the next two hours and more in the finest the place has: the radar's five
// minutes, or the model's real quarter hours. Empty where it has neither.
static void FineSteps(const RenderContext *context, GrowText *out) {
    const NowcastRecord *radar = context->nowcast;
    const ModelWeather *model = context->model;
    GrowTextAppend(out, " <fine>");
    if (radar != NULL && radar->count > 0) {
        GrowTextFormat(out, "5 %lld", (long long)radar->utc[0]);
        for (int i = 0; i < radar->count; i++) {
            // A gap in the radar's steps ends what it can say.
            if (i > 0 && radar->utc[i] != radar->utc[0] + 5 * (int64_t)i) {
                break;
            }
            Step(out, radar->rate[i], radar->kind);
        }
    } else if (model->quarterCount > 0) {
        GrowTextFormat(out, "15 %lld", (long long)model->quarters[0].utc);
        for (int i = 0; i < model->quarterCount; i++) {
            const ModelQuarter *quarter = &model->quarters[i];
            if (quarter->utc != model->quarters[0].utc + 15 * (int64_t)i) {
                break;
            }
            double rate = ModelHas(quarter->precipitation) ? quarter->precipitation * 4 : NAN;
            Step(out, rate, KindOfAmounts(quarter->precipitation, quarter->snowfall));
        }
    }
    GrowTextAppend(out, "</fine>\n");
}

// A day of hourly steps from the hour in progress, each with what falls within it.
static void HourlySteps(const RenderContext *context, GrowText *out) {
    const ModelWeather *model = context->model;
    int64_t first = CurrentHourUtc(context);
    GrowTextFormat(out, " <hourly>60 %lld", (long long)first);
    for (int h = 0; h < 25; h++) {
        // An amount of the hour before its time (Open-Meteo's) is the next hour's.
        const ModelValues *hour =
            FindHour(model, first + 60 * (int64_t)(h + (model->amountsPrecede ? 1 : 0)));
        double mm = hour != NULL ? hour->precipitation : NAN;
        Step(out, mm, KindOfAmounts(mm, hour != NULL ? hour->snowfall : NAN));
    }
    GrowTextAppend(out, "</hourly>\n");
}

static void NowcastDocument(const RenderContext *context, GrowText *out) {
    int64_t now = NowUtcMinutes(context);
    GrowTextAppend(out, "<?xml version=\"1.0\"?>\n<nowcast ver=\"1\">\n");
    GrowTextFormat(out, " <offset>%lld</offset>\n",
                   (long long)(ModelLocalMinutes(context->model, now) - now));
    FineSteps(context, out);
    HourlySteps(context, out);
    GrowTextAppend(out, "</nowcast>\n");
}

typedef void (*DocumentWriter)(const RenderContext *context, GrowText *out);

typedef struct KindWriterRow {
    enum DocumentKind kind;
    DocumentWriter write;
} KindWriterRow;

static const KindWriterRow kKindWriters[] = {
    {KIND_CURRENT, CurrentFeed},     {KIND_FORECAST, ForecastFeed}, {KIND_HOURLY, HourlyFeed},
    {KIND_DETAILS, NarrativePage},   {KIND_HOME, LocalPage},        {KIND_AIR, AirDocument},
    {KIND_NOWCAST, NowcastDocument},
};

int RenderFeedDocument(enum DocumentKind kind, const RenderContext *context, GrowText *out) {
    GrowTextFree(out);
    for (size_t i = 0; i < sizeof kKindWriters / sizeof kKindWriters[0]; i++) {
        if (kKindWriters[i].kind == kind) {
            kKindWriters[i].write(context, out);
            return !out->failed;
        }
    }
    return 0;
}

int RenderServiceError(const char *reason, GrowText *out) {
    GrowTextFree(out);
    GrowTextAppend(out, "<?xml version=\"1.0\"?>\n<error>\n  <err type=\"1\">");
    GrowTextAppend(out, reason);
    GrowTextAppend(out, "</err>\n</error>\n");
    return !out->failed;
}
