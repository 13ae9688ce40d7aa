// Deleting a book: the item leaves the folder, the book the list, the row the table with a fade;
// a failed removal leaves all three as they were and writes one console line.
#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "library/BookList.h"
#include "tests/support/LaunchedApp.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

std::vector<ui::TableViewCommand> deletions(ui::TableView& table)
{
    std::vector<ui::TableViewCommand> found;
    for (auto& command : table.takeCommands()) {
        if (command.kind == ui::TableViewCommand::Kind::deleteRows)
            found.push_back(command);
    }
    return found;
}

TEST(DeleteBook, removesTheFileTheBookAndTheRow)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 3000 },
        { "b.epub", "Beta", "Bob", 2000 }, { "c.epub", "Gamma", "Cy", 1000 } });
    app.table().takeCommands();
    std::string places = app.library().itemPath(folioreader::readingPlacesName);
    for (auto book : { "a.epub", "b.epub" })
        ASSERT_TRUE(folioreader::keepReadingPlace(places, book, { "one.xhtml", 5, 1, false }));
    ASSERT_TRUE(app.driver().deleteRow(0));
    EXPECT_FALSE(std::filesystem::exists(app.library().itemPath("a.epub")));
    EXPECT_EQ(folioreader::readingPlace(places, "a.epub"), std::nullopt)
        << "its place goes with it";
    EXPECT_TRUE(folioreader::readingPlace(places, "b.epub"));
    EXPECT_TRUE(std::filesystem::exists(app.library().itemPath("b.epub")));
    EXPECT_EQ(bookList().size(), 2u);
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 2);
    EXPECT_EQ(app.visibleRows(), (Rows { "Beta / Bob", "Gamma / Cy" }));
    auto deleted = deletions(app.table());
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].indexPaths, (std::vector<ui::IndexPath> { ui::IndexPath::forRow(0, 0) }));
    EXPECT_EQ(deleted[0].rowAnimation, ui::TableViewRowAnimation::fade);
    EXPECT_TRUE(app.takeConsole().empty());

    // The scan does not bring it back.
    app.showScreen();
    EXPECT_EQ(app.visibleRows(), (Rows { "Beta / Bob", "Gamma / Cy" }));
}

// A folder book goes with everything in it; a link goes, but not what it points to.
TEST(DeleteBook, removesAFolderBookWholeAndALinkButNotItsTarget)
{
    fixtures::TemporaryFolder outside;
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> items {
        { "unpacked.epub",
            [](const std::string& item) {
                fixtures::EpubFixture {}.writeUnpacked(item);
                std::filesystem::create_directories(item + "/extra/deeper");
            } },
        { "link.epub",
            [&](const std::string& item) {
                fixtures::EpubFixture {}.writeZipped(outside.file("real.epub"));
                std::filesystem::create_symlink(outside.file("real.epub"), item);
            } },
    };
    for (auto& [name, write] : items) {
        fixtures::LaunchedApp app;
        write(app.library().itemPath(name));
        app.showScreen();
        ASSERT_EQ(app.table().numberOfRowsInSection(0), 1) << name;
        ASSERT_TRUE(app.driver().deleteRow(0)) << name;
        EXPECT_FALSE(
            std::filesystem::exists(std::filesystem::symlink_status(app.library().itemPath(name))))
            << name;
        EXPECT_EQ(app.table().numberOfRowsInSection(0), 0) << name;
        EXPECT_TRUE(bookList().empty()) << name;
        EXPECT_TRUE(std::filesystem::exists(app.library().path())) << "the documents folder stays";
    }
    EXPECT_TRUE(std::filesystem::exists(outside.file("real.epub")));
}

TEST(DeleteBook, aFailedRemovalLeavesListAndTableAlone)
{
    fixtures::LaunchedApp app(
        { { "a.epub", "Alpha", "Ann", 2000 }, { "b.epub", "Beta", "Bob", 1000 } });
    app.table().takeCommands();
    app.takeConsole();
    std::filesystem::remove(app.library().itemPath("a.epub"));
    ASSERT_TRUE(app.driver().deleteRow(0));
    auto console = app.takeConsole();
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0].rfind("Can't delete: ", 0), 0u) << console[0];
    EXPECT_NE(console[0].find("a.epub"), std::string::npos) << console[0];
    EXPECT_EQ(bookList().size(), 2u);
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 2);
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Ann", "Beta / Bob" }));
    EXPECT_TRUE(deletions(app.table()).empty());
    EXPECT_TRUE(std::filesystem::exists(app.library().itemPath("b.epub")));
}

TEST(DeleteBook, otherEditingStylesAndMissingRowsChangeNothing)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    app.table().takeCommands();
    for (auto style :
        { ui::TableViewCellEditingStyle::insert, ui::TableViewCellEditingStyle::none })
        app.screen().commitEditingStyle(app.table(), style, { 0, 0 });
    // A row beyond the list, asked of the screen directly (the driver refuses it first).
    app.screen().commitEditingStyle(
        app.table(), ui::TableViewCellEditingStyle::deleteStyle, { 0, 5 });
    EXPECT_TRUE(std::filesystem::exists(app.library().itemPath("a.epub")));
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 1);
    EXPECT_TRUE(deletions(app.table()).empty());
    EXPECT_TRUE(app.takeConsole().empty());
}

}
