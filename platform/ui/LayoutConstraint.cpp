// Making, comparing and activating constraints.
#include "platform/ui/LayoutConstraint.h"

#include "platform/ui/View.h"

namespace ui {

bool LayoutAnchor::operator==(const LayoutAnchor& other) const
{
    return !m_view.owner_before(other.m_view) && !other.m_view.owner_before(m_view)
        && m_marginsGuide == other.m_marginsGuide && m_attribute == other.m_attribute;
}

std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintEqualToAnchor(
    const LayoutAnchor& other, double constant) const
{
    return std::make_shared<LayoutConstraint>(*this, other, constant);
}

std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintEqualToConstant(double constant) const
{
    return std::make_shared<LayoutConstraint>(*this, std::nullopt, constant);
}

bool LayoutConstraint::isEquivalent(const LayoutConstraint& other) const
{
    return m_first == other.m_first && m_second == other.m_second && m_constant == other.m_constant;
}

void LayoutConstraint::setActive(bool active)
{
    if (active == m_active)
        return;
    auto view = m_first.view();
    if (!view)
        return;
    if (active)
        view->installConstraint(shared_from_this());
    else
        view->uninstallConstraint(*this);
}

}
