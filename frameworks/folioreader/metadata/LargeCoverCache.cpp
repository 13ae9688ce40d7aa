// The large covers kept in memory, looked up by path and checked against their files' stamp.
#include "frameworks/folioreader/metadata/LargeCoverCache.h"

#include "platform/ui/BitmapScaling.h"
#include "platform/ui/ImageCodec.h"

#include <algorithm>
#include <cmath>

namespace folioreader {

namespace {

constexpr std::size_t keptUndecodedSize = 512 * 1024;

}

foundation::Result<std::shared_ptr<ui::Image>> pictureWithin(
    const std::shared_ptr<ui::Image>& image, int side)
{
    const int longer = std::max(image->pixelWidth(), image->pixelHeight());
    const int shorter = std::min(image->pixelWidth(), image->pixelHeight());
    if (longer <= side)
        return image;
    // The shorter side once the longer is side pixels; a JPEG decodes at the smallest reduction
    // that still reaches it, so a huge picture never costs its full size in memory.
    const int target = std::max(1, static_cast<int>(std::floor(double(shorter) * side / longer)));
    auto decoded = ui::decodePicture(image->data(), image->mimeType(), target);
    // A kind only the browser decodes is sent as it is while it is small in bytes.
    if (!decoded && image->data().size() <= keptUndecodedSize)
        return image;
    if (!decoded)
        return foundation::Error("the cover cannot be decoded to be made smaller");
    auto scaled = ui::scaledToCover(*decoded, target);
    if (std::max(scaled.width, scaled.height) > side)
        return foundation::Error("the cover cannot be made smaller");
    auto png = ui::encodePng(scaled);
    if (!png)
        return png.error();
    return ui::Image::withData(std::move(*png));
}

foundation::Result<std::shared_ptr<ui::Image>> LargeCoverCache::cover(
    const std::string& path, const CoverReader& read)
{
    {
        std::lock_guard lock(m_lock);
        auto kept = std::find_if(
            m_kept.begin(), m_kept.end(), [&](const Kept& each) { return each.path == path; });
        if (kept != m_kept.end()) {
            Kept found = std::move(*kept);
            m_kept.erase(kept);
            if (coverStamp(path, found.origin) == found.stamp) {
                auto image = found.image;
                m_kept.push_back(std::move(found));
                if (!image)
                    return foundation::Error("\"" + path + "\": no cover");
                return image;
            }
        }
    }
    CoverOrigin origin;
    auto picture = read(origin);
    if (!picture && !origin.bookHasNone)
        return picture; // the book could not be read now: nothing is known to keep
    std::shared_ptr<ui::Image> image;
    if (picture) {
        auto within = pictureWithin(*picture, largeCoverSide);
        if (!within)
            return within;
        image = *within;
    }
    if (auto stamp = coverStamp(path, origin)) {
        std::lock_guard lock(m_lock);
        if (m_kept.size() >= mostKept)
            m_kept.pop_front();
        m_kept.push_back({ path, std::move(*stamp), std::move(origin), image });
    }
    if (!image)
        return picture;
    return image;
}

}
