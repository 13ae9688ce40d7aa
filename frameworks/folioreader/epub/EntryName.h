// Names of entries inside a book: "/"-separated paths relative to the book's root, as a zip
// archive stores them. Every name the reader opens is made here, so none can leave the book.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace folioreader {

// The entry that relative names from inside folder (an entry folder, "" for the root): "." and
// empty segments dropped, ".." resolved lexically, a leading "/" taken from the root. Nothing when
// the path climbs above the root, holds a NUL, or names nothing.
std::optional<std::string> resolveEntryName(std::string_view folder, std::string_view relative);

// The entry an href of a document inside folder points at: the fragment and query dropped,
// percent-escapes decoded, then resolved as above. Nothing for an href with a scheme
// ("http:", "file:") or one that leaves the book.
std::optional<std::string> resolveHref(std::string_view folder, std::string_view href);

// The folder part of an entry name: "OEBPS" for "OEBPS/content.opf", "" for "content.opf".
std::string_view folderOf(std::string_view entryName);

}
