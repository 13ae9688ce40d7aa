// AlertAction: one button of an alert, with its title, style and what a tap does.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ui {

enum class AlertActionStyle { defaultStyle = 0, cancel = 1, destructive = 2 };

class AlertAction {
public:
    using Handler = std::function<void(AlertAction&)>;

    static std::shared_ptr<AlertAction> actionWithTitle(
        std::string title, AlertActionStyle style, Handler handler)
    {
        return std::make_shared<AlertAction>(std::move(title), style, std::move(handler));
    }

    AlertAction(std::string title, AlertActionStyle style, Handler handler)
        : m_title(std::move(title))
        , m_style(style)
        , m_handler(std::move(handler))
    {
    }

    const std::string& title() const { return m_title; }
    AlertActionStyle style() const { return m_style; }
    void perform()
    {
        if (m_handler)
            m_handler(*this);
    }

private:
    std::string m_title;
    AlertActionStyle m_style;
    Handler m_handler;
};

}
