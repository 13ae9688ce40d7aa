// A field of a tab-separated line: tabs, line breaks and backslashes inside it written \t, \n,
// \r and \\, so each record stays one line whatever its fields hold. Other control characters
// would drive the terminal a record is read on: C0 and DEL, C1 characters (UTF-8 "\xC2\x80" to
// "\xC2\x9F") and stray bytes 0x80 to 0x9F (C1 to an 8-bit terminal) are written \xhh, byte by
// byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

std::string escapedField(std::string_view field);
// The field as it was; nothing for a backslash that starts no known escape.
std::optional<std::string> unescapedField(std::string_view written);

}
