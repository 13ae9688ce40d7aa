// SHA-1 through OpenSSL's digest.
#include "platform/foundation/sha1.h"

#include <openssl/sha.h>

namespace foundation {

std::array<std::uint8_t, 20> sha1(std::string_view bytes)
{
    std::array<std::uint8_t, 20> digest {};
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest.data());
    return digest;
}

}
