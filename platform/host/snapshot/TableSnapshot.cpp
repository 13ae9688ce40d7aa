// The table's part of a snapshot.
#include "platform/host/snapshot/TableSnapshot.h"

#include "platform/host/snapshot/ViewJson.h"

namespace host {

namespace {

const char* scrollPositionName(ui::TableViewScrollPosition position)
{
    switch (position) {
    case ui::TableViewScrollPosition::none:
        return "none";
    case ui::TableViewScrollPosition::top:
        return "top";
    case ui::TableViewScrollPosition::middle:
        return "middle";
    case ui::TableViewScrollPosition::bottom:
        return "bottom";
    }
    return "none";
}

const char* rowAnimationName(ui::TableViewRowAnimation animation)
{
    switch (animation) {
    case ui::TableViewRowAnimation::fade:
        return "fade";
    case ui::TableViewRowAnimation::right:
        return "right";
    case ui::TableViewRowAnimation::left:
        return "left";
    case ui::TableViewRowAnimation::top:
        return "top";
    case ui::TableViewRowAnimation::bottom:
        return "bottom";
    case ui::TableViewRowAnimation::none:
        return "none";
    case ui::TableViewRowAnimation::automatic:
        return "automatic";
    }
    return "none";
}

const char* commandName(ui::TableViewCommand::Kind kind)
{
    switch (kind) {
    case ui::TableViewCommand::Kind::scrollToRow:
        return "scrollToRow";
    case ui::TableViewCommand::Kind::selectRow:
        return "selectRow";
    case ui::TableViewCommand::Kind::deselectRow:
        return "deselectRow";
    case ui::TableViewCommand::Kind::deleteRows:
        return "deleteRows";
    }
    return "unknown";
}

// Rows counted across sections, as the visible range counts them.
std::int64_t flatIndex(const ui::TableView& table, ui::IndexPath indexPath)
{
    std::int64_t flat = indexPath.row;
    for (std::int64_t section = 0; section < indexPath.section; ++section)
        flat += table.numberOfRowsInSection(section);
    return flat;
}

nlohmann::json indexPathJson(const ui::TableView& table, ui::IndexPath indexPath)
{
    return { { "section", indexPath.section }, { "row", indexPath.row },
        { "flat", flatIndex(table, indexPath) } };
}

nlohmann::json commandJson(const ui::TableView& table, const ui::TableViewCommand& command)
{
    auto rows = nlohmann::json::array();
    for (auto& indexPath : command.indexPaths)
        rows.push_back(indexPathJson(table, indexPath));
    return {
        { "kind", commandName(command.kind) },
        { "rows", std::move(rows) },
        { "position", scrollPositionName(command.scrollPosition) },
        { "animation", rowAnimationName(command.rowAnimation) },
        { "animated", command.animated },
    };
}

// Each section's top, header height and header view; a section without a header view has none.
nlohmann::json sectionsJson(const ui::TableView& table, ImageRegistry& images)
{
    auto sections = nlohmann::json::array();
    double top = 0;
    for (std::int64_t section = 0; section < table.numberOfSections(); ++section) {
        auto rows = table.numberOfRowsInSection(section);
        auto header = table.headerViewForSection(section);
        double headerHeight = 0;
        if (header) {
            top = header->frame().minY();
            headerHeight = header->frame().size.height;
        } else if (rows > 0) {
            headerHeight
                = table.rectForRowAtIndexPath(ui::IndexPath::forRow(0, section)).minY() - top;
        }
        nlohmann::json json
            = { { "rows", rows }, { "top", top }, { "headerHeight", headerHeight } };
        json["header"]
            = header && !header->isHidden() ? viewJson(*header, images) : nlohmann::json(nullptr);
        sections.push_back(std::move(json));
        top += headerHeight + static_cast<double>(rows) * table.rowHeight();
    }
    return sections;
}

}

std::string rowLabel(const ui::TableViewCell& cell)
{
    if (!cell.accessibilityLabel().empty())
        return cell.accessibilityLabel();
    std::string label;
    for (auto* part : { cell.textLabel().get(), cell.detailTextLabel().get() }) {
        if (!part || part->text().empty())
            continue;
        if (!label.empty())
            label += ", ";
        label += part->text();
    }
    return label;
}

nlohmann::json tableSnapshot(ui::TableView& table, ImageRegistry& images)
{
    std::int64_t rowCount = 0;
    for (std::int64_t section = 0; section < table.numberOfSections(); ++section)
        rowCount += table.numberOfRowsInSection(section);

    auto rows = nlohmann::json::array();
    for (auto& indexPath : table.indexPathsForVisibleRows()) {
        auto cell = table.cellForRowAtIndexPath(indexPath);
        if (!cell)
            continue;
        auto frame = cell->frame();
        auto json = indexPathJson(table, indexPath);
        json["top"] = frame.minY();
        json["height"] = frame.size.height;
        json["selected"] = cell->isSelected();
        json["editable"]
            = table.dataSource() && table.dataSource()->canEditRowAtIndexPath(table, indexPath);
        json["label"] = rowLabel(*cell);
        json["cell"] = viewJson(*cell, images);
        rows.push_back(std::move(json));
    }

    auto frame = table.frame();
    nlohmann::json json = {
        { "id", table.viewId() },
        { "label", table.accessibilityLabel() },
        { "frame", { frame.origin.x, frame.origin.y, frame.size.width, frame.size.height } },
        { "rowHeight", table.rowHeight() },
        { "contentHeight", table.contentHeight() },
        { "rowCount", rowCount },
        { "first", table.firstVisibleRow() },
        { "count", table.visibleRowCount() },
        { "sections", sectionsJson(table, images) },
        { "rows", std::move(rows) },
    };
    if (table.backgroundColor())
        json["background"] = colorJson(*table.backgroundColor());
    json["index"] = {
        { "titles", table.sectionIndexTitles() },
        { "color",
            table.sectionIndexColor() ? colorJson(*table.sectionIndexColor())
                                      : nlohmann::json(nullptr) },
    };
    if (auto& name = table.searchFieldName())
        json["search"] = { { "name", *name }, { "text", table.searchText() } };
    else
        json["search"] = nullptr;
    auto& background = table.backgroundView();
    json["backgroundView"] = background && !background->isHidden() ? viewJson(*background, images)
                                                                   : nlohmann::json(nullptr);
    if (auto selected = table.indexPathForSelectedRow())
        json["selected"] = indexPathJson(table, *selected);
    else
        json["selected"] = nullptr;
    auto commands = nlohmann::json::array();
    for (auto& command : table.takeCommands())
        commands.push_back(commandJson(table, command));
    json["commands"] = std::move(commands);
    return json;
}

}
