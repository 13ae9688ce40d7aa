// LayoutGuide: a view's layout-margins guide, the view's bounds less its layout margins.
#pragma once

#include "platform/ui/LayoutAnchor.h"

namespace ui {

class LayoutGuide {
public:
    explicit LayoutGuide(std::weak_ptr<View> owningView)
        : m_view(std::move(owningView))
    {
    }

    LayoutAnchor topAnchor() const { return { m_view, true, LayoutAttribute::top }; }
    LayoutAnchor leadingAnchor() const { return { m_view, true, LayoutAttribute::leading }; }
    LayoutAnchor bottomAnchor() const { return { m_view, true, LayoutAttribute::bottom }; }
    LayoutAnchor trailingAnchor() const { return { m_view, true, LayoutAttribute::trailing }; }
    LayoutAnchor widthAnchor() const { return { m_view, true, LayoutAttribute::width }; }
    LayoutAnchor heightAnchor() const { return { m_view, true, LayoutAttribute::height }; }

    std::shared_ptr<View> owningView() const { return m_view.lock(); }

private:
    std::weak_ptr<View> m_view;
};

}
