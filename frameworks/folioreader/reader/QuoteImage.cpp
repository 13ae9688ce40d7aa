// QuoteImage's plain-colour initialiser.
#include "frameworks/folioreader/reader/QuoteImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace folioreader {

namespace {

std::uint8_t channel(double component)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
}

// A small square of the colour; the reader stretches it over the whole card.
std::shared_ptr<ui::Image> filledPicture(ui::Color color)
{
    constexpr int side = 4;
    ui::Bitmap bitmap;
    bitmap.width = side;
    bitmap.height = side;
    bitmap.rgba.reserve(side * side * 4);
    for (int i = 0; i < side * side; ++i) {
        for (double component : { color.red, color.green, color.blue, color.alpha })
            bitmap.rgba.push_back(channel(component));
    }
    return ui::Image::withBitmap(std::move(bitmap));
}

}

QuoteImage::QuoteImage(
    ui::Color withColor, double alpha, ui::Color textColor, ui::Color backgroundColor)
    : image(filledPicture(withColor))
    , alpha(alpha)
    , textColor(textColor)
    , backgroundColor(backgroundColor)
{
}

}
