// TableViewCommand: a request the program made of the table that whoever draws it carries out
// once — scroll to a row, select a row, fade deleted rows out.
#pragma once

#include "platform/ui/IndexPath.h"

#include <vector>

namespace ui {

enum class TableViewScrollPosition { none = 0, top = 1, middle = 2, bottom = 3 };
enum class TableViewRowAnimation {
    fade = 0,
    right = 1,
    left = 2,
    top = 3,
    bottom = 4,
    none = 5,
    automatic = 100
};

struct TableViewCommand {
    enum class Kind { scrollToRow, selectRow, deselectRow, deleteRows };

    Kind kind;
    std::vector<IndexPath> indexPaths;
    TableViewScrollPosition scrollPosition = TableViewScrollPosition::none;
    TableViewRowAnimation rowAnimation = TableViewRowAnimation::none;
    bool animated = false;
};

}
