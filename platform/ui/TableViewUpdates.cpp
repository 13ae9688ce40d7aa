// Changes to a loaded table: scrolling, selection, deletion of rows, and the user's events.
#include "platform/ui/TableView.h"

#include "platform/ui/Fault.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace ui {

namespace {
std::string describe(IndexPath indexPath)
{
    return "row " + std::to_string(indexPath.row) + " of section "
        + std::to_string(indexPath.section);
}
}

void TableView::moveVisibleRangeTo(IndexPath indexPath, TableViewScrollPosition position)
{
    auto flat = flatIndex(indexPath);
    auto count = visibleRowCount();
    switch (position) {
    case TableViewScrollPosition::top:
        m_firstVisible = flat;
        break;
    case TableViewScrollPosition::middle:
        m_firstVisible = flat - count / 2;
        break;
    case TableViewScrollPosition::bottom:
        m_firstVisible = flat - count + 1;
        break;
    case TableViewScrollPosition::none:
        if (flat < m_firstVisible)
            m_firstVisible = flat;
        else if (flat >= m_firstVisible + count)
            m_firstVisible = flat - count + 1;
        break;
    }
    updateVisibleCells();
}

void TableView::scrollToRowAtIndexPath(
    IndexPath indexPath, TableViewScrollPosition position, bool animated)
{
    if (!isValid(indexPath)) {
        reportFault("scroll to " + describe(indexPath) + ", which the table does not have");
        return;
    }
    m_commands.push_back({ TableViewCommand::Kind::scrollToRow, { indexPath }, position,
        TableViewRowAnimation::none, animated });
    const std::int64_t from = m_firstVisible;
    moveVisibleRangeTo(indexPath, position);
    if (animated)
        showApproachFrom(from);
}

void TableView::showApproachFrom(std::int64_t from)
{
    if (m_rowHeight <= 0 || from == m_firstVisible)
        return;
    const auto screen = std::int64_t(std::ceil(frame().size.height / m_rowHeight));
    if (from < m_firstVisible) {
        const std::int64_t shift = std::min(screen, m_firstVisible);
        setVisibleRows(m_firstVisible - shift, visibleRowCount() + shift);
    } else {
        setVisibleRows(m_firstVisible, visibleRowCount() + screen);
    }
}

void TableView::selectRowAtIndexPath(
    std::optional<IndexPath> indexPath, bool animated, TableViewScrollPosition position)
{
    if (indexPath && !isValid(*indexPath)) {
        reportFault("select " + describe(*indexPath) + ", which the table does not have");
        return;
    }
    if (m_selected) {
        if (auto cell = cellForRowAtIndexPath(*m_selected))
            cell->setSelected(false);
    }
    m_selected = indexPath;
    if (!indexPath)
        return;
    if (auto cell = cellForRowAtIndexPath(*indexPath))
        cell->setSelected(true);
    m_commands.push_back({ TableViewCommand::Kind::selectRow, { *indexPath }, position,
        TableViewRowAnimation::none, animated });
    if (position != TableViewScrollPosition::none)
        moveVisibleRangeTo(*indexPath, position);
}

void TableView::deselectRowAtIndexPath(IndexPath indexPath, bool animated)
{
    if (m_selected != indexPath)
        return;
    if (auto cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(false);
    m_selected.reset();
    m_commands.push_back({ TableViewCommand::Kind::deselectRow, { indexPath },
        TableViewScrollPosition::none, TableViewRowAnimation::none, animated });
}

void TableView::reportMismatch(const std::string& description)
{
    reportFault("Invalid update: " + description);
    reloadData();
}

foundation::Result<void> TableView::deleteRowsAtIndexPaths(
    const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    std::set<IndexPath> deleted;
    for (auto& indexPath : indexPaths) {
        if (!isValid(indexPath) || !deleted.insert(indexPath).second) {
            auto description = "attempt to delete " + describe(indexPath)
                + ", which the table does not have, or twice";
            reportMismatch(description);
            return foundation::Error(description);
        }
    }
    if (!m_dataSource) {
        reportMismatch("rows deleted from a table without a data source");
        return foundation::Error("the table has no data source");
    }
    std::vector<std::int64_t> newCounts;
    m_updating = true;
    auto sections = std::clamp<std::int64_t>(
        m_dataSource->numberOfSectionsInTableView(*this), 0, numberOfSections() + 1);
    for (std::int64_t section = 0; section < sections; ++section)
        newCounts.push_back(
            std::max<std::int64_t>(0, m_dataSource->numberOfRowsInSection(*this, section)));
    m_updating = false;
    if (sections != numberOfSections()) {
        auto description = "the number of sections changed from "
            + std::to_string(numberOfSections()) + " to " + std::to_string(sections)
            + " while rows were deleted";
        reportMismatch(description);
        return foundation::Error(description);
    }
    for (std::int64_t section = 0; section < sections; ++section) {
        auto before = numberOfRowsInSection(section);
        auto removed = std::count_if(
            deleted.begin(), deleted.end(), [&](auto& path) { return path.section == section; });
        auto after = newCounts[static_cast<std::size_t>(section)];
        if (after != before - removed) {
            auto description = "invalid number of rows in section " + std::to_string(section)
                + ". The number of rows in the section after the update (" + std::to_string(after)
                + ") must be equal to the number before the update (" + std::to_string(before)
                + "), minus " + std::to_string(removed) + " deleted.";
            reportMismatch(description);
            return foundation::Error(description);
        }
    }

    // Rows after a deleted one move up by the number of deleted rows before them.
    auto shifted = [&](IndexPath path) -> std::optional<IndexPath> {
        if (deleted.count(path))
            return std::nullopt;
        auto before = std::count_if(deleted.begin(), deleted.end(),
            [&](auto& gone) { return gone.section == path.section && gone.row < path.row; });
        return IndexPath::forRow(path.row - before, path.section);
    };
    m_rowCounts = newCounts;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> remaining;
    for (auto& [path, cell] : m_visibleCells) {
        if (auto moved = shifted(path))
            remaining[*moved] = cell;
        else
            enqueueCell(cell);
    }
    m_visibleCells = std::move(remaining);
    if (m_selected)
        m_selected = shifted(*m_selected);
    m_commands.push_back({ TableViewCommand::Kind::deleteRows, { deleted.begin(), deleted.end() },
        TableViewScrollPosition::none, animation, animation != TableViewRowAnimation::none });
    updateVisibleCells();
    return {};
}

foundation::Result<void> TableView::userSelectRow(IndexPath indexPath)
{
    if (!isValid(indexPath))
        return foundation::Error("the table has no " + describe(indexPath));
    selectRowAtIndexPath(indexPath, false, TableViewScrollPosition::none);
    // The user's own selection needs no command: the viewer already shows it.
    if (!m_commands.empty() && m_commands.back().kind == TableViewCommand::Kind::selectRow)
        m_commands.pop_back();
    if (m_delegate)
        m_delegate->didSelectRowAtIndexPath(*this, indexPath);
    return {};
}

foundation::Result<void> TableView::userCommitDelete(IndexPath indexPath)
{
    if (!isValid(indexPath))
        return foundation::Error("the table has no " + describe(indexPath));
    if (!m_dataSource || !m_dataSource->canEditRowAtIndexPath(*this, indexPath))
        return foundation::Error(describe(indexPath) + " cannot be deleted");
    m_dataSource->commitEditingStyle(*this, TableViewCellEditingStyle::deleteStyle, indexPath);
    return {};
}

foundation::Result<void> TableView::userTapIndexTitle(const std::string& title)
{
    auto found = std::find(m_indexTitles.begin(), m_indexTitles.end(), title);
    if (found == m_indexTitles.end() || !m_dataSource)
        return foundation::Error("the section index has no title \"" + title + "\"");
    auto position = static_cast<std::int64_t>(found - m_indexTitles.begin());
    auto section = m_dataSource->sectionForSectionIndexTitle(*this, title, position);
    // The platform's own jump: to the top of the section answered, when the table has it.
    if (section >= 0 && section < numberOfSections() && numberOfRowsInSection(section) > 0)
        moveVisibleRangeTo(IndexPath::forRow(0, section), TableViewScrollPosition::top);
    return {};
}

foundation::Result<void> TableView::userSearch(const std::string& text)
{
    if (!m_searchFieldName)
        return foundation::Error("the table has no search field");
    m_searchText = text;
    if (m_dataSource)
        m_dataSource->updateSearchResults(*this, text);
    m_firstVisible = 0;
    reloadData();
    return {};
}

foundation::Result<void> TableView::userSelectFoundPassage(const std::string& item)
{
    if (!m_searchFieldName)
        return foundation::Error("the table has no search field");
    if (!m_delegate || !m_delegate->didSelectFoundPassage(*this, item))
        return foundation::Error("the library has no book \"" + item + "\"");
    return {};
}

}
