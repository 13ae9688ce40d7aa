// The view tree: subviews without cycles, constraints kept once, laid out against margins, and
// target/action bindings kept as a set.
#include "platform/ui/Button.h"
#include "platform/ui/Fault.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/ViewController.h"

#include <gtest/gtest.h>

namespace {

struct Counter : ui::Responder {
    int taps = 0;
    Counter()
    {
        registerAction("count", [this] { ++taps; });
    }
};

TEST(ViewTree, aViewCannotContainItself)
{
    auto outer = std::make_shared<ui::View>();
    auto inner = std::make_shared<ui::View>();
    outer->addSubview(inner);
    inner->addSubview(outer);
    outer->addSubview(outer);
    EXPECT_EQ(ui::takeFaults().size(), 2u);
    EXPECT_EQ(outer->superview(), nullptr);
    EXPECT_EQ(inner->subviews().size(), 0u);
    // Moving a view to another superview takes it from the first.
    auto other = std::make_shared<ui::View>();
    other->addSubview(inner);
    EXPECT_TRUE(outer->subviews().empty());
    EXPECT_EQ(inner->superview(), other.get());
    EXPECT_EQ(other->viewWithId(inner->viewId()), inner.get());
    EXPECT_NE(inner->viewId(), outer->viewId());
}

TEST(ViewTree, activatingAnEqualConstraintAgainKeepsOne)
{
    auto holder = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::subtitle, "cell");
    auto& picture = *holder->imageView();
    auto guide = holder->contentView()->layoutMarginsGuide();
    for (int time = 0; time < 3; ++time) {
        picture.topAnchor().constraintEqualToAnchor(guide.topAnchor())->setActive(true);
        picture.widthAnchor().constraintEqualToConstant(36)->setActive(true);
    }
    EXPECT_EQ(picture.constraints().size(), 2u);
    // A different constant is a different constraint.
    auto wider = picture.widthAnchor().constraintEqualToConstant(40);
    wider->setActive(true);
    EXPECT_EQ(picture.constraints().size(), 3u);
    wider->setActive(false);
    EXPECT_EQ(picture.constraints().size(), 2u);
    EXPECT_FALSE(wider->isActive());
}

TEST(ViewTree, constraintsPlaceAViewAgainstItsSuperviewsMargins)
{
    auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::subtitle, "cell");
    cell->setFrame(ui::makeRect(0, 0, 320, 56));
    cell->contentView()->setLayoutMargins({ 5, 12, 5, 12 });
    auto& picture = *cell->imageView();
    auto guide = cell->contentView()->layoutMarginsGuide();
    picture.setTranslatesAutoresizingMaskIntoConstraints(false);
    picture.topAnchor().constraintEqualToAnchor(guide.topAnchor())->setActive(true);
    picture.leadingAnchor().constraintEqualToAnchor(guide.leadingAnchor(), 2)->setActive(true);
    picture.heightAnchor().constraintEqualToConstant(30)->setActive(true);
    picture.widthAnchor().constraintEqualToConstant(30)->setActive(true);
    // A constraint to a view outside the content view is not resolved.
    auto stranger = std::make_shared<ui::View>(ui::makeRect(100, 100, 10, 10));
    picture.bottomAnchor().constraintEqualToAnchor(stranger->bottomAnchor())->setActive(true);
    cell->layoutIfNeeded();
    EXPECT_EQ(picture.frame(), ui::makeRect(14, 5, 30, 30));
}

TEST(ViewTree, aButtonKeepsEachBindingOnce)
{
    auto counter = std::make_shared<Counter>();
    auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
    button->addTarget(counter, "count", ui::ControlEvent::touchUpInside);
    button->addTarget(counter, "count", ui::ControlEvent::touchUpInside);
    EXPECT_EQ(button->bindings().size(), 1u);
    button->sendActionsForControlEvents(ui::ControlEvent::touchUpInside);
    EXPECT_EQ(counter->taps, 1);
    button->sendActionsForControlEvents(ui::ControlEvent::touchDown);
    EXPECT_EQ(counter->taps, 1);
    button->addTarget(counter, "count", ui::ControlEvent::touchDown);
    EXPECT_EQ(button->bindings().size(), 2u);
    button->removeTarget(counter, "count", ui::ControlEvent::touchDown);
    EXPECT_EQ(button->bindings().size(), 1u);
}

TEST(ViewTree, actionsNoOnePerformsAreFaults)
{
    auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
    {
        auto counter = std::make_shared<Counter>();
        button->addTarget(counter, "count", ui::ControlEvent::touchUpInside);
        button->addTarget(counter, "unknown", ui::ControlEvent::touchUpInside);
        button->sendActionsForControlEvents(ui::ControlEvent::touchUpInside);
        EXPECT_EQ(counter->taps, 1);
        EXPECT_EQ(ui::takeFaults().size(), 1u);
    }
    // The target is gone: the binding does not keep it alive, and the tap is a fault, no crash.
    button->sendActionsForControlEvents(ui::ControlEvent::touchUpInside);
    EXPECT_EQ(ui::takeFaults().size(), 2u);
}

TEST(ViewTree, anActionWithoutTargetGoesUpToTheViewsController)
{
    struct Screen : ui::ViewController {
        int taps = 0;
        Screen()
        {
            registerAction("count", [this] { ++taps; });
        }
    };
    auto screen = std::make_shared<Screen>();
    auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
    auto row = std::make_shared<ui::View>();
    row->addSubview(button);
    screen->view()->addSubview(row);
    button->addTarget(nullptr, "count", ui::ControlEvent::touchUpInside);
    button->sendActionsForControlEvents(ui::ControlEvent::touchUpInside);
    EXPECT_EQ(screen->taps, 1);
    EXPECT_TRUE(ui::takeFaults().empty());
}

}
