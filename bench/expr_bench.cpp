// Warm expression calls with every term: the documents are fresh in the cache and held, so a
// call costs the file-time checks, the scans and the formatting, and no download.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "expr/current.h"
#include "expr/forecast.h"
#include "platform/platform.h"
#include "plugin/settings.h"
#include "plugin/state.h"
#include "plugin/text.h"

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

static const char kCurrent[] =
    "<weather><head><ut>F</ut><ud>mi</ud><us>mph</us><up>in</up></head><loc id=\"B1\">"
    "<dnam>Benchville, BV (B1)</dnam><tm>1:15 PM</tm><lat>40.1</lat><lon>-75.2</lon>"
    "<sunr>6:35 AM</sunr><suns>5:05 PM</suns><zone>-5</zone></loc><cc><lsup>1/23/05 10:45 PM "
    "EST</lsup><obst>Bench Airport</obst><tmp>72</tmp><flik>70</flik><t>Partly Cloudy</t>"
    "<icon>30</icon><bar><r>1,013.2</r><d>rising</d></bar><wind><s>10</s><gust>25</gust>"
    "<d>200</d><t>SSW</t></wind><hmid>45</hmid><vis>10.0</vis><uv><i>5</i><t>Moderate</t></uv>"
    "<dewp>50</dewp></cc></weather>";

static std::string gFolder;

static void Place(const std::string &name, const std::string &content) {
    std::string path = gFolder + "/" + name;
    FILE *file = fopen(path.c_str(), "wb");
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

static std::string Days() {
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

static std::string Hours() {
    std::string doc = "<weather><head><ut>F</ut><us>mph</us></head><lsup>3/4/05 8:30 AM "
                      "CST</lsup><tm>9:10 AM</tm><hbhf>";
    for (int h = 1; h <= 12; h++) {
        doc += "<hour c=\"9\"><tmp>51</tmp><flik>46</flik><icon>11</icon><t>Rain</t><wind><s>3</s>"
               "<d>10</d><t>N</t></wind><ppcp>15</ppcp><hmid>19</hmid><dewp>31</dewp></hour>";
    }
    return doc + "</hbhf></weather>";
}

static void Prepare() {
    if (!gFolder.empty()) {
        return;
    }
    char pattern[] = "/tmp/nimbrel-bench-XXXXXX";
    gFolder = mkdtemp(pattern);
    ReadSettings(NULL);
    CopyText(Plugin.defaultUnit, sizeof Plugin.defaultUnit, "English");
    Plugin.documentBytes = (char *)malloc(FEED_DOCUMENT_INITIAL);
    Plugin.documentCapacity = FEED_DOCUMENT_INITIAL;
    Plugin.documentBytes[0] = '\0';
    CopyText(Plugin.cacheFolder, sizeof Plugin.cacheFolder, gFolder.c_str());
    CopyText(Plugin.feedHost, sizeof Plugin.feedHost, "127.0.0.1:9");
    CopyText(Plugin.connectivityUrl, sizeof Plugin.connectivityUrl, "http://127.0.0.1:9/");
    for (const char *unit : {"English", "Metric"}) {
        Place(std::string("Weather.Current.B1.") + unit + ".xml", kCurrent);
        Place(std::string("Weather.Forecast.B1.") + unit + ".5.Days.xml", Days());
        Place(std::string("Weather.Hourly.B1.") + unit + ".12.Hours.xml", Hours());
    }
    Place("Weather.Details.B1.English.xml",
          "mpdData['narr'][1] = new mpdNarr('1','B1','d','Mar 4','Mon','Sunny.','Today');\n"
          "mpdData['narr'][2] = new mpdNarr('2','B1','d','Mar 5','Tue','Rain.','Tuesday');\n"
          "var mpdIssued = new mpdNObj('Issued Monday, Mar 4, at 7:00 AM CST');\n");
}

static void CurrentAllTerms(benchmark::State &state, const char *unit) {
    Prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(CurrentConditionsText(kAllCurrentTerms, "B1", unit, "1"));
    }
}
BENCHMARK_CAPTURE(CurrentAllTerms, English, "English");
BENCHMARK_CAPTURE(CurrentAllTerms, Both, "Both");

static void ForecastAllTerms(benchmark::State &state) {
    Prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ForecastText(kAllForecastTerms, "B1", "2", "English", "1"));
    }
}
BENCHMARK(ForecastAllTerms);

static void HourlyAllTerms(benchmark::State &state) {
    Prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(HourlyText(kAllHourlyTerms, "B1", "3", "English", "1"));
    }
}
BENCHMARK(HourlyAllTerms);

// Resident memory in KiB, from the kernel's account of this process.
static long ResidentKiB() {
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status != NULL && fgets(line, sizeof line, status) != NULL) {
        if (strncmp(line, "VmRSS:", 6) == 0) {
            kib = atol(line + 6);
        }
    }
    if (status != NULL) {
        fclose(status);
    }
    return kib;
}

// --soak N: N warm calls of every expression function in turn, with the resident memory
// after the first tenth and at the end; it must not grow.
static int Soak(long calls) {
    Prepare();
    long early = 0;
    for (long i = 0; i < calls; i++) {
        switch (i % 4) {
        case 0:
            CurrentConditionsText(kAllCurrentTerms, "B1", "Both", "1");
            break;
        case 1:
            ForecastText(kAllForecastTerms, "B1", "2", "English", "1");
            break;
        case 2:
            HourlyText(kAllHourlyTerms, "B1", "3", "Metric", "1");
            break;
        default:
            NowOrLaterText("<name> <temp> <cond>", "B1", "", "1", 1, (int)(i % 24));
            break;
        }
        if (i == calls / 10) {
            early = ResidentKiB();
        }
    }
    long late = ResidentKiB();
    printf("soak: %ld calls, resident %ld KiB after a tenth, %ld KiB at the end\n", calls, early,
           late);
    return late > early + 1024 ? 1 : 0;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "--soak") == 0) {
        return Soak(atol(argv[2]));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
