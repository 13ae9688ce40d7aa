// SHA-256 through OpenSSL's digest.
#include "platform/foundation/sha256.h"

#include "platform/foundation/hexEncoded.h"

#include <openssl/sha.h>

namespace foundation {

std::string sha256Hex(std::string_view bytes)
{
    unsigned char digest[SHA256_DIGEST_LENGTH] {};
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return hexEncoded(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}

}
