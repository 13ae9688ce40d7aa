// The kernel's generator (getrandom), through interruptions; the standard library's device where
// the kernel gives none.
#include "platform/foundation/randomHex.h"

#include "platform/foundation/hexEncoded.h"

#include <cerrno>
#include <random>
#include <sys/random.h>
#include <vector>

namespace foundation {

std::string randomHex(std::size_t count)
{
    std::vector<unsigned char> bytes(count);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        auto got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled < bytes.size()) {
        std::random_device device;
        for (auto& byte : bytes)
            byte = static_cast<unsigned char>(device());
    }
    return hexEncoded(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}
