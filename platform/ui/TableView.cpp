// Loading the table from its data source: counts, index, headers, and the cells of the visible
// rows, with cells reused by identifier.
#include "platform/ui/TableView.h"

#include "platform/ui/Fault.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
// Bounds on what a data source can make the table hold, so a wrong answer cannot exhaust memory.
constexpr std::int64_t maximumSections = 10000;
constexpr std::size_t maximumPooledCells = 64;
constexpr double automaticHeaderHeight = 28;
}

TableView::TableView(TableViewStyle style)
    : m_style(style)
{
}

TableView::~TableView() = default;

void TableView::setRowHeight(double height)
{
    if (std::isfinite(height) && height > 0)
        m_rowHeight = height;
}

std::int64_t TableView::numberOfRowsInSection(std::int64_t section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return m_rowCounts[static_cast<std::size_t>(section)];
}

bool TableView::isValid(IndexPath indexPath) const
{
    return indexPath.row >= 0 && indexPath.row < numberOfRowsInSection(indexPath.section);
}

std::int64_t TableView::totalRows() const
{
    std::int64_t total = 0;
    for (auto count : m_rowCounts)
        total += count;
    return total;
}

std::int64_t TableView::flatIndex(IndexPath indexPath) const
{
    std::int64_t flat = 0;
    for (std::int64_t section = 0; section < indexPath.section; ++section)
        flat += numberOfRowsInSection(section);
    return flat + indexPath.row;
}

std::optional<IndexPath> TableView::indexPathForFlat(std::int64_t flat) const
{
    if (flat < 0)
        return std::nullopt;
    for (std::int64_t section = 0; section < numberOfSections(); ++section) {
        auto count = numberOfRowsInSection(section);
        if (flat < count)
            return IndexPath::forRow(flat, section);
        flat -= count;
    }
    return std::nullopt;
}

double TableView::sectionTop(std::int64_t section) const
{
    double top = 0;
    for (std::int64_t earlier = 0; earlier < section && earlier < numberOfSections(); ++earlier)
        top += m_headerHeights[static_cast<std::size_t>(earlier)]
            + static_cast<double>(numberOfRowsInSection(earlier)) * m_rowHeight;
    return top;
}

Rect TableView::rectForRowAtIndexPath(IndexPath indexPath) const
{
    if (!isValid(indexPath))
        return {};
    double top = sectionTop(indexPath.section)
        + m_headerHeights[static_cast<std::size_t>(indexPath.section)]
        + static_cast<double>(indexPath.row) * m_rowHeight;
    return makeRect(0, top, frame().size.width, m_rowHeight);
}

void TableView::setBackgroundView(std::shared_ptr<View> view)
{
    if (view == m_backgroundView)
        return;
    if (m_backgroundView)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (m_backgroundView)
        insertSubview(m_backgroundView, 0);
}

double TableView::contentHeight() const
{
    return sectionTop(numberOfSections());
}

std::int64_t TableView::visibleRowCount() const
{
    if (m_visibleCount)
        return *m_visibleCount;
    double height = frame().size.height;
    if (!(height > 0))
        return 0;
    return std::min<std::int64_t>(
        maximumVisibleRows, static_cast<std::int64_t>(std::ceil(height / m_rowHeight)));
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(
    const std::string& identifier)
{
    auto pool = m_reusePool.find(identifier);
    if (pool == m_reusePool.end() || pool->second.empty())
        return nullptr;
    auto cell = std::move(pool->second.back());
    pool->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(IndexPath indexPath) const
{
    auto found = m_visibleCells.find(indexPath);
    return found == m_visibleCells.end() ? nullptr : found->second;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const
{
    std::vector<IndexPath> paths;
    for (auto& entry : m_visibleCells)
        paths.push_back(entry.first);
    return paths;
}

std::shared_ptr<TableViewHeaderFooterView> TableView::headerViewForSection(
    std::int64_t section) const
{
    if (section < 0 || section >= static_cast<std::int64_t>(m_headers.size()))
        return nullptr;
    auto& header = m_headers[static_cast<std::size_t>(section)];
    return header && header->superview() == this ? header : nullptr;
}

void TableView::enqueueCell(std::shared_ptr<TableViewCell> cell)
{
    cell->removeFromSuperview();
    if (!cell->reuseIdentifier())
        return;
    auto& pool = m_reusePool[*cell->reuseIdentifier()];
    if (pool.size() < maximumPooledCells)
        pool.push_back(std::move(cell));
}

void TableView::reloadData()
{
    if (m_updating) {
        reportFault("reloadData called while the table was asking its data source");
        return;
    }
    for (auto& entry : m_visibleCells)
        enqueueCell(entry.second);
    m_visibleCells.clear();
    m_selected.reset();
    m_rowCounts.clear();
    m_indexTitles.clear();
    if (!m_dataSource) {
        for (auto& header : m_headers) {
            if (header)
                header->removeFromSuperview();
        }
        m_headerHeights.clear();
        return;
    }
    m_updating = true;
    auto sections = std::clamp<std::int64_t>(
        m_dataSource->numberOfSectionsInTableView(*this), 0, maximumSections);
    for (std::int64_t section = 0; section < sections; ++section)
        m_rowCounts.push_back(
            std::max<std::int64_t>(0, m_dataSource->numberOfRowsInSection(*this, section)));
    m_indexTitles = m_dataSource->sectionIndexTitlesForTableView(*this);
    m_updating = false;
    displayHeaders();
    updateVisibleCells();
}

// Shows each section's header: its title and height from the controller, one header view kept
// per section and shown again, then the delegate's last word before it is displayed.
void TableView::displayHeaders()
{
    if (!m_dataSource)
        return;
    m_updating = true;
    auto sections = static_cast<std::size_t>(numberOfSections());
    m_headers.resize(std::max(m_headers.size(), sections));
    m_headerHeights.assign(sections, 0);
    for (std::size_t section = 0; section < m_headers.size(); ++section) {
        auto& header = m_headers[section];
        if (section >= sections) {
            if (header)
                header->removeFromSuperview();
            continue;
        }
        auto number = static_cast<std::int64_t>(section);
        auto title = m_dataSource->titleForHeaderInSection(*this, number);
        double height
            = m_delegate ? m_delegate->heightForHeaderInSection(*this, number) : automaticDimension;
        if (!std::isfinite(height) || height < 0)
            height = title ? automaticHeaderHeight : 0;
        m_headerHeights[section] = height;
        if (height == 0) {
            if (header)
                header->removeFromSuperview();
            continue;
        }
        if (!header)
            header = std::make_shared<TableViewHeaderFooterView>();
        header->textLabel()->setText(title.value_or(""));
        header->setFrame(makeRect(0, sectionTop(number), frame().size.width, height));
        if (header->superview() != this)
            addSubview(header);
        if (m_delegate)
            m_delegate->willDisplayHeaderView(*this, *header, number);
        header->layoutIfNeeded();
    }
    m_updating = false;
}

void TableView::updateVisibleCells()
{
    auto total = totalRows();
    auto count = std::min(visibleRowCount(), total);
    m_firstVisible
        = std::clamp<std::int64_t>(m_firstVisible, 0, std::max<std::int64_t>(0, total - count));
    auto last = m_firstVisible + count;

    for (auto entry = m_visibleCells.begin(); entry != m_visibleCells.end();) {
        auto flat = flatIndex(entry->first);
        if (isValid(entry->first) && flat >= m_firstVisible && flat < last) {
            ++entry;
            continue;
        }
        enqueueCell(entry->second);
        entry = m_visibleCells.erase(entry);
    }
    if (!m_dataSource)
        return;

    m_updating = true;
    for (auto flat = m_firstVisible; flat < last; ++flat) {
        auto indexPath = *indexPathForFlat(flat);
        if (m_visibleCells.count(indexPath))
            continue;
        auto cell = m_dataSource->cellForRowAtIndexPath(*this, indexPath);
        if (!cell) {
            reportFault("the data source gave no cell for row " + std::to_string(indexPath.row)
                + " of section " + std::to_string(indexPath.section));
            continue;
        }
        cell->setFrame(rectForRowAtIndexPath(indexPath));
        cell->setSelected(m_selected == indexPath);
        insertSubview(cell, 0);
        m_visibleCells[indexPath] = cell;
        if (m_delegate)
            m_delegate->willDisplayCell(*this, *cell, indexPath);
        cell->layoutIfNeeded();
    }
    m_updating = false;
    layoutSubviews();
}

void TableView::setVisibleRows(std::int64_t first, std::int64_t count)
{
    m_firstVisible = std::max<std::int64_t>(0, first);
    m_visibleCount = std::clamp<std::int64_t>(count, 0, maximumVisibleRows);
    updateVisibleCells();
}

void TableView::setFrame(Rect newFrame)
{
    Rect old = frame();
    View::setFrame(newFrame);
    if (old.size == newFrame.size)
        return;
    // A new width moves everything laid out from the right edge: the headers are shown again.
    if (old.size.width != newFrame.size.width)
        displayHeaders();
    updateVisibleCells();
}

void TableView::layoutSubviews()
{
    for (auto& [indexPath, cell] : m_visibleCells) {
        Rect rect = rectForRowAtIndexPath(indexPath);
        if (cell->frame() != rect) {
            cell->setFrame(rect);
            cell->layoutIfNeeded();
        }
    }
    for (std::size_t section = 0; section < m_headers.size(); ++section) {
        auto& header = m_headers[section];
        if (header && header->superview() == this)
            bringSubviewToFront(*header);
    }
    View::layoutSubviews();
}

}
