// Entry names, kinds and sizes checked as plain values, before any file is touched.
#include "frameworks/ziparchive/EntryCheck.h"

#include <algorithm>
#include <climits>
#include <sys/stat.h>
#include <unordered_map>

namespace ziparchive {

using foundation::Error;
using foundation::Result;

namespace {

// What a folder takes where the disk does not say: the block of most Linux file systems.
constexpr std::uint64_t unknownBlockSize = 4096;

// Names land in error descriptions and console lines: control characters become "?", and a
// name of hundreds of levels is told by its start and its end, cut between characters.
std::string quoted(std::string_view name)
{
    constexpr std::size_t head = 60, tail = 30;
    auto isContinuation = [&](std::size_t at) {
        return at < name.size() && (static_cast<unsigned char>(name[at]) & 0xC0) == 0x80;
    };
    std::string_view shown = name, rest;
    if (name.size() > head + tail + 3) {
        std::size_t end = head, start = name.size() - tail;
        while (end > 0 && isContinuation(end))
            --end;
        while (isContinuation(start))
            ++start;
        shown = name.substr(0, end);
        rest = name.substr(start);
    }
    std::string text = "entry \"";
    auto append = [&text](std::string_view part) {
        for (char character : part)
            text += static_cast<unsigned char>(character) < 0x20 ? '?' : character;
    };
    append(shown);
    if (!rest.empty()) {
        text += "...";
        append(rest);
    }
    return text + "\"";
}

bool addOverflows(std::uint64_t& sum, std::uint64_t value)
{
    return __builtin_add_overflow(sum, value, &sum);
}

// What the whole archive may declare: the fixed bound, lowered by the file's size when known.
std::uint64_t totalBound(const UnzipLimits& limits, std::optional<std::uint64_t> archiveBytes)
{
    if (!archiveBytes)
        return limits.maxTotalBytes;
    std::uint64_t byRatio = 0;
    if (__builtin_mul_overflow(*archiveBytes, limits.maxArchiveRatio, &byRatio))
        return limits.maxTotalBytes;
    return std::min(limits.maxTotalBytes, std::max(byRatio, limits.archiveFloorBytes));
}

// Every entry's bytes are its own: a block shared by two entries, or overlapping another's,
// is a bomb that unpacks the same data many times.
Result<void> checkNoOverlap(const std::vector<ArchiveEntry>& entries)
{
    std::vector<const ArchiveEntry*> placed;
    for (const ArchiveEntry& entry : entries) {
        if (entry.dataEnd > entry.dataStart)
            placed.push_back(&entry);
    }
    std::sort(
        placed.begin(), placed.end(), [](auto* a, auto* b) { return a->dataStart < b->dataStart; });
    for (std::size_t index = 1; index < placed.size(); ++index) {
        if (placed[index]->dataStart < placed[index - 1]->dataEnd)
            return Error(quoted(placed[index]->name) + " overlaps "
                + quoted(placed[index - 1]->name) + " in the file");
    }
    return {};
}

}

Result<std::string> checkEntryName(std::string_view name)
{
    if (name.empty())
        return Error("an entry has no name");
    if (name.find('\0') != std::string_view::npos)
        return Error(quoted(name) + " holds a NUL character");
    if (name.front() == '/' || name.front() == '\\')
        return Error(quoted(name) + " is an absolute path");

    // ".." is refused whichever separator the archive's maker used, so a name written on
    // Windows cannot climb out when another tool later reads "\" as a separator.
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return Error(quoted(name) + " climbs out of the destination folder");
        start = end + 1;
    }

    std::string path;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        std::string_view segment = name.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == ".")
            continue;
        if (segment.size() > NAME_MAX)
            return Error(quoted(name) + " has a name longer than the file system allows");
        if (!path.empty())
            path += '/';
        path += segment;
    }
    // Leaves room for the destination's own path in front of it.
    if (path.size() > PATH_MAX / 2)
        return Error(quoted(name) + " has a path longer than the file system allows");
    return path;
}

EntryKind entryKind(std::string_view name, bool unixAttributes, std::uint32_t externalAttributes)
{
    if (unixAttributes) {
        switch ((externalAttributes >> 16) & S_IFMT) {
        case S_IFLNK:
            return EntryKind::symbolicLink;
        case S_IFDIR:
            return EntryKind::folder;
        case S_IFREG:
        case 0: // no type recorded: the name decides
            break;
        default:
            return EntryKind::special;
        }
    }
    return !name.empty() && name.back() == '/' ? EntryKind::folder : EntryKind::file;
}

Result<UnpackPlan> planUnpacking(const std::vector<ArchiveEntry>& entries,
    const UnzipLimits& limits, const FreeSpace& space, std::optional<std::uint64_t> archiveBytes)
{
    if (entries.size() > limits.maxEntries)
        return Error("the archive holds " + std::to_string(entries.size())
            + " entries, more than the " + std::to_string(limits.maxEntries) + " allowed");

    UnpackPlan plan;
    const std::uint64_t allowedTotal = totalBound(limits, archiveBytes);
    const std::uint64_t folderBytes = space.blockSize > 0 ? space.blockSize : unknownBlockSize;
    // What the archive writes: its files' declared bytes and a block for each folder.
    std::uint64_t total = 0;
    auto tooMuch = [&] {
        return Error(
            "the archive declares more than " + std::to_string(allowedTotal) + " bytes in total");
    };
    // Every path the archive creates, and whether it is a folder.
    std::unordered_map<std::string, bool> claimed;
    auto claimFolder = [&](std::string path) -> Result<void> {
        auto [place, inserted] = claimed.try_emplace(path, true);
        if (!place->second)
            return Error("\"" + path + "\" is both a file and a folder in the archive");
        if (!inserted)
            return {};
        if (plan.folders.size() >= limits.maxFolders)
            return Error(
                "the archive makes more than " + std::to_string(limits.maxFolders) + " folders");
        if (addOverflows(total, folderBytes) || total > allowedTotal)
            return tooMuch();
        plan.folders.push_back(std::move(path));
        return {};
    };

    for (std::size_t index = 0; index < entries.size(); ++index) {
        const ArchiveEntry& entry = entries[index];
        if (entry.kind == EntryKind::symbolicLink)
            return Error(quoted(entry.name) + " is a symbolic link");
        if (entry.kind == EntryKind::special)
            return Error(quoted(entry.name) + " is a device, pipe or socket, not a file");
        auto path = TRY(checkEntryName(entry.name));
        // Checked before the folders are claimed, so a path of a thousand levels costs nothing.
        if (std::size_t(std::count(path.begin(), path.end(), '/')) >= limits.maxDepth)
            return Error(quoted(entry.name) + " lies more than " + std::to_string(limits.maxDepth)
                + " levels deep");

        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            TRY(claimFolder(path.substr(0, slash)));
        }
        if (entry.kind == EntryKind::folder) {
            if (path.empty())
                continue;
            TRY(claimFolder(path));
            continue;
        }

        if (path.empty())
            return Error(quoted(entry.name) + " names no file");
        auto [place, inserted] = claimed.try_emplace(path, false);
        if (!inserted)
            return Error("\"" + path
                + (place->second ? "\" is both a file and a folder in the archive"
                                 : "\" is named twice in the archive"));
        if (entry.size > limits.ratioCheckedAbove
            && (entry.compressedSize == 0 || entry.size / entry.compressedSize > limits.maxRatio))
            return Error(quoted(entry.name) + " would inflate "
                + std::to_string(entry.compressedSize) + " bytes to " + std::to_string(entry.size)
                + ", past the allowed ratio");
        if (addOverflows(total, entry.size) || total > allowedTotal)
            return tooMuch();
        plan.files.push_back({ index, std::move(path), entry.size });
    }

    TRY(checkNoOverlap(entries));

    // Each file may take one block more than its bytes; the folders' blocks are in the total.
    std::uint64_t items = plan.folders.size() + plan.files.size();
    std::uint64_t needed = total;
    std::uint64_t slack = 0;
    if (__builtin_mul_overflow(std::uint64_t(plan.files.size()), space.blockSize, &slack)
        || addOverflows(needed, slack))
        needed = std::numeric_limits<std::uint64_t>::max();
    if (needed > space.bytes)
        return Error("the archive needs " + std::to_string(needed)
            + " bytes but the destination's disk has " + std::to_string(space.bytes) + " free");
    if (items > space.files)
        return Error("the archive holds " + std::to_string(items)
            + " files and folders but the destination's disk has room for "
            + std::to_string(space.files));
    return plan;
}

}
