// Start-up: delegate, window, library screen with its reader engine, registration, first scan.
#include "app/ApplicationClasses.h"
#include "platform/ui/ApplicationMain.h"
#include "platform/ui/ClassRegistry.h"
#include "platform/ui/Fault.h"
#include "tests/support/LaunchedApp.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

TEST(StartUp, delegateHoldsTheWindowAndTheScreenShownAsItsRoot)
{
    testing::LaunchedApp app;
    auto& delegate = app.delegate();
    ASSERT_NE(delegate.window(), nullptr);
    EXPECT_EQ(delegate.window(), ui::HeadlessDriver::window());
    EXPECT_TRUE(delegate.window()->isVisible());
    EXPECT_EQ(delegate.window()->frame(), ui::makeRect(0, 0, 375, 667));
    // The screen registered itself when its view loaded, and it is the window's root.
    ASSERT_NE(delegate.myViewController, nullptr);
    EXPECT_EQ(std::static_pointer_cast<ui::ViewController>(delegate.myViewController), delegate.window()->rootViewController());
    EXPECT_EQ(delegate.myViewController->initialiser(), ui::ViewController::Initialiser::coder);
    EXPECT_NE(delegate.myViewController->folioReader, nullptr);
    // The table view is the screen's view, inside the window.
    EXPECT_EQ(app.table().superview(), delegate.window().get());
    EXPECT_EQ(app.table().frame(), ui::makeRect(0, 0, 375, 667));
}

TEST(StartUp, firstAppearanceScansTheLibrary)
{
    testing::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 2000 }, { "b.epub", "Beta", "Bob", 1000 } });
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 2);
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Alpha / Ann", "Beta / Bob" }));
    EXPECT_EQ(app.header().textLabel()->text(), "Recently Opened");
}

}
