// View: a rectangle of the retained view tree — frame in points in its superview's coordinates,
// colours, ordered subviews, layout margins and constraints, and a stable id by which the
// browser names it.
#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Layer.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/Responder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ui {

using ViewId = std::uint64_t;

class View : public Responder {
public:
    View();
    explicit View(Rect frame);
    ~View() override;

    // Unique for the life of the process, never reused.
    ViewId viewId() const { return m_id; }
    std::string className() const override { return "View"; }

    Rect frame() const { return m_frame; }
    virtual void setFrame(Rect frame);
    // The view's own coordinates: its frame's size at the origin.
    Rect bounds() const { return Rect { {}, m_frame.size }; }

    const std::optional<Color>& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::optional<Color> color) { m_backgroundColor = color; }
    const std::optional<Color>& tintColor() const { return m_tintColor; }
    void setTintColor(std::optional<Color> color) { m_tintColor = color; }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden) { m_hidden = hidden; }
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    Layer& layer() { return m_layer; }
    const Layer& layer() const { return m_layer; }

    // The name a screen reader gives the view; the browser uses it as the control's name.
    const std::string& accessibilityLabel() const { return m_accessibilityLabel; }
    void setAccessibilityLabel(std::string label) { m_accessibilityLabel = std::move(label); }

    // Subviews back to front.
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    View* superview() const { return m_superview; }
    // Adds the view as the frontmost subview, taking it from its former superview. A view cannot
    // become a subview of itself or of one of its subviews: that is a fault and nothing changes.
    void addSubview(std::shared_ptr<View> view);
    void insertSubview(std::shared_ptr<View> view, std::size_t index);
    void removeFromSuperview();
    void bringSubviewToFront(const View& view);
    bool isDescendantOf(const View& ancestor) const;
    // This view or the descendant with that id.
    View* viewWithId(ViewId id);

    const EdgeInsets& layoutMargins() const { return m_layoutMargins; }
    void setLayoutMargins(EdgeInsets margins) { m_layoutMargins = margins; }
    LayoutGuide layoutMarginsGuide();

    LayoutAnchor topAnchor() { return anchor(LayoutAttribute::top); }
    LayoutAnchor leadingAnchor() { return anchor(LayoutAttribute::leading); }
    LayoutAnchor bottomAnchor() { return anchor(LayoutAttribute::bottom); }
    LayoutAnchor trailingAnchor() { return anchor(LayoutAttribute::trailing); }
    LayoutAnchor widthAnchor() { return anchor(LayoutAttribute::width); }
    LayoutAnchor heightAnchor() { return anchor(LayoutAttribute::height); }

    // Off: the frame follows the view's active constraints when its superview lays out.
    bool translatesAutoresizingMaskIntoConstraints() const { return m_translatesAutoresizingMask; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates)
    {
        m_translatesAutoresizingMask = translates;
    }
    // The active constraints whose first anchor belongs to this view.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const
    {
        return m_constraints;
    }

    // Lays out this view's subviews, then theirs.
    void layoutIfNeeded();
    // Places the subviews that follow constraints; subclasses place their own parts first.
    virtual void layoutSubviews();

    Responder* nextResponder() const override;
    // The controller whose root view this is; it comes next in the responder chain.
    void setOwningController(Responder* controller) { m_owningController = controller; }

private:
    friend class LayoutConstraint;

    LayoutAnchor anchor(LayoutAttribute attribute);
    void installConstraint(std::shared_ptr<LayoutConstraint> constraint);
    void uninstallConstraint(const LayoutConstraint& constraint);
    void applyConstraints(View& subview) const;
    std::optional<double> anchorValue(const LayoutAnchor& anchor) const;

    ViewId m_id;
    Rect m_frame;
    std::optional<Color> m_backgroundColor;
    std::optional<Color> m_tintColor;
    bool m_hidden = false;
    double m_alpha = 1;
    Layer m_layer;
    std::string m_accessibilityLabel;
    std::vector<std::shared_ptr<View>> m_subviews;
    View* m_superview = nullptr;
    Responder* m_owningController = nullptr;
    EdgeInsets m_layoutMargins { 8, 8, 8, 8 };
    bool m_translatesAutoresizingMask = true;
    std::vector<std::shared_ptr<LayoutConstraint>> m_constraints;
};

}
