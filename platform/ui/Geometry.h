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

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
};

inline Rect makeRect(double x, double y, double width, double height)
{
    return Rect { { x, y }, { width, height } };
}

// Insets from the edges of a rectangle, as a view's layout margins are given.
struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    bool operator==(const EdgeInsets&) const = default;
};

inline Rect insetRect(const Rect& rect, const EdgeInsets& insets)
{
    return makeRect(rect.origin.x + insets.left, rect.origin.y + insets.top,
        rect.size.width - insets.left - insets.right,
        rect.size.height - insets.top - insets.bottom);
}

}
