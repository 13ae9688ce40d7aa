// Plain text of a short piece of HTML, such as a book's description: the words a reader would see,
// with no markup, entity or control character left, cut short at a bounded length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace html {

// The text of the markup: tags and comments removed (a tag that starts a block, such as p, br,
// div or li, leaves a space), the contents of script and style elements left out, character
// references decoded (numeric ones and the named ones of Latin-1 and typography; an unknown name
// stays as written), white space trimmed and each run made one space. A "<" or "&" that starts no
// markup is text. Bytes that are not UTF-8 become U+FFFD; control characters, noncharacters and
// soft hyphens are left out. At most maximumCharacters characters: a longer text is cut at a
// character and ends in "…".
std::string plainText(std::string_view markup, std::size_t maximumCharacters);

}
