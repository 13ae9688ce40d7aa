// The checks an archive passes before the unpacker writes a single byte: entry names that stay
// inside the destination, no links or device files, no path claimed twice, and sizes that fit
// both the safety bounds and the destination's disk.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ziparchive {

// Bounds on what one archive may unpack to. The defaults are far above any real book and far
// below what would harm the machine; tests lower them.
struct UnzipLimits {
    // Sum of the declared sizes of all entries.
    std::uint64_t maxTotalBytes = std::uint64_t(4) << 30;
    std::uint64_t maxEntries = 100'000;
    // An entry declaring more than ratioCheckedAbove bytes may inflate at most maxRatio times its
    // compressed size. Deflate itself cannot pass about 1032:1, so only crafted data trips this.
    std::uint64_t maxRatio = 1000;
    std::uint64_t ratioCheckedAbove = std::uint64_t(64) << 10;
    // The whole archive may declare at most maxArchiveRatio times its file's size, or
    // archiveFloorBytes when that is more: a book compresses to a third of its size or so, while
    // many entries of a highly compressed block each stay under the entry's bound. So an archive
    // of 1 MB writes at most 100 MB.
    std::uint64_t maxArchiveRatio = 100;
    std::uint64_t archiveFloorBytes = std::uint64_t(64) << 20;
    // Folders, declared or implied by the paths of entries, each count as one block of the disk
    // in the totals above: one entry "a/a/.../f" makes a folder per level. No real book needs
    // more folders or deeper paths than these.
    std::uint64_t maxFolders = 10'000;
    std::size_t maxDepth = 32;
};

// What is free on the destination's file system; the defaults mean "unknown, do not check".
struct FreeSpace {
    std::uint64_t bytes = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t blockSize = 0;
    std::uint64_t files = std::numeric_limits<std::uint64_t>::max();
};

enum class EntryKind { file, folder, symbolicLink, special };

// One entry as the archive's central directory describes it.
struct ArchiveEntry {
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    EntryKind kind = EntryKind::file;
    // The bytes of the archive file its header and data take; both 0 when not known.
    std::uint64_t dataStart = 0;
    std::uint64_t dataEnd = 0;
};

struct PlannedFile {
    std::size_t index; // the entry's position in the archive
    std::string path; // relative to the destination, "/"-separated, normalised
    std::uint64_t size; // declared size: the unpacker writes exactly this many bytes
};

// What unpacking will create, in order: every folder before anything inside it.
struct UnpackPlan {
    std::vector<std::string> folders;
    std::vector<PlannedFile> files;
};

// The relative path an entry name stands for: empty and "." segments dropped, so "./a//b" is
// "a/b" and "./" is "" (the destination itself). An error for a name that is empty, absolute
// ("/x", "\x"), holds a ".." segment (split on "/" and on "\", so "..\x" counts), holds a NUL,
// or has a segment too long for the file system.
foundation::Result<std::string> checkEntryName(std::string_view name);

// The kind of an entry from its name and its external attributes. Archives made on Unix keep the
// file's mode in the upper 16 bits; a name ending in "/" is a folder.
EntryKind entryKind(std::string_view name, bool unixAttributes, std::uint32_t externalAttributes);

// Checks every entry and, when the whole archive may be unpacked, says what to create. Refused:
// any entry a name check refuses, any link or device entry, a path named twice (two entries of
// one name, or a file where another entry needs a folder: which one would be the book is
// ambiguous), more entries, folders, levels or bytes (folders counted at the disk's block size,
// 4 KiB when it is not known) than the limits allow, an entry past the ratio bound, an
// archive of archiveBytes (when known) declaring more than its bound, entries whose bytes in the
// file overlap (one compressed block unpacked under many names), and anything that does not fit
// the free space.
foundation::Result<UnpackPlan> planUnpacking(const std::vector<ArchiveEntry>& entries,
    const UnzipLimits& limits, const FreeSpace& space,
    std::optional<std::uint64_t> archiveBytes = std::nullopt);

}
