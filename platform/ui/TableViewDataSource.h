// TableViewDataSource: what a table asks of the object that holds its rows.
#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewCell.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class TableView;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    // numberOfSectionsInTableView:
    virtual std::int64_t numberOfSectionsInTableView(TableView&) { return 1; }
    // tableView:numberOfRowsInSection:
    virtual std::int64_t numberOfRowsInSection(TableView&, std::int64_t section) = 0;
    // tableView:cellForRowAtIndexPath:
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, IndexPath indexPath)
        = 0;
    // tableView:titleForHeaderInSection: — nothing: the section has no header title.
    virtual std::optional<std::string> titleForHeaderInSection(TableView&, std::int64_t /*section*/)
    {
        return std::nullopt;
    }
    // sectionIndexTitlesForTableView: — an empty list: no index.
    virtual std::vector<std::string> sectionIndexTitlesForTableView(TableView&) { return {}; }
    // tableView:sectionForSectionIndexTitle:atIndex: — the section the table scrolls to; a
    // number outside the table's sections scrolls nothing.
    virtual std::int64_t sectionForSectionIndexTitle(
        TableView&, const std::string& /*title*/, std::int64_t index)
    {
        return index;
    }
    // tableView:canEditRowAtIndexPath: — only editable rows offer the swipe to delete.
    virtual bool canEditRowAtIndexPath(TableView&, IndexPath) { return false; }
    // tableView:commitEditingStyle:forRowAtIndexPath:
    virtual void commitEditingStyle(TableView&, TableViewCellEditingStyle, IndexPath) { }
    // updateSearchResultsForSearchController: — the text in the table's search field changed;
    // the table reloads right after.
    virtual void updateSearchResults(TableView&, const std::string& /*text*/) { }
};

}
