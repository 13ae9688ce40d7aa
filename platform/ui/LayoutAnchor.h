// LayoutAnchor: one edge, centre or dimension of a view or of its layout-margins guide, from
// which equality constraints are made.
#pragma once

#include <memory>

namespace ui {

class View;
class LayoutConstraint;

enum class LayoutAttribute { top, leading, bottom, trailing, width, height, centerX, centerY };

class LayoutAnchor {
public:
    LayoutAnchor(std::weak_ptr<View> view, bool marginsGuide, LayoutAttribute attribute)
        : m_view(std::move(view))
        , m_marginsGuide(marginsGuide)
        , m_attribute(attribute)
    {
    }

    // "this anchor = other anchor + constant", not yet active.
    std::shared_ptr<LayoutConstraint> constraintEqualToAnchor(
        const LayoutAnchor& other, double constant = 0) const;
    // "this anchor = constant", for a width or height; not yet active.
    std::shared_ptr<LayoutConstraint> constraintEqualToConstant(double constant) const;

    std::shared_ptr<View> view() const { return m_view.lock(); }
    bool isMarginsGuide() const { return m_marginsGuide; }
    LayoutAttribute attribute() const { return m_attribute; }

    bool operator==(const LayoutAnchor& other) const;

private:
    std::weak_ptr<View> m_view;
    bool m_marginsGuide;
    LayoutAttribute m_attribute;
};

}
