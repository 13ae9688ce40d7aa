// Tapping a book's row: the reader comes up over the library with that book, the book's item and
// record get the current time, and the table follows the sort order underneath; closing the
// reader brings the library back, scanned afresh.
#include "frameworks/folioreader/reader/ReaderViewController.h"
#include "library/BookList.h"
#include "library/ProgramState.h"
#include "library/SortOrder.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/LaunchedApp.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;
using Command = ui::TableViewCommand;

std::shared_ptr<folioreader::ReaderViewController> frontReader(fixtures::LaunchedApp& app)
{
    return std::dynamic_pointer_cast<folioreader::ReaderViewController>(
        app.window().topViewController());
}

foundation::Date modificationDate(const std::string& path)
{
    auto attributes = foundation::FileManager().attributesOfItemAtPath(path);
    EXPECT_TRUE(attributes);
    return attributes ? attributes->modificationDate().value_or(foundation::Date())
                      : foundation::Date();
}

void closeReader(fixtures::LaunchedApp& app)
{
    auto reader = frontReader(app);
    ASSERT_NE(reader, nullptr);
    auto closed = app.driver().touchUpInside(reader->closeButton()->viewId());
    ASSERT_TRUE(closed) << closed.error().description();
}

const std::vector<fixtures::BookFile> threeBooks = {
    { "b.epub", "Beta", "Zed", 3000 },
    { "c.epub", "Gamma", "Ann", 2000 },
    { "a.epub", "Alpha", "Bob", 1000 },
};

TEST(OpenBook, presentsTheTappedBookAndMakesItTheMostRecent)
{
    fixtures::LaunchedApp app(threeBooks);
    app.table().takeCommands();
    auto before = foundation::Date::now();
    ASSERT_TRUE(app.driver().tapRow(2));
    auto after = foundation::Date::now();

    auto reader = frontReader(app);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->presentingViewController(), &app.screen());
    EXPECT_EQ(reader->modalPresentationStyle(), ui::ModalPresentationStyle::fullScreen);
    EXPECT_EQ(reader->session().bookPath(), app.library().path() + "/a.epub");
    EXPECT_EQ(reader->session().title(), "Alpha");
    EXPECT_EQ(
        reader->config().accentColor, ui::Color::withRGBA(237.0 / 255, 182.0 / 255, 27.0 / 255, 1));
    EXPECT_EQ(app.screen().folioReader->readerViewController(), reader);

    auto onDisk = modificationDate(app.library().itemPath("a.epub"));
    EXPECT_GE(onDisk, before);
    EXPECT_LE(onDisk, after);
    EXPECT_EQ(fixtures::listedFiles(), (Rows { "a.epub", "b.epub", "c.epub" }));
    EXPECT_GE(bookList()[0].added, onDisk) << "the clock is read again after the date is set";
    EXPECT_LE(bookList()[0].added, after);
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Bob", "Beta / Zed", "Gamma / Ann" }))
        << "the table underneath is reloaded";
    EXPECT_TRUE(app.takeConsole().empty());
}

TEST(OpenBook, theTableFollowsTheSortOrder)
{
    struct Case {
        std::int64_t order;
        std::int64_t tappedRow;
        Rows listAfter;
        std::vector<Command::Kind> commands;
    };
    const std::vector<Case> cases = {
        { SortOrder::recentlyOpened, 1, { "c.epub", "b.epub", "a.epub" },
            { Command::Kind::selectRow } },
        { SortOrder::recentlyOpened, 0, { "b.epub", "c.epub", "a.epub" },
            { Command::Kind::selectRow } },
        { SortOrder::byTitle, 2, { "a.epub", "b.epub", "c.epub" }, { Command::Kind::scrollToRow } },
        { SortOrder::byAuthor, 1, { "c.epub", "a.epub", "b.epub" },
            { Command::Kind::scrollToRow } },
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(
            testing::Message() << "order " << testCase.order << ", row " << testCase.tappedRow);
        fixtures::LaunchedApp app(threeBooks);
        while (sortOrder() != testCase.order)
            app.tapHeaderButton("sort");
        app.table().takeCommands();

        ASSERT_TRUE(app.driver().tapRow(testCase.tappedRow));
        EXPECT_EQ(fixtures::listedFiles(), testCase.listAfter);
        auto commands = app.table().takeCommands();
        ASSERT_EQ(commands.size(), testCase.commands.size());
        const Command& command = commands[0];
        EXPECT_EQ(command.kind, testCase.commands[0]);
        EXPECT_TRUE(command.animated);
        if (testCase.order == SortOrder::recentlyOpened) {
            EXPECT_EQ(
                command.indexPaths, (std::vector<ui::IndexPath> { ui::IndexPath::forRow(0, 0) }));
            EXPECT_EQ(command.scrollPosition, ui::TableViewScrollPosition::none);
            EXPECT_EQ(app.table().indexPathForSelectedRow(), ui::IndexPath::forRow(0, 0));
        } else {
            EXPECT_EQ(command.indexPaths,
                (std::vector<ui::IndexPath> { ui::IndexPath::forRow(testCase.tappedRow, 0) }));
            EXPECT_EQ(command.scrollPosition, ui::TableViewScrollPosition::top);
        }
        EXPECT_EQ(sortOrder(), testCase.order);
    }
}

TEST(OpenBook, anItemWhoseDateCannotBeChangedStillMovesUpForThisRun)
{
    fixtures::LaunchedApp app(threeBooks);
    std::filesystem::remove(app.library().itemPath("a.epub"));
    ASSERT_TRUE(app.driver().tapRow(2));

    auto lines = app.takeConsole();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Can't change date: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("a.epub"), std::string::npos) << lines[0];
    EXPECT_EQ(fixtures::listedFiles(), (Rows { "a.epub", "b.epub", "c.epub" }));
    auto reader = frontReader(app);
    ASSERT_NE(reader, nullptr) << "the reader says itself that the book is gone";
    ASSERT_NE(reader->messageLabel(), nullptr);
    EXPECT_EQ(reader->messageLabel()->text().rfind("This book cannot be opened.", 0), 0u);
}

TEST(OpenBook, closingTheReaderBringsBackTheLibraryScannedAfresh)
{
    fixtures::LaunchedApp app(threeBooks);
    ASSERT_TRUE(app.driver().tapRow(0));
    auto copy = frontReader(app)->session().temporaryFolder();
    ASSERT_TRUE(copy);
    EXPECT_TRUE(std::filesystem::exists(*copy));

    app.library().addBook("d.epub", "Delta", "Dee", 500);
    closeReader(app);
    EXPECT_EQ(app.window().topViewController().get(), &app.screen());
    EXPECT_EQ(app.screen().folioReader->readerViewController(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(*copy)) << "the private copy goes with the reader";
    EXPECT_TRUE(std::filesystem::exists(app.library().itemPath("b.epub")))
        << "the book itself stays";
    EXPECT_EQ(
        app.visibleRows(), (Rows { "Beta / Zed", "Gamma / Ann", "Alpha / Bob", "Delta / Dee" }));
}

TEST(OpenBook, aRowBeyondTheListOpensNothing)
{
    fixtures::LaunchedApp app(threeBooks);
    app.table().takeCommands();
    app.screen().didSelectRowAtIndexPath(app.table(), ui::IndexPath::forRow(3, 0));
    app.screen().didSelectRowAtIndexPath(app.table(), ui::IndexPath::forRow(-1, 0));
    EXPECT_EQ(app.window().topViewController().get(), &app.screen());
    EXPECT_TRUE(app.table().takeCommands().empty());
    EXPECT_EQ(fixtures::listedFiles(), (Rows { "b.epub", "c.epub", "a.epub" }));
    EXPECT_TRUE(app.takeConsole().empty());
}

TEST(OpenBook, theNewOrderSurvivesARestart)
{
    fixtures::LaunchedApp app(threeBooks);
    ASSERT_TRUE(app.driver().tapRow(2));
    closeReader(app);
    // As at a new start of the program: nothing in memory, the list read from the folder again.
    resetProgramState();
    app.showScreen();
    EXPECT_EQ(fixtures::listedFiles(), (Rows { "a.epub", "b.epub", "c.epub" }));
}

}

namespace {

TEST(OpenBook, aFoundPassageOpensItsBookAndMakesItTheMostRecent)
{
    fixtures::LaunchedApp app(threeBooks);
    ASSERT_TRUE(app.driver().search("gamma"));
    ASSERT_TRUE(app.driver().selectFoundPassage("a.epub"))
        << "a passage opens its book though the rows found by title do not show it";
    auto reader = frontReader(app);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->session().bookPath(), app.library().path() + "/a.epub");
    EXPECT_EQ(fixtures::listedFiles(), (Rows { "a.epub", "b.epub", "c.epub" }));

    // A book deleted since its text was indexed opens nothing and is said so.
    closeReader(app);
    auto missing = app.driver().selectFoundPassage("gone.epub");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().description(), "the library has no book \"gone.epub\"");
    EXPECT_EQ(frontReader(app), nullptr);
}

}
