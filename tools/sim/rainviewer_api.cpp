#include "rainviewer_api.h"

#include "png_image.h"
#include "sim_util.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

const char *const kIndexContentType = "application/json";
const char *const kPngContentType = "image/png";
const char *const kTextContentType = "text/plain";
// Zoom levels above this get a picture that says so, as the public service answers them.
const int kMaxSupportedZoom = 7;
const int kMaxZoom = 20;

time_t NewestFrame(time_t utcNow) {
    return utcNow - utcNow % kRadarFrameSeconds;
}

Answer Text(int status, const std::string &text) {
    Answer answer;
    answer.status = status;
    answer.contentType = kTextContentType;
    answer.body = text;
    return answer;
}

Answer TooManyRequests() {
    return Text(429, "429 Too Many Requests\n");
}

const char kIndex[] = R"({"version":"2.0","generated":{{GENERATED}},"host":{{HOST}},)"
                      R"("radar":{"past":[{{FRAMES}}],"nowcast":[]},"satellite":{"infrared":[]}})";

std::string IndexBody(const std::string &host, time_t utcNow, bool frames, bool nulls) {
    time_t newest = NewestFrame(utcNow);
    std::string list;
    for (int i = kRadarFrameCount - 1; frames && i >= 0; --i) {
        std::string time = std::to_string(newest - static_cast<time_t>(i) * kRadarFrameSeconds);
        list += std::string(list.empty() ? "" : ",") + "{\"time\":" + (nulls ? "null" : time) +
                ",\"path\":" + JsonString("/v2/radar/" + time, nulls) + "}";
    }
    return FillTemplate(kIndex, {{"GENERATED", nulls ? "null" : std::to_string(utcNow)},
                                 {"HOST", JsonString(host)},
                                 {"FRAMES", list}});
}

// Valid JSON in a shape no index has: frames of every type, times as text, out of range and
// at the edge of the range, paths that are no paths, a host that is no text, one member
// nested thousands deep, and "version" named twice.
const char kHostileIndex[] =
    R"({"version":2.0,"generated":"now","host":[{{HOST}}],"radar":{"past":[)"
    R"({"time":"{{NEWEST}}","path":"/v2/radar/{{NEWEST}}"},"a frame",null,)"
    R"({"time":-1,"path":null},{"time":1e308,"path":42},)"
    R"({"time":{{NEWEST}},"path":"../../{{LONG}} %s%n\u0001<>\""},{}],"nowcast":"none"},)"
    R"("satellite":[],"x_nested":{{DEEP}},"version":"9.9"})";

// A plain decimal with a point, as the address requires: "39.7392", "-104.99".
bool PointedDecimal(const std::string &text, double limit, double *value) {
    std::string digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    size_t dot = digits.find('.');
    if (dot == std::string::npos || digits.size() > 24 || !AllDigits(digits.substr(0, dot), 24) ||
        !AllDigits(digits.substr(dot + 1), 24))
        return false;
    *value = std::strtod(text.c_str(), nullptr);
    return std::fabs(*value) <= limit;
}

uint64_t PictureSeed(double latitude, double longitude, int zoom) {
    return TextHash(std::to_string(std::llround(latitude * 100.0)) + "," +
                    std::to_string(std::llround(longitude * 100.0)) + "," + std::to_string(zoom));
}

} // namespace

Answer RadarIndexAnswer(const std::string &host, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::RateLimit)
        return TooManyRequests();
    Answer answer;
    answer.contentType = kIndexContentType;
    if (scenario == Scenario::Hostile) {
        answer.body = FillTemplate(kHostileIndex, {{"HOST", JsonString(host)},
                                                   {"NEWEST", std::to_string(NewestFrame(utcNow))},
                                                   {"LONG", std::string(4000, 'p')},
                                                   {"DEEP", DeepArrays(kHostileDepth)}});
        return answer;
    }
    // A service without radar data lists no frames.
    answer.body = IndexBody(host, utcNow, scenario != Scenario::ServiceError, WantsNulls(scenario));
    return CutUnderBadJson(answer, scenario);
}

Answer RadarPictureAnswer(const RadarPictureRequest &request, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::RateLimit)
        return TooManyRequests();
    // Only the newest frames of the index answer; older ones, other times, and every frame of
    // a service without radar data are not found.
    time_t newest = NewestFrame(utcNow);
    long long frameTime = AllDigits(request.time, 12) ? std::atoll(request.time.c_str()) : -1;
    long long age = static_cast<long long>(newest) - frameTime;
    if (frameTime < 0 || age < 0 || age % kRadarFrameSeconds != 0 ||
        age / kRadarFrameSeconds >= kRadarLiveFrames || scenario == Scenario::ServiceError)
        return Text(404, "");

    OverlayStyle style;
    if (request.size != "256" && request.size != "512")
        return Text(400, "bad request: size must be 256 or 512, not " + request.size.substr(0, 40) +
                             "\n");
    style.size = std::atoi(request.size.c_str());
    int zoom = AllDigits(request.zoom, 2) ? std::atoi(request.zoom.c_str()) : -1;
    if (zoom < 0 || zoom > kMaxZoom)
        return Text(400, "bad request: zoom must be 0 to 20\n");
    double latitude = 0.0, longitude = 0.0;
    if (!PointedDecimal(request.latitude, 90.0, &latitude) ||
        !PointedDecimal(request.longitude, 180.0, &longitude))
        return Text(400, "bad request: latitude and longitude must be decimal numbers with a "
                         "point, within -90 to 90 and -180 to 180\n");
    if (request.color.size() != 1 || request.color[0] < '0' || request.color[0] > '8')
        return Text(400, "bad request: color must be 0 to 8\n");
    style.colorScheme = request.color[0] - '0';
    const std::string &options = request.options;
    if (options.size() != 3 || options[1] != '_' || (options[0] != '0' && options[0] != '1') ||
        (options[2] != '0' && options[2] != '1'))
        return Text(400, "bad request: options must be SMOOTH_SNOW, each 0 or 1, as 1_1\n");
    style.smooth = options[0] == '1';
    style.snow = options[2] == '1';

    Answer answer;
    answer.contentType = kPngContentType;
    if (scenario == Scenario::Hostile)
        answer.body = OversizedPng();
    else if (zoom > kMaxSupportedZoom)
        answer.body = ZoomNotSupportedPng(style.size);
    else
        answer.body = RadarOverlayPng(PictureSeed(latitude, longitude, zoom),
                                      frameTime / kRadarFrameSeconds, style);
    return CutUnderBadJson(answer, scenario);
}
