// The highlights a person takes away, as Markdown: a book's, with its title and author as the
// heading and each highlight quoted under its chapter's heading with the day it was made, or the
// whole library's, one section per book. Highlights that no longer match the book's text are
// listed under a heading of their own, never left out.
#pragma once

#include "frameworks/folioreader/highlights/placeHighlights.h"

#include <optional>
#include <string>
#include <vector>

namespace folioreader {

struct BookHighlights {
    std::string title;
    std::string author;
    // The book's item name in the library: its heading when it has no title.
    std::string file;
    // Why the book itself could not be read; its highlights are then all listed as not matching.
    std::optional<std::string> problem;
    std::vector<PlacedHighlight> highlights;
};

// One book's highlights as a Markdown document.
std::string bookHighlightsMarkdown(const BookHighlights& book);
// Every book's highlights as one Markdown document, in the order given.
std::string libraryHighlightsMarkdown(const std::vector<BookHighlights>& books);

// Text set in Markdown as it reads: what Markdown would take for its own syntax (emphasis, links,
// code, HTML, headings, quotes, lists, rules) escaped with backslashes, control characters left
// out, and each line's surrounding white space, which Markdown would read too, trimmed.
std::string markdownText(std::string_view text);

// The name a book's highlights are downloaded under: "<title> highlights.md", with what a file
// system forbids or reads otherwise made a space, and at most 120 bytes.
std::string highlightsFileName(std::string_view title);

}
