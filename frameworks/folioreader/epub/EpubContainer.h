// EpubContainer: one book opened for reading, a zip archive or an unpacked folder, giving the
// bytes of its entries by exact name, bounded in size and confined to the book.
#pragma once

#include "platform/foundation/Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct stat;

namespace ziparchive {
class ZipReader;
}

namespace folioreader {

// What tells one version of a file from another without reading it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;

    static FileIdentity of(const struct stat& status);
    bool operator==(const FileIdentity&) const = default;
};

class EpubContainer {
public:
    // Opens the book at path: a zip archive (read-only) or a folder. The error names the path and
    // what failed ("not a zip archive", "empty file", ...).
    static foundation::Result<EpubContainer> open(const std::string& path);

    EpubContainer(EpubContainer&&) noexcept;
    EpubContainer& operator=(EpubContainer&&) noexcept;
    ~EpubContainer();

    const std::string& path() const { return m_path; }
    bool isFolder() const { return !m_archive; }
    // The identity of the item itself, taken when it was opened.
    const FileIdentity& identity() const { return m_identity; }

    // The bytes of the entry of that exact name (made by resolveEntryName), at most limit bytes.
    // When given, identity receives the identity of the file that was read: the entry's own file
    // in a folder, the archive in a zip. The error reads "\"<path>\": <label> is missing" and the
    // like, label defaulting to the name.
    foundation::Result<std::string> read(const std::string& name, std::size_t limit,
        const std::string& label = {}, FileIdentity* identity = nullptr) const;

    // Whether the book is a folder with nothing in it.
    bool isEmptyFolder() const;

    // The error "\"<path>\": <what>" for this book.
    foundation::Error error(const std::string& what) const;

private:
    EpubContainer();
    foundation::Result<std::string> readFromArchive(
        const std::string& name, std::size_t limit, const std::string& label) const;
    foundation::Result<std::string> readFromFolder(const std::string& name, std::size_t limit,
        const std::string& label, FileIdentity* identity) const;

    std::string m_path;
    std::string m_canonicalRoot;
    FileIdentity m_identity;
    std::unique_ptr<ziparchive::ZipReader> m_archive;
};

// The identities that tell whether a book's metadata may have changed since they were taken: the
// item's own for a zip; for a folder also its container.xml and its package document's. Nothing
// when one of them cannot be read.
std::optional<std::vector<FileIdentity>> currentStamp(const std::string& path,
    const std::string& packageName, const struct stat* itemStatus = nullptr);

}
