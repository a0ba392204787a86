// The documents of one place, as the cache holds them after a download, and expressions with
// every term of each expression function: shared by the benchmarks of warm calls.
#ifndef NIMBREL_BENCH_DOCUMENTS_H
#define NIMBREL_BENCH_DOCUMENTS_H

#include <string>

static const char kAllCurrentTerms[] =
    "<temp><tempunit><feel><city><locid><citydata><cond><humidity><vis><visunit><dewpoint>"
    "<update><timezone><download><uvnum><uv><long><lat><moon><moonvis><moonphase>"
    "<nextfullmoon><nextnewmoon><moonage><systemtime HH:mm:ss><sunrise><sunset><timezonegmt>"
    "<timezonelocal><time><press><pressdir><presssymbol><pressunit><wind><windms><windknots>"
    "<windbeaufort><windstrength><windgustms><windgust><winddir><winddeg><windunit><alert>";
static const char kAllForecastTerms[] =
    "<high><low><tempunit><sunrise><city><sunset><moon><moonvis><moonphase><download><update>"
    "<timezone><precip><precipn><humidity><humidityn><dayname><daydate><cond><condn><details>"
    "<detailsupdate><wind><windn><winddir><winddirn><winddeg><winddegn><windunit>";
static const char kAllHourlyTerms[] =
    "<update><moonvis><moonphase><timezone><download><temp><tempunit><feel><hourname><precip>"
    "<cond><dewpoint><humidity><wind><winddir><winddeg><windunit>";

static const char kBenchLocation[] = "B1";

static const char kCurrent[] =
    "<weather><head><ut>F</ut><ud>mi</ud><us>mph</us><up>in</up></head><loc id=\"B1\">"
    "<dnam>Benchville, BV (B1)</dnam><tm>1:15 PM</tm><lat>40.1</lat><lon>-75.2</lon>"
    "<sunr>6:35 AM</sunr><suns>5:05 PM</suns><zone>-5</zone></loc><cc><lsup>1/23/05 10:45 PM "
    "EST</lsup><obst>Bench Airport</obst><tmp>72</tmp><flik>70</flik><t>Partly Cloudy</t>"
    "<icon>30</icon><bar><r>1,013.2</r><d>rising</d></bar><wind><s>10</s><gust>25</gust>"
    "<d>200</d><t>SSW</t></wind><hmid>45</hmid><vis>10.0</vis><uv><i>5</i><t>Moderate</t></uv>"
    "<dewp>50</dewp></cc></weather>";

static const char kNarrative[] =
    "mpdData['narr'][1] = new mpdNarr('1','B1','d','Mar 4','Mon','Sunny.','Today');\n"
    "mpdData['narr'][2] = new mpdNarr('2','B1','d','Mar 5','Tue','Rain.','Tuesday');\n"
    "var mpdIssued = new mpdNObj('Issued Monday, Mar 4, at 7:00 AM CST');\n";

static inline std::string BenchDays() {
    std::string doc = "<weather><head><ut>F</ut><us>mph</us></head><loc><dnam>Benchville, BV "
                      "(B1)</dnam><tm>9:05 AM</tm><lsup>3/4/05 8:00 AM CST</lsup><sunr>5:00 "
                      "AM</sunr><suns>5:00 PM</suns></loc><dayf>";
    for (int d = 1; d <= 5; d++) {
        doc += "<day t=\"Monday\" dt=\"Mar 4\"><hi>61</hi><low>41</low><sunr>6:01 AM</sunr>"
               "<suns>6:11 PM</suns>";
        for (int p = 0; p < 2; p++) {
            doc += "<part><icon>30</icon><t>Cloudy</t><wind><s>10</s><d>100</d><t>NW</t></wind>"
                   "<ppcp>20</ppcp><hmid>50</hmid></part>";
        }
        doc += "</day>";
    }
    return doc + "</dayf></weather>";
}

static inline std::string BenchHours() {
    std::string doc = "<weather><head><ut>F</ut><us>mph</us></head><lsup>3/4/05 8:30 AM "
                      "CST</lsup><tm>9:10 AM</tm><hbhf>";
    for (int h = 1; h <= 12; h++) {
        doc += "<hour c=\"9\"><tmp>51</tmp><flik>46</flik><icon>11</icon><t>Rain</t><wind><s>3</s>"
               "<d>10</d><t>N</t></wind><ppcp>15</ppcp><hmid>19</hmid><dewp>31</dewp></hour>";
    }
    return doc + "</hbhf></weather>";
}

// Calls `place(name, content)` for every cache file a warm panel of the bench's place holds with
// 5 days and 12 hours: the feeds in English and Metric, and in Both (which the feed answers
// in the default unit, English), and the narrative.
template <typename Place> static void PlaceBenchDocuments(Place place) {
    for (const char *unit : {"English", "Metric", "Both"}) {
        place(std::string("Weather.Current.B1.") + unit + ".xml", kCurrent);
        place(std::string("Weather.Forecast.B1.") + unit + ".5.Days.xml", BenchDays());
        place(std::string("Weather.Hourly.B1.") + unit + ".12.Hours.xml", BenchHours());
        place(std::string("Weather.Details.B1.") + unit + ".xml", kNarrative);
    }
}

#endif
