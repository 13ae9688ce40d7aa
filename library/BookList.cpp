// The book list's storage, its lookup by file name and its stable sorts.
#include "library/BookList.h"

#include "platform/text/SearchFold.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>

BookList& bookList()
{
    static BookList list;
    return list;
}

void BookList::append(Book book)
{
    std::string key = searchKeyOf(book.title, book.author);
    append(std::move(book), std::move(key));
}

void BookList::reserve(std::size_t count)
{
    m_books.reserve(count);
    m_searchKeys.reserve(count);
    m_details.reserve(count);
}

void BookList::append(Book book, std::string searchKey, BookDetails details)
{
    if (m_positionsValid)
        m_positionByFile.emplace(text::nfc(book.file), m_books.size());
    m_searchKeys.push_back(std::move(searchKey));
    m_details.push_back(std::move(details));
    ++m_namesakes[namesakeKey(book)];
    m_books.push_back(std::move(book));
    ++m_changes;
}

std::uint64_t BookList::namesakeKey(const Book& book)
{
    return std::hash<std::string> {}(book.title + '\0' + book.author);
}

bool BookList::hasNamesake(std::size_t index) const
{
    auto found = m_namesakes.find(namesakeKey(m_books[index]));
    return found != m_namesakes.end() && found->second > 1;
}

std::string BookList::searchKeyOf(const std::string& title, const std::string& author)
{
    return text::searchFold(title) + '\n' + text::searchFold(author);
}

void BookList::remove(std::size_t index)
{
    if (auto found = m_namesakes.find(namesakeKey(m_books[index]));
        found != m_namesakes.end() && --found->second == 0)
        m_namesakes.erase(found);
    m_books.erase(m_books.begin() + static_cast<std::ptrdiff_t>(index));
    m_searchKeys.erase(m_searchKeys.begin() + static_cast<std::ptrdiff_t>(index));
    m_details.erase(m_details.begin() + static_cast<std::ptrdiff_t>(index));
    m_positionsValid = false;
    ++m_changes;
}

void BookList::clear()
{
    m_books.clear();
    m_searchKeys.clear();
    m_details.clear();
    m_namesakes.clear();
    m_positionByFile.clear();
    m_positionsValid = false;
    ++m_changes;
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

std::vector<std::size_t> BookList::positions() const
{
    std::vector<std::size_t> order(m_books.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    return order;
}

std::vector<std::size_t> BookList::orderedByRecency(std::vector<std::size_t> positions) const
{
    std::stable_sort(positions.begin(), positions.end(),
        [this](std::size_t a, std::size_t b) { return m_books[a].added > m_books[b].added; });
    return positions;
}

std::vector<std::size_t> BookList::orderedByTitle(const std::vector<std::size_t>& positions) const
{
    return orderedByText(&Book::title, positions);
}

std::vector<std::size_t> BookList::orderedByAuthor(const std::vector<std::size_t>& positions) const
{
    return orderedByText(&Book::author, positions);
}

void BookList::sortByRecency()
{
    reorder(orderedByRecency(positions()));
}

void BookList::sortByTitle()
{
    reorder(orderedByTitle(positions()));
}

void BookList::sortByAuthor()
{
    reorder(orderedByAuthor(positions()));
}

namespace {

// A book's sort key: the first eight bytes packed into an integer, so that most comparisons are
// one integer comparison with no trip to the text, then the whole text.
struct TextKey {
    std::uint64_t prefix;
    std::string_view text;
    std::size_t position;

    bool operator<(const TextKey& other) const
    {
        if (prefix != other.prefix)
            return prefix < other.prefix;
        return text < other.text;
    }
};

std::uint64_t packedPrefix(std::string_view text)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < sizeof prefix; ++i)
        prefix = (prefix << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return prefix;
}

}

std::vector<std::size_t> BookList::orderedByText(
    std::string Book::*key, const std::vector<std::size_t>& positions) const
{
    // Each key is normalised once, not once per comparison, and most are already in NFC and
    // are used in place. UTF-8 byte order is the order of scalar values.
    const std::size_t count = positions.size();
    std::vector<std::string> normalised;
    std::vector<TextKey> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& original = m_books[positions[i]].*key;
        std::string_view text = original;
        if (!text::isKnownNFC(original)) {
            if (normalised.empty())
                normalised.reserve(count); // views into it must stay put
            text = normalised.emplace_back(text::nfc(original));
        }
        keys[i] = TextKey { packedPrefix(text), text, positions[i] };
    }
    std::stable_sort(keys.begin(), keys.end());
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = keys[i].position;
    return order;
}

void BookList::reorder(const std::vector<std::size_t>& order)
{
    // In place, one cycle of the permutation after the other: a list of 100,000 books is never
    // held twice, which a copy into new vectors would do at the peak of a scan.
    std::vector<char> placed(order.size(), 0);
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (placed[start])
            continue;
        Book book = std::move(m_books[start]);
        std::string key = std::move(m_searchKeys[start]);
        BookDetails details = std::move(m_details[start]);
        std::size_t to = start;
        while (order[to] != start) {
            std::size_t from = order[to];
            m_books[to] = std::move(m_books[from]);
            m_searchKeys[to] = std::move(m_searchKeys[from]);
            m_details[to] = std::move(m_details[from]);
            placed[to] = 1;
            to = from;
        }
        m_books[to] = std::move(book);
        m_searchKeys[to] = std::move(key);
        m_details[to] = std::move(details);
        placed[to] = 1;
    }
    m_positionsValid = false;
    ++m_changes;
}
