// The about alert and the settings link, driven through the header's buttons; what the alert
// shows is checked as the page receives it (AlertSnapshotTest).
#include "app/AboutAlert.h"
#include "platform/ui/Application.h"
#include "tests/support/LaunchedApp.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutAlert, infoButtonShowsTheAlertAndOkOnlyClosesIt)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    app.tapHeaderButton("info");
    auto alert
        = std::dynamic_pointer_cast<ui::AlertController>(app.screen().presentedViewController());
    ASSERT_TRUE(alert);

    EXPECT_EQ(alert->title(), "Pagewyn 1.0.3");
    ASSERT_EQ(alert->actions().size(), 1u);
    auto rowsBefore = app.visibleRows();
    ASSERT_TRUE(app.driver().tapAlertAction(0));
    EXPECT_FALSE(app.screen().presentedViewController());
    EXPECT_EQ(app.visibleRows(), rowsBefore);
    EXPECT_FALSE(app.driver().tapAlertAction(0)) << "no alert is left to tap";
}

TEST(SettingsLink, eachTapAsksOnceForTheSettingsPageAndChangesNothing)
{
    fixtures::LaunchedApp app(
        { { "a.epub", "Alpha", "Ann", 1000 }, { "b.epub", "Beta", "Bob", 2000 } });
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
