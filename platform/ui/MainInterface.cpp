// Reading the main interface description.
#include "platform/ui/MainInterface.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace ui {

namespace {
// A description is a few hundred bytes; anything far larger is not one.
constexpr std::size_t maximumDescriptionSize = 1 << 20;
constexpr double maximumWindowSide = 100000;

std::optional<double> readSide(const nlohmann::json& window, const char* key)
{
    auto found = window.find(key);
    if (found == window.end() || !found->is_number())
        return std::nullopt;
    double value = found->get<double>();
    if (!std::isfinite(value) || value <= 0 || value > maximumWindowSide)
        return std::nullopt;
    return value;
}
}

std::string MainInterface::defaultPath()
{
    return std::string(PAGEWYN_RESOURCES_DIR) + "/Main.interface.json";
}

foundation::Result<MainInterface> MainInterface::load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return foundation::Error(
            "\"" + path + "\": the main interface description cannot be opened");
    std::string text(maximumDescriptionSize + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > maximumDescriptionSize)
        return foundation::Error("\"" + path + "\": the main interface description is too large");
    auto interface = parse(text);
    if (!interface)
        return foundation::Error("\"" + path + "\": " + interface.error().description());
    return interface;
}

foundation::Result<MainInterface> MainInterface::parse(std::string_view text)
{
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return foundation::Error("the main interface description is not a JSON object");
    MainInterface interface;
    if (auto window = json.find("window"); window != json.end()) {
        if (!window->is_object())
            return foundation::Error("\"window\" is not an object");
        auto width = readSide(*window, "width");
        auto height = readSide(*window, "height");
        if (!width || !height)
            return foundation::Error("the window needs a positive \"width\" and \"height\"");
        interface.windowSize = { *width, *height };
    }
    auto root = json.find("rootViewController");
    if (root == json.end() || !root->is_object())
        return foundation::Error("no \"rootViewController\"");
    auto className = root->find("class");
    if (className == root->end() || !className->is_string()
        || className->get<std::string>().empty())
        return foundation::Error("the root view controller has no \"class\"");
    interface.rootViewControllerClass = className->get<std::string>();
    if (auto values = root->find("values"); values != root->end()) {
        if (!values->is_object())
            return foundation::Error("the root view controller's \"values\" is not an object");
        for (auto& [key, value] : values->items()) {
            if (!value.is_string())
                return foundation::Error("the value \"" + key + "\" is not a string");
            interface.rootViewControllerValues[key] = value.get<std::string>();
        }
    }
    return interface;
}

}
