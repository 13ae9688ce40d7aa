// Random names and secrets: access tokens, the names of reader sessions.
#pragma once

#include <cstddef>
#include <string>

namespace foundation {

// count random bytes from the system's generator, as hexadecimal digits.
std::string randomHex(std::size_t count);

}
