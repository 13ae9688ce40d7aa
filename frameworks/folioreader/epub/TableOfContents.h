// TableOfContents: the book's own list of its parts, from the EPUB 3 navigation document or,
// failing that, the EPUB 2 NCX, flattened in reading order with each entry's depth.
#pragma once

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/epub/PackageDocument.h"

#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

struct TocEntry {
    std::string title;
    // The entry of the book it leads to, and the place inside it; both empty for a heading that
    // leads nowhere. Entries whose link leaves the book lead nowhere too.
    std::string entryName;
    std::string fragment;
    // 0 for the top level.
    int depth = 0;

    bool operator==(const TocEntry&) const = default;
};

// Bounds for hostile documents; real tables of contents stay far below them.
inline constexpr std::size_t maximumTocEntries = 20000;
inline constexpr int maximumTocDepth = 16;

// The entries of the toc navigation of an EPUB 3 navigation document read from documentName.
// The text is parsed in place. An error when it is no well-formed XML or holds no navigation.
foundation::Result<std::vector<TocEntry>> parseNavigationDocument(
    std::string& xhtml, std::string_view documentName);
// The entries of the navMap of an EPUB 2 NCX read from documentName; the text is parsed in place.
foundation::Result<std::vector<TocEntry>> parseNcx(std::string& xml, std::string_view documentName);

// The book's table of contents: the navigation document's when it has a usable one, else the
// NCX's, else an error saying why neither could be read.
foundation::Result<std::vector<TocEntry>> readTableOfContents(
    const EpubContainer& book, const PackageDocument& package);

}
