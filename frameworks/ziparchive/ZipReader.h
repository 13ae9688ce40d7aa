// ZipReader: a zip archive read from its open descriptor: its directory read once when it is
// opened (ZipDirectory, the one reading every reader of a book shares), an entry's bytes read on
// demand with pread, inflated and checked against their CRC-32. A book needs only its entries by
// exact name: no stream, no seek, no date conversion per entry, and reads from several threads.
#pragma once

#include "frameworks/ziparchive/ZipDirectory.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ziparchive {

class ZipReader {
public:
    using Entry = ZipEntry;

    // The archive open as descriptor, of size bytes. The error's text is "not a zip archive" when
    // no directory's end is found, "damaged zip archive: " and why when the directory is not one
    // every reader would read the same (see readZipDirectory).
    static foundation::Result<ZipReader> open(
        foundation::FileDescriptor descriptor, std::uint64_t size);

    // The entry of that exact name; the first in the directory when several have it.
    const Entry* find(std::string_view name) const;
    const std::vector<Entry>& entries() const { return m_entries; }

    // The bytes of the file one entry takes: from its local header to the end of its data.
    struct Extent {
        std::uint64_t start = 0;
        std::uint64_t dataStart = 0;
        std::uint64_t end = 0;
    };
    // Nothing when its local header is missing or its data reaches past the directory's start.
    std::optional<Extent> extent(const Entry& entry) const;

    // Why an entry's bytes could not be read.
    struct ReadFailure {
        bool tooLarge = false; // it holds more than the limit
        bool stopped = false; // the writer given to unpack refused a piece
        std::string text; // otherwise: "CRC error", "damaged entry", a read error...
    };
    // The entry's bytes, at most limit of them.
    std::optional<std::string> read(
        const Entry& entry, std::size_t limit, ReadFailure& failure) const;
    // The entry's bytes handed to write a piece at a time, however large: exactly the size the
    // directory declares, checked against its CRC-32. False, with the failure, when they are not
    // (the text then says so: "holds more than the 10 bytes it declares") or write refused one.
    bool unpack(const Entry& entry, const std::function<bool(const char*, std::size_t)>& write,
        ReadFailure& failure) const;

private:
    ZipReader() = default;

    // Reads length bytes at offset, from the kept tail where it holds them.
    bool readAt(char* into, std::size_t length, std::uint64_t offset) const;
    // length bytes at offset: in the kept tail, or read into buffer. Nothing when they cannot be
    // read.
    const char* dataAt(std::uint64_t offset, std::size_t length, std::string& buffer) const;
    // Where the entry's compressed data lies, or the failure's text.
    std::optional<Extent> checkedExtent(const Entry& entry, ReadFailure& failure) const;

    foundation::FileDescriptor m_descriptor;
    std::uint64_t m_size = 0;
    std::string
        m_tail; // the archive's last bytes, from m_tailStart: its directory, and a small book whole
    std::uint64_t m_tailStart = 0;
    std::uint64_t m_directoryOffset = 0;
    std::vector<Entry> m_entries;
    std::unordered_map<std::string_view, std::size_t> m_byName; // views of m_entries' names
};

}
