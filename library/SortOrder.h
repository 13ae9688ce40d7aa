// The sort order of the book list, its names, and the sorts behind it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SortOrder {
inline constexpr std::int64_t recentlyOpened = 0;
inline constexpr std::int64_t byTitle = 1;
inline constexpr std::int64_t byAuthor = 2;
}

// The program-wide sort order: 0 at start, only ever 0, 1 or 2.
std::int64_t& sortOrder();
// "Recently Opened", "Books by Title", "Books by Author": element n names order n.
const std::vector<std::string>& sortOrderNames();

// Stable sorts of the program's book list, in place. They leave the sort order alone.
void sortByRecency();
void sortByTitle();
void sortByAuthor();

// Puts the book list in the next order, as the sort button does: recency to title, title to
// author, author to recency (any other value to title), and sets the sort order to it. An
// empty list changes nothing; the answer says whether the order moved.
bool stepSortOrder();
