#include "expr/current.h"

#include <string.h>

#include "expr/air_terms.h"
#include "expr/condition.h"
#include "expr/nowcast_terms.h"
#include "expr/datetime.h"
#include "expr/expression.h"
#include "expr/measure.h"
#include "feed/query.h"
#include "moon/moon.h"
#include "base/language.h"
#include "base/state.h"
#include "base/text.h"

static const char kHelp[] = "Use these terms in your CurrentConditions expression:\n"
                            "\n"
                            "<temp> - temperature\n"
                            "<feel> - feels like\n"
                            "<tempunit> - temperature unit\n"
                            "<city> - city associated with LocationID\n"
                            "<locid> - your Location ID\n"
                            "<citydata> - city where data actually gathered\n"
                            "<cond> - condition description\n"
                            "<humidity>\n"
                            "<vis> - visibility\n"
                            "<visunit> - visibility unit\n"
                            "<dewpoint>\n"
                            "<update> - when data was last updated by the weather service\n"
                            "<download> - when data was last downloaded\n"
                            "<uv> - uv description\n"
                            "<uvnum> - uv rating number\n"
                            "<long> - longitude\n"
                            "<lat> - latitude\n"
                            "<sunrise>\n"
                            "<sunset>\n"
                            "<timezone>\n"
                            "<press> - barometric pressure\n"
                            "<pressdir> - pressure movement\n"
                            "<pressunit> - pressure unit\n"
                            "<wind> - wind speed\n"
                            "<windgust> - gust speed\n"
                            "<winddir> - cardinal direction\n"
                            "<winddeg> - numeric direction\n"
                            "<windunit> - windspeed unit\n"
                            "<precipamount> - precipitation of the past hour\n"
                            "<precipunit> - precipitation unit\n"
                            "<nowcast> - what rain or snow does in the next two hours\n"
                            "<nowcastmin> - minutes until it starts or stops\n"
                            "<aqi> - air quality index\n"
                            "<aqitext> - air quality band\n"
                            "<aqiscale> - air quality index scale\n"
                            "<pm25> - fine particles (PM2.5)\n"
                            "<pm10> - particles (PM10)\n"
                            "<o3> - ozone\n"
                            "<no2> - nitrogen dioxide\n"
                            "<so2> - sulphur dioxide\n"
                            "<co> - carbon monoxide\n"
                            "<dust> - dust\n"
                            "<aqunit> - unit of the pollutants\n"
                            "<pollen> - the plant with the most pollen, and its level\n"
                            "<pollenalder>, <pollenbirch>, <pollengrass>, <pollenmugwort>, "
                            "<pollenolive>, <pollenragweed> - each plant's pollen level";

const char *CurrentTermsHelp(void) {
    return kHelp;
}

// An element of the Current feed: with the call's unit type, the default one, or a fixed one.
// The query leaves its result in the value buffer, which the formatters change in place.
static char *Ask(const ExpressionCall *c, const char *unit, const char *open, const char *close,
                 int n) {
    QueryCurrent(c->locationId, unit, open, close, n);
    return Plugin.value;
}
static char *AskCall(const ExpressionCall *c, const char *open, const char *close) {
    return Ask(c, c->unitType, open, close, 1);
}
static char *AskDefault(const ExpressionCall *c, const char *open, const char *close, int n) {
    return Ask(c, Plugin.defaultUnit, open, close, n);
}

static const char *Temperature(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<tmp>", "</tmp>", 0);
}
static const char *TemperatureUnit(const ExpressionCall *c) {
    return AskCall(c, "<ut>", "</ut>");
}
static const char *FeelsLike(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<flik>", "</flik>", 0);
}
static const char *City(const ExpressionCall *c) {
    return CityName(AskDefault(c, "<dnam>", "</dnam>", 1));
}
static const char *LocationId(const ExpressionCall *c) {
    return LocationIdText(c->locationId);
}
static const char *CityData(const ExpressionCall *c) {
    return AskDefault(c, "<obst>", "</obst>", 1);
}
static const char *Condition(const ExpressionCall *c) {
    return ConditionText(c->locationId, 0, 0);
}
static const char *Humidity(const ExpressionCall *c) {
    return AskDefault(c, "<hmid>", "</hmid>", 1);
}
static const char *Visibility(const ExpressionCall *c) {
    return FormatVisibility(c->locationId, c->unitType, "0", "<vis>", "</vis>");
}
static const char *VisibilityUnit(const ExpressionCall *c) {
    return AskCall(c, "<ud>", "</ud>");
}
static const char *DewPoint(const ExpressionCall *c) {
    return FormatMeasure(c->locationId, c->unitType, c->degreeFlag, "0", "<dewp>", "</dewp>", 0);
}
static const char *Update(const ExpressionCall *c) {
    return FormatUpdateStamp(CutAfterMeridiem(AskDefault(c, "<lsup>", "</lsup>", 1)));
}
static const char *TimeZone(const ExpressionCall *c) {
    return TimeZoneFromStamp(AskDefault(c, "<lsup>", "</lsup>", 1));
}
static const char *DownloadTime(const ExpressionCall *c) {
    return FormatClockTime(AskDefault(c, "<tm>", "</tm>", 1));
}
static const char *UvNumber(const ExpressionCall *c) {
    return AskDefault(c, "<i>", "</i>", 1);
}
static const char *Uv(const ExpressionCall *c) {
    return Translate("UV", AskDefault(c, "<t>", "</t>", 3));
}
static const char *Longitude(const ExpressionCall *c) {
    return AskDefault(c, "<lon>", "</lon>", 1);
}
static const char *Latitude(const ExpressionCall *c) {
    return AskDefault(c, "<lat>", "</lat>", 1);
}
static const char *Moon(const ExpressionCall *) {
    return MoonPhaseName(0);
}
static const char *MoonVisible(const ExpressionCall *) {
    return MoonIllumination(0, 0);
}
static const char *MoonPhase(const ExpressionCall *) {
    return MoonIllumination(0, 1);
}
static const char *NextFullMoon(const ExpressionCall *) {
    return NextMoonDate(1);
}
static const char *NextNewMoon(const ExpressionCall *) {
    return NextMoonDate(0);
}
static const char *MoonAgeTerm(const ExpressionCall *) {
    return MoonAge();
}
static const char *Sunrise(const ExpressionCall *c) {
    return FormatClockTime(AskDefault(c, "<sunr>", "</sunr>", 1));
}
static const char *Sunset(const ExpressionCall *c) {
    return FormatClockTime(AskDefault(c, "<suns>", "</suns>", 1));
}
static const char *ZoneGmt(const ExpressionCall *c) {
    return GmtZoneText(c->locationId);
}
static const char *ZoneLocal(const ExpressionCall *) {
    return LocalZoneAbbreviation();
}
static const char *Pressure(const ExpressionCall *c) {
    return FormatPressure(c->locationId, c->unitType, "0", "<r>", "</r>");
}
static const char *PressureTrend(const ExpressionCall *c) {
    return AskDefault(c, "<d>", "</d>", 1);
}
static const char *PressureTrendSymbol(const ExpressionCall *c) {
    return PressureSymbol(AskDefault(c, "<d>", "</d>", 1));
}
static const char *PressureUnit(const ExpressionCall *c) {
    return AskCall(c, "<up>", "</up>");
}
static const char *Wind(const ExpressionCall *c) {
    return FormatWind(c->locationId, c->unitType, "0", "<s>", "</s>", 0);
}
static const char *WindMetresPerSecond(const ExpressionCall *c) {
    return FormatWind(c->locationId, "Metric", "0", "<s>", "</s>", 1);
}
static const char *WindKnots(const ExpressionCall *c) {
    return FormatKnots(Ask(c, "English", "<s>", "</s>", 1));
}
static const char *WindBeaufort(const ExpressionCall *c) {
    return BeaufortWind(Ask(c, "English", "<s>", "</s>", 1), 1);
}
static const char *WindStrength(const ExpressionCall *c) {
    return BeaufortWind(Ask(c, "English", "<s>", "</s>", 1), 0);
}
static const char *GustMetresPerSecond(const ExpressionCall *c) {
    return FormatWind(c->locationId, "Metric", "0", "<gust>", "</gust>", 1);
}
static const char *Gust(const ExpressionCall *c) {
    return FormatWind(c->locationId, c->unitType, "0", "<gust>", "</gust>", 0);
}
static const char *WindDirection(const ExpressionCall *c) {
    return Translate("Wind", AskDefault(c, "<t>", "</t>", 2));
}
static const char *WindDegrees(const ExpressionCall *c) {
    return AskDefault(c, "<d>", "</d>", 2);
}
static const char *WindUnit(const ExpressionCall *c) {
    return AskCall(c, "<us>", "</us>");
}
static const char *Alert(const ExpressionCall *c) {
    return AskDefault(c, "<t>", "</t>", 0);
}
static const char *PrecipAmount(const ExpressionCall *c) {
    return FormatAmount(c->locationId, c->unitType, UNIT_PRECIPITATION, "<pa>", "</pa>", 0);
}
static const char *PrecipUnit(const ExpressionCall *c) {
    return AskCall(c, "<ur>", "</ur>");
}
static const char *Nowcast(const ExpressionCall *c) {
    return NowcastText(c->locationId);
}
static const char *NowcastMinutes(const ExpressionCall *c) {
    return NowcastMinutesText(c->locationId);
}
static const char *AirIndex(const ExpressionCall *c) {
    return AirIndexText(c->locationId, 0);
}
static const char *AirBand(const ExpressionCall *c) {
    return AirBandText(c->locationId, 0);
}
static const char *AirScale(const ExpressionCall *c) {
    return AirScaleText(c->locationId);
}
static const char *FineParticles(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_PM2_5);
}
static const char *Particles(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_PM10);
}
static const char *Ozone(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_OZONE);
}
static const char *NitrogenDioxide(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_NITROGEN_DIOXIDE);
}
static const char *SulphurDioxide(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_SULPHUR_DIOXIDE);
}
static const char *CarbonMonoxide(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_CARBON_MONOXIDE);
}
static const char *Dust(const ExpressionCall *c) {
    return AirAmountText(c->locationId, 0, AIR_DUST);
}
static const char *AirUnit(const ExpressionCall *) {
    return AirUnitText();
}
static const char *Pollen(const ExpressionCall *c) {
    return PollenText(c->locationId, 0);
}
static const char *AlderPollen(const ExpressionCall *c) {
    return PlantPollenText(c->locationId, PLANT_ALDER);
}
static const char *BirchPollen(const ExpressionCall *c) {
    return PlantPollenText(c->locationId, PLANT_BIRCH);
}
static const char *GrassPollen(const ExpressionCall *c) {
    return PlantPollenText(c->locationId, PLANT_GRASS);
}
static const char *MugwortPollen(const ExpressionCall *c) {
    return PlantPollenText(c->locationId, PLANT_MUGWORT);
}
static const char *OlivePollen(const ExpressionCall *c) {
    return PlantPollenText(c->locationId, PLANT_OLIVE);
}
static const char *RagweedPollen(const ExpressionCall *c) {
    return PlantPollenText(c->locationId, PLANT_RAGWEED);
}

// In this order: a value inserted by an earlier term is searched by the later ones.
static const Term kTerms[] = {
    {"<temp>", Temperature, TERM_TESTED},
    {"<tempunit>", TemperatureUnit, TERM_TESTED},
    {"<feel>", FeelsLike, TERM_TESTED},
    {"<city>", City, TERM_TESTED},
    {"<locid>", LocationId, TERM_TESTED},
    {"<citydata>", CityData, TERM_TESTED},
    {"<cond>", Condition, TERM_TESTED},
    {"<humidity>", Humidity, TERM_TESTED},
    {"<vis>", Visibility, TERM_TESTED},
    {"<visunit>", VisibilityUnit, TERM_TESTED},
    {"<dewpoint>", DewPoint, TERM_TESTED},
    {"<update>", Update, TERM_TESTED},
    {"<timezone>", TimeZone, TERM_TESTED},
    {"<download>", DownloadTime, TERM_TESTED},
    {"<uvnum>", UvNumber, TERM_TESTED},
    {"<uv>", Uv, TERM_TESTED},
    {"<long>", Longitude, TERM_TESTED},
    {"<lat>", Latitude, TERM_TESTED},
    {"<moon>", Moon, TERM_TESTED},
    {"<moonvis>", MoonVisible, TERM_TESTED},
    {"<moonphase>", MoonPhase, TERM_TESTED},
    {"<nextfullmoon>", NextFullMoon, TERM_TESTED},
    {"<nextnewmoon>", NextNewMoon, TERM_TESTED},
    {"<moonage>", MoonAgeTerm, TERM_TESTED},
    {"<systemtime", NULL, TERM_SELF_REPLACING},
    {"<sunrise>", Sunrise, TERM_TESTED},
    {"<sunset>", Sunset, TERM_TESTED},
    {"<timezonegmt>", ZoneGmt, TERM_TESTED},
    {"<timezonelocal>", ZoneLocal, TERM_TESTED},
    {"<time>", DownloadTime, TERM_TESTED},
    {"<press>", Pressure, TERM_TESTED},
    {"<pressdir>", PressureTrend, TERM_TESTED},
    {"<presssymbol>", PressureTrendSymbol, TERM_TESTED},
    {"<pressunit>", PressureUnit, TERM_TESTED},
    {"<wind>", Wind, TERM_TESTED},
    {"<windms>", WindMetresPerSecond, TERM_TESTED},
    {"<windknots>", WindKnots, TERM_TESTED},
    {"<windbeaufort>", WindBeaufort, TERM_TESTED},
    {"<windstrength>", WindStrength, TERM_TESTED},
    {"<windgustms>", GustMetresPerSecond, TERM_TESTED},
    {"<windgust>", Gust, TERM_TESTED},
    {"<winddir>", WindDirection, TERM_TESTED},
    {"<winddeg>", WindDegrees, TERM_TESTED},
    {"<windunit>", WindUnit, TERM_NOT_TESTED},
    {"<alert>", Alert, TERM_NOT_TESTED},
    {"<precipamount>", PrecipAmount, TERM_TESTED},
    {"<precipunit>", PrecipUnit, TERM_TESTED},
    {"<nowcast>", Nowcast, TERM_TESTED},
    {"<nowcastmin>", NowcastMinutes, TERM_TESTED},
    {"<aqi>", AirIndex, TERM_TESTED},
    {"<aqitext>", AirBand, TERM_TESTED},
    {"<aqiscale>", AirScale, TERM_TESTED},
    {"<pm25>", FineParticles, TERM_TESTED},
    {"<pm10>", Particles, TERM_TESTED},
    {"<o3>", Ozone, TERM_TESTED},
    {"<no2>", NitrogenDioxide, TERM_TESTED},
    {"<so2>", SulphurDioxide, TERM_TESTED},
    {"<co>", CarbonMonoxide, TERM_TESTED},
    {"<dust>", Dust, TERM_TESTED},
    {"<aqunit>", AirUnit, TERM_TESTED},
    {"<pollen>", Pollen, TERM_TESTED},
    {"<pollenalder>", AlderPollen, TERM_TESTED},
    {"<pollenbirch>", BirchPollen, TERM_TESTED},
    {"<pollengrass>", GrassPollen, TERM_TESTED},
    {"<pollenmugwort>", MugwortPollen, TERM_TESTED},
    {"<pollenolive>", OlivePollen, TERM_TESTED},
    {"<pollenragweed>", RagweedPollen, TERM_TESTED},
};

const char *FillCurrent(const char *expression, const char *locationId, const char *unitType,
                        const char *degreeFlag) {
    static const Probe kProbe = {QueryCurrent, "<ut>", "</ut>", 1, 0};
    ExpressionCall call = {ArgumentText(locationId), ArgumentText(unitType),
                           ArgumentText(degreeFlag), 0};
    ProbeAndSubstitute(&kProbe, ArgumentText(expression), kTerms, sizeof kTerms / sizeof kTerms[0],
                       &call, SystemTimeTerm);
    return Plugin.expression;
}
