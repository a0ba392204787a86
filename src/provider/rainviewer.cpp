#include "provider/rainviewer.h"

#include <string.h>

#include "base/text.h"
#include "provider/json.h"

using rapidjson::Value;

enum { RADAR_HOST_CAPACITY = 256, RADAR_PATH_CAPACITY = 256 };

int RadarPointAddress(const PlaceInfo *place, char *out, size_t capacity) {
    char latitude[32], longitude[32];
    if (!FormatPoint(place->latitude, place->longitude, latitude, longitude, sizeof latitude) ||
        !FormatText(out, capacity, "%s%s,%s", RADAR_POINT_SCHEME, latitude, longitude)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    return 1;
}

int ParseRadarPointAddress(const char *address, double *latitude, double *longitude) {
    size_t scheme = strlen(RADAR_POINT_SCHEME);
    return strncmp(address, RADAR_POINT_SCHEME, scheme) == 0 &&
           ParseCoordinateId(address + scheme, latitude, longitude) && *latitude >= -90 &&
           *latitude <= 90 && *longitude >= -180 && *longitude <= 180;
}

// A piece of an address the index gives: only the characters an address of this kind has, so
// that nothing else can be slipped into the request. `start` is what it must begin with.
static int SafeAddressPart(const Value *value, const char *start, char *out, size_t capacity) {
    if (value == NULL || !value->IsString() || value->GetStringLength() >= capacity ||
        strncmp(value->GetString(), start, strlen(start)) != 0) {
        return 0;
    }
    const char *text = value->GetString();
    for (size_t i = 0; i < value->GetStringLength(); i++) {
        char c = text[i];
        int allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      strchr("/:._-", c) != NULL;
        if (!allowed) {
            return 0;
        }
    }
    memcpy(out, text, value->GetStringLength() + 1);
    return 1;
}

enum AnswerKind ReadRadarIndex(const char *json, size_t length, const char *indexAddress,
                               double latitude, double longitude, char *out, size_t capacity) {
    if (capacity > 0) {
        out[0] = '\0';
    }
    rapidjson::Document document;
    char host[RADAR_HOST_CAPACITY], path[RADAR_PATH_CAPACITY] = "";
    char scheme[sizeof "https:"];
    CopyText(scheme, sizeof scheme, indexAddress);
    int plainAllowed = !EqualsIgnoreCase(scheme, "https:");
    if (!JsonParseObject(&document, json, length) ||
        !(SafeAddressPart(JsonMember(&document, "host"), "https://", host, sizeof host) ||
          (plainAllowed &&
           SafeAddressPart(JsonMember(&document, "host"), "http://", host, sizeof host)))) {
        return ANSWER_UNREADABLE;
    }
    // The newest frame by its time, whatever the order of the list.
    const Value *past = JsonMember(JsonMember(&document, "radar"), "past");
    double newest = -1;
    for (rapidjson::SizeType i = 0; past != NULL && past->IsArray() && i < past->Size(); i++) {
        const Value *time = JsonMember(&(*past)[i], "time");
        char candidate[RADAR_PATH_CAPACITY];
        if (time != NULL && time->IsNumber() && time->GetDouble() > newest &&
            SafeAddressPart(JsonMember(&(*past)[i], "path"), "/", candidate, sizeof candidate)) {
            newest = time->GetDouble();
            CopyText(path, sizeof path, candidate);
        }
    }
    char latitudeText[32], longitudeText[32];
    if (path[0] == '\0' ||
        !FormatPoint(latitude, longitude, latitudeText, longitudeText, sizeof latitudeText) ||
        !FormatText(out, capacity, "%s%s/%d/%d/%s/%s/%d/%s.png", host, path, RADAR_PICTURE_SIZE,
                    RADAR_ZOOM, latitudeText, longitudeText, RADAR_COLOR_SCHEME, RADAR_OPTIONS)) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return ANSWER_UNREADABLE;
    }
    return ANSWER_WEATHER;
}
