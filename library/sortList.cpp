// The sort button's action: recency → title → author → recency, re-sorting the list each time,
// then reloading the table and scrolling it to the first row.
#include "app/ViewController.h"

#include "library/SortOrder.h"

void ViewController::sortList()
{
    if (!stepSortOrder())
        return;
    auto table = tableView();
    table->reloadData();
    table->scrollToRowAtIndexPath(
        ui::IndexPath::forRow(0, 0), ui::TableViewScrollPosition::top, true);
}
