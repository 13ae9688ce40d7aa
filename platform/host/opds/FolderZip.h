// FolderZip: a book kept as a folder, sent as an EPUB file made on the fly: a zip whose first
// entry is "mimetype", stored, then every file found below the folder, stored as it is. Written
// straight to the answer, never to disk; only regular files reached without a symbolic link are
// taken, so nothing outside the book's folder is ever sent.
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

    // Writes the archive through write, which answers false when the receiver is gone. False when
    // writing stopped, or a file changed since the plan (the receiver then gets a short answer,
    // which it takes for a failed download).
    bool stream(const std::function<bool(const char*, std::size_t)>& write) const;

private:
    struct Entry {
        std::string name; // as in the archive: relative, '/'-separated
        std::uint64_t size;
    };
    std::shared_ptr<foundation::FileDescriptor> m_folder;
    std::vector<Entry> m_entries;
    std::uint64_t m_size = 0;
};

}
