// The header bar's style and buttons.
#include "screen/DecorateHeader.h"

#include "platform/ui/Button.h"
#include "platform/ui/TableViewHeaderFooterView.h"
#include "screen/TintedImage.h"

#include <algorithm>
#include <array>

namespace {

struct HeaderButton {
    const char* imageName;
    const char* selector;
};

constexpr std::array<HeaderButton, 4> headerButtons { {
    { "info", "about" },
    { "open", "openFile" },
    { "sort", "sortList" },
    { "settings", "openSettings" },
} };

constexpr double buttonSide = 24;

// The faint slate tint behind the header's content.
ui::Color headerTint()
{
    return ui::Color::withRGBA(30.0 / 255, 50.0 / 255, 80.0 / 255, 0.05);
}

// Left pair from the left edge, right pair from the right edge, all 36 points above the bottom.
ui::Point buttonOrigin(std::size_t position, ui::Size header)
{
    constexpr std::array<double, 2> fromLeft { 24, 72 };
    constexpr std::array<double, 2> fromRight { 96, 48 };
    double x = position < 2 ? fromLeft[position] : header.width - fromRight[position - 2];
    return { x, header.height - 36 };
}

// The header's four buttons: the first four buttons among its subviews, made where missing, and
// standing side by side from where the first one stood (anything else that had come between them
// moves behind), so a header never gathers a second set.
std::array<std::shared_ptr<ui::Button>, 4> findOrMakeButtons(ui::View& header)
{
    std::array<std::shared_ptr<ui::Button>, 4> buttons;
    std::size_t found = 0;
    std::size_t first = header.subviews().size();
    for (std::size_t index = 0; index < header.subviews().size() && found < buttons.size();
         ++index) {
        if (auto button = std::dynamic_pointer_cast<ui::Button>(header.subviews()[index])) {
            first = std::min(first, index);
            buttons[found++] = std::move(button);
        }
    }
    for (std::size_t position = 0; position < buttons.size(); ++position) {
        if (!buttons[position])
            buttons[position] = ui::Button::buttonWithType(ui::ButtonType::custom);
        header.insertSubview(buttons[position], first + position);
    }
    return buttons;
}

}

void decorateHeader(ui::View& view, const std::shared_ptr<ui::Responder>& target)
{
    auto* header = dynamic_cast<ui::TableViewHeaderFooterView*>(&view);
    if (!header)
        return;
    auto font = ui::Font::fontWithName("Avenir-Light", 18);
    auto& label = *header->textLabel();
    label.setTextAlignment(ui::TextAlignment::center);
    label.setFont(font);
    label.setTextColor(ui::Color::blackColor());
    header->contentView()->setBackgroundColor(headerTint());

    auto buttons = findOrMakeButtons(*header);
    for (std::size_t position = 0; position < buttons.size(); ++position) {
        auto& button = *buttons[position];
        const HeaderButton& wanted = headerButtons[position];
        button.setImage(tintedImage(ui::Image::named(wanted.imageName), ui::Color::blackColor()),
            ui::ControlStateFlag::normal);
        auto origin = buttonOrigin(position, header->frame().size);
        button.setFrame(ui::makeRect(origin.x, origin.y, buttonSide, buttonSide));
        button.setContentHorizontalAlignment(ui::ContentHorizontalAlignment::right);
        button.addTarget(target, wanted.selector, ui::ControlEvent::touchUpInside);
        // Screen readers, and the browser, name each button by its icon.
        button.setAccessibilityLabel(wanted.imageName);
    }
}
