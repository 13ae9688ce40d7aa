// ZipReader: a book's zip archive read from its open descriptor: the central directory parsed once
// when it is opened, an entry's bytes read on demand with pread, inflated and checked against
// their CRC-32. A book needs only its entries by exact name: no stream, no seek, no date
// conversion per entry, and reads from several threads at once.
#pragma once

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace folioreader {

class ZipReader {
public:
    struct Entry {
        std::string name; // UTF-8: a name neither flagged nor valid as UTF-8 is read as code page 437
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint64_t headerOffset = 0; // of the entry's local header
    };

    // The archive open as descriptor, of size bytes. The error's text is "not a zip archive" when
    // no directory's end is found, "damaged zip archive" when the directory does not hold together.
    static foundation::Result<ZipReader> open(foundation::FileDescriptor descriptor, std::uint64_t size);

    // The entry of that exact name; the first in the directory when several have it.
    const Entry* find(std::string_view name) const;
    const std::vector<Entry>& entries() const { return m_entries; }

    // Why an entry's bytes could not be read.
    struct ReadFailure {
        bool tooLarge = false; // it holds more than the limit
        std::string text;      // otherwise: "CRC error", "damaged entry", a read error...
    };
    // The entry's bytes, at most limit of them.
    std::optional<std::string> read(const Entry& entry, std::size_t limit, ReadFailure& failure) const;

private:
    ZipReader() = default;

    // Reads length bytes at offset, from the kept tail where it holds them.
    bool readAt(char* into, std::size_t length, std::uint64_t offset) const;
    bool parseDirectory(std::uint64_t endRecord);

    foundation::FileDescriptor m_descriptor;
    std::uint64_t m_size = 0;
    std::string m_tail; // the archive's last bytes, from m_tailStart: its directory, and a small book whole
    std::uint64_t m_tailStart = 0;
    std::vector<Entry> m_entries;
    std::unordered_map<std::string_view, std::size_t> m_byName; // views of m_entries' names
};

}
