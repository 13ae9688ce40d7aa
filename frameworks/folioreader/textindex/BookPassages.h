// A book's text as the reader shows it, cut into passages for the library's text index: a
// paragraph or a few short ones, each kept with the place the reader opens it at.
#pragma once

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/epub/PackageDocument.h"
#include "platform/foundation/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

struct Passage {
    std::uint32_t document = 0; // in the spine, as the reader counts its documents
    std::uint64_t offset = 0; // of its first character in the document's body text, in UTF-16
    std::string text; // white space made single spaces, blocks parted by one
};

// Passages end at the first block break past shortestPassage characters, or at the first space
// past longestPassage.
inline constexpr std::size_t shortestPassage = 300;
inline constexpr std::size_t longestPassage = 1200;
// A book's text beyond this is not indexed: no real book comes near it.
inline constexpr std::size_t mostIndexedText = 64 * 1024 * 1024;

// The passages of one document's body: scripts, styles and ruby readings left out, the ruby's
// base text kept.
std::vector<Passage> passagesOf(std::string_view xhtml, std::uint32_t document);

struct BookPassages {
    std::string title;
    std::string author;
    // The chapter of each document of the spine: the title of the table of contents' first entry
    // leading into it, else the chapter of the document before.
    std::vector<std::string> chapters;
    std::vector<Passage> passages;
    // Why each part of the book left out was (a document that cannot be read, the text past
    // mostIndexedText), for the library's owner to be told.
    std::vector<std::string> passedOver;
};

// The book's passages, document by document; a document that cannot be read is passed over and
// said in passedOver. An error when the book lists no document it holds. stopped is asked
// between documents.
foundation::Result<BookPassages> readBookPassages(const EpubContainer& book,
    const PackageDocument& package, const std::function<bool()>& stopped = {});

}
