// The alert: its panel, its styled texts and its buttons.
#include "platform/ui/AlertController.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

namespace {

class CountingScreen : public ui::ViewController {
public:
    void viewWillAppear(bool) override { ++appearances; }
    int appearances = 0;
};

TEST(AlertController, panelIsThreeLevelsDownAndStyledTextsGoByKey)
{
    auto alert = ui::AlertController::alertControllerWithTitle(
        "Title", "Message", ui::AlertControllerStyle::alert);
    auto container = alert->contentContainer();
    ASSERT_TRUE(container);
    EXPECT_EQ(alert->view()->subviews().front()->subviews().front()->subviews().front(), container);

    EXPECT_TRUE(alert->setValue(ui::AttributedString("T", {}), "attributedTitle"));
    EXPECT_TRUE(alert->setValue(ui::AttributedString("M", {}), "attributedMessage"));
    EXPECT_FALSE(alert->setValue(ui::AttributedString("X", {}), "attributedFooter"));
    EXPECT_EQ(alert->attributedTitle()->string(), "T");
    EXPECT_EQ(alert->attributedMessage()->string(), "M");
    EXPECT_EQ(alert->title(), "Title");
}

TEST(AlertController, tappingAButtonClosesTheAlertThenRunsItsAction)
{
    auto screen = std::make_shared<CountingScreen>();
    auto window = std::make_shared<ui::Window>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    int appearancesBefore = screen->appearances;
    auto alert = ui::AlertController::alertControllerWithTitle(
        "Title", std::nullopt, ui::AlertControllerStyle::alert);
    bool presentedWhenRun = true;
    alert->addAction(ui::AlertAction::actionWithTitle(
        "ok", ui::AlertActionStyle::defaultStyle, [&](ui::AlertAction&) {
            presentedWhenRun = screen->presentedViewController() != nullptr;
        }));
    screen->presentViewController(alert, true);
    ASSERT_EQ(screen->presentedViewController(), alert);

    EXPECT_FALSE(alert->tapActionAtIndex(1));
    EXPECT_EQ(screen->presentedViewController(), alert);
    EXPECT_TRUE(alert->tapActionAtIndex(0));
    EXPECT_FALSE(screen->presentedViewController());
    EXPECT_FALSE(presentedWhenRun);
    EXPECT_EQ(screen->appearances, appearancesBefore)
        << "the screen under an alert never left the view";
}

}
