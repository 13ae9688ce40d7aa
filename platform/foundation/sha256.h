// SHA-256, for secrets kept only as their digest (a paired device's key).
#pragma once

#include <string>
#include <string_view>

namespace foundation {

// The digest as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

}
