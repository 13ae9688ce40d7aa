// The image registry, with ids made of its key and a digest of the pictures' bytes, and the
// pictures handed out last kept for the pages that still draw them.
#include "platform/host/snapshot/ImageRegistry.h"

#include "platform/foundation/Digest.h"
#include "platform/foundation/hexEncoded.h"
#include "platform/host/server/AccessToken.h"
#include "platform/ui/BitmapScaling.h"
#include "platform/ui/ImageCodec.h"

#include <algorithm>
#include <cstdint>

namespace host {

namespace {
std::string digest(const std::string& mimeType, const std::string& bytes)
{
    return foundation::hexEncoded(foundation::Digest().add(mimeType).add(bytes).value());
}
}

ImageRegistry::ImageRegistry()
    : m_key(makeAccessToken().substr(0, 16))
{
}

void ImageRegistry::touch(Entry& entry) const
{
    m_recency.splice(m_recency.begin(), m_recency, entry.recency);
}

std::optional<std::string> ImageRegistry::idFor(const std::shared_ptr<ui::Image>& image)
{
    if (!image)
        return std::nullopt;
    {
        std::lock_guard guard(m_lock);
        auto known = m_idByImage.find(image.get());
        if (known != m_idByImage.end()) {
            auto entry = m_byId.find(known->second);
            if (entry != m_byId.end() && entry->second.address == image.get()
                && entry->second.image.lock() == image) {
                touch(entry->second);
                return known->second;
            }
        }
    }

    // Digesting and encoding happen outside the lock: the browser's fetches go on meanwhile.
    std::shared_ptr<const std::string> bytes;
    std::string mimeType = image->mimeType();
    if (image->data().empty()) {
        auto png = image->pngData();
        if (!png)
            return std::nullopt;
        bytes = std::make_shared<const std::string>(std::move(*png));
        mimeType = "image/png";
    }
    auto id = m_key + digest(mimeType, bytes ? *bytes : image->data());

    std::lock_guard guard(m_lock);
    auto [entry, added] = m_byId.try_emplace(id);
    if (added) {
        entry->second.bytes
            = bytes ? std::move(bytes) : std::make_shared<const std::string>(image->data());
        entry->second.mimeType = std::move(mimeType);
        entry->second.shorterSide = std::min(image->pixelWidth(), image->pixelHeight());
        entry->second.recency = m_recency.insert(m_recency.begin(), id);
        m_bytes += entry->second.bytes->size();
    } else {
        touch(entry->second);
        if (entry->second.address)
            m_idByImage.erase(entry->second.address);
    }
    // The same picture read again: the view tree holds this copy now.
    entry->second.image = image;
    entry->second.address = image.get();
    m_idByImage[image.get()] = id;
    if (added)
        forgetOldest();
    return id;
}

void ImageRegistry::forgetOldest()
{
    // Pictures the view tree still shows are passed over, each once, however old.
    for (std::size_t looked = 0, count = m_byId.size();
         looked < count && (m_byId.size() > keptPictures || m_bytes > keptBytes); ++looked) {
        auto entry = m_byId.find(m_recency.back());
        if (!entry->second.image.expired()) {
            touch(entry->second);
            continue;
        }
        m_bytes -= entry->second.bytes->size();
        for (auto& [side, thumbnail] : entry->second.thumbnails)
            m_bytes -= thumbnail ? thumbnail->size() : 0;
        if (auto known = m_idByImage.find(entry->second.address);
            known != m_idByImage.end() && known->second == entry->first)
            m_idByImage.erase(known);
        m_recency.pop_back();
        m_byId.erase(entry);
    }
}

std::optional<ImageRegistry::Picture> ImageRegistry::find(const std::string& id) const
{
    std::lock_guard guard(m_lock);
    auto entry = m_byId.find(id);
    if (entry == m_byId.end())
        return std::nullopt;
    touch(entry->second);
    // The bytes never change; an answer being sent keeps them even if the id is forgotten
    // meanwhile.
    return Picture { entry->second.bytes, entry->second.mimeType };
}

std::optional<ImageRegistry::Picture> ImageRegistry::find(const std::string& id, int side) const
{
    Picture picture;
    int shorterSide = 0;
    {
        std::lock_guard guard(m_lock);
        auto entry = m_byId.find(id);
        if (entry == m_byId.end())
            return std::nullopt;
        touch(entry->second);
        picture = { entry->second.bytes, entry->second.mimeType };
        if (side < 1)
            return picture;
        if (auto made = entry->second.thumbnails.find(side); made != entry->second.thumbnails.end())
            return made->second ? Picture { made->second, "image/png" } : picture;
        shorterSide = entry->second.shorterSide;
    }
    // A picture goes out as it is only when it is known to be small: its size read, no larger than
    // asked, and few bytes. Any other is decoded and scaled, and one that cannot be is answered
    // with a blank picture of the side asked: a huge or broken picture never reaches the page,
    // where it would show a broken icon or take the page's memory.
    if (shorterSide > 0 && shorterSide <= side && picture.bytes->size() <= largestServedAsItIs)
        return picture;
    // Scaled outside the lock; two pages asking at once both scale, and one result is kept.
    std::shared_ptr<const std::string> thumbnail;
    if (auto decoded = ui::decodePicture(*picture.bytes, picture.mimeType, side)) {
        auto png = ui::encodePng(ui::scaledToCover(*decoded, side));
        if (png && png->size() < picture.bytes->size())
            thumbnail = std::make_shared<const std::string>(std::move(*png));
    } else {
        ui::Bitmap blank { side, side, std::vector<std::uint8_t>(std::size_t(side) * side * 4, 0) };
        auto png = ui::encodePng(blank);
        if (!png)
            return std::nullopt;
        thumbnail = std::make_shared<const std::string>(std::move(*png));
    }
    std::lock_guard guard(m_lock);
    auto entry = m_byId.find(id);
    if (entry != m_byId.end() && entry->second.thumbnails.size() < 4
        && entry->second.thumbnails.emplace(side, thumbnail).second)
        m_bytes += thumbnail ? thumbnail->size() : 0;
    return thumbnail ? Picture { thumbnail, "image/png" } : picture;
}

std::size_t ImageRegistry::size() const
{
    std::lock_guard guard(m_lock);
    return m_byId.size();
}

}
