// FolderZip: a book kept as a folder, sent as an EPUB file made on the fly: a zip whose first
// entry is "mimetype", stored, then every file found below the folder in name order, stored as it
// is, all dated 1980-01-01. So the file is the same bytes at every request and after a restart
// while the folder's files hold the same bytes, its layout is known from the names and sizes
// alone, and any range of it can be sent without sending what comes before. Written straight to
// the answer, never to disk; only regular files reached without a symbolic link are taken, so
// nothing outside the book's folder is ever sent.
#pragma once

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

class FolderZip {
public:
    // The plan of the archive: names and sizes, as the folder holds them now. An error when the
    // folder cannot be read, or is too large for a plain zip (4 GiB, 65,535 files).
    static foundation::Result<FolderZip> plan(const std::string& folder);

    // The archive's length in bytes, which the answer announces.
    std::uint64_t size() const { return m_size; }
    // Names this version of the archive: it changes when a file is added, removed, resized or
    // modified. And the latest modification date of its files, in nanoseconds since 1970.
    std::uint64_t stamp() const { return m_stamp; }
    std::int64_t modified() const { return m_modified; }

    using Write = std::function<bool(const char*, std::size_t)>;
    // Writes length bytes of the archive from the offset through write, which answers false when
    // the receiver is gone. Each entry's checksum, which its header and the central directory
    // carry, is taken in a read of its file just before it is needed. False when writing
    // stopped, or a file changed since the plan (the receiver then gets a short answer, which it
    // takes for a failed download).
    bool send(std::uint64_t offset, std::uint64_t length, const Write& write) const;
    bool stream(const Write& write) const { return send(0, m_size, write); }

private:
    struct Entry {
        std::string name; // as in the archive: relative, '/'-separated
        std::uint64_t size;
        std::uint64_t offset; // of its local header
    };
    std::shared_ptr<foundation::FileDescriptor> m_folder;
    std::vector<Entry> m_entries;
    std::uint64_t m_centralOffset = 0;
    std::uint64_t m_size = 0;
    std::uint64_t m_stamp = 0;
    std::int64_t m_modified = 0;
};

}
