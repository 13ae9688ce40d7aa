// ImageRegistry: the images the view tree references, by the id the browser fetches them under.
// It holds them weakly: an image no view shows any more can no longer be fetched. The id is a
// digest of the picture's bytes, so a cover read again for a row that scrolls back into view has
// the same address and the browser's cache serves it.
#pragma once

#include "platform/ui/Image.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace host {

class ImageRegistry {
public:
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

    std::size_t size() const;

private:
    struct Entry {
        std::weak_ptr<ui::Image> image;
        const ui::Image* address = nullptr;
        // Encoded here when the image came as a bitmap; for an encoded image its own bytes are
        // served, taken from it only while it lives.
        std::shared_ptr<const std::string> encoded;
        std::string mimeType;
    };

    void pruneExpired();

    mutable std::mutex m_lock;
    std::unordered_map<std::string, Entry> m_byId;
    std::unordered_map<const ui::Image*, std::string> m_idByImage;
    std::size_t m_pruneAt = 256;
};

}
