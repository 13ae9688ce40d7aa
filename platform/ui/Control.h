// Control: a view that sends actions to targets when the user acts on it. It keeps a set of
// (target, selector, events) bindings: binding the same triple again leaves one.
#pragma once

#include "platform/ui/View.h"

#include <cstdint>

namespace ui {

using ControlEvents = std::uint64_t;
namespace ControlEvent {
inline constexpr ControlEvents touchDown = 1 << 0;
inline constexpr ControlEvents touchUpInside = 1 << 6;
inline constexpr ControlEvents valueChanged = 1 << 12;
inline constexpr ControlEvents primaryActionTriggered = 1 << 13;
}

using ControlState = std::uint64_t;
namespace ControlStateFlag {
inline constexpr ControlState normal = 0;
inline constexpr ControlState highlighted = 1 << 0;
inline constexpr ControlState disabled = 1 << 1;
inline constexpr ControlState selected = 1 << 2;
}

enum class ContentHorizontalAlignment { center = 0, left = 1, right = 2, fill = 3 };

struct ActionBinding {
    // Held weakly, as the target usually owns the control. Empty: the responder chain decides.
    std::weak_ptr<Responder> target;
    std::string selector;
    ControlEvents events = 0;
};

class Control : public View {
public:
    std::string className() const override { return "Control"; }

    // Binds the action; the same target, selector and events again change nothing.
    void addTarget(
        const std::shared_ptr<Responder>& target, std::string selector, ControlEvents events);
    void removeTarget(const std::shared_ptr<Responder>& target, const std::string& selector,
        ControlEvents events);
    const std::vector<ActionBinding>& bindings() const { return m_bindings; }

    // Performs every action bound to one of the events, in binding order. An action whose target
    // is gone or does not perform the selector is a fault.
    void sendActionsForControlEvents(ControlEvents events);

    ContentHorizontalAlignment contentHorizontalAlignment() const
    {
        return m_contentHorizontalAlignment;
    }
    void setContentHorizontalAlignment(ContentHorizontalAlignment alignment)
    {
        m_contentHorizontalAlignment = alignment;
    }

private:
    std::vector<ActionBinding> m_bindings;
    ContentHorizontalAlignment m_contentHorizontalAlignment = ContentHorizontalAlignment::center;
};

}
