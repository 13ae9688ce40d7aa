// AlertController: a modal alert with a title, a message and buttons, presented over a screen
// that stays in view. Its view holds the visible panel three levels down (frame, panel, content
// container), as the platform lays alerts out; the content container's background is the panel's.
#pragma once

#include "platform/ui/AlertAction.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/ViewController.h"

#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class AlertControllerStyle { actionSheet = 0, alert = 1 };

class AlertController : public ViewController {
public:
    static std::shared_ptr<AlertController> alertControllerWithTitle(
        std::optional<std::string> title, std::optional<std::string> message,
        AlertControllerStyle style);

    AlertController(std::optional<std::string> title, std::optional<std::string> message,
        AlertControllerStyle style);
    std::string className() const override { return "AlertController"; }

    const std::optional<std::string>& title() const { return m_title; }
    const std::optional<std::string>& message() const { return m_message; }
    AlertControllerStyle preferredStyle() const { return m_style; }

    void addAction(std::shared_ptr<AlertAction> action) { m_actions.push_back(std::move(action)); }
    const std::vector<std::shared_ptr<AlertAction>>& actions() const { return m_actions; }

    // Key-value coding for the styled texts: "attributedTitle" and "attributedMessage" show in
    // place of the plain title and message. Any other key changes nothing and answers false.
    bool setValue(AttributedString value, const std::string& key);
    const std::optional<AttributedString>& attributedTitle() const { return m_attributedTitle; }
    const std::optional<AttributedString>& attributedMessage() const { return m_attributedMessage; }

    // The view three levels of first subviews down from the alert's view: the visible panel's
    // content container.
    std::shared_ptr<View> contentContainer();

    // The user's tap on the button at that position: the alert closes, then the action runs.
    // False for a position the alert does not have.
    bool tapActionAtIndex(std::size_t index);

    void loadView() override;

private:
    std::optional<std::string> m_title;
    std::optional<std::string> m_message;
    AlertControllerStyle m_style;
    std::vector<std::shared_ptr<AlertAction>> m_actions;
    std::optional<AttributedString> m_attributedTitle;
    std::optional<AttributedString> m_attributedMessage;
};

}
