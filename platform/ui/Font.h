// Font: a face known to the platform by name, at a size in points.
#pragma once

#include <memory>
#include <string>

namespace ui {

class Font {
public:
    // The face of that name at the size; nothing when the platform does not know the face or
    // the size is not a positive number.
    static std::shared_ptr<Font> fontWithName(const std::string& name, double pointSize);
    // The platform's text face, and its bold cut.
    static std::shared_ptr<Font> systemFontOfSize(double pointSize);
    static std::shared_ptr<Font> boldSystemFontOfSize(double pointSize);

    const std::string& fontName() const { return m_name; }
    double pointSize() const { return m_pointSize; }

    Font(std::string name, double pointSize)
        : m_name(std::move(name))
        , m_pointSize(pointSize)
    {
    }

private:
    std::string m_name;
    double m_pointSize;
};

}
