// ViewJson: a view of the retained tree and its shown subviews as the renderer draws them —
// frame, colours, corner rounding, and what a label, an image view or a button carries.
#pragma once

#include "platform/host/snapshot/ImageRegistry.h"
#include "platform/ui/Color.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

#include <nlohmann/json.hpp>
#include <optional>

namespace host {

// Hidden subviews are left out: the renderer draws what the screen shows.
nlohmann::json viewJson(const ui::View& view, ImageRegistry& images);

// The CSS text-align value of a text alignment.
const char* alignmentName(ui::TextAlignment alignment);

// [red, green, blue, alpha], each between 0 and 1.
nlohmann::json colorJson(const ui::Color& color);

// The image's id and its size in points; null without an image.
nlohmann::json imageJson(const std::shared_ptr<ui::Image>& image, ImageRegistry& images);

}
