// The screen about to be shown: a scan, then a reload; an order chosen by the user survives a
// scan that finds nothing new, and yields to the recency order when it does.
#include "library/SortOrder.h"
#include "tests/support/LaunchedApp.h"

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

TEST(ViewWillAppear, keepsTheUsersOrderUntilTheScanChangesSomething)
{
    fixtures::LaunchedApp app(
        { { "b.epub", "Beta", "Bob", 2000 }, { "a.epub", "Alpha", "Ann", 1000 } });
    app.tapHeaderButton("sort");
    app.showScreen();
    EXPECT_EQ(app.header().textLabel()->text(), "Books by Title");
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Ann", "Beta / Bob" }));

    app.library().addBook("c.epub", "Gamma", "Cy", 500);
    app.showScreen();
    EXPECT_EQ(app.header().textLabel()->text(), "Recently Opened");
    EXPECT_EQ(app.visibleRows(), (Rows { "Beta / Bob", "Alpha / Ann", "Gamma / Cy" }));
    EXPECT_TRUE(app.table().sectionIndexTitles().empty());
}

TEST(ViewWillAppear, reloadsEvenWhenTheScanChangesNothing)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    // The header shows what the table asked for at its last reload.
    sortOrder() = SortOrder::byAuthor;
    app.showScreen();
    EXPECT_EQ(app.header().textLabel()->text(), "Books by Author");
    EXPECT_EQ(app.table().sectionIndexTitles(), (std::vector<std::string> { "A" }));
}

TEST(ViewWillAppear, clearsTheSelectionOfTheRowLastOpened)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    app.table().selectRowAtIndexPath(
        ui::IndexPath::forRow(0, 0), false, ui::TableViewScrollPosition::none);
    app.showScreen();
    EXPECT_EQ(app.table().indexPathForSelectedRow(), std::nullopt);
    EXPECT_FALSE(app.table().cellForRowAtIndexPath({ 0, 0 })->isSelected());
}

}
