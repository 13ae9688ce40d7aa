// The weak image registry, with ids made of its key and a digest of the pictures' bytes.
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

std::optional<std::string> ImageRegistry::idFor(const std::shared_ptr<ui::Image>& image)
{
    if (!image)
        return std::nullopt;
    {
        std::lock_guard guard(m_lock);
        auto known = m_idByImage.find(image.get());
        if (known != m_idByImage.end()) {
            auto entry = m_byId.find(known->second);
            if (entry != m_byId.end() && entry->second.address == image.get() && entry->second.image.lock() == image)
                return known->second;
        }
    }

    // Digesting and encoding happen outside the lock: the browser's fetches go on meanwhile.
    std::shared_ptr<const std::string> encoded;
    std::string mimeType = image->mimeType();
    if (image->data().empty()) {
        auto png = image->pngData();
        if (!png)
            return std::nullopt;
        encoded = std::make_shared<const std::string>(std::move(*png));
        mimeType = "image/png";
    }
    auto id = m_key + digest(mimeType, encoded ? *encoded : image->data());

    std::lock_guard guard(m_lock);
    auto& entry = m_byId[id];
    if (entry.address)
        m_idByImage.erase(entry.address);
    // An equal picture registered earlier gives way to this one, which the view tree holds now.
    entry = Entry { image, image.get(), std::move(encoded), std::move(mimeType), {} };
    m_idByImage[image.get()] = id;
    if (m_byId.size() >= m_pruneAt)
        pruneExpired();
    return id;
}

void ImageRegistry::pruneExpired()
{
    for (auto entry = m_byId.begin(); entry != m_byId.end();) {
        if (entry->second.image.expired()) {
            m_idByImage.erase(entry->second.address);
            entry = m_byId.erase(entry);
        } else {
            ++entry;
        }
    }
    m_pruneAt = std::max<std::size_t>(256, m_byId.size() * 2);
}

std::optional<ImageRegistry::Picture> ImageRegistry::find(const std::string& id) const
{
    std::lock_guard guard(m_lock);
    auto entry = m_byId.find(id);
    if (entry == m_byId.end())
        return std::nullopt;
    auto image = entry->second.image.lock();
    if (!image)
        return std::nullopt;
    // An encoded image's bytes never change; the answer shares them, keeping the image alive
    // only while they are sent.
    auto bytes = entry->second.encoded ? entry->second.encoded : std::shared_ptr<const std::string>(image, &image->data());
    return Picture { std::move(bytes), entry->second.mimeType };
}

std::optional<ImageRegistry::Picture> ImageRegistry::find(const std::string& id, int side) const
{
    auto picture = find(id);
    if (!picture || side < 1)
        return picture;
    int shorterSide = 0;
    {
        std::lock_guard guard(m_lock);
        auto entry = m_byId.find(id);
        auto image = entry == m_byId.end() ? nullptr : entry->second.image.lock();
        if (!image)
            return picture;
        if (auto made = entry->second.thumbnails.find(side); made != entry->second.thumbnails.end())
            return made->second ? Picture { made->second, "image/png" } : picture;
        shorterSide = std::min(image->pixelWidth(), image->pixelHeight());
    }
    // Scaled outside the lock; two pages asking at once both scale, and one result is kept.
    std::shared_ptr<const std::string> thumbnail;
    if (shorterSide > side) {
        if (auto decoded = ui::decodePicture(*picture->bytes, picture->mimeType, side)) {
            auto png = ui::encodePng(ui::scaledToCover(*decoded, side));
            if (png && png->size() < picture->bytes->size())
                thumbnail = std::make_shared<const std::string>(std::move(*png));
        }
    }
    std::lock_guard guard(m_lock);
    auto entry = m_byId.find(id);
    if (entry != m_byId.end() && entry->second.thumbnails.size() < 4)
        entry->second.thumbnails.emplace(side, thumbnail);
    return thumbnail ? Picture { thumbnail, "image/png" } : picture;
}

std::size_t ImageRegistry::size() const
{
    std::lock_guard guard(m_lock);
    return m_byId.size();
}

}
