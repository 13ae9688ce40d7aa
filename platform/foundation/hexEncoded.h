// Bytes and numbers written as hexadecimal digits: access tokens, session names, picture ids,
// the escapes of URLs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace foundation {

enum class LetterCase { lower, upper };

// Two digits for every byte, the high half first.
std::string hexEncoded(std::string_view bytes, LetterCase letters = LetterCase::lower);
// Sixteen lower-case digits, the most significant first.
std::string hexEncoded(std::uint64_t value);

}
