// Where in the archive file each entry's header and data lie, read from the central directory and
// the local headers, so that entries sharing or overlapping their data can be refused.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ziparchive {

// The bytes one entry takes in the file: from its local header to the end of its data.
struct EntryExtent {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

// The extents of the entries at the open descriptor, in central directory order. Zip64 records
// are understood. An error when the end record, the directory or a local header cannot be read,
// or an extent reaches past the start of the central directory.
foundation::Result<std::vector<EntryExtent>> readEntryExtents(int descriptor);

}
