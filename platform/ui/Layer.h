// Layer: the drawing properties of a view that are not its frame: corner rounding and clipping.
#pragma once

namespace ui {

class Layer {
public:
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius > 0 ? radius : 0; }
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks) { m_masksToBounds = masks; }

private:
    double m_cornerRadius = 0;
    bool m_masksToBounds = false;
};

}
