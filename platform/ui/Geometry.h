// Points, sizes and rectangles in points, as frames and image sizes are measured.
#pragma once

namespace ui {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    Point origin;
    Size size;
    bool operator==(const Rect&) const = default;
};

inline Rect makeRect(double x, double y, double width, double height)
{
    return Rect { { x, y }, { width, height } };
}

}
