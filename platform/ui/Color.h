// Color: red, green, blue and alpha components between 0 and 1, with the platform's named colours.
#pragma once

namespace ui {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    static Color withRGBA(double red, double green, double blue, double alpha);

    static Color blackColor() { return { 0, 0, 0, 1 }; }
    static Color whiteColor() { return { 1, 1, 1, 1 }; }
    static Color clearColor() { return { 0, 0, 0, 0 }; }
    static Color blueColor() { return { 0, 0, 1, 1 }; }
    static Color redColor() { return { 1, 0, 0, 1 }; }
    static Color grayColor() { return { 0.5, 0.5, 0.5, 1 }; }
    static Color darkGrayColor() { return { 1.0 / 3, 1.0 / 3, 1.0 / 3, 1 }; }
    static Color lightGrayColor() { return { 2.0 / 3, 2.0 / 3, 2.0 / 3, 1 }; }

    bool operator==(const Color&) const = default;
};

}
