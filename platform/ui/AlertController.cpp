// The alert's views and its buttons.
#include "platform/ui/AlertController.h"

namespace ui {

std::shared_ptr<AlertController> AlertController::alertControllerWithTitle(
    std::optional<std::string> title, std::optional<std::string> message,
    AlertControllerStyle style)
{
    return std::make_shared<AlertController>(std::move(title), std::move(message), style);
}

AlertController::AlertController(std::optional<std::string> title,
    std::optional<std::string> message, AlertControllerStyle style)
    : m_title(std::move(title))
    , m_message(std::move(message))
    , m_style(style)
{
    // The screen underneath stays in view while the alert is up.
    setModalPresentationStyle(ModalPresentationStyle::overFullScreen);
}

bool AlertController::setValue(AttributedString value, const std::string& key)
{
    if (key == "attributedTitle")
        m_attributedTitle = std::move(value);
    else if (key == "attributedMessage")
        m_attributedMessage = std::move(value);
    else
        return false;
    return true;
}

void AlertController::loadView()
{
    auto root = std::make_shared<View>();
    auto frame = std::make_shared<View>();
    auto panel = std::make_shared<View>();
    auto content = std::make_shared<View>();
    panel->addSubview(content);
    frame->addSubview(panel);
    root->addSubview(frame);
    setView(root);
}

std::shared_ptr<View> AlertController::contentContainer()
{
    std::shared_ptr<View> level = view();
    for (int depth = 0; depth < 3; ++depth) {
        if (!level || level->subviews().empty())
            return nullptr;
        level = level->subviews().front();
    }
    return level;
}

bool AlertController::tapActionAtIndex(std::size_t index)
{
    if (index >= m_actions.size())
        return false;
    auto action = m_actions[index];
    auto keepAlive = std::static_pointer_cast<AlertController>(shared_from_this());
    dismissViewControllerAnimated(true);
    action->perform();
    return true;
}

}
