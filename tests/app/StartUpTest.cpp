// Start-up: delegate, window, library screen with its reader engine, registration, first scan.
#include "app/ApplicationClasses.h"
#include "platform/ui/ApplicationMain.h"
#include "platform/ui/ClassRegistry.h"
#include "platform/ui/Fault.h"
#include "tests/support/LaunchedApp.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace {

TEST(StartUp, delegateHoldsTheWindowAndTheScreenShownAsItsRoot)
{
    fixtures::LaunchedApp app;
    auto& delegate = app.delegate();
    ASSERT_NE(delegate.window(), nullptr);
    EXPECT_EQ(delegate.window(), ui::HeadlessDriver::window());
    EXPECT_TRUE(delegate.window()->isVisible());
    EXPECT_EQ(delegate.window()->frame(), ui::makeRect(0, 0, 375, 667));
    // The screen registered itself when its view loaded, and it is the window's root.
    ASSERT_NE(delegate.myViewController, nullptr);
    EXPECT_EQ(std::static_pointer_cast<ui::ViewController>(delegate.myViewController),
        delegate.window()->rootViewController());
    EXPECT_NE(delegate.myViewController->folioReader, nullptr);
    // The table view is the screen's view, inside the window.
    EXPECT_EQ(app.table().superview(), delegate.window().get());
    EXPECT_EQ(app.table().frame(), ui::makeRect(0, 0, 375, 667));
}

TEST(StartUp, everyInitialiserGivesTheScreenItsOwnReaderEngine)
{
    std::vector<std::shared_ptr<ViewController>> screens {
        std::make_shared<ViewController>(ui::TableViewStyle::plain),
        std::make_shared<ViewController>(std::optional<std::string>("Main"), std::nullopt),
        std::make_shared<ViewController>(
            ui::Coder(std::map<std::string, std::string> { { "style", "0" } })),
    };
    for (std::size_t index = 0; index < screens.size(); ++index) {
        EXPECT_NE(screens[index]->folioReader, nullptr);
        for (std::size_t other = 0; other < index; ++other)
            EXPECT_NE(screens[index]->folioReader, screens[other]->folioReader);
    }
    // Loading the view keeps the engine it was made with.
    auto engine = screens[0]->folioReader;
    screens[0]->view();
    EXPECT_EQ(screens[0]->folioReader, engine);
}

TEST(StartUp, theLastScreenWhoseViewLoadedIsTheDelegatesScreen)
{
    fixtures::LaunchedApp app;
    auto first = app.delegate().myViewController;
    auto second = std::make_shared<ViewController>(ui::TableViewStyle::plain);
    EXPECT_EQ(app.delegate().myViewController, first) << "registration waits for the view";
    second->view();
    EXPECT_EQ(app.delegate().myViewController, second);
}

TEST(StartUp, aScreenOutsideARunningApplicationRegistersNowhere)
{
    auto screen = std::make_shared<ViewController>(ui::TableViewStyle::plain);
    screen->view();
    EXPECT_NE(screen->tableView(), nullptr);
}

TEST(StartUp, unknownClassesOrABrokenInterfaceStopStartUpWithAReason)
{
    fixtures::LibraryFolder library;
    registerApplicationClasses();
    EXPECT_FALSE(ui::launchApplication(std::nullopt, "Pagewyn.NoSuchDelegate"));
    EXPECT_FALSE(ui::launchApplication(std::string("Pagewyn.AppDelegate"), "Pagewyn.AppDelegate"))
        << "a delegate class is no application class";
    fixtures::TemporaryFolder folder;
    std::ofstream(folder.file("broken.json"))
        << R"({ "rootViewController": { "class": "Pagewyn.AppDelegate" } })";
    EXPECT_FALSE(
        ui::launchApplication(std::nullopt, "Pagewyn.AppDelegate", folder.file("broken.json")))
        << "the root must be a view controller";
    EXPECT_EQ(ui::Application::sharedApplication(), nullptr);
    char name[] = "pagewyn";
    char* arguments[] = { name, nullptr };
    EXPECT_EQ(ui::applicationMain(1, arguments, std::nullopt, "Pagewyn.NoSuchDelegate"), 1);
    auto console = library.takeConsole();
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0].rfind("Can't start: ", 0), 0u) << console[0];
    ui::endApplication();
}

TEST(StartUp, applicationMainRunsWithTheScreenShownAndScanned)
{
    fixtures::LibraryFolder library;
    library.addBook("a.epub", "Alpha", "Ann", 1000);
    registerApplicationClasses();
    std::int64_t rowsWhenRunning = -1;
    ui::setApplicationRunner([&](ui::Application& application, ui::MainLoop&) {
        auto delegate = std::dynamic_pointer_cast<AppDelegate>(application.delegate());
        if (delegate && delegate->myViewController)
            rowsWhenRunning = delegate->myViewController->tableView()->numberOfRowsInSection(0);
        return 7;
    });
    char name[] = "pagewyn";
    char* arguments[] = { name, nullptr };
    EXPECT_EQ(
        ui::applicationMain(1, arguments, std::nullopt, ui::stringFromClass<AppDelegate>()), 7);
    ui::setApplicationRunner({});
    EXPECT_EQ(rowsWhenRunning, 1);
    EXPECT_EQ(ui::Application::sharedApplication(), nullptr)
        << "the application ends with applicationMain";
}

}
