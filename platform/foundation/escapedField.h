// A field of a tab-separated line: tabs, line breaks and backslashes inside it written \t, \n,
// \r and \\, so each record stays one line whatever its fields hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

std::string escapedField(std::string_view field);
// The field as it was; nothing for a backslash that starts no known escape.
std::optional<std::string> unescapedField(std::string_view written);

}
