// The sort button: recency, title, author, recency again; the header's title follows, the list is
// re-sorted and the table scrolls to its first row.
#include "library/BookList.h"
#include "library/SortOrder.h"
#include "tests/support/LaunchedApp.h"

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

std::vector<ui::TableViewCommand> scrolls(ui::TableView& table)
{
    std::vector<ui::TableViewCommand> found;
    for (auto& command : table.takeCommands()) {
        if (command.kind == ui::TableViewCommand::Kind::scrollToRow)
            found.push_back(command);
    }
    return found;
}

TEST(SortList, cyclesTheOrdersWithTheHeaderTitleFollowing)
{
    fixtures::LaunchedApp app({ { "z.epub", "Zola", "Balzac", 3000 },
        { "a.epub", "austen", "Eliot", 1000 }, { "b.epub", "Balzac", "", 2000 } });
    EXPECT_EQ(app.visibleRows(), (Rows { "Zola / Balzac", "Balzac / ", "austen / Eliot" }));
    app.table().takeCommands();
    struct Step {
        const char* title;
        Rows rows;
        std::vector<std::string> index;
    };
    const std::vector<Step> steps {
        { "Books by Title", { "Balzac / ", "Zola / Balzac", "austen / Eliot" }, { "B", "Z", "a" } },
        { "Books by Author", { "Balzac / ", "Zola / Balzac", "austen / Eliot" }, { "B", "E" } },
        { "Recently Opened", { "Zola / Balzac", "Balzac / ", "austen / Eliot" }, {} },
        { "Books by Title", { "Balzac / ", "Zola / Balzac", "austen / Eliot" }, { "B", "Z", "a" } },
    };
    for (auto& step : steps) {
        app.tapHeaderButton("sort");
        EXPECT_EQ(app.header().textLabel()->text(), step.title);
        EXPECT_EQ(app.visibleRows(), step.rows) << step.title;
        EXPECT_EQ(app.table().sectionIndexTitles(), step.index) << step.title;
        auto scrolled = scrolls(app.table());
        ASSERT_EQ(scrolled.size(), 1u) << step.title;
        EXPECT_EQ(
            scrolled[0].indexPaths, (std::vector<ui::IndexPath> { ui::IndexPath::forRow(0, 0) }));
        EXPECT_EQ(scrolled[0].scrollPosition, ui::TableViewScrollPosition::top);
        EXPECT_TRUE(scrolled[0].animated);
    }
}

TEST(SortList, anEmptyLibraryChangesNothing)
{
    fixtures::LaunchedApp app;
    app.table().takeCommands();
    app.tapHeaderButton("sort");
    EXPECT_EQ(sortOrder(), SortOrder::recentlyOpened);
    EXPECT_EQ(app.header().textLabel()->text(), "Recently Opened");
    EXPECT_TRUE(app.table().takeCommands().empty());
}

TEST(SortList, anOrderOutsideTheThreeStartsTheCycleAtTitles)
{
    fixtures::LaunchedApp app(
        { { "b.epub", "Beta", "Bob", 2000 }, { "a.epub", "Alpha", "Ann", 1000 } });
    sortOrder() = 7;
    app.screen().sortList();
    EXPECT_EQ(sortOrder(), SortOrder::byTitle);
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Ann", "Beta / Bob" }));
    app.table().takeCommands();
}

}
