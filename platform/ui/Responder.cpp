// Actions by selector text.
#include "platform/ui/Responder.h"

namespace ui {

void Responder::registerAction(std::string selector, std::function<void()> action)
{
    for (auto& entry : m_actions) {
        if (entry.first == selector) {
            entry.second = std::move(action);
            return;
        }
    }
    m_actions.emplace_back(std::move(selector), std::move(action));
}

bool Responder::respondsToSelector(std::string_view selector) const
{
    for (auto& entry : m_actions) {
        if (entry.first == selector)
            return true;
    }
    return false;
}

bool Responder::performSelector(std::string_view selector)
{
    for (auto& entry : m_actions) {
        if (entry.first == selector) {
            // A copy: the action may register actions on this responder while it runs.
            auto action = entry.second;
            action();
            return true;
        }
    }
    return false;
}

Responder* Responder::targetForAction(std::string_view selector)
{
    for (Responder* responder = this; responder; responder = responder->nextResponder()) {
        if (responder->respondsToSelector(selector))
            return responder;
    }
    return nullptr;
}

}
