// The about alert and the settings link, driven through the header's buttons.
#include "app/AboutAlert.h"
#include "platform/ui/Application.h"
#include "tests/support/LaunchedApp.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutAlert, infoButtonShowsTheStyledAlertAndOkOnlyClosesIt)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    app.tapHeaderButton("info");
    auto alert = std::dynamic_pointer_cast<ui::AlertController>(app.screen().presentedViewController());
    ASSERT_TRUE(alert);

    EXPECT_EQ(alert->title(), "Pagewyn 1.0.3");
    ASSERT_TRUE(alert->attributedTitle());
    const auto& title = alert->attributedTitle()->runs();
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0].text, "Pagewyn 1.0.3");
    EXPECT_EQ(title[0].attributes.font->fontName(), "System-Bold");
    EXPECT_EQ(title[0].attributes.font->pointSize(), 17);
    EXPECT_EQ(title[0].attributes.foregroundColor, ui::Color::blackColor());

    ASSERT_TRUE(alert->attributedMessage());
    const auto& message = *alert->attributedMessage();
    EXPECT_EQ(message.string(), "\nPagewyn is an e-book reader with commentary from AI\n\n\xC2\xA9 2026 The Pagewyn developers\n"
                                "Pagewyn is made possible by the FolioReader project\n");
    for (const auto& run : message.runs()) {
        EXPECT_EQ(run.attributes.alignment, ui::TextAlignment::center);
        if (run.text.find("commentary") != std::string::npos)
            EXPECT_EQ(run.attributes.font->pointSize(), 18);
        if (run.text.find("made possible") != std::string::npos)
            EXPECT_EQ(run.attributes.font->pointSize(), 13.5);
    }

    auto panel = alert->contentContainer();
    ASSERT_TRUE(panel && panel->backgroundColor());
    EXPECT_EQ(*panel->backgroundColor(), ui::Color::withRGBA(2.0 / 3, 2.0 / 3, 2.0 / 3, 0.6));
    EXPECT_EQ(alert->view()->tintColor(), ui::Color::blackColor());

    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "ok");
    EXPECT_EQ(alert->actions()[0]->style(), ui::AlertActionStyle::defaultStyle);
    auto rowsBefore = app.visibleRows();
    ASSERT_TRUE(app.driver().tapAlertAction(0));
    EXPECT_FALSE(app.screen().presentedViewController());
    EXPECT_EQ(app.visibleRows(), rowsBefore);
    EXPECT_FALSE(app.driver().tapAlertAction(0)) << "no alert is left to tap";
}

TEST(SettingsLink, eachTapAsksOnceForTheSettingsPageAndChangesNothing)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 }, { "b.epub", "Beta", "Bob", 2000 } });
    auto application = ui::Application::sharedApplication();
    application->takeOpenURLRequests();
    auto rowsBefore = app.visibleRows();
    app.tapHeaderButton("settings");
    app.tapHeaderButton("settings");
    const auto& requests = application->pendingOpenURLRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.url.absoluteString(), "app-settings:");
        EXPECT_TRUE(request.options.empty());
        EXPECT_FALSE(request.hasCompletion);
    }
    EXPECT_EQ(app.visibleRows(), rowsBefore);
    EXPECT_FALSE(app.screen().presentedViewController());
    EXPECT_TRUE(app.takeConsole().empty());
}

}
