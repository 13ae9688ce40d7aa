// Target/action bindings and their dispatch.
#include "platform/ui/Control.h"

#include "platform/ui/Fault.h"

#include <algorithm>

namespace ui {

namespace {
bool sameTarget(const std::weak_ptr<Responder>& a, const std::weak_ptr<Responder>& b)
{
    return !a.owner_before(b) && !b.owner_before(a);
}
}

void Control::addTarget(
    const std::shared_ptr<Responder>& target, std::string selector, ControlEvents events)
{
    std::weak_ptr<Responder> weakTarget = target;
    for (auto& binding : m_bindings) {
        if (sameTarget(binding.target, weakTarget) && binding.selector == selector
            && binding.events == events)
            return;
    }
    m_bindings.push_back({ std::move(weakTarget), std::move(selector), events });
}

void Control::removeTarget(
    const std::shared_ptr<Responder>& target, const std::string& selector, ControlEvents events)
{
    std::weak_ptr<Responder> weakTarget = target;
    std::erase_if(m_bindings, [&](const ActionBinding& binding) {
        return sameTarget(binding.target, weakTarget) && binding.selector == selector
            && binding.events == events;
    });
}

void Control::sendActionsForControlEvents(ControlEvents events)
{
    // A copy: an action may rebind this control, or remove it from the tree.
    auto bindings = m_bindings;
    auto keepAlive = weak_from_this().lock();
    for (auto& binding : bindings) {
        if (!(binding.events & events))
            continue;
        Responder* target = nullptr;
        std::shared_ptr<Responder> held;
        if (!sameTarget(binding.target, std::weak_ptr<Responder>())) {
            held = binding.target.lock();
            target = held.get();
            if (!target) {
                reportFault(
                    "action \"" + binding.selector + "\" sent to a target that no longer exists");
                continue;
            }
        } else {
            target = targetForAction(binding.selector);
        }
        if (!target || !target->performSelector(binding.selector))
            reportFault("unrecognized selector \"" + binding.selector + "\" sent to "
                + (target ? target->className() : std::string("the responder chain")));
    }
}

}
