// The book's spine is read as the reader reads it, and only the documents a place needs.
#include "frameworks/folioreader/sync/SyncedPlace.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/search/bookTextLengths.h"
#include "frameworks/folioreader/sync/XPointer.h"

#include <algorithm>
#include <cmath>

namespace folioreader {

namespace {

struct OpenBook {
    EpubContainer container;
    std::vector<std::string> spine;

    foundation::Result<std::string> document(std::size_t index) const
    {
        return container.read(spine[index], maximumDocumentSize);
    }
};

foundation::Result<OpenBook> openBook(const std::string& bookPath)
{
    auto container = TRY(EpubContainer::open(bookPath));
    auto package = TRY(readPackage(container));
    OpenBook book { std::move(container), {} };
    // The spine documents the reader shows, in order: an itemref that names no file is left out.
    for (const SpineItem& itemref : package.spine) {
        const ManifestItem* item = package.item(itemref.idref);
        if (auto name = item ? package.resolve(item->href) : std::nullopt)
            book.spine.push_back(std::move(*name));
    }
    if (book.spine.empty())
        return foundation::Error("the book lists no pages to read");
    return book;
}

// The body text length of each spine document; a document that cannot be read counts 0.
std::vector<std::uint64_t> textLengths(const OpenBook& book)
{
    std::vector<std::uint64_t> lengths;
    for (std::size_t index = 0; index < book.spine.size(); ++index) {
        auto document = book.document(index);
        lengths.push_back(document ? bodyTextLength(*document) : 0);
    }
    return lengths;
}

}

foundation::Result<DevicePlace> devicePlaceOf(
    const std::string& bookPath, const ReadingPlace& place)
{
    auto book = TRY(openBook(bookPath));
    auto found = std::find(book.spine.begin(), book.spine.end(), place.document);
    if (found == book.spine.end())
        return foundation::Error("the place's document is no longer in the book");
    auto index = std::size_t(found - book.spine.begin());
    auto document = TRY(book.document(index));
    // A screen that starts with a picture is named by the text that follows it.
    auto pointer = xpointerAt(document, index + 1, place.offset);
    double percentage
        = place.progress ? *place.progress : bookProgress(textLengths(book), index, place.offset);
    return DevicePlace { pointer.text(), percentage };
}

foundation::Result<ReadingPlace> readingPlaceOf(
    const std::string& bookPath, const DevicePlace& device, const std::optional<ReadingPlace>& kept)
{
    auto book = TRY(openBook(bookPath));
    auto lengths = textLengths(book);
    ReadingPlace place;
    if (kept) {
        place.fontScale = kept->fontScale;
        place.night = kept->night;
    }
    auto pointer = XPointer::parse(device.progress);
    if (pointer && pointer->fragment >= 1 && pointer->fragment <= book.spine.size()) {
        auto index = pointer->fragment - 1;
        auto document = book.document(index);
        auto offset = document ? offsetOf(*document, *pointer) : std::nullopt;
        place.document = book.spine[index];
        place.offset = offset.value_or(0);
        place.progress = bookProgress(lengths, index, place.offset);
        return place;
    }
    if (!std::isfinite(device.percentage) || device.percentage < 0 || device.percentage > 1)
        return foundation::Error("the place names no document of the book, and no share of it");
    // The share of the book's text, found in the document it falls in.
    std::uint64_t total = 0;
    for (auto length : lengths)
        total += length;
    auto target = std::uint64_t(std::llround(device.percentage * double(total)));
    std::size_t index = 0;
    while (index + 1 < lengths.size() && target >= lengths[index]) {
        target -= lengths[index];
        ++index;
    }
    if (total == 0)
        index
            = std::min(lengths.size() - 1, std::size_t(device.percentage * double(lengths.size())));
    place.document = book.spine[index];
    place.offset = total == 0 ? 0 : std::min(target, lengths[index]);
    place.progress = device.percentage;
    return place;
}

}
