#include "rainviewer_api.h"

#include "png_image.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

const char *const kIndexContentType = "application/json";
const char *const kPngContentType = "image/png";
const char *const kTextContentType = "text/plain";
// Zoom levels above this get a picture that says so, as the public service answers them.
const int kMaxSupportedZoom = 7;
const int kMaxZoom = 20;
const int kHostileDepth = 3000;

time_t NewestFrame(time_t utcNow) {
    return utcNow - utcNow % kRadarFrameSeconds;
}

TypedAnswer Text(int status, const std::string &text) {
    TypedAnswer answer;
    answer.status = status;
    answer.contentType = kTextContentType;
    answer.body = text;
    return answer;
}

TypedAnswer TooManyRequests() {
    return Text(429, "429 Too Many Requests\n");
}

std::string IndexBody(const std::string &host, time_t utcNow, bool frames, bool nulls) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("version");
    writer.String("2.0");
    writer.Key("generated");
    if (nulls)
        writer.Null();
    else
        writer.Int64(static_cast<int64_t>(utcNow));
    writer.Key("host");
    writer.String(host.c_str());
    writer.Key("radar");
    writer.StartObject();
    writer.Key("past");
    writer.StartArray();
    time_t newest = NewestFrame(utcNow);
    for (int i = kRadarFrameCount - 1; frames && i >= 0; --i) {
        time_t time = newest - static_cast<time_t>(i) * kRadarFrameSeconds;
        writer.StartObject();
        writer.Key("time");
        if (nulls)
            writer.Null();
        else
            writer.Int64(static_cast<int64_t>(time));
        writer.Key("path");
        if (nulls)
            writer.Null();
        else
            writer.String(("/v2/radar/" + std::to_string(time)).c_str());
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("nowcast");
    writer.StartArray();
    writer.EndArray();
    writer.EndObject();
    writer.Key("satellite");
    writer.StartObject();
    writer.Key("infrared");
    writer.StartArray();
    writer.EndArray();
    writer.EndObject();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

// Valid JSON in a shape no index has: frames of every type, times as text, out of range and
// at the edge of the range, paths that are no paths, a host that is no text, one member
// nested thousands deep, and "version" named twice.
std::string HostileIndexBody(const std::string &host, time_t utcNow) {
    time_t newest = NewestFrame(utcNow);
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("version");
    writer.Double(2.0);
    writer.Key("generated");
    writer.String("now");
    writer.Key("host");
    writer.StartArray();
    writer.String(host.c_str());
    writer.EndArray();
    writer.Key("radar");
    writer.StartObject();
    writer.Key("past");
    writer.StartArray();
    writer.StartObject();
    writer.Key("time");
    writer.String(std::to_string(newest).c_str());
    writer.Key("path");
    writer.String(("/v2/radar/" + std::to_string(newest)).c_str());
    writer.EndObject();
    writer.String("a frame");
    writer.Null();
    writer.StartObject();
    writer.Key("time");
    writer.Int(-1);
    writer.Key("path");
    writer.Null();
    writer.EndObject();
    writer.StartObject();
    writer.Key("time");
    writer.Double(1e308);
    writer.Key("path");
    writer.Int(42);
    writer.EndObject();
    writer.StartObject();
    writer.Key("time");
    writer.Int64(static_cast<int64_t>(newest));
    std::string path = "../../" + std::string(4000, 'p') + " %s%n\x01<>\"";
    writer.Key("path");
    writer.String(path.c_str(), static_cast<rapidjson::SizeType>(path.size()));
    writer.EndObject();
    writer.StartObject();
    writer.EndObject();
    writer.EndArray();
    writer.Key("nowcast");
    writer.String("none");
    writer.EndObject();
    writer.Key("satellite");
    writer.StartArray();
    writer.EndArray();
    writer.Key("x_nested");
    for (int i = 0; i < kHostileDepth; ++i)
        writer.StartArray();
    writer.Int(0);
    for (int i = 0; i < kHostileDepth; ++i)
        writer.EndArray();
    writer.Key("version");
    writer.String("9.9");
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool AllDigits(const std::string &text, size_t maxLength) {
    if (text.empty() || text.size() > maxLength)
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

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
    std::string key = std::to_string(std::llround(latitude * 100.0)) + "," +
                      std::to_string(std::llround(longitude * 100.0)) + "," + std::to_string(zoom);
    uint64_t hash = 0xCBF29CE484222325ULL; // FNV-1a
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

} // namespace

TypedAnswer RadarIndexAnswer(const std::string &host, time_t utcNow, Scenario scenario) {
    if (scenario == Scenario::RateLimit)
        return TooManyRequests();
    TypedAnswer answer;
    answer.contentType = kIndexContentType;
    if (scenario == Scenario::Hostile) {
        answer.body = HostileIndexBody(host, utcNow);
        return answer;
    }
    bool nulls = scenario == Scenario::Nulls || scenario == Scenario::NotAvailable;
    // A service without radar data lists no frames.
    answer.body = IndexBody(host, utcNow, scenario != Scenario::ServiceError, nulls);
    if (scenario == Scenario::BadJson)
        answer.body.resize(answer.body.size() / 2);
    return answer;
}

TypedAnswer RadarPictureAnswer(const RadarPictureRequest &request, time_t utcNow,
                               Scenario scenario) {
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

    TypedAnswer answer;
    answer.contentType = kPngContentType;
    if (scenario == Scenario::Hostile)
        answer.body = OversizedPng();
    else if (zoom > kMaxSupportedZoom)
        answer.body = ZoomNotSupportedPng(style.size);
    else
        answer.body = RadarOverlayPng(PictureSeed(latitude, longitude, zoom),
                                      frameTime / kRadarFrameSeconds, style);
    if (scenario == Scenario::BadJson)
        answer.body.resize(answer.body.size() / 2);
    return answer;
}
