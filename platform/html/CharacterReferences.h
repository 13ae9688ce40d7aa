// The characters that named references in a book's markup stand for: every name XHTML 1.0
// declares (its Latin-1, symbol and special sets) and &apos;, the names a browser resolves in the
// pages it shows. One table for the description's plain text and for find in the book, so both
// count "&mdash;" as the one character the page shows.
#pragma once

#include <string_view>

namespace html {

// The character the reference's name stands for ("mdash": U+2014), or 0 for a name XHTML does
// not declare. Names are case-sensitive ("Auml" and "auml" differ).
char32_t namedCharacter(std::string_view name);

}
