// QuoteImage: one background the reader offers for sharing a quote as a picture — an image, how
// opaque it is drawn, and the colours of the quote's text and of the card behind the image.
#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

#include <memory>
#include <optional>

namespace folioreader {

struct QuoteImage {
    // Every field empty; fill them one by one.
    QuoteImage() = default;
    // QuoteImage(withColor:alpha:textColor:backgroundColor:) — a background of one plain colour:
    // the image is a picture filled with withColor.
    QuoteImage(ui::Color withColor, double alpha, ui::Color textColor, ui::Color backgroundColor);

    // Empty when the quote image has none.
    std::shared_ptr<ui::Image> image;
    // The image's opacity over backgroundColor, 0 to 1.
    std::optional<double> alpha;
    std::optional<ui::Color> textColor;
    std::optional<ui::Color> backgroundColor;
};

}
