// TableViewDelegate: what a table tells, and asks about appearance, of its controller.
#pragma once

#include "platform/ui/IndexPath.h"

#include <cstdint>

namespace ui {

class TableView;
class TableViewCell;
class View;

// Returned by heightForHeaderInSection to let the table decide.
inline constexpr double automaticDimension = -1;

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;

    // tableView:willDisplayCell:forRowAtIndexPath:
    virtual void willDisplayCell(TableView&, TableViewCell&, IndexPath) { }
    // tableView:willDisplayHeaderView:forSection:
    virtual void willDisplayHeaderView(TableView&, View& /*view*/, std::int64_t /*section*/) { }
    // tableView:heightForHeaderInSection:
    virtual double heightForHeaderInSection(TableView&, std::int64_t /*section*/)
    {
        return automaticDimension;
    }
    // tableView:didSelectRowAtIndexPath:
    virtual void didSelectRowAtIndexPath(TableView&, IndexPath) { }
    // A passage the search field found in the item's text was chosen: the item opens there.
    // Answers false for an item the table's application does not have.
    virtual bool didSelectFoundPassage(TableView&, const std::string& /*item*/) { return false; }
};

}
