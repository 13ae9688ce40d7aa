// The zip format's end record, central directory and local headers, read only for the offsets
// and lengths that say where each entry's bytes lie.
#include "frameworks/ziparchive/EntryExtents.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace ziparchive {

using foundation::Error;
using foundation::Result;

namespace {

constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t directorySignature = 0x02014b50;
constexpr std::uint32_t localSignature = 0x04034b50;
constexpr std::size_t endRecordSize = 22;
constexpr std::size_t directoryRecordSize = 46;
constexpr std::size_t localHeaderSize = 30;

std::uint64_t little(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int index = count - 1; index >= 0; --index)
        value = value << 8 | bytes[index];
    return value;
}

bool readAt(int descriptor, std::uint64_t offset, std::size_t size, std::vector<unsigned char>& into)
{
    into.resize(size);
    return foundation::readAllAt(descriptor, reinterpret_cast<char*>(into.data()), size, offset);
}

Error broken(const std::string& what)
{
    return Error("the archive's directory is damaged: " + what);
}

struct Directory {
    std::uint64_t count = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

Result<Directory> findDirectory(int descriptor, std::uint64_t fileSize)
{
    std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, endRecordSize + 0xFFFF);
    std::vector<unsigned char> tail;
    if (tailSize < endRecordSize || !readAt(descriptor, fileSize - tailSize, std::size_t(tailSize), tail))
        return broken("no end record");
    // The last end record whose comment reaches exactly to the end of the file, else the last
    // end record at all (some writers leave bytes after it).
    std::size_t at = std::size_t(-1);
    for (std::size_t probe = tail.size() - endRecordSize + 1; probe-- > 0;) {
        if (little(&tail[probe], 4) != endSignature)
            continue;
        if (at == std::size_t(-1))
            at = probe;
        if (probe + endRecordSize + little(&tail[probe + 20], 2) == tail.size()) {
            at = probe;
            break;
        }
    }
    if (at == std::size_t(-1))
        return broken("no end record");
    Directory directory { little(&tail[at + 10], 2), little(&tail[at + 12], 4), little(&tail[at + 16], 4) };
    if (directory.count != 0xFFFF && directory.size != 0xFFFFFFFF && directory.offset != 0xFFFFFFFF)
        return directory;

    std::uint64_t endOffset = fileSize - tailSize + at;
    std::vector<unsigned char> record;
    if (endOffset < 20 || !readAt(descriptor, endOffset - 20, 20, record) || little(record.data(), 4) != zip64LocatorSignature)
        return broken("no zip64 locator");
    std::uint64_t zip64End = little(&record[8], 8);
    if (zip64End > fileSize || !readAt(descriptor, zip64End, 56, record) || little(record.data(), 4) != zip64EndSignature)
        return broken("no zip64 end record");
    return Directory { little(&record[32], 8), little(&record[40], 8), little(&record[48], 8) };
}

}

Result<std::vector<EntryExtent>> readEntryExtents(int descriptor)
{
    struct stat info;
    if (::fstat(descriptor, &info) != 0)
        return foundation::fileError("the archive", errno);
    const auto fileSize = std::uint64_t(info.st_size);
    auto directory = TRY(findDirectory(descriptor, fileSize));
    if (directory.offset > fileSize || directory.size > fileSize - directory.offset
        || directory.count > directory.size / directoryRecordSize)
        return broken("the central directory lies outside the file");

    std::vector<unsigned char> records;
    if (!readAt(descriptor, directory.offset, std::size_t(directory.size), records))
        return broken("the central directory cannot be read");
    std::vector<EntryExtent> extents;
    extents.reserve(std::size_t(directory.count));
    std::vector<unsigned char> local;
    std::size_t at = 0;
    for (std::uint64_t index = 0; index < directory.count; ++index) {
        if (records.size() - at < directoryRecordSize || little(&records[at], 4) != directorySignature)
            return broken("entry " + std::to_string(index) + " has no directory record");
        std::uint64_t compressed = little(&records[at + 20], 4);
        std::uint64_t size = little(&records[at + 24], 4);
        std::uint64_t offset = little(&records[at + 42], 4);
        std::size_t nameLength = std::size_t(little(&records[at + 28], 2));
        std::size_t extraLength = std::size_t(little(&records[at + 30], 2));
        std::size_t commentLength = std::size_t(little(&records[at + 32], 2));
        std::size_t next = at + directoryRecordSize + nameLength + extraLength + commentLength;
        if (next > records.size())
            return broken("entry " + std::to_string(index) + " runs past the directory");
        // The zip64 field holds, in this order, only the values too large for their own field.
        for (std::size_t extra = at + directoryRecordSize + nameLength; extra + 4 <= at + directoryRecordSize + nameLength + extraLength;) {
            std::size_t fieldSize = std::size_t(little(&records[extra + 2], 2));
            std::size_t end = std::min(extra + 4 + fieldSize, at + directoryRecordSize + nameLength + extraLength);
            if (little(&records[extra], 2) == 0x0001) {
                std::size_t value = extra + 4;
                for (std::uint64_t* field : { &size, &compressed, &offset }) {
                    if (*field != 0xFFFFFFFF)
                        continue;
                    if (value + 8 > end)
                        return broken("entry " + std::to_string(index) + " has a short zip64 field");
                    *field = little(&records[value], 8);
                    value += 8;
                }
            }
            extra = end;
        }
        if (offset > directory.offset || !readAt(descriptor, offset, localHeaderSize, local) || little(local.data(), 4) != localSignature)
            return broken("entry " + std::to_string(index) + " has no local header");
        std::uint64_t dataStart = offset + localHeaderSize + little(&local[26], 2) + little(&local[28], 2);
        if (compressed > directory.offset || dataStart > directory.offset - compressed)
            return broken("entry " + std::to_string(index) + " reaches into the central directory");
        extents.push_back({ offset, dataStart + compressed });
        at = next;
    }
    return extents;
}

}
