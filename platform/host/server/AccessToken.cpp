// The access token: 32 random bytes, and its comparison in constant time.
#include "platform/host/server/AccessToken.h"

#include "platform/foundation/randomHex.h"

namespace host {

std::string makeAccessToken()
{
    return foundation::randomHex(32);
}

bool tokensEqual(std::string_view presented, std::string_view expected)
{
    if (presented.size() != expected.size() || expected.empty())
        return false;
    unsigned char difference = 0;
    for (std::size_t index = 0; index < expected.size(); ++index)
        difference |= static_cast<unsigned char>(presented[index] ^ expected[index]);
    return difference == 0;
}

}
