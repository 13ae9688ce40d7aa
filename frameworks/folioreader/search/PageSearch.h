// Finding words in a book: text folded so that case, accents and compatibility forms do not
// matter in any script, and the matches in one document of the book, each placed by the
// characters of the document's body text it covers (counted in UTF-16, as the reader counts).
#pragma once

#include "frameworks/folioreader/search/HiddenElements.h"
#include "frameworks/folioreader/search/TextScanner.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace folioreader {

// The longest query searched for, in characters; longer ones are cut.
inline constexpr std::size_t longestSearchQuery = 200;

// The text folded for comparison: every character by the library's search folding
// (text::searchFoldCharacter), every run of white space made one space, trimmed. Invalid UTF-8 is
// skipped.
std::u32string foldForSearch(std::string_view text);

struct SearchMatch {
    std::uint64_t start = 0; // in the body text, UTF-16 code units
    std::uint64_t end = 0;
    std::string before; // a little of the text around it, in UTF-8, white space made single
    std::string match;
    std::string after;
};

// The page as the reader shows it: its line ends (CR LF and a lone CR alike) read as one line feed
// each, which is how the places of matches are counted. Answers the page itself when it has no CR,
// else the page rewritten into storage.
std::string_view withLineFeeds(std::string_view xhtml, std::string& storage);

// Calls found with each match of the folded query in the body of the XHTML document, in order,
// while found answers true. Text of scripts and styles, and of the elements hidden (when given),
// is counted but never matched. Answers false when found stopped it. The page is scanned at most
// widest bytes at once.
bool searchDocument(std::string_view xhtml, const std::u32string& foldedQuery,
    const std::function<bool(const SearchMatch&)>& found, ScanWidth widest = ScanWidth::thirtyTwo,
    const HiddenElements* hidden = nullptr);

}
