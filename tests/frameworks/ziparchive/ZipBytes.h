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

// An archive of stored (uncompressed) entries: local headers, central directory, end record.
std::string storedZip(const std::vector<StoredEntry>& entries);

// Rewrites the uncompressed size of the named entry in its central directory record and its
// local header. Throws when the archive has no such entry.
void patchDeclaredSize(std::string& zip, const std::string& name, std::uint32_t size);

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// Everything under a folder, links not followed: relative path to "<folder>", "<link to TARGET>",
// or the file's bytes. A missing folder gives an empty map.
std::map<std::string, std::string> snapshot(const std::string& folder);

}
