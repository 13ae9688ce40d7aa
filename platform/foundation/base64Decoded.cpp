// Base64 decoding through OpenSSL's decoder.
#include "platform/foundation/base64Decoded.h"

#include <openssl/evp.h>

namespace foundation {

std::optional<std::string> base64Decoded(std::string_view text)
{
    while (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    // OpenSSL's decoder passes over white space at either end and wants whole groups of four; the
    // padding is put back here, and white space or padding inside is refused.
    if (text.size() % 4 == 1 || text.find_first_of(" \t\r\n\f\v=") != std::string_view::npos)
        return std::nullopt;
    const std::size_t padding = (4 - text.size() % 4) % 4;
    std::string padded(text);
    padded.append(padding, '=');
    std::string bytes(padded.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
        reinterpret_cast<const unsigned char*>(padded.data()), static_cast<int>(padded.size()));
    if (length < 0)
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length) - padding);
    return bytes;
}

}
