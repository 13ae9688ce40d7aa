// Button: a control showing an image (per control state) and a title.
#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/Image.h"

#include <map>

namespace ui {

enum class ButtonType { custom = 0, system = 1 };

class Button : public Control {
public:
    explicit Button(ButtonType type = ButtonType::custom)
        : m_type(type)
    {
    }
    static std::shared_ptr<Button> buttonWithType(ButtonType type)
    {
        return std::make_shared<Button>(type);
    }
    std::string className() const override { return "Button"; }

    ButtonType buttonType() const { return m_type; }

    // The image for the state; states without one of their own show the normal state's.
    std::shared_ptr<Image> imageForState(ControlState state) const;
    void setImage(std::shared_ptr<Image> image, ControlState state);
    std::optional<std::string> titleForState(ControlState state) const;
    void setTitle(std::optional<std::string> title, ControlState state);

private:
    ButtonType m_type;
    std::map<ControlState, std::shared_ptr<Image>> m_images;
    std::map<ControlState, std::string> m_titles;
};

}
