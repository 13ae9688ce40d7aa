// KeptProgress: how far each book has been read, as the library's rows show it. The reading
// places are read once and again only when their file changes: at once when this program wrote
// it (readingPlacesWrites), and when another did, seen by the file's stamp, looked at no more
// often than lookAgainAfter, so drawing a screen of rows costs no look at the file per row.
#pragma once

#include "frameworks/folioreader/stores/ReadingPlaces.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace folioreader {

class KeptProgress {
public:
    explicit KeptProgress(std::chrono::milliseconds lookAgainAfter = std::chrono::seconds(1))
        : m_lookAgainAfter(lookAgainAfter)
    {
    }

    // The progress kept for the book (its item name) in the reading places at storePath.
    std::optional<BookProgress> of(const std::string& storePath, const std::string& book);

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified {};
        bool operator==(const Stamp& other) const;
    };
    std::chrono::milliseconds m_lookAgainAfter;
    std::string m_storePath;
    std::uint64_t m_writes = 0;
    std::optional<std::chrono::steady_clock::time_point> m_lookedAt;
    Stamp m_stamp;
    // By book name, sorted: one block, half what a map's nodes take for 50,000 books.
    std::vector<std::pair<std::string, BookProgress>> m_progress;
};

// The words a row says of the progress: "12% read" or "finished". A book begun shows at most
// 99% until its last screen is reached.
std::string progressWords(const BookProgress& progress);

}
