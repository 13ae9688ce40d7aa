// BookFilter: the library table as a view over the book list while the user looks for a book:
// its rows are the books whose title or author contains the typed text, in the list's order.
#pragma once

#include "library/BookList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class BookFilter {
public:
    // The text as typed; one that folds to nothing turns the filter off.
    void setText(std::string_view typed);
    bool isOn() const { return !m_folded.empty(); }

    // Finds the matching books of the list again: one pass over the books' search keys. Run
    // whenever the table counts its rows, so the rows follow every change of the list.
    void refresh(const BookList& books);
    // The rows the table has: every book while the filter is off.
    std::size_t rowCount(const BookList& books) const;
    // The position in the book list of the book shown in the row, if the row shows one.
    std::optional<std::size_t> bookIndex(std::int64_t row, const BookList& books) const;

    // Whether a book's search key (BookList::searchKey) holds the folded text.
    static bool holds(std::string_view searchKey, std::string_view folded);

private:
    std::string m_folded;
    std::vector<std::size_t> m_matches;
};
