// A book's description as the persistent store keeps it, for pages that show many books and read
// none of them; and the pass that reads and keeps the descriptions the store lacks.
#pragma once

#include "frameworks/folioreader/metadata/MetadataStore.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace folioreader {

// The description kept for the book at path (a folder, "/" and an item name), as plain text, while
// the book's files keep the stamp it was read under; the empty text when none is kept (the book
// has none, its description was not read yet, or it changed since). Reads no book. Any thread.
std::string storedDescription(const std::shared_ptr<MetadataStore>& store, const std::string& path);

// Reads the description of each book of the folder whose entry in the store has none kept under
// its stamp, and keeps it (the empty text for a book with none, so it is not read again) unless
// its files had only just changed; reads only the container and the package document, and writes
// a batch at a time. Stops before the next book once stopped answers true. Answers how many books
// it read. Any thread.
std::size_t keepMissingDescriptions(const std::shared_ptr<MetadataStore>& store,
    const std::string& folder, const std::function<bool()>& stopped = {});

}
