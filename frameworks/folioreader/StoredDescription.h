// A book's description as the persistent store keeps it, for pages that show many books and read
// none of them.
#pragma once

#include "frameworks/folioreader/MetadataStore.h"

#include <memory>
#include <string>

namespace folioreader {

// The description kept for the book at path (a folder, "/" and an item name), as plain text, while
// the book's files keep the stamp it was read under; the empty text when none is kept (the book
// has none, was never scanned with a store, or changed since). Reads no book. Any thread.
std::string storedDescription(const std::shared_ptr<MetadataStore>& store, const std::string& path);

}
