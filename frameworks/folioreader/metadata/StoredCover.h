// Row covers from the persistent store: a book's cover scaled down once to the size rows show it
// at, kept under the stamp of the files it came from, so a changed book is read again.
#pragma once

#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "platform/foundation/Result.h"
#include "platform/ui/Image.h"

#include <functional>
#include <memory>
#include <string>

namespace folioreader {

// The shorter side, in pixels, of a stored cover: a row's 36-point picture at three pixels a point.
inline constexpr int storedCoverSide = 108;

// Where a cover read from a book came from, for stamping its stored copy.
struct CoverOrigin {
    std::string packageName; // the package document's entry name; empty when it was not read
    std::string entryName; // the picture's entry name; empty when the book names none
    bool bookHasNone = false; // the book was read and names no cover, or one that is no picture
};

using CoverReader
    = std::function<foundation::Result<std::shared_ptr<ui::Image>>(CoverOrigin& origin)>;

// The encoded stamp of the files a cover of the book at path came from, as they are now: the
// item, and for a folder book its container, package document and picture too (editing a file
// inside a folder leaves the folder's date). Nothing when they cannot be read.
std::optional<std::string> coverStamp(const std::string& path, const CoverOrigin& origin);

// The cover of the book at path (a folder, "/" and an item name) from the store while the book's
// files keep their stamp; otherwise read, scaled down and stored. A store that cannot be read or
// written costs only the read. A book without a cover stays an error, stored as such. Any thread.
// Covers read afresh are written together, one transaction for up to 32 of them or for those of
// the last second, so that the first scroll through a library does not write once a row.
foundation::Result<std::shared_ptr<ui::Image>> storedCoverImage(
    const std::shared_ptr<MetadataStore>& store, const std::string& path, const CoverReader& read);
// The cover kept for the book at path while its files keep their stamp (empty bytes: the book has
// none), without reading the book; nothing when none is known.
std::optional<MetadataStore::Cover> storedCover(
    const std::shared_ptr<MetadataStore>& store, const std::string& path);
// The cover kept for the book at path as a picture, or the error of a book kept as having none;
// nothing when it must be read. Any thread.
std::optional<foundation::Result<std::shared_ptr<ui::Image>>> knownCoverImage(
    const std::shared_ptr<MetadataStore>& store, const std::string& path);
// Writes the covers read afresh and not written yet.
void writePendingCovers();

}
