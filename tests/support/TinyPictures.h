// Tiny valid pictures that fixtures use as covers, and pictures made to measure.
#pragma once

#include <cstdint>
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

// A PNG of one colour, width × height pixels, RGB: covers that differ from book to book.
std::string solidPng(
    int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// A PNG whose header declares width × height pixels but whose pixel data is a few bytes: a
// picture too large to decode, small on disk.
std::string declaredPng(int width, int height);

}
