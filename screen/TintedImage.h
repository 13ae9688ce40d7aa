// tintedImage: an image's shape in one colour, as the header's icons are shown.
#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

#include <memory>

// The image's size and scale, painted in the colour where the image is opaque and transparent
// where it is transparent. An image without pixels gives its whole rectangle in the colour.
// Nothing when no drawing context can be made for the image (or there is no image).
std::shared_ptr<ui::Image> tintedImage(
    const std::shared_ptr<ui::Image>& image, const ui::Color& color);
