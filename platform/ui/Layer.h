// Layer: the drawing properties of a view that are not its frame: its corner rounding.
#pragma once

namespace ui {

class Layer {
public:
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius > 0 ? radius : 0; }

private:
    double m_cornerRadius = 0;
};

}
