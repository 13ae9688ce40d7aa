// Viewport: what a page reports of itself with every request — the rows it shows (the first and
// how many, counted across sections) and the size of its window in points. Each request applies
// its own, so pages of different sizes and scroll positions each get the rows they show.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/HeadlessDriver.h"

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace host {

struct Viewport {
    std::optional<std::int64_t> first;
    std::optional<std::int64_t> count;
    std::optional<double> width;
    std::optional<double> height;
};

// From the parameters first, count, width and height; lookup answers a parameter's text or
// nothing. An error names the parameter that is not a number in range.
foundation::Result<Viewport> viewportFromParameters(
    const std::function<std::optional<std::string>(const std::string&)>& lookup);
// From a JSON object with the same members; null or absent is an empty viewport.
foundation::Result<Viewport> viewportFromJson(const nlohmann::json& json);

// Resizes the window and sets the table's visible rows through the driver. Main loop.
void applyViewport(const Viewport& viewport, ui::HeadlessDriver& driver);

}
