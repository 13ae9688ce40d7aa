// The stored covers: looked up by the item's name and checked against its files' stamp; a miss
// reads the book and keeps a copy whose shorter side is at most storedCoverSide pixels.
#include "frameworks/folioreader/metadata/StoredCover.h"

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "platform/ui/BitmapScaling.h"
#include "platform/ui/ImageCodec.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <sys/stat.h>
#include <utility>

using foundation::Error;
using foundation::Result;

namespace folioreader {

namespace {

// A picture that cannot be scaled (a format only the browser decodes) is kept when this small.
constexpr std::size_t keptUnscaledSize = 256 * 1024;

// The stamp of the book's files as they are now; see coverStamp.
std::optional<std::vector<FileIdentity>> filesStamp(
    const std::string& path, const std::string& packageName, const std::string& entryName)
{
    auto stamp = currentStamp(path, packageName);
    if (!stamp || stamp->size() == 1 || entryName.empty())
        return stamp;
    struct stat status { };
    if (::stat((path + "/" + entryName).c_str(), &status) != 0)
        return std::nullopt;
    stamp->push_back(FileIdentity::of(status));
    return stamp;
}

// The picture as rows keep it: scaled down and encoded as PNG when that makes it smaller; nothing
// when it is too large to keep and cannot be scaled (damaged, or a kind only the browser decodes).
std::optional<std::pair<std::string, std::string>> smallPicture(const ui::Image& image)
{
    std::pair<std::string, std::string> kept { image.data(), image.mimeType() };
    bool scaled = false;
    if (std::min(image.pixelWidth(), image.pixelHeight()) > storedCoverSide) {
        if (auto decoded = ui::decodePicture(image.data(), image.mimeType(), storedCoverSide)) {
            auto png = ui::encodePng(ui::scaledToCover(*decoded, storedCoverSide));
            scaled = png.hasValue();
            if (png && png->size() < kept.first.size())
                kept = { std::move(*png), "image/png" };
        }
    }
    if (!scaled && kept.first.size() > keptUnscaledSize)
        return std::nullopt;
    return kept;
}

Error noCover(const std::string& path)
{
    return Error("\"" + path + "\": no cover");
}

constexpr std::size_t batchSize = 32;
constexpr auto batchAge = std::chrono::seconds(1);

// The covers read afresh and not written yet, all for one store.
struct PendingCovers {
    std::mutex mutex;
    std::shared_ptr<MetadataStore> store;
    std::vector<MetadataStore::NamedCover> covers;
    std::chrono::steady_clock::time_point since;
};

PendingCovers& pendingCovers()
{
    static PendingCovers pending;
    return pending;
}

// Takes the batch when it is due (or always), for writing outside the lock.
std::pair<std::shared_ptr<MetadataStore>, std::vector<MetadataStore::NamedCover>> takeBatch(
    PendingCovers& pending, bool always)
{
    if (pending.covers.empty()
        || (!always && pending.covers.size() < batchSize
            && std::chrono::steady_clock::now() - pending.since < batchAge))
        return {};
    return { std::move(pending.store), std::exchange(pending.covers, {}) };
}

void writeBatch(
    std::pair<std::shared_ptr<MetadataStore>, std::vector<MetadataStore::NamedCover>> batch)
{
    if (batch.first)
        batch.first->storeCovers(batch.second);
}

// The item's cover as stored, or as read afresh and not written yet.
std::optional<MetadataStore::Cover> knownCover(
    const std::shared_ptr<MetadataStore>& store, const std::string& folder, const std::string& name)
{
    {
        PendingCovers& pending = pendingCovers();
        std::lock_guard lock(pending.mutex);
        if (pending.store == store) {
            for (auto it = pending.covers.rbegin(); it != pending.covers.rend(); ++it) {
                if (it->name == name && it->folder == folder)
                    return it->cover;
            }
        }
    }
    return store->coverOf(folder, name);
}

void keep(const std::shared_ptr<MetadataStore>& store, MetadataStore::NamedCover cover)
{
    PendingCovers& pending = pendingCovers();
    std::pair<std::shared_ptr<MetadataStore>, std::vector<MetadataStore::NamedCover>> due;
    {
        std::lock_guard lock(pending.mutex);
        if (pending.store != store)
            due = takeBatch(pending, true);
        if (pending.covers.empty()) {
            pending.store = store;
            pending.since = std::chrono::steady_clock::now();
        }
        pending.covers.push_back(std::move(cover));
        if (!due.first)
            due = takeBatch(pending, false);
    }
    writeBatch(std::move(due));
}

}

std::optional<std::string> coverStamp(const std::string& path, const CoverOrigin& origin)
{
    auto stamp = filesStamp(path, origin.packageName, origin.entryName);
    return stamp ? std::optional(encodeStamp(*stamp)) : std::nullopt;
}

void writePendingCovers()
{
    PendingCovers& pending = pendingCovers();
    std::pair<std::shared_ptr<MetadataStore>, std::vector<MetadataStore::NamedCover>> due;
    {
        std::lock_guard lock(pending.mutex);
        due = takeBatch(pending, true);
    }
    writeBatch(std::move(due));
}

std::optional<MetadataStore::Cover> storedCover(
    const std::shared_ptr<MetadataStore>& store, const std::string& path)
{
    auto slash = path.rfind('/');
    if (!store || slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return std::nullopt;
    auto stored = knownCover(store, path.substr(0, slash), path.substr(slash + 1));
    if (!stored)
        return std::nullopt;
    auto stamp = filesStamp(path, stored->packageName, stored->entryName);
    if (!stamp || encodeStamp(*stamp) != stored->stamp)
        return std::nullopt;
    return stored;
}

std::optional<Result<std::shared_ptr<ui::Image>>> knownCoverImage(
    const std::shared_ptr<MetadataStore>& store, const std::string& path)
{
    auto stored = storedCover(store, path);
    if (!stored)
        return std::nullopt;
    if (stored->bytes.empty())
        return noCover(path);
    if (auto image = ui::Image::withData(std::move(stored->bytes)))
        return image;
    return std::nullopt;
}

Result<std::shared_ptr<ui::Image>> storedCoverImage(
    const std::shared_ptr<MetadataStore>& store, const std::string& path, const CoverReader& read)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == path.size()) {
        CoverOrigin ignored;
        return read(ignored);
    }
    const std::string folder = path.substr(0, slash);
    const std::string name = path.substr(slash + 1);

    if (auto known = knownCoverImage(store, path))
        return std::move(*known);

    auto readStart = std::chrono::system_clock::now();
    CoverOrigin origin;
    auto image = read(origin);
    if (!image && !origin.bookHasNone)
        return image; // the book could not be read now: nothing is known to keep
    auto stamp = filesStamp(path, origin.packageName, origin.entryName);
    if (!stamp || !isSettled(*stamp, readStart, store->unsettledWindow()))
        return image;
    MetadataStore::Cover cover { encodeStamp(*stamp), origin.packageName, origin.entryName, {},
        {} };
    if (image) {
        // A picture too large to keep that cannot be made small is kept as no cover: a row shows
        // the blank one rather than send the whole picture to the browser.
        if (auto small = smallPicture(**image))
            std::tie(cover.bytes, cover.mimeType) = std::move(*small);
        else
            image = noCover(path);
    }
    // What a later row is shown from the store, shown now too.
    auto kept = cover.bytes.empty() ? image : ui::Image::withData(cover.bytes);
    keep(store, { folder, name, std::move(cover) });
    return kept ? kept : image;
}

}
