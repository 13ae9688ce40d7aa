// The small files the reader keeps beside the library (highlights, reading places): read whole,
// and replaced whole so that a crash at any moment leaves the old or the new contents, never a mix.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace folioreader {

struct StoreFileContents {
    bool exists = false;
    std::string bytes;
};

// Reads the file at path; a missing file is no error. Refused: anything not a regular file, or
// larger than largest bytes.
foundation::Result<StoreFileContents> readStoreFile(const std::string& path, std::uint64_t largest);

// Store files are written with foundation::writeFileAtomically, mode storeFileMode.
constexpr mode_t storeFileMode = 0644;

}
