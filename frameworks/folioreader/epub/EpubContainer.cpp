// EpubContainer: ZipReader for archives, POSIX calls for folders; every read is bounded.
#include "frameworks/folioreader/epub/EpubContainer.h"

#include "frameworks/folioreader/epub/PackageDocument.h"
#include "frameworks/ziparchive/ZipReader.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folioreader {

using ziparchive::ZipReader;

using foundation::Error;
using foundation::Result;

namespace {

std::string sizeText(std::size_t bytes)
{
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

// Reads from descriptor until end of file, failing once more than limit bytes arrive: a file can
// grow after its size was looked at.
bool readBounded(
    int descriptor, std::size_t expected, std::size_t limit, std::string& bytes, bool& tooLarge)
{
    bytes.resize(std::min(expected, limit) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit) {
                tooLarge = true;
                return false;
            }
            bytes.resize(std::min(bytes.size() * 2, limit + 1));
        }
        ssize_t count = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (count == 0)
            break;
        filled += std::size_t(count);
    }
    bytes.resize(filled);
    return true;
}

}

FileIdentity FileIdentity::of(const struct stat& status)
{
    return FileIdentity { std::uint64_t(status.st_dev), std::uint64_t(status.st_ino),
        std::int64_t(status.st_size), std::int64_t(status.st_mtim.tv_sec),
        std::int64_t(status.st_mtim.tv_nsec), std::int64_t(status.st_ctim.tv_sec),
        std::int64_t(status.st_ctim.tv_nsec) };
}

EpubContainer::EpubContainer() = default;
EpubContainer::EpubContainer(EpubContainer&&) noexcept = default;
EpubContainer& EpubContainer::operator=(EpubContainer&&) noexcept = default;
EpubContainer::~EpubContainer() = default;

Error EpubContainer::error(const std::string& what) const
{
    return Error("\"" + m_path + "\": " + what);
}

Result<EpubContainer> EpubContainer::open(const std::string& path)
{
    EpubContainer book;
    book.m_path = path;
    // Without O_NONBLOCK, opening a FIFO named like a book would wait for a writer forever.
    foundation::FileDescriptor descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!descriptor.isOpen())
        return foundation::fileError(path, errno);
    struct stat status { };
    if (::fstat(descriptor.get(), &status) != 0)
        return foundation::fileError(path, errno);
    book.m_identity = FileIdentity::of(status);

    if (S_ISDIR(status.st_mode)) {
        char* canonical = ::realpath(path.c_str(), nullptr);
        if (!canonical)
            return foundation::fileError(path, errno);
        book.m_canonicalRoot = canonical;
        std::free(canonical);
        return book;
    }
    if (!S_ISREG(status.st_mode))
        return book.error("neither a file nor a folder");
    if (status.st_size == 0)
        return book.error("empty file, not a zip archive");

    auto archive = ZipReader::open(std::move(descriptor), std::uint64_t(status.st_size));
    if (!archive)
        return book.error(archive.error().description());
    book.m_archive = std::make_unique<ZipReader>(std::move(*archive));
    return book;
}

Result<std::string> EpubContainer::read(const std::string& name, std::size_t limit,
    const std::string& label, FileIdentity* identity) const
{
    const std::string& what = label.empty() ? name : label;
    if (m_archive) {
        if (identity)
            *identity = m_identity;
        return readFromArchive(name, limit, what);
    }
    return readFromFolder(name, limit, what, identity);
}

Result<std::string> EpubContainer::readFromArchive(
    const std::string& name, std::size_t limit, const std::string& label) const
{
    const ZipReader::Entry* entry = m_archive->find(name);
    if (!entry)
        return error(label + " is missing");
    ZipReader::ReadFailure failure;
    auto bytes = m_archive->read(*entry, limit, failure);
    if (failure.tooLarge)
        return error(label + " is larger than " + sizeText(limit));
    if (!bytes)
        return error(label + " cannot be read: " + failure.text);
    return std::move(*bytes);
}

Result<std::string> EpubContainer::readFromFolder(const std::string& name, std::size_t limit,
    const std::string& label, FileIdentity* identity) const
{
    std::string full = m_path + "/" + name;
    // The canonical path shows where symbolic links lead; the entry must stay inside the book.
    char* canonical = ::realpath(full.c_str(), nullptr);
    if (!canonical) {
        int number = errno;
        if (number == ENOENT || number == ENOTDIR)
            return error(label + " is missing");
        return error(label + " cannot be read: " + std::strerror(number));
    }
    std::string target = canonical;
    std::free(canonical);
    if (target.compare(0, m_canonicalRoot.size(), m_canonicalRoot) != 0
        || target.size() <= m_canonicalRoot.size()
        || (target[m_canonicalRoot.size()] != '/' && m_canonicalRoot != "/"))
        return error(label + " lies outside the book");

    foundation::FileDescriptor descriptor(
        ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!descriptor.isOpen())
        return error(label + " cannot be read: " + std::strerror(errno));
    struct stat status { };
    if (::fstat(descriptor.get(), &status) != 0)
        return error(label + " cannot be read: " + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return error(label + " is not a file");
    if (std::uint64_t(status.st_size) > limit)
        return error(label + " is larger than " + sizeText(limit));
    if (identity)
        *identity = FileIdentity::of(status);

    std::string bytes;
    bool tooLarge = false;
    if (!readBounded(descriptor.get(), std::size_t(status.st_size), limit, bytes, tooLarge)) {
        if (tooLarge)
            return error(label + " is larger than " + sizeText(limit));
        return error(label + " cannot be read: " + std::strerror(errno));
    }
    return bytes;
}

bool EpubContainer::isEmptyFolder() const
{
    if (m_archive)
        return false;
    DIR* folder = ::opendir(m_path.c_str());
    if (!folder)
        return false;
    bool empty = true;
    while (dirent* entry = ::readdir(folder)) {
        std::string_view entryName = entry->d_name;
        if (entryName != "." && entryName != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(folder);
    return empty;
}

std::optional<std::vector<FileIdentity>> currentStamp(
    const std::string& path, const std::string& packageName, const struct stat* itemStatus)
{
    struct stat status { };
    // The status of a symbolic link (lstat) says nothing of what it points to.
    if (itemStatus && !S_ISLNK(itemStatus->st_mode))
        status = *itemStatus;
    else if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    std::vector<FileIdentity> stamp { FileIdentity::of(status) };
    if (!S_ISDIR(status.st_mode))
        return stamp;
    for (const std::string& name : { std::string(containerName), packageName }) {
        if (::stat((path + "/" + name).c_str(), &status) != 0)
            return std::nullopt;
        stamp.push_back(FileIdentity::of(status));
    }
    return stamp;
}

}
