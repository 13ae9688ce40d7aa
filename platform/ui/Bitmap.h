// Bitmap: an RGBA picture, 8 bits per channel, not premultiplied, rows top to bottom.
#pragma once

#include <cstdint>
#include <vector>

namespace ui {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // width * height * 4 bytes

    std::uint8_t* pixel(int x, int y)
    {
        return rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    }
    const std::uint8_t* pixel(int x, int y) const
    {
        return rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    }
};

}
