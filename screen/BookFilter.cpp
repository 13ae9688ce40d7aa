// The filter's matching: a byte search of the folded text in each book's folded key.
#include "screen/BookFilter.h"

#include "platform/text/SearchFold.h"

#include <cstring>

void BookFilter::setText(std::string_view typed)
{
    m_folded = text::searchFold(typed);
    m_matches.clear();
}

void BookFilter::refresh(const BookList& books)
{
    m_matches.clear();
    if (!isOn())
        return;
    for (std::size_t i = 0; i < books.size(); ++i) {
        if (holds(books.searchKey(i), m_folded))
            m_matches.push_back(i);
    }
}

bool BookFilter::holds(std::string_view searchKey, std::string_view folded)
{
    // glibc's memmem is linear in the key and the text whatever their bytes.
    return ::memmem(searchKey.data(), searchKey.size(), folded.data(), folded.size()) != nullptr;
}

std::size_t BookFilter::rowCount(const BookList& books) const
{
    return isOn() ? m_matches.size() : books.size();
}

std::optional<std::size_t> BookFilter::bookIndex(std::int64_t row, const BookList& books) const
{
    if (row < 0)
        return std::nullopt;
    auto position = static_cast<std::size_t>(row);
    if (isOn()) {
        if (position >= m_matches.size() || m_matches[position] >= books.size())
            return std::nullopt;
        return m_matches[position];
    }
    if (position >= books.size())
        return std::nullopt;
    return position;
}
