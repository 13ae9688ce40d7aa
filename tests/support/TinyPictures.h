// Tiny valid pictures that fixtures use as covers.
#pragma once

#include <string>

namespace fixtures {

// A 4 × 3 pixel PNG.
inline constexpr int tinyPngWidth = 4;
inline constexpr int tinyPngHeight = 3;
const std::string& tinyPng();

// A 5 × 2 pixel baseline JPEG.
inline constexpr int tinyJpegWidth = 5;
inline constexpr int tinyJpegHeight = 2;
const std::string& tinyJpeg();

}
