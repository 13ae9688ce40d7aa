// LaunchedApp: the application started for a test as the program starts it — classes
// registered, the main interface loaded, the library screen shown — on a temporary documents
// folder, with the console captured. Events go through the headless driver, as the browser's do.
//
//     fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
//     EXPECT_EQ(app.table().numberOfRowsInSection(0), 1);
//
// Faults the platform reports fail the test unless the test takes them (ui::takeFaults()).
#pragma once

#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "platform/ui/Button.h"
#include "platform/ui/HeadlessDriver.h"
#include "tests/library/LibraryFolder.h"

#include <string>
#include <vector>

namespace fixtures {

struct BookFile {
    std::string name;
    std::string title;
    std::string author;
    long long modifiedAt = 1000;
};

class LaunchedApp {
public:
    // Writes the books (zipped) into a fresh library folder, then launches; the screen has
    // appeared once, so the first scan has run.
    explicit LaunchedApp(const std::vector<BookFile>& books = {});
    ~LaunchedApp();
    LaunchedApp(const LaunchedApp&) = delete;
    LaunchedApp& operator=(const LaunchedApp&) = delete;

    fixtures::LibraryFolder& library() { return m_library; }
    ui::HeadlessDriver& driver() { return m_driver; }
    ui::Window& window();
    ui::TableView& table();
    ViewController& screen();
    AppDelegate& delegate();

    // The screen is shown again: a new scan and reload. Fails the test when the driver refuses.
    void showScreen();
    // Touch-up-inside on the header button named by its icon ("sort").
    void tapHeaderButton(const std::string& name);

    // The header view of the table, and its button named by its icon.
    ui::TableViewHeaderFooterView& header();
    ui::Button* headerButton(const std::string& name);
    // Title and author of each visible row, "title / author", in row order.
    std::vector<std::string> visibleRows();
    // Console lines since the last call.
    std::vector<std::string> takeConsole() { return m_library.takeConsole(); }

private:
    fixtures::LibraryFolder m_library;
    ui::HeadlessDriver m_driver;
};

}
