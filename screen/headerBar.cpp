// The library table's section header: the sort order's name, 50 points high, decorated each
// time it is about to be shown.
#include "app/ViewController.h"

#include "library/SortOrder.h"
#include "screen/DecorateHeader.h"

std::optional<std::string> ViewController::titleForHeaderInSection(ui::TableView&, std::int64_t)
{
    const auto& names = sortOrderNames();
    auto order = sortOrder();
    if (order < 0 || static_cast<std::size_t>(order) >= names.size())
        return std::nullopt;
    return names[static_cast<std::size_t>(order)];
}

double ViewController::heightForHeaderInSection(ui::TableView&, std::int64_t)
{
    return 50.0;
}

void ViewController::willDisplayHeaderView(ui::TableView&, ui::View& view, std::int64_t)
{
    decorateHeader(view, weak_from_this().lock());
}
