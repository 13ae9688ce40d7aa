// Reading and applying a page's viewport, with every number checked before it reaches the table.
#include "platform/host/snapshot/Viewport.h"

#include "platform/ui/TableView.h"

#include <charconv>
#include <cmath>

namespace host {

namespace {

// A page taller than this many rows is not drawn row by row; more rows than the table shows at
// once would only be cut by it.
constexpr std::int64_t largestRow = 1'000'000'000'000;
constexpr double largestSide = 100000;

foundation::Error outOfRange(const std::string& name)
{
    return foundation::Error("\"" + name + "\" must be a number in range");
}

foundation::Result<void> checkRow(const std::string& name, std::int64_t value, std::int64_t largest)
{
    if (value < 0 || value > largest)
        return outOfRange(name);
    return {};
}

foundation::Result<void> checkSide(const std::string& name, double value)
{
    if (!std::isfinite(value) || value <= 0 || value > largestSide)
        return outOfRange(name);
    return {};
}

foundation::Result<void> check(const Viewport& viewport)
{
    if (viewport.first) {
        if (auto checked = checkRow("first", *viewport.first, largestRow); !checked)
            return checked;
    }
    if (viewport.count) {
        if (auto checked = checkRow("count", *viewport.count, ui::TableView::maximumVisibleRows);
            !checked)
            return checked;
    }
    if (viewport.width) {
        if (auto checked = checkSide("width", *viewport.width); !checked)
            return checked;
    }
    if (viewport.height) {
        if (auto checked = checkSide("height", *viewport.height); !checked)
            return checked;
    }
    return {};
}

template <typename Number> std::optional<Number> parseNumber(const std::string& text)
{
    Number value {};
    auto end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return value;
}

}

foundation::Result<Viewport> viewportFromParameters(
    const std::function<std::optional<std::string>(const std::string&)>& lookup)
{
    Viewport viewport;
    for (auto [name, target] :
        { std::pair { "first", &viewport.first }, std::pair { "count", &viewport.count } }) {
        if (auto text = lookup(name)) {
            auto value = parseNumber<std::int64_t>(*text);
            if (!value)
                return outOfRange(name);
            *target = *value;
        }
    }
    for (auto [name, target] :
        { std::pair { "width", &viewport.width }, std::pair { "height", &viewport.height } }) {
        if (auto text = lookup(name)) {
            auto value = parseNumber<double>(*text);
            if (!value)
                return outOfRange(name);
            *target = *value;
        }
    }
    TRY(check(viewport));
    return viewport;
}

foundation::Result<Viewport> viewportFromJson(const nlohmann::json& json)
{
    Viewport viewport;
    if (json.is_null())
        return viewport;
    if (!json.is_object())
        return foundation::Error("\"viewport\" must be an object");
    for (auto [name, target] :
        { std::pair { "first", &viewport.first }, std::pair { "count", &viewport.count } }) {
        auto member = json.find(name);
        if (member == json.end() || member->is_null())
            continue;
        if (!member->is_number_integer())
            return outOfRange(name);
        *target = member->get<std::int64_t>();
    }
    for (auto [name, target] :
        { std::pair { "width", &viewport.width }, std::pair { "height", &viewport.height } }) {
        auto member = json.find(name);
        if (member == json.end() || member->is_null())
            continue;
        if (!member->is_number())
            return outOfRange(name);
        *target = member->get<double>();
    }
    TRY(check(viewport));
    return viewport;
}

void applyViewport(const Viewport& viewport, ui::HeadlessDriver& driver)
{
    if (viewport.width || viewport.height) {
        auto window = ui::HeadlessDriver::window();
        if (window) {
            auto size = window->frame().size;
            ui::Size wanted { viewport.width.value_or(size.width),
                viewport.height.value_or(size.height) };
            if (wanted != size)
                (void)driver.resize(wanted.width, wanted.height);
        }
    }
    if (viewport.first || viewport.count) {
        auto table = ui::HeadlessDriver::table();
        if (table)
            (void)driver.scrollTo(viewport.first.value_or(table->firstVisibleRow()),
                viewport.count.value_or(table->visibleRowCount()));
    }
}

}
