// FolioReader's metadata operations: container.xml to the package document, its title, creator
// and cover, with the parsed package kept in a small cache validated by the files' stamps.
#include "frameworks/folioreader/FolioReader.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/epub/PackageDocument.h"
#include "frameworks/folioreader/metadata/LargeCoverCache.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "frameworks/folioreader/metadata/PackageCache.h"
#include "frameworks/folioreader/metadata/StoredCover.h"
#include "platform/ui/ImageCodec.h"

#include <chrono>
#include <mutex>

using foundation::Error;
using foundation::Result;

namespace folioreader {

namespace {

// Bounds chosen for safety: real package documents are kilobytes and covers a few megabytes.
constexpr std::size_t maximumCoverSize = 20 * 1024 * 1024;
// Enough for the books a scan reads in turn and a screenful of rows asking for covers.
constexpr std::size_t cachedBooks = 32;

PackageCache& packageCache()
{
    static PackageCache cache(cachedBooks);
    return cache;
}

// Reads and parses the book's package document; stamp receives the identities of what was read.
Result<std::shared_ptr<const PackageDocument>> parseBook(
    const EpubContainer& book, std::vector<FileIdentity>& stamp)
{
    return std::make_shared<const PackageDocument>(TRY(readStampedPackage(book, stamp)));
}

// The book's parsed package document, from the cache while the book's files are unchanged. When
// the book had to be opened, opened receives it for further reads.
Result<std::shared_ptr<const PackageDocument>> packageOf(
    const std::string& path, std::optional<EpubContainer>& opened)
{
    PackageCache& cache = packageCache();
    if (auto entry = cache.find(path)) {
        auto stamp = currentStamp(path, entry->package->name);
        if (stamp && *stamp == entry->stamp)
            return entry->package;
    }
    opened.emplace(TRY(EpubContainer::open(path)));
    std::vector<FileIdentity> stamp;
    auto package = parseBook(*opened, stamp);
    if (package)
        cache.store({ path, std::move(stamp), *package });
    return package;
}

// The cover read from the book itself; origin receives where it came from.
Result<std::shared_ptr<ui::Image>> readCover(const std::string& path, CoverOrigin& origin)
{
    std::optional<EpubContainer> opened;
    auto package = TRY(packageOf(path, opened));
    if (!opened)
        opened.emplace(TRY(EpubContainer::open(path)));
    const EpubContainer& book = *opened;
    origin.packageName = package->name;

    const ManifestItem* cover = package->coverItem();
    if (!cover) {
        origin.bookHasNone = true;
        return book.error("no cover");
    }
    auto coverName = package->resolve(cover->href);
    if (!coverName) {
        origin.bookHasNone = true;
        return book.error("cover \"" + cover->href + "\" lies outside the book");
    }
    origin.entryName = *coverName;
    auto bytes = TRY(book.read(*coverName, maximumCoverSize, "cover " + *coverName));
    auto image = ui::Image::withData(std::move(bytes));
    if (!image) {
        origin.bookHasNone = true;
        return book.error("cover " + *coverName + " is not a picture");
    }
    // A picture of more pixels than may be decoded cannot be made small for a row, and sent as it
    // is, it would take the browser's memory: no cover a row can show.
    if (!ui::withinDecodedPixels(
            (*image)->mimeType(), (*image)->pixelWidth(), (*image)->pixelHeight())) {
        origin.bookHasNone = true;
        return book.error("cover " + *coverName + " has more pixels than a picture may have");
    }
    return image;
}

std::mutex storeMutex;
std::shared_ptr<MetadataStore>& installedStore()
{
    static std::shared_ptr<MetadataStore> store;
    return store;
}

// Longer values are no identifier or language tag: a hostile book's are neither kept nor listed.
constexpr std::size_t longestIdentifier = 256;
constexpr std::size_t longestLanguage = 64;

// What the library keeps of a package. The identifier is the one the package names as its
// unique identifier: a book that names none is known by its item's name alone.
BookMetadata metadataOf(const PackageDocument& package)
{
    bool identified
        = package.uniqueIdentifierNamed && package.uniqueIdentifier.size() <= longestIdentifier;
    return { package.title, package.creator, identified ? package.uniqueIdentifier : std::string(),
        package.language.size() <= longestLanguage ? package.language : std::string() };
}

// Title, author, identifier and language, from the scan's store when the book's files are
// unchanged; otherwise read afresh, straight from the book, so that what the store keeps was read
// after its stamp.
Result<BookMetadata> metadataOf(
    MetadataScan* scan, const std::string& path, const struct stat* itemStatus)
{
    std::optional<std::string> name = scan ? scan->nameOf(path) : std::nullopt;
    if (!name) {
        std::optional<EpubContainer> opened;
        auto package = TRY(packageOf(path, opened));
        return metadataOf(*package);
    }
    if (auto known = scan->lookup(*name, path, itemStatus))
        return std::move(*known);
    auto readStart = std::chrono::system_clock::now();
    auto book = TRY(EpubContainer::open(path));
    std::vector<FileIdentity> stamp;
    auto package = TRY(parseBook(book, stamp));
    BookMetadata metadata = metadataOf(*package);
    // A zip's own stamp covers its package document; only a folder book needs its name again.
    scan->remember(
        *name, stamp, stamp.size() > 1 ? package->name : std::string(), metadata, readStart);
    return metadata;
}

// One of a book's title, author, identifier and language, under the active scan, if any.
Result<std::string> fieldOf(const std::string& path, std::string BookMetadata::*field)
{
    auto metadata = TRY(metadataOf(MetadataScan::active(), path, nullptr));
    return std::move(metadata.*field);
}

}

}

namespace folioreader {

void FolioReader::setMetadataStore(std::shared_ptr<MetadataStore> store)
{
    // The covers read for the store that goes are written to it first.
    writePendingCovers();
    std::lock_guard lock(storeMutex);
    installedStore() = std::move(store);
}

std::shared_ptr<MetadataStore> FolioReader::metadataStore()
{
    std::lock_guard lock(storeMutex);
    return installedStore();
}

std::unique_ptr<MetadataScan> FolioReader::beginScan(const std::string& folder,
    const std::vector<std::string>& names, const std::vector<char>& asked)
{
    return MetadataScan::begin(metadataStore(), folder, names, asked);
}

Result<std::string> FolioReader::getTitle(
    const std::string& epubPath, const std::optional<std::string>&)
{
    return fieldOf(epubPath, &BookMetadata::title);
}

Result<std::string> FolioReader::getAuthorName(
    const std::string& epubPath, const std::optional<std::string>&)
{
    return fieldOf(epubPath, &BookMetadata::author);
}

Result<std::string> FolioReader::getIdentifier(const std::string& epubPath)
{
    return fieldOf(epubPath, &BookMetadata::identifier);
}

Result<std::string> FolioReader::getLanguage(const std::string& epubPath)
{
    return fieldOf(epubPath, &BookMetadata::language);
}

Result<BookMetadata> FolioReader::readMetadata(
    MetadataScan* scan, const std::string& epubPath, const struct stat* itemStatus)
{
    return metadataOf(scan, epubPath, itemStatus);
}

std::optional<Result<std::shared_ptr<ui::Image>>> FolioReader::getKnownCoverImage(
    const std::string& epubPath)
{
    auto store = metadataStore();
    return store ? knownCoverImage(store, epubPath) : std::nullopt;
}

Result<std::shared_ptr<ui::Image>> FolioReader::getLargeCoverImage(
    LargeCoverCache& cache, const std::string& epubPath)
{
    return cache.cover(epubPath, [&](CoverOrigin& origin) { return readCover(epubPath, origin); });
}

Result<std::shared_ptr<ui::Image>> FolioReader::getCoverImage(
    const std::string& epubPath, const std::optional<std::string>&)
{
    if (auto store = metadataStore())
        return storedCoverImage(
            store, epubPath, [&](CoverOrigin& origin) { return readCover(epubPath, origin); });
    CoverOrigin ignored;
    return readCover(epubPath, ignored);
}

}
