#include "feed_documents.h"

#include <cstdio>

namespace {

const char *const kNotAvailable = "N/A";

const char *const kEnglishDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
const char *const kMonthAbbreviations[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char *const kAlertTitles[] = {
    "Winter Storm Warning",     "Flood Watch",       "Heat Advisory",
    "Dense Fog Advisory",       "High Wind Warning", "Frost Advisory",
    "Severe Thunderstorm Watch"};
const int kAlertTitleCount = sizeof(kAlertTitles) / sizeof(kAlertTitles[0]);

std::string IntText(int value) {
    return std::to_string(value);
}

// "h:mm AM", the feed's clock form, from minutes after midnight.
std::string ClockText(int minutesAfterMidnight) {
    int minutes = ((minutesAfterMidnight % 1440) + 1440) % 1440;
    int hour = minutes / 60;
    int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d %s", hour12, minutes % 60, hour < 12 ? "AM" : "PM");
    return text;
}

// The location's local time some minutes before now.
std::tm LocalTimeBefore(const Location &location, time_t utcNow, int minutesBefore) {
    return LocalTimeAt(location, utcNow - static_cast<time_t>(minutesBefore) * 60);
}

// "12/8/26 4:53 AM EST": month/day/two-digit year, clock, zone.
std::string UpdateStamp(const Location &location, const std::tm &local) {
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%02d %s %s", local.tm_mon + 1, local.tm_mday,
                  local.tm_year % 100, ClockText(local.tm_hour * 60 + local.tm_min).c_str(),
                  location.zoneAbbreviation.c_str());
    return text;
}

std::tm LocalDateOfDay(const Location &location, time_t utcNow, int day) {
    return LocalTimeAt(location, utcNow + static_cast<time_t>(day - 1) * 86400);
}

std::string DecimalText(int value, int divisor, int decimals) {
    const char *sign = value < 0 ? "-" : "";
    int magnitude = value < 0 ? -value : value;
    char text[32];
    if (decimals == 1)
        std::snprintf(text, sizeof text, "%s%d.%d", sign, magnitude / divisor, magnitude % divisor);
    else
        std::snprintf(text, sizeof text, "%s%d.%02d", sign, magnitude / divisor,
                      magnitude % divisor);
    return text;
}

std::string TemperatureValue(int fahrenheit, const DocumentOptions &options) {
    if (options.notAvailable)
        return kNotAvailable;
    return IntText(options.metric ? FahrenheitToCelsius(fahrenheit) : fahrenheit);
}

std::string SpeedValue(int mph, const DocumentOptions &options) {
    if (options.notAvailable)
        return kNotAvailable;
    if (mph == 0)
        return "calm";
    return IntText(options.metric ? MphToKmh(mph) : mph);
}

std::string GustValue(int mph, const DocumentOptions &options) {
    if (options.notAvailable || mph < 0)
        return kNotAvailable;
    return IntText(options.metric ? MphToKmh(mph) : mph);
}

// English pressure has two decimals; the metric one a thousands comma and one
// decimal, as "1,013.2".
std::string PressureValue(int hundredthsInch, const DocumentOptions &options) {
    if (options.notAvailable)
        return kNotAvailable;
    if (!options.metric)
        return DecimalText(hundredthsInch, 100, 2);
    int tenths = HundredthsInchToTenthsMillibar(hundredthsInch);
    int whole = tenths / 10;
    char text[32];
    if (whole >= 1000)
        std::snprintf(text, sizeof text, "%d,%03d.%d", whole / 1000, whole % 1000, tenths % 10);
    else
        std::snprintf(text, sizeof text, "%d.%d", whole, tenths % 10);
    return text;
}

std::string VisibilityValue(int tenthsMile, const DocumentOptions &options) {
    if (options.notAvailable)
        return kNotAvailable;
    if (tenthsMile < 0)
        return "Unlimited";
    return DecimalText(options.metric ? TenthsMileToTenthsKm(tenthsMile) : tenthsMile, 10, 1);
}

std::string PlainValue(const std::string &value, const DocumentOptions &options) {
    return options.notAvailable ? std::string(kNotAvailable) : value;
}

std::string IconValue(int code, const DocumentOptions &options) {
    if (options.dashIcons)
        return "-";
    return PlainValue(IntText(code), options);
}

void Indent(std::string &out, int depth) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
}

void Element(std::string &out, int depth, const char *name, const std::string &value) {
    Indent(out, depth);
    out += "<";
    out += name;
    out += ">";
    out += value;
    out += "</";
    out += name;
    out += ">\n";
}

void OpenTag(std::string &out, int depth, const std::string &tagWithAttributes) {
    Indent(out, depth);
    out += "<" + tagWithAttributes + ">\n";
}

void CloseTag(std::string &out, int depth, const char *name) {
    Indent(out, depth);
    out += "</";
    out += name;
    out += ">\n";
}

void DocumentStart(std::string &out) {
    out += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    out += "<weather ver=\"2.0\">\n";
}

void UnitsHead(std::string &out, const DocumentOptions &options) {
    OpenTag(out, 1, "head");
    Element(out, 2, "locale", "en_US");
    Element(out, 2, "form", "MEDIUM");
    Element(out, 2, "ut", options.metric ? "C" : "F");
    Element(out, 2, "ud", options.metric ? "km" : "mi");
    Element(out, 2, "us", options.metric ? "km/h" : "mph");
    Element(out, 2, "up", options.metric ? "mb" : "in");
    Element(out, 2, "ur", options.metric ? "mm" : "in");
    CloseTag(out, 1, "head");
}

void LocationBlock(std::string &out, const Location &location, const DocumentOptions &options,
                   bool withSun) {
    OpenTag(out, 1, "loc id=\"" + location.id + "\"");
    Element(out, 2, "dnam", location.cityName + " (" + location.id + ")");
    std::tm local = LocalTimeAt(location, options.utcNow);
    Element(out, 2, "tm", ClockText(local.tm_hour * 60 + local.tm_min));
    Element(out, 2, "lat", DecimalText(location.latitudeHundredths, 100, 2));
    Element(out, 2, "lon", DecimalText(location.longitudeHundredths, 100, 2));
    if (withSun) {
        ForecastDay today = ForecastForDay(location, 1);
        Element(out, 2, "sunr", PlainValue(ClockText(today.sunriseMinutes), options));
        Element(out, 2, "suns", PlainValue(ClockText(today.sunsetMinutes), options));
    }
    Element(out, 2, "zone", IntText(location.zoneOffsetHours));
    CloseTag(out, 1, "loc");
}

void WindBlock(std::string &out, int depth, const PeriodWeather &period,
               const DocumentOptions &options) {
    OpenTag(out, depth, "wind");
    Element(out, depth + 1, "s", SpeedValue(period.windMph, options));
    Element(out, depth + 1, "gust", GustValue(period.gustMph, options));
    Element(out, depth + 1, "d", PlainValue(IntText(period.windDegrees), options));
    Element(out, depth + 1, "t", PlainValue(period.windDirection, options));
    CloseTag(out, depth, "wind");
}

std::string AlertLink(const Location &location, int number, const DocumentOptions &options) {
    // The query carries "www." so that rewriting the link has something to
    // work on, while the address itself stays on this service.
    return options.baseUrl + "/alerts/" + location.id + "/" + IntText(number) + "?source=www.feed";
}

const char *AlertTitle(const Location &location, int number) {
    return kAlertTitles[(location.seed + static_cast<uint64_t>(number)) % kAlertTitleCount];
}

void AlertSection(std::string &out, const Location &location, const DocumentOptions &options) {
    OpenTag(out, 1, "swa");
    for (int number = 1; number <= options.alertCount; ++number) {
        OpenTag(out, 2, "a id=\"" + IntText(number) + "\" uc=\"1\"");
        Element(out, 3, "t", AlertTitle(location, number));
        Element(out, 3, "l", AlertLink(location, number, options));
        CloseTag(out, 2, "a");
    }
    CloseTag(out, 1, "swa");
}

void ForecastPart(std::string &out, const char *partName, const PeriodWeather &period,
                  const DocumentOptions &options) {
    OpenTag(out, 3, std::string("part p=\"") + partName + "\"");
    Element(out, 4, "icon", IconValue(period.conditionCode, options));
    Element(out, 4, "t", PlainValue(period.conditionText, options));
    WindBlock(out, 4, period, options);
    Element(out, 4, "ppcp", PlainValue(IntText(period.precipChancePercent), options));
    Element(out, 4, "hmid", PlainValue(IntText(period.humidityPercent), options));
    CloseTag(out, 3, "part");
}

int ClampCount(int value, int highest) {
    if (value < 1)
        return 1;
    return value > highest ? highest : value;
}

// Issued an hour before the current observation.
std::tm ForecastIssueTime(const Location &location, const DocumentOptions &options) {
    CurrentWeather current = CurrentForLocation(location);
    return LocalTimeBefore(location, options.utcNow, current.observationAgeMinutes + 60);
}

std::string WindPhrase(const PeriodWeather &period) {
    if (period.windMph == 0 || period.windDirection == "VAR")
        return "Winds light and variable.";
    return "Winds " + period.windDirection + " at " + IntText(period.windMph) + " to " +
           IntText(period.windMph + 5) + " mph.";
}

// One narrative text; it must hold no apostrophe, which would shift the
// quoted fields that the plugin counts.
std::string NarrativeText(const ForecastDay &day, const DocumentOptions &options) {
    if (options.notAvailable)
        return kNotAvailable;
    return day.dayPart.conditionText + ". High " + IntText(day.highF) + "F. " +
           WindPhrase(day.dayPart) + " Chance of precipitation " +
           IntText(day.dayPart.precipChancePercent) + "%. Tonight " + day.nightPart.conditionText +
           ", low " + IntText(day.lowF) + "F.";
}

const char *HtmlHead() {
    return "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html>\n<head>\n";
}

} // namespace

std::string CurrentFeed(const Location &location, const DocumentOptions &options) {
    CurrentWeather current = CurrentForLocation(location);
    const PeriodWeather &observed = current.observed;
    std::string out;
    DocumentStart(out);
    UnitsHead(out, options);
    LocationBlock(out, location, options, true);
    if (options.alertCount > 0)
        AlertSection(out, location, options);

    OpenTag(out, 1, "cc");
    std::tm observedAt = LocalTimeBefore(location, options.utcNow, current.observationAgeMinutes);
    Element(out, 2, "lsup", PlainValue(UpdateStamp(location, observedAt), options));
    Element(out, 2, "obst", location.stationName);
    Element(out, 2, "tmp", TemperatureValue(observed.temperatureF, options));
    Element(out, 2, "flik", TemperatureValue(observed.feelsLikeF, options));
    Element(out, 2, "t", PlainValue(observed.conditionText, options));
    Element(out, 2, "icon", IconValue(observed.conditionCode, options));
    OpenTag(out, 2, "bar");
    Element(out, 3, "r", PressureValue(current.pressureHundredthsInch, options));
    Element(out, 3, "d", PlainValue(current.pressureTrend, options));
    CloseTag(out, 2, "bar");
    WindBlock(out, 2, observed, options);
    Element(out, 2, "hmid", PlainValue(IntText(observed.humidityPercent), options));
    Element(out, 2, "vis", VisibilityValue(current.visibilityTenthsMile, options));
    OpenTag(out, 2, "uv");
    Element(out, 3, "i", PlainValue(IntText(current.uvIndex), options));
    Element(out, 3, "t", PlainValue(current.uvText, options));
    CloseTag(out, 2, "uv");
    Element(out, 2, "dewp", TemperatureValue(observed.dewPointF, options));
    CloseTag(out, 1, "cc");
    out += "</weather>\n";
    return out;
}

std::string ForecastFeed(const Location &location, int days, const DocumentOptions &options) {
    days = ClampCount(days, kMaxForecastDays);
    std::string out;
    DocumentStart(out);
    UnitsHead(out, options);
    LocationBlock(out, location, options, true);
    OpenTag(out, 1, "dayf");
    Element(out, 2, "lsup",
            PlainValue(UpdateStamp(location, ForecastIssueTime(location, options)), options));
    for (int day = 1; day <= days; ++day) {
        ForecastDay forecast = ForecastForDay(location, day);
        std::tm date = LocalDateOfDay(location, options.utcNow, day);
        OpenTag(out, 2,
                "day d=\"" + IntText(day - 1) + "\" t=\"" + kEnglishDayNames[date.tm_wday] +
                    "\" dt=\"" + kMonthAbbreviations[date.tm_mon] + " " + IntText(date.tm_mday) +
                    "\"");
        Element(out, 3, "hi", TemperatureValue(forecast.highF, options));
        Element(out, 3, "low", TemperatureValue(forecast.lowF, options));
        Element(out, 3, "sunr", PlainValue(ClockText(forecast.sunriseMinutes), options));
        Element(out, 3, "suns", PlainValue(ClockText(forecast.sunsetMinutes), options));
        ForecastPart(out, "d", forecast.dayPart, options);
        ForecastPart(out, "n", forecast.nightPart, options);
        CloseTag(out, 2, "day");
    }
    CloseTag(out, 1, "dayf");
    out += "</weather>\n";
    return out;
}

std::string HourlyFeed(const Location &location, int hours, const DocumentOptions &options) {
    hours = ClampCount(hours, kMaxForecastHours);
    CurrentWeather current = CurrentForLocation(location);
    std::string out;
    DocumentStart(out);
    UnitsHead(out, options);
    LocationBlock(out, location, options, false);
    OpenTag(out, 1, "hbhf");
    std::tm issued = LocalTimeBefore(location, options.utcNow, current.observationAgeMinutes + 30);
    Element(out, 2, "lsup", PlainValue(UpdateStamp(location, issued), options));
    for (int hour = 1; hour <= hours; ++hour) {
        HourWeather forecast = ForecastForHour(location, hour, options.utcNow);
        const PeriodWeather &weather = forecast.weather;
        OpenTag(out, 2,
                "hour h=\"" + IntText(hour - 1) + "\" c=\"" + IntText(forecast.hourOfDay) + "\"");
        Element(out, 3, "tmp", TemperatureValue(weather.temperatureF, options));
        Element(out, 3, "flik", TemperatureValue(weather.feelsLikeF, options));
        Element(out, 3, "icon", IconValue(weather.conditionCode, options));
        Element(out, 3, "t", PlainValue(weather.conditionText, options));
        WindBlock(out, 3, weather, options);
        Element(out, 3, "ppcp", PlainValue(IntText(weather.precipChancePercent), options));
        Element(out, 3, "hmid", PlainValue(IntText(weather.humidityPercent), options));
        Element(out, 3, "dewp", TemperatureValue(weather.dewPointF, options));
        CloseTag(out, 2, "hour");
    }
    CloseTag(out, 1, "hbhf");
    out += "</weather>\n";
    return out;
}

std::string NarrativePage(const Location &location, const DocumentOptions &options) {
    std::string out = HtmlHead();
    out += "<title>Forecast narrative for " + location.cityName + "</title>\n";
    out += "<script type=\"text/javascript\">\n";
    out += "function mpdNarr(d, loc, part, date, abbr, text, name) { this.text = text; }\n";
    out += "function mpdNObj(issued) { this.issued = issued; }\n";
    out += "var mpdData = new Object();\n";
    out += "mpdData['narr'] = new Array();\n";
    for (int day = 1; day <= kMaxForecastDays; ++day) {
        ForecastDay forecast = ForecastForDay(location, day);
        std::tm date = LocalDateOfDay(location, options.utcNow, day);
        std::string dayName = kEnglishDayNames[date.tm_wday];
        std::string periodName = day == 1 ? "Today" : dayName;
        std::string dateText =
            std::string(kMonthAbbreviations[date.tm_mon]) + " " + IntText(date.tm_mday);
        out += "mpdData['narr'][" + IntText(day) + "] = new mpdNarr('" + IntText(day) + "','" +
               location.id + "','d','" + dateText + "','" + dayName.substr(0, 3) + "','" +
               NarrativeText(forecast, options) + "','" + periodName + "');\n";
    }
    std::tm issued = ForecastIssueTime(location, options);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "Issued %s, %s %d, at %s %s",
                  kEnglishDayNames[issued.tm_wday], kMonthAbbreviations[issued.tm_mon],
                  issued.tm_mday, ClockText(issued.tm_hour * 60 + issued.tm_min).c_str(),
                  location.zoneAbbreviation.c_str());
    out += "var mpdIssued = new mpdNObj('" + std::string(stamp) + "');\n";
    out += "</script>\n</head>\n<body>\n";
    out += "<h1>" + location.cityName + "</h1>\n<p>Ten-day forecast narrative.</p>\n";
    out += "</body>\n</html>\n";
    return out;
}

std::string LocalPage(const Location &location, const DocumentOptions &options) {
    // The image address is cut out up to the next "Radar", so it must not hold
    // that word; the upper-cased ID cannot spell it.
    std::string imageAddress = options.baseUrl + "/images/radar/" + location.id + ".png";
    std::string out = HtmlHead();
    out += "<title>Local weather for " + location.cityName + "</title>\n";
    out += "<script type=\"text/javascript\">\n";
    out += "function mw_propsObj(loc, img, title, w, h) { this.img = img; }\n";
    out += "var localMap = new mw_propsObj('" + location.id + "','" + imageAddress +
           "','Local Radar','120','90');\n";
    out += "</script>\n</head>\n<body>\n";
    out += "<h1>" + location.cityName + " (" + location.id + ")</h1>\n";
    out += "<img src=\"" + imageAddress + "\" width=\"120\" height=\"90\" alt=\"map\">\n";
    out += "</body>\n</html>\n";
    return out;
}

std::string AlertPage(const Location &location, int alertNumber) {
    std::string title = AlertTitle(location, alertNumber);
    std::string out = HtmlHead();
    out += "<title>" + title + "</title>\n</head>\n<body>\n";
    out += "<h1>" + title + "</h1>\n";
    out += "<p>In effect for " + location.cityName + " (" + location.id +
           ") until further notice.</p>\n";
    out += "</body>\n</html>\n";
    return out;
}

std::string ServiceErrorDocument(char errorType, const std::string &message) {
    std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    out += "<error>\n  <err type=\"";
    out += errorType;
    out += "\">" + message + "</err>\n</error>\n";
    return out;
}

std::string ServerErrorPage() {
    return std::string(HtmlHead()) +
           "<title>500 Internal Server Error</title>\n</head>\n<body>\n"
           "<h1>Internal Server Error</h1>\n"
           "<p>The server could not produce this document.</p>\n</body>\n</html>\n";
}
