// The library table's one section: its row count and its section index.
#include "app/ViewController.h"

#include "library/BookList.h"
#include "library/SortOrder.h"
#include "screen/IndexTitles.h"

std::int64_t ViewController::numberOfRowsInSection(ui::TableView&, std::int64_t)
{
    return static_cast<std::int64_t>(bookList().size());
}

std::vector<std::string> ViewController::sectionIndexTitlesForTableView(ui::TableView& table)
{
    table.setSectionIndexColor(ui::Color::blueColor());
    return indexTitles(bookList(), sortOrder());
}

// The answer is 1, a section the table does not have, so the platform adds no jump of its own:
// the explicit scroll is the only positioning.
std::int64_t ViewController::sectionForSectionIndexTitle(ui::TableView& table, const std::string& title, std::int64_t)
{
    if (auto row = rowForIndexTitle(bookList(), sortOrder(), title))
        table.scrollToRowAtIndexPath(ui::IndexPath::forRow(static_cast<std::int64_t>(*row), 0),
            ui::TableViewScrollPosition::top, true);
    return 1;
}
