// The library table's one section: its row count, its section index, and the rows found while
// the search field has text.
#include "app/ViewController.h"

#include "library/BookList.h"
#include "library/SortOrder.h"
#include "screen/IndexTitles.h"

std::int64_t ViewController::numberOfRowsInSection(ui::TableView& table, std::int64_t)
{
    m_bookFilter.refresh(bookList());
    auto rows = m_bookFilter.rowCount(bookList());
    showTableBackground(table, rows);
    return static_cast<std::int64_t>(rows);
}

std::optional<std::size_t> ViewController::bookIndexForRow(std::int64_t row) const
{
    return m_bookFilter.bookIndex(row, bookList());
}

void ViewController::updateSearchResults(ui::TableView&, const std::string& text)
{
    m_bookFilter.setText(text);
}

std::vector<std::string> ViewController::sectionIndexTitlesForTableView(ui::TableView& table)
{
    table.setSectionIndexColor(ui::Color::blueColor());
    if (m_bookFilter.isOn())
        return {};
    return indexTitles(bookList(), sortOrder());
}

// The answer is 1, a section the table does not have, so the platform adds no jump of its own:
// the explicit scroll is the only positioning.
std::int64_t ViewController::sectionForSectionIndexTitle(
    ui::TableView& table, const std::string& title, std::int64_t)
{
    if (auto row = rowForIndexTitle(bookList(), sortOrder(), title))
        table.scrollToRowAtIndexPath(ui::IndexPath::forRow(static_cast<std::int64_t>(*row), 0),
            ui::TableViewScrollPosition::top, true);
    return 1;
}
