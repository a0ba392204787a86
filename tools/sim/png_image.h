// Small radar-style pictures, encoded as PNG without any image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A width x height RGB picture (at most 1024 x 1024) of rain cells over a map
// grid; the same seed always gives the same bytes. Returns the PNG file bytes.
std::string RadarPicturePng(uint64_t seed, int width, int height);

// A width x height RGBA picture (rows top to bottom, four bytes a pixel, alpha last) as PNG
// file bytes, deflate-compressed. Sizes are clamped to 1 to 1024; pixels missing from `rgba`
// are transparent.
std::string RgbaPng(int width, int height, const std::vector<uint8_t> &rgba);

struct OverlayStyle {
    int size = 256;      // width and height, 1 to 1024
    int colorScheme = 2; // 0 to 8: the palette of the precipitation
    bool smooth = true;  // soft edges, or hard ones
    bool snow = true;    // some cells drawn in the snow palette
};

// A transparent radar overlay without a base map: alpha 0 except for a few precipitation
// cells. The cells come from the seed and drift with `frame` (the frame's time counted in
// ten-minute steps), so neighbouring frames show the same rain moved on. The same arguments
// always give the same bytes.
std::string RadarOverlayPng(uint64_t seed, long long frame, const OverlayStyle &style);

// A size x size picture that reads "ZOOM LEVEL NOT SUPPORTED" on a dark band across its
// middle, transparent elsewhere.
std::string ZoomNotSupportedPng(int size);

// A short PNG, well-formed chunk by chunk, whose header claims 65535 x 65535 RGBA pixels
// (16 GiB decoded) while its data holds a few rows: for decoders that trust the header.
std::string OversizedPng();
