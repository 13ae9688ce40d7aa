// KeptProgress: how far each book has been read, as the library's rows show it. The reading
// places are read once and again only when their file changes, so a row costs a look at the
// file's stamp, not a reading of every book's place.
#pragma once

#include "frameworks/folioreader/stores/ReadingPlaces.h"

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

namespace folioreader {

class KeptProgress {
public:
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
    std::string m_storePath;
    Stamp m_stamp;
    std::map<std::string, BookProgress> m_progress;
};

// The words a row says of the progress: "12% read" or "finished". A book begun shows at most
// 99% until its last screen is reached.
std::string progressWords(const BookProgress& progress);

}
