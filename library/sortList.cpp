// The sort button's action: recency → title → author → recency, re-sorting the list each time,
// then reloading the table and scrolling it to the first row.
#include "app/ViewController.h"

#include "library/BookList.h"
#include "library/SortOrder.h"

void ViewController::sortList()
{
    if (bookList().empty())
        return;
    std::int64_t next = SortOrder::byTitle;
    switch (sortOrder()) {
    case SortOrder::byAuthor:
        sortByRecency();
        next = SortOrder::recentlyOpened;
        break;
    case SortOrder::byTitle:
        sortByAuthor();
        next = SortOrder::byAuthor;
        break;
    default:
        sortByTitle();
        next = SortOrder::byTitle;
        break;
    }
    sortOrder() = next;
    auto table = tableView();
    table->reloadData();
    table->scrollToRowAtIndexPath(ui::IndexPath::forRow(0, 0), ui::TableViewScrollPosition::top, true);
}
