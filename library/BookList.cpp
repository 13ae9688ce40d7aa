// The book list's storage, its lookup by file name and its stable sorts.
#include "library/BookList.h"

#include "platform/text/Text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

BookList& bookList()
{
    static BookList list;
    return list;
}

void BookList::append(Book book)
{
    if (m_positionsValid)
        m_positionByFile.emplace(text::nfc(book.file), m_books.size());
    m_books.push_back(std::move(book));
}

void BookList::remove(std::size_t index)
{
    m_books.erase(m_books.begin() + static_cast<std::ptrdiff_t>(index));
    m_positionsValid = false;
}

void BookList::clear()
{
    m_books.clear();
    m_positionByFile.clear();
    m_positionsValid = false;
}

std::optional<std::size_t> BookList::find(const std::string& file) const
{
    if (!m_positionsValid) {
        m_positionByFile.clear();
        m_positionByFile.reserve(m_books.size());
        // emplace keeps the first position when two files are spelled equivalently.
        for (std::size_t i = 0; i < m_books.size(); ++i)
            m_positionByFile.emplace(text::nfc(m_books[i].file), i);
        m_positionsValid = true;
    }
    auto found = m_positionByFile.find(text::nfc(file));
    if (found == m_positionByFile.end())
        return std::nullopt;
    return found->second;
}

void BookList::sortByRecency()
{
    std::stable_sort(m_books.begin(), m_books.end(),
        [](const Book& a, const Book& b) { return a.added > b.added; });
    m_positionsValid = false;
}

void BookList::sortByTitle()
{
    sortByText(&Book::title);
}

void BookList::sortByAuthor()
{
    sortByText(&Book::author);
}

void BookList::sortByText(std::string Book::*key)
{
    // Normalise each key once, not once per comparison; most keys are already in NFC and are
    // compared in place. Byte order of UTF-8 is the order of scalar values.
    const std::size_t count = m_books.size();
    std::vector<std::string> normalised(count);
    std::vector<std::string_view> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& original = m_books[i].*key;
        if (!text::isKnownNFC(original))
            normalised[i] = text::nfc(original);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& original = m_books[i].*key;
        keys[i] = normalised[i].empty() ? std::string_view(original) : std::string_view(normalised[i]);
    }
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    reorder(order);
}

void BookList::reorder(const std::vector<std::size_t>& order)
{
    std::vector<Book> rearranged;
    rearranged.reserve(m_books.size());
    for (std::size_t from : order)
        rearranged.push_back(std::move(m_books[from]));
    m_books = std::move(rearranged);
    m_positionsValid = false;
}
