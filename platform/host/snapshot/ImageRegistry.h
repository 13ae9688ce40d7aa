// ImageRegistry: the images the view tree references, by the id the browser fetches them under.
// The id is this registry's random key followed by a digest of the picture's bytes: the key makes
// the address unguessable, so it is the picture's own credential (an <img> cannot send the
// launch's token), and good for pictures only; the digest gives a cover read again for a row that
// scrolls back into view the same address, so the browser's cache serves it.
//
// An id stays served as long as a page may still ask for it. A page draws rows from answers that
// left the host before the view tree moved on (its last answer, a look ahead kept undrawn, one on
// its way), while the table's cells are reused for other rows at once; so the registry keeps the
// bytes of the pictures it handed out last (keptPictures ids, keptBytes bytes), besides every
// picture the view tree still shows, and forgets the oldest beyond that.
#pragma once

#include "platform/ui/Image.h"

#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace host {

class ImageRegistry {
public:
    // Far more than a page's rows in one answer, times the answers a page may hold; a row's cover
    // is a few kilobytes, so their bytes stay small.
    static constexpr std::size_t keptPictures = 4096;
    static constexpr std::size_t keptBytes = 16 * 1024 * 1024;
    // The most bytes a picture asked for at a size may be sent as it is; a larger one is scaled.
    static constexpr std::size_t largestServedAsItIs = 256 * 1024;

    ImageRegistry();

    // The bytes and media type of a served image.
    struct Picture {
        std::shared_ptr<const std::string> bytes;
        std::string mimeType;
    };

    // Registers the image and answers its id; nothing for an image that has neither bytes nor
    // pixels. Main thread (while a snapshot is taken).
    std::optional<std::string> idFor(const std::shared_ptr<ui::Image>& image);
    // The picture of an id handed out and not forgotten. Any thread.
    std::optional<Picture> find(const std::string& id) const;
    // The same picture for showing with its shorter side at most `side` pixels: a larger one is
    // scaled down and served as PNG, made once per id and side; one that cannot be decoded is a
    // blank square. Only a picture known to be that small, in few bytes, is served as it is. Any
    // thread; the scaling runs outside the lock.
    std::optional<Picture> find(const std::string& id, int side) const;

    std::size_t size() const;

private:
    struct Entry {
        // The view tree's picture while it shows it: never forgotten meanwhile.
        std::weak_ptr<ui::Image> image;
        const ui::Image* address = nullptr;
        // The encoded picture (a bitmap encoded here as PNG), kept after the image is gone.
        std::shared_ptr<const std::string> bytes;
        std::string mimeType;
        int shorterSide = 0;
        // Scaled-down copies by the side they were made for.
        std::map<int, std::shared_ptr<const std::string>> thumbnails;
        std::list<std::string>::iterator recency;
    };

    // Marks the entry as the one handed out or fetched last. Under the lock.
    void touch(Entry& entry) const;
    // Forgets the pictures handed out longest ago, beyond what is kept. Under the lock.
    void forgetOldest();

    mutable std::mutex m_lock;
    mutable std::unordered_map<std::string, Entry> m_byId;
    std::unordered_map<const ui::Image*, std::string> m_idByImage;
    // Ids, the one handed out or fetched last first.
    mutable std::list<std::string> m_recency;
    mutable std::size_t m_bytes = 0;
    // 16 random hex digits, the first half of every id.
    const std::string m_key;
};

}
