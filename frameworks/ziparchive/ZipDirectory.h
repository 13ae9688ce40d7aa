// ZipDirectory: the one reading of a zip archive's directory that everything reading a book
// shares (its list entry and cover, the reader and the import), so an archive cannot show one
// book to one of them and another book to the next. Strict: an archive that two careful readers
// could read differently is refused.
#pragma once

#include "platform/foundation/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ziparchive {

// One entry as the central directory describes it.
struct ZipEntry {
    std::string name; // UTF-8: a name neither flagged nor valid as UTF-8 is read as code page 437
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t headerOffset = 0; // of the entry's local header
    // The high byte of "version made by": the system whose attributes externalAttributes holds.
    std::uint8_t system = 0;
    std::uint32_t externalAttributes = 0;
};

struct ZipDirectory {
    std::vector<ZipEntry> entries; // in the directory's order
    std::uint64_t offset = 0; // where the directory starts: no entry's data reaches it
};

// Reads length bytes of the archive at offset into into; false when they cannot all be read.
using ArchiveRead = std::function<bool(char* into, std::size_t length, std::uint64_t offset)>;

// How much of an archive's end holds its end record, wherever its comment lets it lie.
constexpr std::size_t endSearchSize = 22 + 0xffff;

// The directory of an archive of size bytes whose last bytes are tail (at least the last
// endSearchSize of them, or all). Refused, with "not a zip archive" when no end record is found,
// or "damaged zip archive: " and why: end records other than exactly one whose comment reaches the
// end of the file; an archive split over disks; a zip64 end record missing, misplaced or
// disagreeing with the end record; a directory that does not lie just before its end records,
// claims more than 64 MiB, or holds other than the entries counted; an entry whose record or
// extra field runs past its end, whose zip64 sizes are missing, or whose header lies past the
// directory's start.
foundation::Result<ZipDirectory> readZipDirectory(
    std::string_view tail, std::uint64_t size, const ArchiveRead& read);

}
