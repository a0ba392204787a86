// Documents of known values placed fresh in a cache folder, so that the expression functions
// read them without a download; the service hosts point at a closed port.
#ifndef NIMBREL_TEST_EXPR_FIXTURE_H
#define NIMBREL_TEST_EXPR_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/sandbox.h"

// The Current feed of location T1, English and Metric.
static const char kCurrentEnglish[] =
    "<weather><head><ut>F</ut><ud>mi</ud><us>mph</us><up>in</up></head>"
    "<loc id=\"T1\"><dnam>Springfield, ST (T1)</dnam><tm>1:15 PM</tm><lat>40.1</lat>"
    "<lon>-75.2</lon><sunr>6:35 AM</sunr><suns>12:05 AM</suns><zone>-5</zone></loc>"
    "<cc><lsup>1/23/05 10:45 PM EST</lsup><obst>Springfield Airport</obst><tmp>72</tmp>"
    "<flik>70</flik><t>Partly Cloudy</t><icon>30</icon><bar><r>30.12</r><d>rising</d></bar>"
    "<wind><s>10</s><gust>25</gust><d>200</d><t>SSW</t></wind><hmid>45</hmid>"
    "<vis>Unlimited</vis><uv><i>5</i><t>Moderate</t></uv><dewp>50</dewp></cc></weather>";

static const char kCurrentMetric[] =
    "<weather><head><ut>C</ut><ud>km</ud><us>km/h</us><up>mb</up></head>"
    "<loc id=\"T1\"><dnam>Springfield, ST (T1)</dnam><tm>1:15 PM</tm><lat>40.1</lat>"
    "<lon>-75.2</lon><sunr>6:35 AM</sunr><suns>12:05 AM</suns><zone>-5</zone></loc>"
    "<cc><lsup>1/23/05 10:45 PM EST</lsup><obst>Springfield Airport</obst><tmp>22</tmp>"
    "<flik>21</flik><t>Partly Cloudy</t><icon>30</icon><bar><r>1,019.9</r><d>rising</d>"
    "</bar><wind><s>16</s><gust>40</gust><d>200</d><t>SSW</t></wind><hmid>45</hmid>"
    "<vis>Unlimited</vis><uv><i>5</i><t>Moderate</t></uv><dewp>10</dewp></cc></weather>";

class ExprTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sandbox::MakeFolder("expr");
        cache = sandbox::Join(folder, "Nimbrel");
        // Nothing listens on port 9: a download that should not happen fails at once.
        ResetCoreState(cache, "127.0.0.1:9");
        Place("Current", "T1", "English", kCurrentEnglish);
        Place("Current", "T1", "Metric", kCurrentMetric);
    }
    void TearDown() override {
        sandbox::RemoveTree(folder);
        CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "None");
        Plugin.languagePath[0] = '\0';
    }

    // Writes a fresh cache file of a feed kind ("Current", "Forecast", "Hourly", "Details").
    void Place(const std::string &kind, const std::string &id, const std::string &unit,
               const std::string &content) {
        std::string name = "Weather." + kind + "." + id + "." + unit;
        if (kind == "Forecast") {
            name += "." + std::to_string(Plugin.maxDays) + ".Days";
        } else if (kind == "Hourly") {
            name += "." + std::to_string(Plugin.maxHours) + ".Hours";
        }
        sandbox::WriteFile(sandbox::Join(cache, name + ".xml"), content);
    }

    // Chooses a language file with the given content.
    void UseLanguage(const std::string &content) {
        std::string path = sandbox::Join(folder, "German.ini");
        sandbox::WriteFile(path, content);
        CopyText(Plugin.customLanguage, sizeof Plugin.customLanguage, "German");
        CopyText(Plugin.languagePath, sizeof Plugin.languagePath, path.c_str());
    }

    static std::string Time(int hour, int minute, OsTimeForm form = OS_TIME_NO_SECONDS) {
        OsDateTime when = {2000, 1, 1, hour, minute, 0, 0, 6};
        char text[256];
        OsFormatTime(&when, form, text, sizeof text);
        return text;
    }
    static std::string Number(const char *plain) {
        char text[256];
        OsFormatNumber(plain, text, sizeof text);
        return text;
    }
    static std::string Degree() { return Latin1Text(0xB0); }

    std::string folder, cache;
};

#endif
