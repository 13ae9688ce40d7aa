// IndexPath: a row of a table section.
#pragma once

#include <compare>
#include <cstdint>

namespace ui {

struct IndexPath {
    std::int64_t section = 0;
    std::int64_t row = 0;

    static IndexPath forRow(std::int64_t row, std::int64_t section) { return { section, row }; }

    auto operator<=>(const IndexPath&) const = default;
};

}
