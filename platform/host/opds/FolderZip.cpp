// The folder book's zip: planned from a walk with openat, sent entry by entry for the range asked,
// each entry's checksum taken in a first read of its file just before its header is written.
#include "platform/host/opds/FolderZip.h"

#include "platform/foundation/Digest.h"
#include "platform/foundation/ZipRecords.h"
#include "platform/text/UTF8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace host {

namespace {

constexpr const char* mimetypeName = "mimetype";
constexpr std::string_view mimetypeBytes = "application/epub+zip";
constexpr std::uint64_t largestPlainZip = 0xFFFFFFFFull;
constexpr std::size_t mostEntries = 0xFFFF;
namespace zip = foundation::zip;
constexpr std::size_t localHeaderSize = zip::localHeaderSize;
constexpr std::size_t centralHeaderSize = zip::directoryHeaderSize;
constexpr std::size_t endRecordSize = zip::endSize;
constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// 1980-01-01 00:00, the earliest a zip can say: the entries' dates are not the book's content,
// and a copy of the folder that did not keep its files' dates is sent as the same bytes.
constexpr std::uint16_t dosTime = 0;
constexpr std::uint16_t dosDate = (0 << 9) | (1 << 5) | 1;

using zip::append16;
using zip::append32;

// A header of an entry, local or central, for a stored file.
std::string header(bool central, const std::string& name, std::uint32_t crc, std::uint32_t size,
    std::uint32_t offset)
{
    std::string out;
    append32(out, central ? zip::directoryHeaderSignature : zip::localHeaderSignature);
    if (central)
        append16(out, (3 << 8) | 20); // made on Unix
    append16(out, 10); // needs version 1.0: stored
    append16(out, text::isUTF8(name) ? zip::utf8NameFlag : 0);
    append16(out, 0); // stored
    append16(out, dosTime);
    append16(out, dosDate);
    append32(out, crc);
    append32(out, size);
    append32(out, size);
    append16(out, static_cast<std::uint32_t>(name.size()));
    append16(out, 0); // no extra field
    if (central) {
        append16(out, 0); // no comment
        append16(out, 0); // disk 0
        append16(out, 0); // internal attributes
        append32(out, 0100644u << 16); // a plain file, readable by all
        append32(out, offset);
    }
    return out + name;
}

// Opens a file below the folder, each component without following a link.
foundation::FileDescriptor openBelow(int folder, const std::string& name)
{
    foundation::FileDescriptor current;
    int at = folder;
    std::size_t start = 0;
    for (std::size_t slash; (slash = name.find('/', start)) != std::string::npos;
         start = slash + 1) {
        foundation::FileDescriptor next(
            ::openat(at, name.substr(start, slash - start).c_str(), folderFlags));
        if (!next.isOpen())
            return {};
        current = std::move(next);
        at = current.get();
    }
    return foundation::FileDescriptor(
        ::openat(at, name.substr(start).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

struct FoundFile {
    std::string name;
    std::uint64_t size;
    std::int64_t modified; // nanoseconds since 1970
};

// Every regular file below the folder, depth first, in name order so the same folder gives the
// same file; links and devices are passed over.
foundation::Result<void> walk(
    int folder, const std::string& prefix, std::vector<FoundFile>& found, int depth)
{
    if (depth > 64)
        return foundation::Error("its folders are nested too deeply");
    int copy = ::openat(folder, ".", folderFlags);
    DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        return foundation::Error(
            prefix.empty() ? "the book's folder cannot be read" : prefix + " cannot be read");
    }
    std::vector<std::string> names;
    while (auto* item = ::readdir(listing)) {
        std::string name = item->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    for (auto& name : names) {
        struct stat status { };
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(status.st_mode)) {
            if (!(prefix.empty() && name == mimetypeName))
                found.push_back({ prefix + name, std::uint64_t(status.st_size),
                    std::int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec });
        } else if (S_ISDIR(status.st_mode)) {
            foundation::FileDescriptor inner(::openat(folder, name.c_str(), folderFlags));
            if (!inner.isOpen())
                continue;
            if (auto walked = walk(inner.get(), prefix + name + "/", found, depth + 1); !walked)
                return walked;
        }
    }
    return {};
}

// The checksum of an entry's file, read whole.
std::optional<std::uint32_t> checksum(int file, std::uint64_t size, std::vector<char>& buffer)
{
    std::uint32_t crc = crc32(0, nullptr, 0);
    for (std::uint64_t at = 0; at < size; at += buffer.size()) {
        auto part = std::min<std::uint64_t>(buffer.size(), size - at);
        if (!foundation::readAllAt(file, buffer.data(), part, at))
            return std::nullopt;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), uInt(part));
    }
    return crc;
}

}

foundation::Result<FolderZip> FolderZip::plan(const std::string& folder)
{
    FolderZip zip;
    zip.m_folder
        = std::make_shared<foundation::FileDescriptor>(::open(folder.c_str(), folderFlags));
    if (!zip.m_folder->isOpen())
        return foundation::Error(
            "the book's folder cannot be read: " + std::string(std::strerror(errno)));
    std::vector<FoundFile> found;
    if (auto walked = walk(zip.m_folder->get(), "", found, 0); !walked)
        return walked.error();
    if (found.size() + 1 > mostEntries)
        return foundation::Error("the book holds too many files to send");
    zip.m_entries.push_back({ mimetypeName, mimetypeBytes.size(), 0 });
    foundation::Digest stamp;
    std::uint64_t offset = 0;
    for (auto& file : found) {
        stamp.addLengthOf(file.name).add(file.name);
        for (auto number : { file.size, std::uint64_t(file.modified) })
            stamp.add(std::string_view(reinterpret_cast<const char*>(&number), sizeof number));
        zip.m_modified = std::max(zip.m_modified, file.modified);
        zip.m_entries.push_back({ std::move(file.name), file.size, 0 });
    }
    for (auto& entry : zip.m_entries) {
        entry.offset = offset;
        offset += localHeaderSize + entry.name.size() + entry.size;
    }
    zip.m_centralOffset = offset;
    for (auto& entry : zip.m_entries)
        offset += centralHeaderSize + entry.name.size();
    offset += endRecordSize;
    if (offset > largestPlainZip)
        return foundation::Error("the book is too large to send");
    zip.m_size = offset;
    zip.m_stamp = stamp.value();
    return zip;
}

bool FolderZip::send(std::uint64_t from, std::uint64_t length, const Write& write) const
{
    const std::uint64_t end = std::min(m_size, from + std::min(length, m_size));
    // Writes what of the piece that stands at the offset falls in the range.
    auto emit = [&](std::uint64_t at, const char* bytes, std::uint64_t size) {
        auto first = std::max(at, from), last = std::min(at + size, end);
        return first >= last || write(bytes + (first - at), last - first);
    };
    const bool sendsCentral = end > m_centralOffset;
    std::vector<char> buffer(64 * 1024);
    std::string central;
    for (auto& entry : m_entries) {
        const std::uint64_t dataAt = entry.offset + localHeaderSize + entry.name.size();
        const std::uint64_t dataEnd = dataAt + entry.size;
        const bool sendsHeader = from < dataAt && end > entry.offset;
        const bool sendsData = from < dataEnd && end > dataAt && entry.size > 0;
        if (!sendsHeader && !sendsData && !sendsCentral)
            continue;
        const bool isMimetype = &entry == &m_entries.front();
        foundation::FileDescriptor file;
        if (!isMimetype) {
            file = openBelow(m_folder->get(), entry.name);
            struct stat status { };
            if (!file.isOpen() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)
                || std::uint64_t(status.st_size) != entry.size)
                return false;
        }
        std::optional<std::uint32_t> crc;
        if (sendsHeader || sendsCentral) {
            crc = isMimetype
                ? crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(mimetypeBytes.data()),
                    uInt(mimetypeBytes.size()))
                : checksum(file.get(), entry.size, buffer);
            if (!crc)
                return false;
        }
        auto size = static_cast<std::uint32_t>(entry.size);
        auto offset = static_cast<std::uint32_t>(entry.offset);
        if (sendsCentral)
            central += header(true, entry.name, *crc, size, offset);
        if (sendsHeader) {
            auto local = header(false, entry.name, *crc, size, offset);
            if (!emit(entry.offset, local.data(), local.size()))
                return false;
        }
        if (!sendsData)
            continue;
        if (isMimetype) {
            if (!emit(dataAt, mimetypeBytes.data(), mimetypeBytes.size()))
                return false;
            continue;
        }
        const std::uint64_t first = std::max(from, dataAt) - dataAt,
                            last = std::min(end, dataEnd) - dataAt;
        std::uint32_t again = crc32(0, nullptr, 0);
        for (std::uint64_t at = first; at < last; at += buffer.size()) {
            auto part = std::min<std::uint64_t>(buffer.size(), last - at);
            if (!foundation::readAllAt(file.get(), buffer.data(), part, at))
                return false;
            again = crc32(again, reinterpret_cast<const Bytef*>(buffer.data()), uInt(part));
            if (!write(buffer.data(), part))
                return false;
        }
        // Changed between the two reads: what was sent does not match its header.
        if (crc && first == 0 && last == entry.size && again != *crc)
            return false;
    }
    if (!sendsCentral)
        return true;
    std::string record;
    append32(record, zip::endSignature);
    append16(record, 0);
    append16(record, 0);
    append16(record, static_cast<std::uint32_t>(m_entries.size()));
    append16(record, static_cast<std::uint32_t>(m_entries.size()));
    append32(record, static_cast<std::uint32_t>(central.size()));
    append32(record, static_cast<std::uint32_t>(m_centralOffset));
    append16(record, 0);
    return emit(m_centralOffset, central.data(), central.size())
        && emit(m_centralOffset + central.size(), record.data(), record.size());
}

}
