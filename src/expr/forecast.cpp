#include "expr/forecast.h"

#include <string.h>

#include "expr/air_terms.h"
#include "expr/condition.h"
#include "expr/nowcast_terms.h"
#include "expr/datetime.h"
#include "expr/expression.h"
#include "expr/measure.h"
#include "base/terms.h"
#include "feed/query.h"
#include "moon/moon.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"

enum { PERIOD_NAME_CAPACITY = 64 };

static const char kForecastHelp[] =
    "Use these terms in your Forecast Expression:\n\n"
    "<high> - high temp for chosen day%b<low> - low temp for chosen day%b<tempunit> - "
    "temperature unit%b<sunrise> - sunrise for chosen day%b<sunset> - sunset for chosen "
    "day%b<download> - time data was downloaded%b<update> - time data was updated%b<precip> - "
    "chance of precipitation of chosen%b<precipn> - chance of precipitation of chosen day "
    "during nighttime%b<humidity> - percent humidity of chosen day%b<humidityn> - percent "
    "humidity of chosen day during nighttime%b<dayname> - name of chosen day (ie, "
    "Mon)%b<daydate> - date of chosen day (ie, Jan 1)%b<cond> - condition description of "
    "chosen day%b<condn> - condition description of chosen day during nighttime%b<wind> - "
    "windspeed for chosen day%b<windn> - windspeed for chosen day at night%b<windgust> - gust "
    "speed for chosen day%b<windgustn> - gust pseed for chosen day at night%b<winddir> - wind "
    "direction for chosen day%b<winddirn> - wind direction for chosen day at night%b<winddeg> "
    "- in degrees%b<winddegn> - in degrees at night%b<windunit> - wind speed unit%b"
    "<precipamount> - precipitation of chosen day%b<precipamountn> - at night%b<snowamount> - "
    "snowfall of chosen day%b<snowamountn> - at night%b<aqi> - "
    "highest air quality index of chosen day%b<aqitext> - its band%b<aqiscale> - the index's "
    "scale%b<nowcast> - the next two hours' precipitation, as in CurrentConditions%b<pollen> - "
    "highest pollen "
    "level of chosen day";

static const char kHourlyHelp[] =
    "Use these terms in your Hourly Expression:%b%b"
    "<update> - when data was last updated%b<download> - when data was last downloaded%b<temp> "
    "- hourly temp%b<tempunit> - temperature unit%b<feel> - hourly feels like temp%b<hourname> "
    "- name of hour (ie, 12 PM)%b<precip> - hourly precipitation chance%b<cond> - hourly "
    "condition description%b<dewpoint> - hourly dewpoint%b<humidity> - hourly humidity%b<wind> "
    "- hourly windspeed%b<windgust> - hourly gust speed%b<winddir> - hourly wind "
    "direction%b<winddeg> - hourly wind degree%b<windunit> - windspeed unit%b<precipamount> - "
    "hourly precipitation%b<snowamount> - hourly snowfall%b<aqi> - hourly air "
    "quality index%b<aqitext> - its band%b<pm25> - hourly fine particles (PM2.5)%b<pollen> - "
    "hourly pollen level";

const char *ForecastTermsHelp(void) {
    return kForecastHelp;
}
const char *HourlyTermsHelp(void) {
    return kHourlyHelp;
}

// ---- Forecast ------------------------------------------------------------------------------

// An element of the Forecast feed, with the call's unit type or the default one. The query
// leaves its result in the value buffer, which the formatters change in place.
static char *AskForecast(const ExpressionCall *c, int callUnit, const char *open, const char *close,
                         int n) {
    QueryForecast(c->locationId, callUnit ? c->unitType : Plugin.defaultUnit, open, close, n);
    return Plugin.value;
}

// An element of the Details feed, always with the default unit type; as AskForecast.
static char *AskDetails(const ExpressionCall *c, const char *open, const char *close, int n) {
    QueryDetails(c->locationId, Plugin.defaultUnit, open, close, n);
    return Plugin.value;
}

static int Day(const ExpressionCall *c) {
    return c->period;
}

static const char *High(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<hi>", "</hi>", Day(c));
}
static const char *Low(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<low>", "</low>", Day(c));
}
static const char *FTempUnit(const ExpressionCall *c) {
    return AskForecast(c, 1, "<ut>", "</ut>", 1);
}
static const char *FSunrise(const ExpressionCall *c) {
    return FormatClockTime(AskForecast(c, 0, "<sunr>", "</sunr>", Day(c) + 1));
}
static const char *FCity(const ExpressionCall *c) {
    return CityName(AskForecast(c, 0, "<dnam>", "</dnam>", 1));
}
static const char *FSunset(const ExpressionCall *c) {
    return FormatClockTime(AskForecast(c, 0, "<suns>", "</suns>", Day(c) + 1));
}
static const char *FMoon(const ExpressionCall *c) {
    return MoonPhaseName(Day(c));
}
static const char *FMoonVisible(const ExpressionCall *c) {
    return MoonIllumination(Day(c) - 1, 0);
}
static const char *FMoonPhase(const ExpressionCall *c) {
    return MoonIllumination(Day(c), 1);
}
static const char *FDownload(const ExpressionCall *c) {
    return FormatClockTime(AskForecast(c, 0, "<tm>", "</tm>", 1));
}
static const char *FUpdate(const ExpressionCall *c) {
    return FormatUpdateStamp(CutAfterMeridiem(AskForecast(c, 0, "<lsup>", "</lsup>", 1)));
}
static const char *FTimeZone(const ExpressionCall *c) {
    return TimeZoneFromStamp(AskForecast(c, 0, "<lsup>", "</lsup>", 1));
}
static const char *Precip(const ExpressionCall *c) {
    return AskForecast(c, 0, "<ppcp>", "</ppcp>", 2 * Day(c) - 1);
}
static const char *PrecipNight(const ExpressionCall *c) {
    return AskForecast(c, 0, "<ppcp>", "</ppcp>", 2 * Day(c));
}
static const char *FHumidity(const ExpressionCall *c) {
    return AskForecast(c, 0, "<hmid>", "</hmid>", 2 * Day(c) - 1);
}
static const char *HumidityNight(const ExpressionCall *c) {
    return AskForecast(c, 0, "<hmid>", "</hmid>", 2 * Day(c));
}
static const char *DayNameTerm(const ExpressionCall *c) {
    return DayName(AskForecast(c, 0, " t=\"", "\"", Day(c)), Day(c));
}
static const char *DayDate(const ExpressionCall *c) {
    return FormatDayDate(AskForecast(c, 0, " dt=\"", "\"", Day(c)));
}
static const char *FCondition(const ExpressionCall *c) {
    return ConditionText(c->locationId, 4 * Day(c) - 3, 2 * Day(c) - 1);
}
static const char *ConditionNight(const ExpressionCall *c) {
    return ConditionText(c->locationId, 4 * Day(c) - 1, 2 * Day(c));
}
static const char *Details(const ExpressionCall *c) {
    return FormatNarrative(AskDetails(c, "mpdData['narr']", "');", Day(c) + 1));
}
static const char *DetailsUpdate(const ExpressionCall *c) {
    return FormatNarrativeStamp(AskDetails(c, "mpdNObj('", "');", 1));
}
static const char *FWind(const ExpressionCall *c) {
    return AskForecast(c, 1, "<s>", "</s>", 2 * Day(c) - 1);
}
static const char *WindNight(const ExpressionCall *c) {
    return AskForecast(c, 1, "<s>", "</s>", 2 * Day(c));
}
// A gust as the document gives it, "N/A" where it reports none; a document that holds no gusts
// at all (an older feed's) reads "N/A" too, rather than the query's parse error.
static const char *GustText(const char *value) {
    return strcmp(value, TEXT_TOO_FEW_MARKS) == 0 ? TEXT_NOT_AVAILABLE : value;
}
static const char *FGust(const ExpressionCall *c) {
    return GustText(AskForecast(c, 1, "<gust>", "</gust>", 2 * Day(c) - 1));
}
static const char *GustNight(const ExpressionCall *c) {
    return GustText(AskForecast(c, 1, "<gust>", "</gust>", 2 * Day(c)));
}
static const char *FWindDirection(const ExpressionCall *c) {
    return Translate("Wind", AskForecast(c, 0, "<t>", "</t>", 4 * Day(c) - 2));
}
static const char *WindDirectionNight(const ExpressionCall *c) {
    return Translate("Wind", AskForecast(c, 0, "<t>", "</t>", 4 * Day(c)));
}
static const char *FWindDegrees(const ExpressionCall *c) {
    return AskForecast(c, 0, "<d>", "</d>", 2 * Day(c) - 1);
}
static const char *WindDegreesNight(const ExpressionCall *c) {
    return AskForecast(c, 0, "<d>", "</d>", 2 * Day(c));
}
static const char *FWindUnit(const ExpressionCall *c) {
    return AskForecast(c, 1, "<us>", "</us>", 1);
}

// Day d's day part is the Forecast feed's part 2d - 1, its night part 2d.
static const char *PartAmount(const ExpressionCall *c, enum UnitKind kind, int night) {
    const char *open = kind == UNIT_SNOW ? "<sa>" : "<pa>";
    const char *close = kind == UNIT_SNOW ? "</sa>" : "</pa>";
    return FormatAmount(c->locationId, c->unitType, kind, open, close, 2 * Day(c) - 1 + night);
}
static const char *FPrecipAmount(const ExpressionCall *c) {
    return PartAmount(c, UNIT_PRECIPITATION, 0);
}
static const char *PrecipAmountNight(const ExpressionCall *c) {
    return PartAmount(c, UNIT_PRECIPITATION, 1);
}
static const char *FSnowAmount(const ExpressionCall *c) {
    return PartAmount(c, UNIT_SNOW, 0);
}
static const char *SnowAmountNight(const ExpressionCall *c) {
    return PartAmount(c, UNIT_SNOW, 1);
}
static const char *FAirIndex(const ExpressionCall *c) {
    return AirIndexText(c->locationId, Day(c));
}
static const char *FAirBand(const ExpressionCall *c) {
    return AirBandText(c->locationId, Day(c));
}
static const char *FNowcast(const ExpressionCall *c) {
    return NowcastText(c->locationId);
}
static const char *FAirScale(const ExpressionCall *c) {
    return AirScaleText(c->locationId);
}
static const char *FPollen(const ExpressionCall *c) {
    return PollenText(c->locationId, Day(c));
}

static const Term kForecastTerms[] = {
    {"<high>", High, TERM_TESTED},
    {"<low>", Low, TERM_TESTED},
    {"<tempunit>", FTempUnit, TERM_TESTED},
    {"<sunrise>", FSunrise, TERM_TESTED},
    {"<city>", FCity, TERM_TESTED},
    {"<sunset>", FSunset, TERM_TESTED},
    {"<moon>", FMoon, TERM_TESTED},
    {"<moonvis>", FMoonVisible, TERM_TESTED},
    {"<moonphase>", FMoonPhase, TERM_TESTED},
    {"<download>", FDownload, TERM_TESTED},
    {"<update>", FUpdate, TERM_TESTED},
    {"<timezone>", FTimeZone, TERM_TESTED},
    {"<precip>", Precip, TERM_TESTED},
    {"<precipn>", PrecipNight, TERM_TESTED},
    {"<humidity>", FHumidity, TERM_TESTED},
    {"<humidityn>", HumidityNight, TERM_TESTED},
    {"<dayname>", DayNameTerm, TERM_TESTED},
    {"<daydate>", DayDate, TERM_TESTED},
    {"<cond>", FCondition, TERM_TESTED},
    {"<condn>", ConditionNight, TERM_TESTED},
    {"<details>", Details, TERM_TESTED},
    {"<detailsupdate>", DetailsUpdate, TERM_TESTED},
    {"<wind>", FWind, TERM_TESTED},
    {"<windn>", WindNight, TERM_TESTED},
    {"<windgust>", FGust, TERM_TESTED},
    {"<windgustn>", GustNight, TERM_TESTED},
    {"<winddir>", FWindDirection, TERM_TESTED},
    {"<winddirn>", WindDirectionNight, TERM_TESTED},
    {"<winddeg>", FWindDegrees, TERM_TESTED},
    {"<winddegn>", WindDegreesNight, TERM_TESTED},
    {"<windunit>", FWindUnit, TERM_NOT_TESTED},
    {"<precipamount>", FPrecipAmount, TERM_TESTED},
    {"<precipamountn>", PrecipAmountNight, TERM_TESTED},
    {"<snowamount>", FSnowAmount, TERM_TESTED},
    {"<snowamountn>", SnowAmountNight, TERM_TESTED},
    {"<aqi>", FAirIndex, TERM_TESTED},
    {"<aqitext>", FAirBand, TERM_TESTED},
    {"<aqiscale>", FAirScale, TERM_TESTED},
    {"<nowcast>", FNowcast, TERM_TESTED},
    {"<pollen>", FPollen, TERM_TESTED},
};

const char *FillForecast(const char *expression, const char *locationId, const char *day,
                         const char *unitType, const char *degreeFlag) {
    int d = TextToInt(ArgumentText(day));
    if (d > Plugin.maxDays || d < 1) {
        return TEXT_INVALID_DAY;
    }
    static const Probe kProbe = {QueryForecast, "<ut>", "</ut>", 0, 0};
    ExpressionCall call = {ArgumentText(locationId), ArgumentText(unitType),
                           ArgumentText(degreeFlag), d};
    ProbeAndSubstitute(&kProbe, ArgumentText(expression), kForecastTerms,
                       sizeof kForecastTerms / sizeof kForecastTerms[0], &call, NULL);
    return Plugin.expression;
}

// ---- Now and Later -------------------------------------------------------------------------

void ChoosePeriod(int hour, int later, int *day, int *night) {
    int daytime = hour >= 1 && hour <= 13;
    if (!later) {
        *day = 1;
        *night = !daytime;
    } else {
        *day = daytime ? 1 : 2;
        *night = daytime;
    }
}

// Day terms become their night forms; each night form ends in "n>", so none contains the term
// it replaces.
static void RewriteForNight(void) {
    static const char *const kNightForms[][2] = {{"<temp>", "<low>"},
                                                 {"<precip>", "<precipn>"},
                                                 {"<humidity>", "<humidityn>"},
                                                 {"<cond>", "<condn>"},
                                                 {"<wind>", "<windn>"},
                                                 {"<windgust>", "<windgustn>"},
                                                 {"<winddir>", "<winddirn>"},
                                                 {"<winddeg>", "<winddegn>"},
                                                 {"<precipamount>", "<precipamountn>"},
                                                 {"<snowamount>", "<snowamountn>"}};
    for (size_t i = 0; i < sizeof kNightForms / sizeof kNightForms[0]; i++) {
        ReplaceTerm(Plugin.expression, sizeof Plugin.expression, kNightForms[i][0],
                    kNightForms[i][1]);
    }
}

const char *FillNowOrLater(const char *expression, const char *locationId, const char *unitType,
                           const char *degreeFlag, int later, int hour) {
    int day, night;
    ChoosePeriod(hour, later, &day, &night);
    CopyText(Plugin.expression, sizeof Plugin.expression, ArgumentText(expression));
    enum DayWord word = night ? DAY_WORD_TONIGHT : day == 1 ? DAY_WORD_TODAY : DAY_WORD_TOMORROW;
    if (night) {
        RewriteForNight();
    } else {
        ReplaceTerm(Plugin.expression, sizeof Plugin.expression, "<temp>", "<high>");
    }
    char name[PERIOD_NAME_CAPACITY];
    DayWordText(word, name, sizeof name);
    ReplaceTerm(Plugin.expression, sizeof Plugin.expression, "<name>", name);
    return FillForecast(Plugin.expression, locationId, day == 1 ? "1" : "2", unitType, degreeFlag);
}

// ---- Hourly --------------------------------------------------------------------------------

// An element of the Hourly feed; as AskForecast.
static char *AskHourly(const ExpressionCall *c, int callUnit, const char *open, const char *close,
                       int n) {
    QueryHourly(c->locationId, callUnit ? c->unitType : Plugin.defaultUnit, open, close, n);
    return Plugin.value;
}

static int Hour(const ExpressionCall *c) {
    return c->period;
}

static const char *HUpdate(const ExpressionCall *c) {
    return FormatUpdateStamp(CutAfterMeridiem(AskHourly(c, 0, "<lsup>", "</lsup>", 1)));
}
static const char *HMoonVisible(const ExpressionCall *c) {
    return MoonIllumination(-Hour(c), 0);
}
static const char *HMoonPhase(const ExpressionCall *c) {
    return MoonIllumination(-Hour(c), 1);
}
static const char *HTimeZone(const ExpressionCall *c) {
    return TimeZoneFromStamp(AskHourly(c, 0, "<lsup>", "</lsup>", 1));
}
static const char *HDownload(const ExpressionCall *c) {
    return FormatClockTime(AskHourly(c, 1, "<tm>", "</tm>", 1));
}
static const char *HTemperature(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<tmp>", "</tmp>",
                         -Hour(c));
}
static const char *HTempUnit(const ExpressionCall *c) {
    return AskHourly(c, 1, "<ut>", "</ut>", 1);
}
static const char *HFeelsLike(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<flik>", "</flik>",
                         -Hour(c));
}
static const char *HourName(const ExpressionCall *c) {
    return FormatHourName(AskHourly(c, 0, " c=\"", "\"", Hour(c)));
}
static const char *HPrecip(const ExpressionCall *c) {
    return AskHourly(c, 0, "<ppcp>", "</ppcp>", Hour(c));
}
static const char *HCondition(const ExpressionCall *c) {
    return ConditionText(c->locationId, 1 - 2 * Hour(c), Hour(c));
}
static const char *HDewPoint(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<dewp>", "</dewp>",
                         -Hour(c));
}
static const char *HHumidity(const ExpressionCall *c) {
    return AskHourly(c, 0, "<hmid>", "</hmid>", Hour(c));
}
static const char *HWind(const ExpressionCall *c) {
    return AskHourly(c, 1, "<s>", "</s>", Hour(c));
}
static const char *HGust(const ExpressionCall *c) {
    return GustText(AskHourly(c, 1, "<gust>", "</gust>", Hour(c)));
}
static const char *HWindDirection(const ExpressionCall *c) {
    return Translate("Wind", AskHourly(c, 1, "<t>", "</t>", 2 * Hour(c)));
}
static const char *HWindDegrees(const ExpressionCall *c) {
    return AskHourly(c, 1, "<d>", "</d>", Hour(c));
}
static const char *HWindUnit(const ExpressionCall *c) {
    return AskHourly(c, 1, "<us>", "</us>", 1);
}

static const char *HPrecipAmount(const ExpressionCall *c) {
    return FormatAmount(c->locationId, c->unitType, UNIT_PRECIPITATION, "<pa>", "</pa>", -Hour(c));
}
static const char *HSnowAmount(const ExpressionCall *c) {
    return FormatAmount(c->locationId, c->unitType, UNIT_SNOW, "<sa>", "</sa>", -Hour(c));
}
static const char *HAirIndex(const ExpressionCall *c) {
    return AirIndexText(c->locationId, -Hour(c));
}
static const char *HAirBand(const ExpressionCall *c) {
    return AirBandText(c->locationId, -Hour(c));
}
static const char *HFineParticles(const ExpressionCall *c) {
    return AirAmountText(c->locationId, -Hour(c), AIR_PM2_5);
}
static const char *HPollen(const ExpressionCall *c) {
    return PollenText(c->locationId, -Hour(c));
}

static const Term kHourlyTerms[] = {
    {"<update>", HUpdate, TERM_TESTED},
    {"<moonvis>", HMoonVisible, TERM_TESTED},
    {"<moonphase>", HMoonPhase, TERM_TESTED},
    {"<timezone>", HTimeZone, TERM_TESTED},
    {"<download>", HDownload, TERM_TESTED},
    {"<temp>", HTemperature, TERM_TESTED},
    {"<tempunit>", HTempUnit, TERM_TESTED},
    {"<feel>", HFeelsLike, TERM_TESTED},
    {"<hourname>", HourName, TERM_TESTED},
    {"<precip>", HPrecip, TERM_TESTED},
    {"<cond>", HCondition, TERM_TESTED},
    {"<dewpoint>", HDewPoint, TERM_TESTED},
    {"<humidity>", HHumidity, TERM_TESTED},
    {"<wind>", HWind, TERM_TESTED},
    {"<windgust>", HGust, TERM_TESTED},
    {"<winddir>", HWindDirection, TERM_TESTED},
    {"<winddeg>", HWindDegrees, TERM_TESTED},
    {"<windunit>", HWindUnit, TERM_NOT_TESTED},
    {"<precipamount>", HPrecipAmount, TERM_TESTED},
    {"<snowamount>", HSnowAmount, TERM_TESTED},
    {"<aqi>", HAirIndex, TERM_TESTED},
    {"<aqitext>", HAirBand, TERM_TESTED},
    {"<pm25>", HFineParticles, TERM_TESTED},
    {"<pollen>", HPollen, TERM_TESTED},
};

const char *FillHourly(const char *expression, const char *locationId, const char *hour,
                       const char *unitType, const char *degreeFlag) {
    int h = TextToInt(ArgumentText(hour));
    if (h > Plugin.maxHours || h < 1) {
        return TEXT_INVALID_HOUR;
    }
    static const Probe kProbe = {QueryHourly, "<t>", "</t>", 1, 1};
    ExpressionCall call = {ArgumentText(locationId), ArgumentText(unitType),
                           ArgumentText(degreeFlag), h};
    ProbeAndSubstitute(&kProbe, ArgumentText(expression), kHourlyTerms,
                       sizeof kHourlyTerms / sizeof kHourlyTerms[0], &call, NULL);
    return Plugin.expression;
}
