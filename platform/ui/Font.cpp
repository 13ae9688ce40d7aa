// The faces the platform ships. The browser host serves a free face for each of them.
#include "platform/ui/Font.h"

#include <array>
#include <cmath>
#include <string_view>

namespace ui {

namespace {
constexpr std::string_view systemFontName = "System";
constexpr std::string_view boldSystemFontName = "System-Bold";
constexpr std::array<std::string_view, 8> knownFaces {
    systemFontName,
    boldSystemFontName,
    "Avenir-Light",
    "Avenir-Book",
    "Helvetica",
    "Helvetica-Bold",
    "Arial",
    "Times",
};
}

std::shared_ptr<Font> Font::fontWithName(const std::string& name, double pointSize)
{
    if (!std::isfinite(pointSize) || pointSize <= 0)
        return nullptr;
    for (auto face : knownFaces) {
        if (face == name)
            return std::make_shared<Font>(name, pointSize);
    }
    return nullptr;
}

std::shared_ptr<Font> Font::systemFontOfSize(double pointSize)
{
    return std::make_shared<Font>(std::string(systemFontName), pointSize > 0 ? pointSize : 17);
}

std::shared_ptr<Font> Font::boldSystemFontOfSize(double pointSize)
{
    return std::make_shared<Font>(std::string(boldSystemFontName), pointSize > 0 ? pointSize : 17);
}

}
