// The access token: random bytes from getrandom, falling back to std::random_device.
#include "platform/host/server/AccessToken.h"

#include "platform/foundation/hexEncoded.h"

#include <array>
#include <random>
#include <sys/random.h>

namespace host {

std::string makeAccessToken()
{
    std::array<unsigned char, 32> bytes {};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        auto got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled < bytes.size()) {
        std::random_device device;
        for (auto& byte : bytes)
            byte = static_cast<unsigned char>(device());
    }
    return foundation::hexEncoded(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
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
