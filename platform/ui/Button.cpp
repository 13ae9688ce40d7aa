// Per-state images and titles, falling back to the normal state.
#include "platform/ui/Button.h"

namespace ui {

std::shared_ptr<Image> Button::imageForState(ControlState state) const
{
    if (auto found = m_images.find(state); found != m_images.end())
        return found->second;
    if (auto normal = m_images.find(ControlStateFlag::normal); normal != m_images.end())
        return normal->second;
    return nullptr;
}

void Button::setImage(std::shared_ptr<Image> image, ControlState state)
{
    if (image)
        m_images[state] = std::move(image);
    else
        m_images.erase(state);
}

std::optional<std::string> Button::titleForState(ControlState state) const
{
    if (auto found = m_titles.find(state); found != m_titles.end())
        return found->second;
    if (auto normal = m_titles.find(ControlStateFlag::normal); normal != m_titles.end())
        return normal->second;
    return std::nullopt;
}

void Button::setTitle(std::optional<std::string> title, ControlState state)
{
    if (title)
        m_titles[state] = std::move(*title);
    else
        m_titles.erase(state);
}

}
