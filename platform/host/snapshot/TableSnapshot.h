// TableSnapshot: a table as the browser draws it — the row count and section layout, the
// headers, the cells of the visible rows only, the section index, the selection, and the one-shot
// commands (scroll, select, fade deleted rows) the program asked of it since the last snapshot.
// Its size and the time it takes grow with the visible rows, never with the rows in all (the
// index titles aside).
#pragma once

#include "platform/host/snapshot/ImageRegistry.h"
#include "platform/ui/TableView.h"

#include <nlohmann/json.hpp>

namespace host {

// Takes the table's pending commands: each reaches one page.
nlohmann::json tableSnapshot(ui::TableView& table, ImageRegistry& images);

// The accessible name of a row: the cell's own accessibility label, else its texts joined by ", ".
std::string rowLabel(const ui::TableViewCell& cell);

}
