// The driver as the browser will use it: events naming what the screen does not show are
// refused and change nothing; a screen presented over the library hides it until dismissed, and
// the library scans again when it comes back into view.
#include "tests/support/LaunchedApp.h"

#include "platform/ui/Application.h"
#include "platform/ui/Fault.h"

#include <atomic>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

namespace {

struct Appearances : ui::ViewController {
    std::vector<std::string> events;
    void viewWillAppear(bool) override { events.push_back("willAppear"); }
    void viewDidAppear(bool) override { events.push_back("didAppear"); }
    void viewWillDisappear(bool) override { events.push_back("willDisappear"); }
    void viewDidDisappear(bool) override { events.push_back("didDisappear"); }
};

TEST(HeadlessDriver, refusesEventsForWhatTheScreenDoesNotShow)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    app.table().takeCommands();
    auto& driver = app.driver();
    auto* sort = app.headerButton("sort");
    ASSERT_NE(sort, nullptr);
    struct Case {
        const char* what;
        foundation::Result<void> outcome;
    };
    sort->setHidden(true);
    const std::vector<Case> cases {
        { "a row beyond the list", driver.tapRow(1) },
        { "a row of a section the table does not have", driver.tapRow(0, 1) },
        { "a delete beyond the list", driver.deleteRow(3) },
        { "an unknown view id", driver.touchUpInside(999'999'999) },
        { "a view that is no control", driver.touchUpInside(app.header().viewId()) },
        { "a hidden control", driver.touchUpInside(sort->viewId()) },
        { "an index title not shown", driver.tapIndexTitle("A") },
        { "a negative visible range", driver.scrollTo(-1, 5) },
        { "a zero width", driver.resize(0, 600) },
        { "an endless height", driver.resize(375, std::numeric_limits<double>::infinity()) },
    };
    sort->setHidden(false);
    for (auto& example : cases)
        EXPECT_FALSE(example.outcome) << example.what;
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Alpha / Ann" }));
    EXPECT_EQ(app.header().textLabel()->text(), "Recently Opened");
    EXPECT_EQ(app.table().frame().size, (ui::Size { 375, 667 }));
    EXPECT_TRUE(app.table().takeCommands().empty());
}

TEST(HeadlessDriver, deliversEventsFromAnotherThreadOnTheMainLoop)
{
    fixtures::LaunchedApp app(
        { { "b.epub", "Beta", "Bob", 2000 }, { "a.epub", "Alpha", "Ann", 1000 } });
    auto sort = app.headerButton("sort")->viewId();
    std::atomic<bool> done { false };
    bool outcome = false;
    std::thread browser([&] {
        outcome = bool(app.driver().touchUpInside(sort));
        done = true;
    });
    // The event waits on the main loop until the main thread runs it.
    while (!done) {
        ui::MainLoop::main().runPending();
        std::this_thread::yield();
    }
    browser.join();
    EXPECT_TRUE(outcome);
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Alpha / Ann", "Beta / Bob" }));
}

TEST(HeadlessDriver, aFullScreenPresentationHidesTheLibraryUntilDismissed)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    auto cover = std::make_shared<Appearances>();
    cover->setModalPresentationStyle(ui::ModalPresentationStyle::fullScreen);
    app.screen().presentViewController(cover, true);
    EXPECT_EQ(app.window().topViewController(), cover);
    EXPECT_EQ(cover->events, (std::vector<std::string> { "willAppear", "didAppear" }));
    EXPECT_EQ(cover->view()->superview(), &app.window());
    EXPECT_EQ(cover->view()->frame(), app.window().bounds());
    EXPECT_FALSE(app.driver().tapRow(0)) << "the library's rows are behind the presented screen";

    // Presenting a second screen over the same one is a fault and changes nothing.
    app.screen().presentViewController(std::make_shared<Appearances>(), false);
    EXPECT_EQ(ui::takeFaults().size(), 1u);
    EXPECT_EQ(app.window().topViewController(), cover);

    app.library().addBook("b.epub", "Beta", "Bob", 2000);
    cover->dismissViewControllerAnimated(true);
    EXPECT_EQ(
        app.window().topViewController().get(), static_cast<ui::ViewController*>(&app.screen()));
    EXPECT_EQ(cover->view()->superview(), nullptr);
    EXPECT_EQ(cover->events.back(), "didDisappear");
    // Back in view, the library scanned again.
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Beta / Bob", "Alpha / Ann" }));
}

TEST(HeadlessDriver, aSheetLeavesTheLibraryInView)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    auto sheet = std::make_shared<Appearances>();
    app.screen().presentViewController(sheet, false);
    app.library().addBook("b.epub", "Beta", "Bob", 2000);
    sheet->dismissViewControllerAnimated(false);
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Alpha / Ann" }))
        << "no new appearance, no scan";
}

TEST(Application, opensOutsideURLsByRequestOnly)
{
    fixtures::LaunchedApp app;
    auto application = ui::Application::sharedApplication();
    std::vector<bool> answers;
    for (auto text :
        { "app-settings:", "https://example.org/", "file:///etc/passwd", "javascript:alert(1)" })
        application->openURL(*foundation::URL::withString(text), {},
            [&](bool opened) { answers.push_back(opened); });
    EXPECT_EQ(answers, (std::vector<bool> { true, true, false, false }));
    auto requests = application->takeOpenURLRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].absoluteString(), "app-settings:");
    EXPECT_TRUE(application->takeOpenURLRequests().empty());
}

}
