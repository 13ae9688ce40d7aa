// The names a reading device gives a book it syncs the place of: by default the MD5 of samples of
// the book's file (1,024 bytes at offset 0, then at 1,024 × 4^i for i from 0 to 10, each cut
// short or left out past the file's end), else the MD5 of the file's name.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Where the samples of a file of size bytes start, in order, each 1,024 bytes long at most.
std::vector<std::uint64_t> documentSampleOffsets(std::uint64_t size);

// The sampled digest of the book at path as the catalog sends it: the file itself, or for a book
// kept as a folder the EPUB file the catalog makes of it (FolderZip).
foundation::Result<std::string> documentDigest(const std::string& path);

// The digest of a file's name, for devices that name documents by it.
std::string fileNameDigest(const std::string& name);

}
