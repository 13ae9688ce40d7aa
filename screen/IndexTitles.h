// The section index of the library table: its titles, and the row a tapped title jumps to.
// Pure functions of the book list and the sort order.
#pragma once

#include "library/BookList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The distinct first characters (grapheme clusters) of the books' titles in the title order, of
// their authors in the author order, in text order; empty in the recency order. Characters are
// distinct unless they are the same bytes. An empty title or author contributes nothing.
std::vector<std::string> indexTitles(const BookList& books, std::int64_t order);

// The first row, in list order, whose title (title order) or author (author order) begins with
// the tapped title; nothing when none does. In other orders the key is the empty text.
std::optional<std::size_t> rowForIndexTitle(
    const BookList& books, std::int64_t order, std::string_view title);
