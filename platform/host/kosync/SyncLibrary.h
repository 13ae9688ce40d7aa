// SyncLibrary: what the progress sync for reading devices asks of the application, as plain data:
// which book of the library a device's document is, the place Pagewyn's own reader kept in it,
// and a place a device pushed for it. Called on the sync's worker threads: an implementation
// posts to the main loop what must run there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace host {

// A place in a book in the devices' terms.
struct SyncPlace {
    // An XPointer into the book, such as "/body/DocFragment[3]/body/p[7]/text().12".
    std::string progress;
    double percentage = 0;
    // When it was kept, in seconds since 1970.
    std::int64_t timestamp = 0;
};

class SyncLibrary {
public:
    virtual ~SyncLibrary() = default;

    // The item name of the library's book the document names (by the digest of its file's
    // samples, or of its file's name as the catalog sends it); nothing when no book matches.
    virtual std::optional<std::string> bookFor(const std::string& document) = 0;
    // The place Pagewyn's reader kept in the book, as the devices name places; nothing when
    // none is kept or it cannot be named.
    virtual std::optional<SyncPlace> keptPlace(const std::string& book) = 0;
    // A device pushed the place for the book: the reader opens there next.
    virtual void placePushed(
        const std::string& book, const SyncPlace& place, const std::string& device)
        = 0;
};

}
