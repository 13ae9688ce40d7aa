// Responder: an object that performs actions named by their selector text ("sortList"), and the
// chain of responders an action without a target travels up.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class Responder : public std::enable_shared_from_this<Responder> {
public:
    Responder() = default;
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;
    virtual ~Responder() = default;

    bool respondsToSelector(std::string_view selector) const;
    // Runs the action registered under the selector; false when there is none.
    bool performSelector(std::string_view selector);

    // The next object up the chain: a view's controller or superview, a controller's presenter.
    virtual Responder* nextResponder() const { return nullptr; }
    // The first responder from this one up the chain that performs the selector.
    Responder* targetForAction(std::string_view selector);

    // A short name of the object's class for diagnostics ("TableView", "ViewController").
    virtual std::string className() const { return "Responder"; }

protected:
    // Makes the action callable by its selector; registering a selector again replaces it.
    void registerAction(std::string selector, std::function<void()> action);

private:
    std::vector<std::pair<std::string, std::function<void()>>> m_actions;
};

}
