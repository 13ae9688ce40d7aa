// ImageRegistry: the images the view tree references, by the id the browser fetches them under.
// It holds them weakly: an image no view shows any more can no longer be fetched. The id is this
// registry's random key followed by a digest of the picture's bytes: the key makes the address
// unguessable, so it is the picture's own credential (an <img> cannot send the launch's token),
// and good for pictures only; the digest gives a cover read again for a row that scrolls back
// into view the same address, so the browser's cache serves it.
#pragma once

#include "platform/ui/Image.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace host {

class ImageRegistry {
public:
    ImageRegistry();

    // The bytes and media type of a served image.
    struct Picture {
        std::shared_ptr<const std::string> bytes;
        std::string mimeType;
    };

    // Registers the image and answers its id; nothing for an image that has neither bytes nor
    // pixels. Main thread (while a snapshot is taken).
    std::optional<std::string> idFor(const std::shared_ptr<ui::Image>& image);
    // The picture of a registered image that something still holds. Any thread.
    std::optional<Picture> find(const std::string& id) const;
    // The same picture for showing with its shorter side at most `side` pixels: a larger one is
    // scaled down and served as PNG, made once per id and side. A picture already that small, or
    // one that cannot be decoded, is served as it is. Any thread; the scaling runs outside the lock.
    std::optional<Picture> find(const std::string& id, int side) const;

    std::size_t size() const;

private:
    struct Entry {
        std::weak_ptr<ui::Image> image;
        const ui::Image* address = nullptr;
        // Encoded here when the image came as a bitmap; for an encoded image its own bytes are
        // served, taken from it only while it lives.
        std::shared_ptr<const std::string> encoded;
        std::string mimeType;
        // Scaled-down copies by the side they were made for.
        std::map<int, std::shared_ptr<const std::string>> thumbnails;
    };

    void pruneExpired();

    mutable std::mutex m_lock;
    mutable std::unordered_map<std::string, Entry> m_byId;
    std::unordered_map<const ui::Image*, std::string> m_idByImage;
    std::size_t m_pruneAt = 256;
    // 16 random hex digits, the first half of every id.
    const std::string m_key;
};

}
