// Colour construction: components are clamped to 0...1, so a stray value never reaches a drawing.
#include "platform/ui/Color.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
double clampComponent(double value)
{
    if (std::isnan(value))
        return 0;
    return std::clamp(value, 0.0, 1.0);
}
}

Color Color::withRGBA(double red, double green, double blue, double alpha)
{
    return { clampComponent(red), clampComponent(green), clampComponent(blue),
        clampComponent(alpha) };
}

}
