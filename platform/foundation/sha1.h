// SHA-1, for the keys formats derive with it (a book's font mask). Not for anything secret: SHA-1
// no longer resists a determined forger.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace foundation {

std::array<std::uint8_t, 20> sha1(std::string_view bytes);

}
