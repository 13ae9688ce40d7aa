// Hexadecimal digits for bytes and for 64-bit numbers.
#include "platform/foundation/hexEncoded.h"

namespace foundation {

std::string hexEncoded(std::string_view bytes, LetterCase letters)
{
    const char* digits = letters == LetterCase::upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string encoded;
    encoded.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        encoded += digits[byte >> 4];
        encoded += digits[byte & 15];
    }
    return encoded;
}

std::string hexEncoded(std::uint64_t value)
{
    char bytes[8];
    for (int index = 7; index >= 0; --index, value >>= 8)
        bytes[index] = static_cast<char>(value & 0xFF);
    return hexEncoded(std::string_view(bytes, sizeof bytes));
}

}
