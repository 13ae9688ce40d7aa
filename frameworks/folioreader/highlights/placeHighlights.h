// Placing a book's highlights in the book as it is now: in reading order, each with the chapter
// its table of contents gives it, and whether the book's text at its place is still the text
// that was highlighted (a book replaced by another edition may differ).
#pragma once

#include "frameworks/folioreader/epub/TableOfContents.h"
#include "frameworks/folioreader/stores/HighlightStore.h"
#include "platform/foundation/Result.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace folioreader {

struct PlacedHighlight {
    Highlight highlight;
    // The document's place in the book's reading order; nothing when the book no longer has it.
    std::optional<std::size_t> spine;
    // The title of the last entry of the contents that starts on or before the highlight; empty
    // before the first one, or in a book without contents.
    std::string chapter;
    // Whether the book's text at the highlight's characters is the text kept with it.
    bool matchesText = false;
};

// Whether a comes before b in reading order; those in documents the book no longer has come
// after all others, and are not ordered among themselves.
bool comesBefore(const PlacedHighlight& a, const PlacedHighlight& b);

// Reads a document of the book by its entry name.
using DocumentReader = std::function<foundation::Result<std::string>(const std::string& entryName)>;

// The highlights in reading order (by document, then first character, then the order they were
// made), those in documents the book no longer has last. Each document that holds one is read
// once; one that cannot be read leaves its highlights not matching, never dropped.
std::vector<PlacedHighlight> placeHighlights(std::vector<Highlight> highlights,
    const std::vector<std::string>& spine, const std::vector<TocEntry>& contents,
    const DocumentReader& readDocument);

}
