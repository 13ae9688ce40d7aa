// TableView: a virtual list of rows in sections. It asks its data source for the row counts, the
// section index, the headers and the cells of the visible rows only — the visible range is set
// from outside, by whoever draws the table — and reuses cells by identifier. Requests to scroll,
// select or delete rows with an animation are kept as one-shot commands for whoever draws it.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/TableViewCommand.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/TableViewHeaderFooterView.h"

#include <map>
#include <utility>

namespace ui {

enum class TableViewStyle { plain = 0, grouped = 1, insetGrouped = 2 };

class TableView : public View {
public:
    // The most rows the table shows at once, whatever range it is given.
    static constexpr std::int64_t maximumVisibleRows = 1000;

    explicit TableView(TableViewStyle style = TableViewStyle::plain);
    ~TableView() override;
    std::string className() const override { return "TableView"; }

    TableViewStyle style() const { return m_style; }
    // Neither is owned: the controller that owns the table sets and clears them.
    TableViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(TableViewDataSource* dataSource) { m_dataSource = dataSource; }
    TableViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(TableViewDelegate* delegate) { m_delegate = delegate; }
    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height);

    // Asks the data source again for everything the table shows: counts, index, headers, the
    // visible cells. Clears the selection.
    void reloadData();
    std::int64_t numberOfSections() const { return static_cast<std::int64_t>(m_rowCounts.size()); }
    // As of the last reload or update; 0 for a section that does not exist.
    std::int64_t numberOfRowsInSection(std::int64_t section) const;
    bool isValid(IndexPath indexPath) const;

    // A cell kept for reuse under the identifier, prepared for reuse; nothing when there is none.
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // The cell showing the row, when the row is visible.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(IndexPath indexPath) const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    std::shared_ptr<TableViewHeaderFooterView> headerViewForSection(std::int64_t section) const;
    Rect rectForRowAtIndexPath(IndexPath indexPath) const;
    double contentHeight() const;

    // The visible range in rows counted across sections: the first row and how many follow.
    // Without a count set, as many rows as fit the table's height.
    void setVisibleRows(std::int64_t first, std::int64_t count);
    std::int64_t firstVisibleRow() const { return m_firstVisible; }
    std::int64_t visibleRowCount() const;

    const std::vector<std::string>& sectionIndexTitles() const { return m_indexTitles; }
    const std::optional<Color>& sectionIndexColor() const { return m_sectionIndexColor; }
    void setSectionIndexColor(std::optional<Color> color) { m_sectionIndexColor = color; }

    // The search field above the rows, by its accessible name; without a name there is none.
    const std::optional<std::string>& searchFieldName() const { return m_searchFieldName; }
    void setSearchFieldName(std::optional<std::string> name)
    {
        m_searchFieldName = std::move(name);
    }
    const std::string& searchText() const { return m_searchText; }
    // Shown behind the rows, under the headers: the table's first subview; nothing when not set.
    const std::shared_ptr<View>& backgroundView() const { return m_backgroundView; }
    void setBackgroundView(std::shared_ptr<View> view);

    void scrollToRowAtIndexPath(
        IndexPath indexPath, TableViewScrollPosition position, bool animated);
    void selectRowAtIndexPath(
        std::optional<IndexPath> indexPath, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(IndexPath indexPath, bool animated);
    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selected; }
    // Removes the rows, which the data source must already have removed: the new row counts must
    // be the old ones less the deleted rows. A mismatch is a fault: the table reports it, reloads
    // everything to stay consistent with its data source, and answers the error.
    foundation::Result<void> deleteRowsAtIndexPaths(
        const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation);

    // The requests since the last call, oldest first.
    std::vector<TableViewCommand> takeCommands() { return std::exchange(m_commands, {}); }

    // The user's events, as the driver delivers them. Each answers an error for a row or title
    // the table does not have, and then changes nothing.
    foundation::Result<void> userSelectRow(IndexPath indexPath);
    foundation::Result<void> userCommitDelete(IndexPath indexPath);
    foundation::Result<void> userTapIndexTitle(const std::string& title);
    // The text of the search field, as typed: the data source hears of it, the table reloads and
    // shows its first rows.
    foundation::Result<void> userSearch(const std::string& text);
    // A passage found in the text of the named item, shown under the search field's rows.
    foundation::Result<void> userSelectFoundPassage(const std::string& item);

    void setFrame(Rect frame) override;
    void layoutSubviews() override;

private:
    std::int64_t totalRows() const;
    std::int64_t flatIndex(IndexPath indexPath) const;
    std::optional<IndexPath> indexPathForFlat(std::int64_t flat) const;
    double sectionTop(std::int64_t section) const;
    void enqueueCell(std::shared_ptr<TableViewCell> cell);
    void updateVisibleCells();
    void displayHeaders();
    void moveVisibleRangeTo(IndexPath indexPath, TableViewScrollPosition position);
    // Adds to the visible rows the screen before them on the side of the row first shown before
    // (from): an animated scroll from far away lands a screen short of its row and glides the
    // rest, through rows the page already has.
    void showApproachFrom(std::int64_t from);
    void reportMismatch(const std::string& description);

    TableViewStyle m_style;
    TableViewDataSource* m_dataSource = nullptr;
    TableViewDelegate* m_delegate = nullptr;
    double m_rowHeight = 56;
    std::vector<std::int64_t> m_rowCounts;
    std::vector<std::string> m_indexTitles;
    std::optional<Color> m_sectionIndexColor;
    std::optional<std::string> m_searchFieldName;
    std::string m_searchText;
    std::shared_ptr<View> m_backgroundView;
    std::vector<std::shared_ptr<TableViewHeaderFooterView>> m_headers;
    std::vector<double> m_headerHeights;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> m_visibleCells;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> m_reusePool;
    std::int64_t m_firstVisible = 0;
    std::optional<std::int64_t> m_visibleCount;
    std::optional<IndexPath> m_selected;
    std::vector<TableViewCommand> m_commands;
    bool m_updating = false;
};

}
