// Radar pictures from RainViewer: a picture centred on a point, of the newest frame its index
// lists. Frames expire within hours, while the local page that names a location's picture is
// kept for a day, so the page names the point and the frame is chosen when the picture is
// downloaded.
#ifndef NIMBREL_RAINVIEWER_H
#define NIMBREL_RAINVIEWER_H

#include <stddef.h>

#include "feed/kept_answer.h" // AnswerKind
#include "provider/model.h"
#include "provider/openmeteo.h"

#define RAINVIEWER_MAPS_API "https://api.rainviewer.com/public/weather-maps.json"

// The address a local page names for a point's radar picture: this scheme and "LAT,LON". No
// program but the provider reads it; a download of it fails.
#define RADAR_POINT_SCHEME "nimbrel-radar:"

// The picture: 256 pixels square, at the service's highest zoom (7), in its colour scheme 2
// with smoothing and snow shown.
enum { RADAR_PICTURE_SIZE = 256, RADAR_ZOOM = 7, RADAR_COLOR_SCHEME = 2 };
#define RADAR_OPTIONS "1_1"

// The largest index read.
#define RADAR_INDEX_LIMIT (1u * 1024u * 1024u)

// Writes the point's address for a local page. Returns 1 when it fits, else 0 (out empty).
int RadarPointAddress(const PlaceInfo *place, char *out, size_t capacity);

// Reads an address written by RadarPointAddress. Returns 1 with the point, or 0 for any other
// address.
int ParseRadarPointAddress(const char *address, double *latitude, double *longitude);

// Reads the index of frames, downloaded from `indexAddress`: the address of the newest past
// frame's picture centred on the point, into `out`. Returns ANSWER_WEATHER with the address, or
// ANSWER_UNREADABLE when the index holds no usable frame or host (out empty). An index that came
// over https must name an https host: the picture never comes over a plain hop a man in the
// middle could answer.
enum AnswerKind ReadRadarIndex(const char *json, size_t length, const char *indexAddress,
                               double latitude, double longitude, char *out, size_t capacity);

#endif
