// How long the body text of each page of a book is, counted as the reader counts its places and
// highlights (UTF-16 code units of the body's text): what "how far into the book" is measured in.
#pragma once

#include "frameworks/folioreader/reader/ReaderSession.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace folioreader {

// The characters of the page's body text.
std::uint64_t bodyTextLength(std::string_view xhtml);

// The body text length of each document of the book's spine, in order; a document that cannot be
// read counts 0.
std::vector<std::uint64_t> bookTextLengths(const ReaderSession& session);

// How far into the book a place stands (the character offset of its spine-th document), from 0 to
// 1, by the lengths of its documents. A book without text measures by its documents.
double bookProgress(
    const std::vector<std::uint64_t>& lengths, std::size_t spine, std::uint64_t offset);

}
