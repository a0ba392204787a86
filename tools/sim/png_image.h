// Small radar-style pictures, encoded as PNG without any image library.
#pragma once

#include <cstdint>
#include <string>

// A width x height RGB picture (at most 1024 x 1024) of rain cells over a map
// grid; the same seed always gives the same bytes. Returns the PNG file bytes.
std::string RadarPicturePng(uint64_t seed, int width, int height);
