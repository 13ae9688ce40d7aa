// Reading a small file whole (a store of places, highlights or pushed documents), bounded.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <optional>
#include <string>

namespace foundation {

// The bytes of the file at path; nothing when it is missing, which is no error. Refused: anything
// not a regular file, or larger than largest bytes.
Result<std::optional<std::string>> readSmallFile(const std::string& path, std::uint64_t largest);

}
