// The table view with a data source of plain rows: only visible rows are asked for, cells are
// reused by identifier, requests become one-shot commands, and a deletion the data source does
// not reflect is a fault the table recovers from.
#include "platform/ui/TableView.h"
#include "platform/ui/Fault.h"

#include <gtest/gtest.h>

namespace {

struct Rows : ui::TableViewDataSource, ui::TableViewDelegate {
    std::vector<std::string> rows;
    std::vector<std::int64_t> asked;
    int cellsMade = 0;
    int displayed = 0;
    int headersDisplayed = 0;
    std::vector<ui::IndexPath> selected;
    bool removeOnDelete = true;
    std::vector<std::string> index;
    std::int64_t indexSection = 0;

    std::int64_t numberOfRowsInSection(ui::TableView&, std::int64_t) override
    {
        return static_cast<std::int64_t>(rows.size());
    }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(
        ui::TableView& table, ui::IndexPath indexPath) override
    {
        asked.push_back(indexPath.row);
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) {
            ++cellsMade;
            cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::defaultStyle, "row");
        }
        cell->textLabel()->setText(rows[static_cast<std::size_t>(indexPath.row)]);
        return cell;
    }
    std::optional<std::string> titleForHeaderInSection(ui::TableView&, std::int64_t) override
    {
        return "Header";
    }
    std::vector<std::string> sectionIndexTitlesForTableView(ui::TableView&) override
    {
        return index;
    }
    std::int64_t sectionForSectionIndexTitle(
        ui::TableView&, const std::string&, std::int64_t) override
    {
        return indexSection;
    }
    bool canEditRowAtIndexPath(ui::TableView&, ui::IndexPath indexPath) override
    {
        return indexPath.row != 0;
    }
    void commitEditingStyle(
        ui::TableView& table, ui::TableViewCellEditingStyle, ui::IndexPath indexPath) override
    {
        if (removeOnDelete)
            rows.erase(rows.begin() + indexPath.row);
        (void)table.deleteRowsAtIndexPaths({ indexPath }, ui::TableViewRowAnimation::fade);
    }
    void willDisplayCell(ui::TableView&, ui::TableViewCell&, ui::IndexPath) override
    {
        ++displayed;
    }
    void willDisplayHeaderView(ui::TableView&, ui::View&, std::int64_t) override
    {
        ++headersDisplayed;
    }
    void didSelectRowAtIndexPath(ui::TableView&, ui::IndexPath indexPath) override
    {
        selected.push_back(indexPath);
    }
};

struct Fixture {
    Rows rows;
    ui::TableView table;

    explicit Fixture(int count, double height = 560)
    {
        for (int row = 0; row < count; ++row)
            rows.rows.push_back("row " + std::to_string(row));
        table.setDataSource(&rows);
        table.setDelegate(&rows);
        table.setFrame(ui::makeRect(0, 0, 320, height));
        table.reloadData();
    }

    std::vector<std::string> shown()
    {
        std::vector<std::string> texts;
        for (auto& path : table.indexPathsForVisibleRows())
            texts.push_back(table.cellForRowAtIndexPath(path)->textLabel()->text());
        return texts;
    }
};

TEST(TableView, asksForTheVisibleRowsOnlyAndReusesTheirCells)
{
    Fixture fixture(100000);
    // 560 points of 56-point rows.
    EXPECT_EQ(fixture.rows.asked.size(), 10u);
    EXPECT_EQ(fixture.rows.displayed, 10);
    fixture.rows.asked.clear();
    fixture.table.setVisibleRows(50000, 10);
    EXPECT_EQ(fixture.rows.asked.front(), 50000);
    EXPECT_EQ(fixture.rows.asked.back(), 50009);
    EXPECT_EQ(fixture.rows.asked.size(), 10u);
    EXPECT_EQ(fixture.rows.cellsMade, 10) << "cells leaving the range serve the rows entering it";
    EXPECT_EQ(fixture.shown().front(), "row 50000");
    // Cells are subviews of the table while they show a row, and are placed where the row is.
    auto cell = fixture.table.cellForRowAtIndexPath({ 0, 50000 });
    EXPECT_EQ(cell->superview(), &fixture.table);
    EXPECT_EQ(cell->frame(), ui::makeRect(0, 28 + 50000 * 56.0, 320, 56));
    EXPECT_EQ(fixture.table.cellForRowAtIndexPath({ 0, 0 }), nullptr);
}

TEST(TableView, aVisibleRangeIsBoundedByTheRowsAndAMaximum)
{
    Fixture fixture(5000);
    fixture.table.setVisibleRows(4990, 1'000'000'000'000);
    EXPECT_EQ(fixture.table.indexPathsForVisibleRows().size(),
        static_cast<std::size_t>(ui::TableView::maximumVisibleRows));
    EXPECT_EQ(fixture.table.indexPathsForVisibleRows().back().row, 4999);
    fixture.table.setVisibleRows(-5, 3);
    EXPECT_EQ(fixture.shown(), (std::vector<std::string> { "row 0", "row 1", "row 2" }));
}

TEST(TableView, cellsAreReusedOnlyUnderTheirOwnIdentifier)
{
    ui::TableView table;
    EXPECT_EQ(table.dequeueReusableCellWithIdentifier("row"), nullptr);
    Fixture fixture(3);
    fixture.table.setVisibleRows(0, 0);
    EXPECT_EQ(fixture.table.dequeueReusableCellWithIdentifier("other"), nullptr);
    auto cell = fixture.table.dequeueReusableCellWithIdentifier("row");
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->superview(), nullptr);
}

TEST(TableView, scrollRequestsAreOneShotCommandsAndMoveTheVisibleRows)
{
    Fixture fixture(100);
    // Animated, the rows shown take in the screen before the row on the side the table came from:
    // the page lands there and glides the rest through rows it has.
    fixture.table.scrollToRowAtIndexPath({ 0, 40 }, ui::TableViewScrollPosition::top, true);
    EXPECT_EQ(fixture.shown().front(), "row 30");
    EXPECT_EQ(fixture.shown().back(), "row 49");
    auto commands = fixture.table.takeCommands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].kind, ui::TableViewCommand::Kind::scrollToRow);
    EXPECT_TRUE(fixture.table.takeCommands().empty());
    fixture.table.setVisibleRows(60, 10);
    fixture.table.scrollToRowAtIndexPath({ 0, 20 }, ui::TableViewScrollPosition::top, true);
    EXPECT_EQ(fixture.shown().front(), "row 20");
    EXPECT_EQ(fixture.shown().back(), "row 39");

    // Not animated, the row's screen alone; a scroll to the last row keeps a full screen of rows.
    fixture.table.setVisibleRows(0, 10);
    fixture.table.scrollToRowAtIndexPath({ 0, 99 }, ui::TableViewScrollPosition::top, false);
    EXPECT_EQ(fixture.shown().front(), "row 90");

    // A row the table does not have is a fault, and nothing moves.
    fixture.table.takeCommands();
    fixture.table.scrollToRowAtIndexPath({ 0, 100 }, ui::TableViewScrollPosition::top, true);
    EXPECT_EQ(ui::takeFaults().size(), 1u);
    EXPECT_TRUE(fixture.table.takeCommands().empty());
}

TEST(TableView, deletingRowsTheDataSourceRemovedShiftsTheRest)
{
    Fixture fixture(20);
    fixture.table.takeCommands();
    ASSERT_TRUE(fixture.table.userSelectRow({ 0, 5 }));
    ASSERT_TRUE(fixture.table.userCommitDelete({ 0, 2 }));
    EXPECT_EQ(fixture.table.numberOfRowsInSection(0), 19);
    EXPECT_EQ(fixture.shown(),
        (std::vector<std::string> { "row 0", "row 1", "row 3", "row 4", "row 5", "row 6", "row 7",
            "row 8", "row 9", "row 10" }));
    EXPECT_EQ(fixture.table.indexPathForSelectedRow(), ui::IndexPath::forRow(4, 0))
        << "the selection moves with its row";
    auto commands = fixture.table.takeCommands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].kind, ui::TableViewCommand::Kind::deleteRows);
    EXPECT_EQ(commands[0].rowAnimation, ui::TableViewRowAnimation::fade);
    EXPECT_TRUE(ui::takeFaults().empty());
}

TEST(TableView, aDeletionTheDataSourceDoesNotReflectIsAFault)
{
    Fixture fixture(5);
    fixture.table.takeCommands();
    fixture.rows.removeOnDelete = false;
    ASSERT_TRUE(fixture.table.userCommitDelete({ 0, 3 }));
    auto faults = ui::takeFaults();
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].rfind("Invalid update: invalid number of rows in section 0", 0), 0u)
        << faults[0];
    // The table stays true to its data source: all five rows, no deletion to draw.
    EXPECT_EQ(fixture.table.numberOfRowsInSection(0), 5);
    EXPECT_EQ(fixture.shown().size(), 5u);
    EXPECT_TRUE(fixture.table.takeCommands().empty());
    // Deleting a row twice, or one the table does not have, is the same fault.
    auto twice = fixture.table.deleteRowsAtIndexPaths(
        { { 0, 1 }, { 0, 1 } }, ui::TableViewRowAnimation::fade);
    EXPECT_FALSE(twice);
    auto missing
        = fixture.table.deleteRowsAtIndexPaths({ { 0, 9 } }, ui::TableViewRowAnimation::fade);
    EXPECT_FALSE(missing);
    EXPECT_EQ(ui::takeFaults().size(), 2u);
}

TEST(TableView, userEventsOnRowsOrTitlesItDoesNotHaveAreRefused)
{
    Fixture fixture(3);
    fixture.rows.index = { "A", "B" };
    fixture.table.reloadData();
    EXPECT_FALSE(fixture.table.userSelectRow({ 0, 3 }));
    EXPECT_FALSE(fixture.table.userSelectRow({ 1, 0 }));
    EXPECT_FALSE(fixture.table.userCommitDelete({ 0, -1 }));
    EXPECT_FALSE(fixture.table.userCommitDelete({ 0, 0 })) << "row 0 is not editable";
    EXPECT_FALSE(fixture.table.userTapIndexTitle("C"));
    EXPECT_TRUE(fixture.rows.selected.empty());
    EXPECT_EQ(fixture.table.numberOfRowsInSection(0), 3);

    ASSERT_TRUE(fixture.table.userSelectRow({ 0, 1 }));
    EXPECT_EQ(fixture.rows.selected, (std::vector<ui::IndexPath> { { 0, 1 } }));
    EXPECT_TRUE(fixture.table.cellForRowAtIndexPath({ 0, 1 })->isSelected());
    fixture.table.reloadData();
    EXPECT_EQ(fixture.table.indexPathForSelectedRow(), std::nullopt)
        << "a reload clears the selection";
}

TEST(TableView, anIndexTitleJumpsOnlyToASectionTheTableHas)
{
    Fixture fixture(100);
    fixture.rows.index = { "A" };
    fixture.table.reloadData();
    fixture.table.setVisibleRows(50, 10);
    fixture.rows.indexSection = 1;
    ASSERT_TRUE(fixture.table.userTapIndexTitle("A"));
    EXPECT_EQ(fixture.table.firstVisibleRow(), 50);
    fixture.rows.indexSection = 0;
    ASSERT_TRUE(fixture.table.userTapIndexTitle("A"));
    EXPECT_EQ(fixture.table.firstVisibleRow(), 0);
}

TEST(TableView, headersAreShownAgainOnReloadAndOnAWidthChange)
{
    Fixture fixture(3);
    auto header = fixture.table.headerViewForSection(0);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->textLabel()->text(), "Header");
    EXPECT_EQ(header->frame(), ui::makeRect(0, 0, 320, 28));
    int before = fixture.rows.headersDisplayed;
    fixture.table.reloadData();
    fixture.table.setFrame(ui::makeRect(0, 0, 500, 560));
    EXPECT_EQ(fixture.rows.headersDisplayed, before + 2);
    EXPECT_EQ(fixture.table.headerViewForSection(0), header);
    EXPECT_EQ(header->frame().size.width, 500);
    // Only the height changed: the header's frame from the right edge is unchanged.
    fixture.table.setFrame(ui::makeRect(0, 0, 500, 300));
    EXPECT_EQ(fixture.rows.headersDisplayed, before + 2);
}

}
