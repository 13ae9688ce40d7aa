// Reading the reading places again only when this program wrote them or their file's stamp
// changed.
#include "frameworks/folioreader/stores/KeptProgress.h"

#include "platform/foundation/releaseLargeBlocks.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace folioreader {

namespace {

// A places file this large is worth giving the memory of its reading back.
constexpr off_t largeFile = 1 << 20;

}

bool KeptProgress::Stamp::operator==(const Stamp& other) const
{
    return device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

std::optional<BookProgress> KeptProgress::of(const std::string& storePath, const std::string& book)
{
    // Read before the look: a write after it counts past it, and the next row looks again.
    auto writes = readingPlacesWrites();
    auto now = std::chrono::steady_clock::now();
    bool seen = storePath == m_storePath && writes == m_writes && m_lookedAt
        && now - *m_lookedAt < m_lookAgainAfter;
    if (!seen) {
        m_writes = writes;
        m_lookedAt = now;
        struct stat status { };
        Stamp stamp;
        if (::stat(storePath.c_str(), &status) == 0)
            stamp = { status.st_dev, status.st_ino, status.st_size, status.st_mtim };
        if (storePath != m_storePath || !(stamp == m_stamp)) {
            // A file replaced between the look and the reading is read again at the next look.
            m_progress.clear();
            if (stamp.size >= 0) {
                auto read = readingProgress(storePath);
                m_progress.reserve(read.size());
                for (auto& [book, progress] : read)
                    m_progress.emplace_back(book, progress);
            }
            // The file's bytes (5 MB for 50,000 places) and the map's nodes, freed among other
            // blocks, are given back rather than kept resident.
            if (stamp.size >= largeFile)
                foundation::releaseFreedMemory();
            m_storePath = storePath;
            m_stamp = stamp;
        }
    }
    // Read from a map, so sorted by name.
    auto found = std::lower_bound(m_progress.begin(), m_progress.end(), book,
        [](const auto& entry, const std::string& name) { return entry.first < name; });
    if (found == m_progress.end() || found->first != book)
        return std::nullopt;
    return found->second;
}

std::string progressWords(const BookProgress& progress)
{
    if (progress.finished)
        return "finished";
    auto percent = std::clamp(int(std::floor(progress.progress * 100)), 0, 99);
    return std::to_string(percent) + "% read";
}

}
