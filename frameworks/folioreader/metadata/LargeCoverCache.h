// LargeCoverCache: books' covers at the size a reading app shows one whole, at most largeCoverSide
// pixels on the longer side: made from the book when first asked for and kept in memory for the
// books asked for lately, while the files they came from keep their stamp.
#pragma once

#include "frameworks/folioreader/metadata/StoredCover.h"

#include <deque>
#include <mutex>

namespace folioreader {

inline constexpr int largeCoverSide = 600;

class LargeCoverCache {
public:
    // Covers are a few hundred kilobytes at most: a page of a reading app's catalog, and more.
    static constexpr std::size_t mostKept = 64;

    // The cover of the book at path, read through read when it is not kept; an error when the
    // book names none, or it cannot be read or made small. Any thread.
    foundation::Result<std::shared_ptr<ui::Image>> cover(
        const std::string& path, const CoverReader& read);

private:
    struct Kept {
        std::string path;
        std::string stamp;
        CoverOrigin origin;
        std::shared_ptr<ui::Image> image; // nullptr: the book has none
    };
    std::mutex m_lock;
    std::deque<Kept> m_kept; // the latest asked for last
};

// The picture with its longer side at most side pixels: the picture itself when it is that small,
// else decoded (a JPEG at a reduced size) and scaled down as PNG; an error when it cannot be.
foundation::Result<std::shared_ptr<ui::Image>> pictureWithin(
    const std::shared_ptr<ui::Image>& image, int side);

}
