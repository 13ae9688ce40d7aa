// The header bar as the user sees it: title, style, the four black-tinted buttons at their frames,
// kept and never duplicated when the header is shown again, following the table's width.
#include "platform/ui/Fault.h"
#include "screen/DecorateHeader.h"
#include "tests/support/LaunchedApp.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

const std::vector<std::string> buttonNames { "info", "open", "sort", "settings" };

std::vector<ui::Button*> buttonsOf(const ui::View& header)
{
    std::vector<ui::Button*> buttons;
    for (auto& subview : header.subviews()) {
        if (auto* button = dynamic_cast<ui::Button*>(subview.get()))
            buttons.push_back(button);
    }
    return buttons;
}

TEST(HeaderBar, buttonFramesFollowTheHeadersWidth)
{
    fixtures::LaunchedApp app;
    struct Case {
        double width;
        std::vector<ui::Rect> frames;
    };
    const std::vector<Case> cases {
        { 375,
            { ui::makeRect(24, 14, 24, 24), ui::makeRect(72, 14, 24, 24),
                ui::makeRect(279, 14, 24, 24), ui::makeRect(327, 14, 24, 24) } },
        { 768,
            { ui::makeRect(24, 14, 24, 24), ui::makeRect(72, 14, 24, 24),
                ui::makeRect(672, 14, 24, 24), ui::makeRect(720, 14, 24, 24) } },
        { 320,
            { ui::makeRect(24, 14, 24, 24), ui::makeRect(72, 14, 24, 24),
                ui::makeRect(224, 14, 24, 24), ui::makeRect(272, 14, 24, 24) } },
    };
    for (auto& example : cases) {
        ASSERT_TRUE(app.driver().resize(example.width, 667));
        EXPECT_EQ(app.header().frame(), ui::makeRect(0, 0, example.width, 50));
        for (std::size_t position = 0; position < buttonNames.size(); ++position) {
            auto* button = app.headerButton(buttonNames[position]);
            ASSERT_NE(button, nullptr) << buttonNames[position];
            EXPECT_EQ(button->frame(), example.frames[position])
                << buttonNames[position] << " at width " << example.width;
        }
    }
}

TEST(HeaderBar, showingTheHeaderAgainKeepsFourButtonsEachBoundToAnActionOfTheScreen)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    auto* headerBefore = &app.header();
    app.showScreen();
    app.showScreen();
    ASSERT_TRUE(app.driver().resize(500, 700));
    EXPECT_EQ(&app.header(), headerBefore) << "the table keeps one header view for its section";

    auto& header = app.header();
    auto buttons = buttonsOf(header);
    ASSERT_EQ(buttons.size(), 4u);
    const std::vector<std::string> selectors { "about", "openFile", "sortList", "openSettings" };
    for (std::size_t position = 0; position < 4; ++position) {
        auto& button = *buttons[position];
        EXPECT_EQ(button.accessibilityLabel(), buttonNames[position]);
        EXPECT_EQ(button.buttonType(), ui::ButtonType::custom);
        EXPECT_EQ(button.contentHorizontalAlignment(), ui::ContentHorizontalAlignment::right);
        EXPECT_FALSE(button.titleForState(ui::ControlStateFlag::normal));
        // Its icon tinted black (how tinting keeps the shape is TintedImage's).
        auto icon = button.imageForState(ui::ControlStateFlag::normal);
        ASSERT_TRUE(icon && icon->bitmap()) << buttonNames[position];
        EXPECT_EQ(icon->size(), (ui::Size { 24, 24 }));
        for (std::size_t at = 0; at < icon->bitmap()->rgba.size(); at += 4)
            ASSERT_TRUE(icon->bitmap()->rgba[at + 3] == 0
                || icon->bitmap()->rgba[at] + icon->bitmap()->rgba[at + 1]
                        + icon->bitmap()->rgba[at + 2]
                    == 0);
        ASSERT_EQ(button.bindings().size(), 1u) << buttonNames[position];
        auto& binding = button.bindings().front();
        EXPECT_EQ(binding.selector, selectors[position]);
        EXPECT_EQ(binding.events, ui::ControlEvent::touchUpInside);
        EXPECT_EQ(binding.target.lock().get(), static_cast<ui::Responder*>(&app.screen()));
        EXPECT_TRUE(app.screen().respondsToSelector(binding.selector))
            << "the screen has no " << binding.selector;
        // Direct subviews of the header, not of its content view, after what it had.
        EXPECT_EQ(button.superview(), &header);
    }
    EXPECT_EQ(header.subviews().front(), header.contentView());

    // One tap, one action: the sort order moves by exactly one step.
    app.tapHeaderButton("sort");
    EXPECT_EQ(app.header().textLabel()->text(), "Books by Title");
}

TEST(HeaderBar, foreignSubviewsNeverLeadToASecondSetOfButtons)
{
    auto target = std::make_shared<ui::View>();
    struct Case {
        const char* what;
        std::function<void(ui::TableViewHeaderFooterView&)> prepare;
    };
    const std::vector<Case> cases {
        { "a label before any button",
            [](auto& header) { header.addSubview(std::make_shared<ui::Label>()); } },
        { "a view between the buttons",
            [&](auto& header) {
                decorateHeader(header, target);
                header.insertSubview(std::make_shared<ui::View>(), 3);
            } },
        { "a lone button of someone else's",
            [](auto& header) { header.addSubview(std::make_shared<ui::Button>()); } },
    };
    for (auto& example : cases) {
        auto header = std::make_shared<ui::TableViewHeaderFooterView>();
        header->setFrame(ui::makeRect(0, 0, 375, 50));
        example.prepare(*header);
        for (int time = 0; time < 3; ++time)
            decorateHeader(*header, target);
        auto buttons = buttonsOf(*header);
        ASSERT_EQ(buttons.size(), 4u) << example.what;
        // The four stand side by side in the header's subviews, in their order.
        auto& subviews = header->subviews();
        auto first = std::find_if(
            subviews.begin(), subviews.end(), [&](auto& view) { return view.get() == buttons[0]; });
        for (std::size_t position = 0; position < 4; ++position) {
            ASSERT_EQ(first[static_cast<std::ptrdiff_t>(position)].get(), buttons[position])
                << example.what;
            EXPECT_EQ(buttons[position]->bindings().size(), 1u) << example.what;
            EXPECT_EQ(buttons[position]->accessibilityLabel(), buttonNames[position])
                << example.what;
        }
    }
}

TEST(HeaderBar, aViewThatIsNoHeaderIsLeftAlone)
{
    ui::View plain;
    decorateHeader(plain, nullptr);
    EXPECT_TRUE(plain.subviews().empty());
    EXPECT_FALSE(plain.backgroundColor());
}

}
