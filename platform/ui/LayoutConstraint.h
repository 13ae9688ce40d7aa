// LayoutConstraint: "first anchor = second anchor + constant" or "first anchor = constant".
// An active constraint is held by the view of its first anchor; activating a constraint equal to
// one already active there replaces it, so the view keeps one.
#pragma once

#include "platform/ui/LayoutAnchor.h"

#include <optional>

namespace ui {

class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
public:
    LayoutConstraint(LayoutAnchor first, std::optional<LayoutAnchor> second, double constant)
        : m_first(std::move(first))
        , m_second(std::move(second))
        , m_constant(constant)
    {
    }

    const LayoutAnchor& firstAnchor() const { return m_first; }
    const std::optional<LayoutAnchor>& secondAnchor() const { return m_second; }
    double constant() const { return m_constant; }

    bool isActive() const { return m_active; }
    void setActive(bool active);

    // Same anchors and the same constant.
    bool isEquivalent(const LayoutConstraint& other) const;

private:
    friend class View;

    LayoutAnchor m_first;
    std::optional<LayoutAnchor> m_second;
    double m_constant;
    bool m_active = false;
};

}
