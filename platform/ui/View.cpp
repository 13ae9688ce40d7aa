// The view tree and the constraint layout of subviews.
#include "platform/ui/View.h"

#include "platform/ui/Fault.h"
#include "platform/ui/LayoutConstraint.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace ui {

namespace {
ViewId nextViewId()
{
    static std::atomic<ViewId> counter { 0 };
    return ++counter;
}
}

View::View()
    : m_id(nextViewId())
{
}

View::View(Rect frame)
    : m_id(nextViewId())
    , m_frame(frame)
{
}

View::~View()
{
    for (auto& subview : m_subviews)
        subview->m_superview = nullptr;
}

void View::setFrame(Rect frame)
{
    m_frame = frame;
}

void View::setAlpha(double alpha)
{
    m_alpha = std::isnan(alpha) ? 1 : std::clamp(alpha, 0.0, 1.0);
}

void View::addSubview(std::shared_ptr<View> view)
{
    insertSubview(std::move(view), m_subviews.size());
}

void View::insertSubview(std::shared_ptr<View> view, std::size_t index)
{
    if (!view)
        return;
    if (view.get() == this || isDescendantOf(*view)) {
        reportFault("a view cannot be a subview of itself or of its own subviews");
        return;
    }
    if (view->m_superview == this) {
        auto current = std::find(m_subviews.begin(), m_subviews.end(), view);
        m_subviews.erase(current);
    } else {
        view->removeFromSuperview();
    }
    index = std::min(index, m_subviews.size());
    view->m_superview = this;
    m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), std::move(view));
}

void View::removeFromSuperview()
{
    View* parent = m_superview;
    if (!parent)
        return;
    m_superview = nullptr;
    auto& siblings = parent->m_subviews;
    auto self = std::find_if(
        siblings.begin(), siblings.end(), [this](auto& view) { return view.get() == this; });
    if (self != siblings.end())
        siblings.erase(self); // may destroy this view: nothing may follow
}

void View::bringSubviewToFront(const View& view)
{
    auto found = std::find_if(m_subviews.begin(), m_subviews.end(),
        [&](auto& subview) { return subview.get() == &view; });
    if (found == m_subviews.end())
        return;
    auto keep = *found;
    m_subviews.erase(found);
    m_subviews.push_back(std::move(keep));
}

bool View::isDescendantOf(const View& ancestor) const
{
    for (const View* view = this; view; view = view->m_superview) {
        if (view == &ancestor)
            return true;
    }
    return false;
}

View* View::viewWithId(ViewId id)
{
    if (m_id == id)
        return this;
    for (auto& subview : m_subviews) {
        if (View* found = subview->viewWithId(id))
            return found;
    }
    return nullptr;
}

LayoutGuide View::layoutMarginsGuide()
{
    return LayoutGuide(std::static_pointer_cast<View>(weak_from_this().lock()));
}

LayoutAnchor View::anchor(LayoutAttribute attribute)
{
    return LayoutAnchor(std::static_pointer_cast<View>(weak_from_this().lock()), false, attribute);
}

void View::installConstraint(std::shared_ptr<LayoutConstraint> constraint)
{
    auto equivalent = std::find_if(m_constraints.begin(), m_constraints.end(),
        [&](auto& active) { return active->isEquivalent(*constraint); });
    if (equivalent != m_constraints.end()) {
        (*equivalent)->m_active = false;
        m_constraints.erase(equivalent);
    }
    constraint->m_active = true;
    m_constraints.push_back(std::move(constraint));
}

void View::uninstallConstraint(const LayoutConstraint& constraint)
{
    auto found = std::find_if(m_constraints.begin(), m_constraints.end(),
        [&](auto& active) { return active.get() == &constraint; });
    if (found == m_constraints.end())
        return;
    (*found)->m_active = false;
    m_constraints.erase(found);
}

Responder* View::nextResponder() const
{
    if (m_owningController)
        return m_owningController;
    return m_superview;
}

void View::layoutIfNeeded()
{
    layoutSubviews();
    for (auto& subview : m_subviews)
        subview->layoutIfNeeded();
}

void View::layoutSubviews()
{
    for (auto& subview : m_subviews) {
        if (!subview->m_translatesAutoresizingMask)
            applyConstraints(*subview);
    }
}

// The anchor's position or length in this view's coordinates, when it belongs to this view or to
// one of its subviews; constraints to anything farther away are not resolved.
std::optional<double> View::anchorValue(const LayoutAnchor& anchor) const
{
    auto view = anchor.view();
    if (!view)
        return std::nullopt;
    Rect rect;
    if (view.get() == this)
        rect = bounds();
    else if (view->m_superview == this)
        rect = view->m_frame;
    else
        return std::nullopt;
    if (anchor.isMarginsGuide())
        rect = insetRect(rect, view->m_layoutMargins);
    switch (anchor.attribute()) {
    case LayoutAttribute::top:
        return rect.minY();
    case LayoutAttribute::leading:
        return rect.minX();
    case LayoutAttribute::bottom:
        return rect.maxY();
    case LayoutAttribute::trailing:
        return rect.maxX();
    case LayoutAttribute::width:
        return rect.size.width;
    case LayoutAttribute::height:
        return rect.size.height;
    case LayoutAttribute::centerX:
        return rect.minX() + rect.size.width / 2;
    case LayoutAttribute::centerY:
        return rect.minY() + rect.size.height / 2;
    }
    return std::nullopt;
}

void View::applyConstraints(View& subview) const
{
    std::optional<double> values[8];
    for (auto& constraint : subview.m_constraints) {
        auto& second = constraint->secondAnchor();
        std::optional<double> value = constraint->constant();
        if (second) {
            auto base = anchorValue(*second);
            value = base ? std::optional(*base + constraint->constant()) : std::nullopt;
        }
        if (value && std::isfinite(*value))
            values[static_cast<int>(constraint->firstAnchor().attribute())] = value;
    }
    auto get = [&](LayoutAttribute attribute) { return values[static_cast<int>(attribute)]; };
    Rect frame = subview.m_frame;
    auto place
        = [](double& origin, double& length, std::optional<double> start, std::optional<double> end,
              std::optional<double> size, std::optional<double> center) {
              if (size)
                  length = std::max(0.0, *size);
              if (start && end && !size)
                  length = std::max(0.0, *end - *start);
              if (start)
                  origin = *start;
              else if (end)
                  origin = *end - length;
              else if (center)
                  origin = *center - length / 2;
          };
    place(frame.origin.x, frame.size.width, get(LayoutAttribute::leading),
        get(LayoutAttribute::trailing), get(LayoutAttribute::width), get(LayoutAttribute::centerX));
    place(frame.origin.y, frame.size.height, get(LayoutAttribute::top),
        get(LayoutAttribute::bottom), get(LayoutAttribute::height), get(LayoutAttribute::centerY));
    subview.setFrame(frame);
}

}
