// Zip archives written byte by byte, for the hostile shapes libzip would refuse to write, and
// small file helpers for looking at what an unpacking left behind.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

struct StoredEntry {
    std::string name;
    std::string bytes = {};
    // Made on Unix with this st_mode (type and permission bits); otherwise made on DOS.
    std::optional<std::uint32_t> unixMode = std::nullopt;
    // The uncompressed size the headers declare, when it is not the size of bytes.
    std::optional<std::uint32_t> declaredSize = std::nullopt;
    // No bytes of its own: the directory points at the local header of this earlier entry, as a
    // bomb that unpacks one compressed block under many names does.
    std::optional<std::size_t> sharesDataOf = std::nullopt;
};

// How the archive's records are written.
struct ZipLayout {
    // Every entry's sizes and offset in a zip64 field, the directory's in a zip64 end record.
    bool zip64 = false;
    // Each entry's checksum and sizes in a data descriptor after its data, as a writer that
    // streams does, rather than in its local header.
    bool dataDescriptors = false;
    // Offsets counted as if this many bytes came before the archive.
    std::uint64_t startsAt = 0;
};

// An archive of stored (uncompressed) entries: local headers, central directory, end record.
std::string storedZip(const std::vector<StoredEntry>& entries, const ZipLayout& layout = {});

// Rewrites the uncompressed size of the named entry in its central directory record and its
// local header. Throws when the archive has no such entry.
void patchDeclaredSize(std::string& zip, const std::string& name, std::uint32_t size);

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// Everything under a folder, links not followed: relative path to "<folder>", "<link to TARGET>",
// or the file's bytes. A missing folder gives an empty map.
std::map<std::string, std::string> snapshot(const std::string& folder);

}
