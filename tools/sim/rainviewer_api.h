// Radar frames and pictures in the shape of RainViewer's Weather Maps API: the index
// /public/weather-maps.json, which lists the frames of the last two hours, and pictures centred
// on a point, /v2/radar/TIME/SIZE/ZOOM/LAT/LON/COLOR/OPTIONS.png, transparent overlays with
// this service's own precipitation.
#pragma once

#include "scenarios.h"

#include <ctime>
#include <string>

// The frames: every ten minutes, the newest at the service clock rounded down to ten minutes.
const int kRadarFrameSeconds = 600;
const int kRadarFrameCount = 13;
// Only this many of the newest frames still answer with a picture; older ones have expired.
const int kRadarLiveFrames = 3;

// `host` is this service's base address, "http://127.0.0.1:PORT". Of the scenarios, the ones
// that change what is said are applied here; the ones that change how it is sent (empty to
// huge) are the caller's.
Answer RadarIndexAnswer(const std::string &host, time_t utcNow, Scenario scenario);

// The path's parts as they arrived, LAT and LON before any conversion.
struct RadarPictureRequest {
    std::string time, size, zoom, latitude, longitude, color, options;
};

// 200 and a PNG; 404 (with an empty body) for a frame that expired or never was; 400 and a
// text for parameters out of range.
Answer RadarPictureAnswer(const RadarPictureRequest &request, time_t utcNow, Scenario scenario);
