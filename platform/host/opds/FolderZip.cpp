// The folder book's zip: planned from a walk with openat, streamed entry by entry, each entry's
// checksum taken in a first read of its file just before its header is written.
#include "platform/host/opds/FolderZip.h"

#include "platform/foundation/ZipRecords.h"
#include "platform/text/UTF8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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
// 1980-01-01 00:00, the earliest a zip can say: the entries' dates are not the book's content.
constexpr std::uint16_t dosTime = 0;
constexpr std::uint16_t dosDate = (0 << 9) | (1 << 5) | 1;

void put16(std::string& out, std::uint32_t value)
{
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// A header of an entry, local or central, for a stored file.
std::string header(bool central, const std::string& name, std::uint32_t crc, std::uint32_t size, std::uint32_t offset)
{
    std::string out;
    put32(out, central ? zip::directoryHeaderSignature : zip::localHeaderSignature);
    if (central)
        put16(out, (3 << 8) | 20); // made on Unix
    put16(out, 10); // needs version 1.0: stored
    put16(out, text::isUTF8(name) ? zip::utf8NameFlag : 0);
    put16(out, 0); // stored
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, crc);
    put32(out, size);
    put32(out, size);
    put16(out, static_cast<std::uint32_t>(name.size()));
    put16(out, 0); // no extra field
    if (central) {
        put16(out, 0); // no comment
        put16(out, 0); // disk 0
        put16(out, 0); // internal attributes
        put32(out, 0100644u << 16); // a plain file, readable by all
        put32(out, offset);
    }
    return out + name;
}

// Opens a file below the folder, each component without following a link.
foundation::FileDescriptor openBelow(int folder, const std::string& name)
{
    foundation::FileDescriptor current;
    int at = folder;
    std::size_t start = 0;
    for (std::size_t slash; (slash = name.find('/', start)) != std::string::npos; start = slash + 1) {
        foundation::FileDescriptor next(::openat(at, name.substr(start, slash - start).c_str(), folderFlags));
        if (!next.isOpen())
            return {};
        current = std::move(next);
        at = current.get();
    }
    return foundation::FileDescriptor(::openat(at, name.substr(start).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

// Every regular file below the folder, depth first, in name order so the same folder gives the
// same file; links and devices are passed over.
foundation::Result<void> walk(int folder, const std::string& prefix, std::vector<std::pair<std::string, std::uint64_t>>& found,
    int depth)
{
    if (depth > 64)
        return foundation::Error("its folders are nested too deeply");
    int copy = ::openat(folder, ".", folderFlags);
    DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        return foundation::Error(prefix.empty() ? "the book's folder cannot be read" : prefix + " cannot be read");
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
        struct stat status {};
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(status.st_mode)) {
            if (!(prefix.empty() && name == mimetypeName))
                found.emplace_back(prefix + name, std::uint64_t(status.st_size));
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

}

foundation::Result<FolderZip> FolderZip::plan(const std::string& folder)
{
    FolderZip zip;
    zip.m_folder = std::make_shared<foundation::FileDescriptor>(::open(folder.c_str(), folderFlags));
    if (!zip.m_folder->isOpen())
        return foundation::Error("the book's folder cannot be read: " + std::string(std::strerror(errno)));
    std::vector<std::pair<std::string, std::uint64_t>> found;
    if (auto walked = walk(zip.m_folder->get(), "", found, 0); !walked)
        return walked.error();
    zip.m_entries.push_back({ mimetypeName, mimetypeBytes.size() });
    for (auto& [name, size] : found)
        zip.m_entries.push_back({ std::move(name), size });
    if (zip.m_entries.size() > mostEntries)
        return foundation::Error("the book holds too many files to send");
    std::uint64_t size = endRecordSize;
    for (auto& entry : zip.m_entries)
        size += localHeaderSize + centralHeaderSize + 2 * entry.name.size() + entry.size;
    if (size > largestPlainZip)
        return foundation::Error("the book is too large to send");
    zip.m_size = size;
    return zip;
}

bool FolderZip::stream(const std::function<bool(const char*, std::size_t)>& write) const
{
    constexpr std::size_t chunk = 64 * 1024;
    std::vector<char> buffer(chunk);
    std::string central;
    std::uint32_t offset = 0;
    for (auto& entry : m_entries) {
        const bool isMimetype = &entry == &m_entries.front();
        foundation::FileDescriptor file;
        std::uint32_t crc = crc32(0, nullptr, 0);
        if (isMimetype) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(mimetypeBytes.data()), uInt(mimetypeBytes.size()));
        } else {
            file = openBelow(m_folder->get(), entry.name);
            struct stat status {};
            if (!file.isOpen() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)
                || std::uint64_t(status.st_size) != entry.size)
                return false;
            for (std::uint64_t at = 0; at < entry.size; at += chunk) {
                auto part = std::min<std::uint64_t>(chunk, entry.size - at);
                if (!foundation::readAllAt(file.get(), buffer.data(), part, at))
                    return false;
                crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), uInt(part));
            }
        }
        auto size = static_cast<std::uint32_t>(entry.size);
        auto local = header(false, entry.name, crc, size, offset);
        central += header(true, entry.name, crc, size, offset);
        if (!write(local.data(), local.size()))
            return false;
        if (isMimetype) {
            if (!write(mimetypeBytes.data(), mimetypeBytes.size()))
                return false;
        } else {
            std::uint32_t again = crc32(0, nullptr, 0);
            for (std::uint64_t at = 0; at < entry.size; at += chunk) {
                auto part = std::min<std::uint64_t>(chunk, entry.size - at);
                if (!foundation::readAllAt(file.get(), buffer.data(), part, at))
                    return false;
                again = crc32(again, reinterpret_cast<const Bytef*>(buffer.data()), uInt(part));
                if (!write(buffer.data(), part))
                    return false;
            }
            // Changed between the two reads: what was sent does not match its header.
            if (again != crc)
                return false;
        }
        offset += static_cast<std::uint32_t>(local.size() + entry.size);
    }
    std::string end;
    put32(end, zip::endSignature);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<std::uint32_t>(m_entries.size()));
    put16(end, static_cast<std::uint32_t>(m_entries.size()));
    put32(end, static_cast<std::uint32_t>(central.size()));
    put32(end, offset);
    put16(end, 0);
    return write(central.data(), central.size()) && write(end.data(), end.size());
}

}
