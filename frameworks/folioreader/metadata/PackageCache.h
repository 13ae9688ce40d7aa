// PackageCache: the last few parsed package documents, by book path, each with the stamp of the
// files it was read from, so that the title, the author and the cover of one book parse it once.
#pragma once

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/epub/PackageDocument.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace folioreader {

class PackageCache {
public:
    struct Entry {
        std::string path;
        std::vector<FileIdentity> stamp;
        std::shared_ptr<const PackageDocument> package;
    };

    explicit PackageCache(std::size_t capacity)
        : m_capacity(capacity)
    {
    }

    // The entry for path, whatever its stamp; the caller checks the stamp against the files.
    std::optional<Entry> find(const std::string& path) const;
    // Keeps the entry, replacing one of the same path and dropping the least recently stored
    // beyond the capacity.
    void store(Entry entry);
    void clear();

private:
    // Callers may come from more than one thread (a host thread asking for covers).
    mutable std::mutex m_mutex;
    std::size_t m_capacity;
    std::vector<Entry> m_entries; // most recently stored last
};

}
