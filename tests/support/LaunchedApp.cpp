// Launching and ending the application around a test.
#include "tests/support/LaunchedApp.h"

#include "app/ApplicationClasses.h"
#include "platform/ui/ApplicationMain.h"
#include "platform/ui/ClassRegistry.h"
#include "platform/ui/Fault.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace fixtures {

LaunchedApp::LaunchedApp(const std::vector<BookFile>& books)
{
    ui::takeFaults();
    for (auto& book : books)
        m_library.addBook(book.name, book.title, book.author, book.modifiedAt);
    registerApplicationClasses();
    auto launched = ui::launchApplication(std::nullopt, ui::stringFromClass<AppDelegate>());
    if (!launched)
        throw std::runtime_error(
            "the application did not start: " + launched.error().description());
}

LaunchedApp::~LaunchedApp()
{
    ui::endApplication();
    auto faults = ui::takeFaults();
    for (auto& fault : faults)
        ADD_FAILURE() << "the platform reported a fault: " << fault;
}

ui::Window& LaunchedApp::window()
{
    return *ui::HeadlessDriver::window();
}

ui::TableView& LaunchedApp::table()
{
    return *screen().tableView();
}

ViewController& LaunchedApp::screen()
{
    return dynamic_cast<ViewController&>(*window().rootViewController());
}

AppDelegate& LaunchedApp::delegate()
{
    return dynamic_cast<AppDelegate&>(*ui::Application::sharedApplication()->delegate());
}

void LaunchedApp::showScreen()
{
    auto shown = m_driver.showScreen();
    EXPECT_TRUE(shown) << (shown ? "" : shown.error().description());
}

ui::TableViewHeaderFooterView& LaunchedApp::header()
{
    auto view = table().headerViewForSection(0);
    if (!view)
        throw std::runtime_error("the table shows no header");
    return *view;
}

ui::Button* LaunchedApp::headerButton(const std::string& name)
{
    ui::Button* found = nullptr;
    for (auto& subview : header().subviews()) {
        auto* button = dynamic_cast<ui::Button*>(subview.get());
        if (button && button->accessibilityLabel() == name) {
            EXPECT_EQ(found, nullptr) << "two header buttons are named " << name;
            found = button;
        }
    }
    return found;
}

void LaunchedApp::tapHeaderButton(const std::string& name)
{
    auto* button = headerButton(name);
    ASSERT_NE(button, nullptr) << "no header button " << name;
    auto tapped = m_driver.touchUpInside(button->viewId());
    EXPECT_TRUE(tapped) << (tapped ? "" : tapped.error().description());
}

std::vector<std::string> LaunchedApp::visibleRows()
{
    std::vector<std::string> rows;
    for (auto& indexPath : table().indexPathsForVisibleRows()) {
        auto cell = table().cellForRowAtIndexPath(indexPath);
        rows.push_back(cell->textLabel()->text() + " / " + cell->detailTextLabel()->text());
    }
    return rows;
}

}
