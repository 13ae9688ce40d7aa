// The table's one section: its rows, its blue index, and the jump to an index title.
#include "library/SortOrder.h"
#include "tests/support/LaunchedApp.h"

#include <gtest/gtest.h>

namespace {

TEST(Sections, oneRowPerBookWhateverSectionIsAsked)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" }, { "b.epub", "Beta", "Bob" } });
    for (std::int64_t section : { 0, 1, -1, 42 })
        EXPECT_EQ(app.screen().numberOfRowsInSection(app.table(), section), 2);
    EXPECT_EQ(app.table().numberOfSections(), 1);
}

TEST(Sections, everyIndexRequestSetsTheIndexBlue)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    for (std::int64_t order :
        { SortOrder::recentlyOpened, SortOrder::byTitle, SortOrder::byAuthor }) {
        sortOrder() = order;
        app.table().setSectionIndexColor(ui::Color::redColor());
        auto titles = app.screen().sectionIndexTitlesForTableView(app.table());
        EXPECT_EQ(app.table().sectionIndexColor(), ui::Color::blueColor()) << "order " << order;
        EXPECT_EQ(titles.empty(), order == SortOrder::recentlyOpened);
    }
    sortOrder() = SortOrder::recentlyOpened;
}

TEST(Sections, tappingAnIndexTitleScrollsToTheFirstMatchingBook)
{
    std::vector<fixtures::BookFile> books;
    for (int number = 0; number < 30; ++number)
        books.push_back({ "b" + std::to_string(number) + ".epub",
            std::string(1, char('A' + number % 3)) + std::to_string(number), "Someone",
            1000 + number });
    fixtures::LaunchedApp app(books);
    app.tapHeaderButton("sort");
    ASSERT_EQ(app.table().sectionIndexTitles(), (std::vector<std::string> { "A", "B", "C" }));
    app.table().takeCommands();

    ASSERT_TRUE(app.driver().tapIndexTitle("C"));
    auto commands = app.table().takeCommands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].kind, ui::TableViewCommand::Kind::scrollToRow);
    EXPECT_EQ(
        commands[0].indexPaths, (std::vector<ui::IndexPath> { ui::IndexPath::forRow(20, 0) }));
    EXPECT_EQ(commands[0].scrollPosition, ui::TableViewScrollPosition::top);
    EXPECT_TRUE(commands[0].animated);
    // The table now shows the rows from the first "C" book on (or the last screenful).
    auto visible = app.table().indexPathsForVisibleRows();
    ASSERT_FALSE(visible.empty());
    EXPECT_LE(visible.front().row, 20);
    EXPECT_EQ(visible.back().row, 29);
}

TEST(Sections, aTitleThatMatchesNothingScrollsNothingAndAnswersOne)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    app.tapHeaderButton("sort");
    app.table().takeCommands();
    EXPECT_EQ(app.screen().sectionForSectionIndexTitle(app.table(), "Q", 0), 1);
    EXPECT_TRUE(app.table().takeCommands().empty());
    EXPECT_EQ(app.screen().sectionForSectionIndexTitle(app.table(), "A", 0), 1);
    EXPECT_EQ(app.table().takeCommands().size(), 1u);
}

}
