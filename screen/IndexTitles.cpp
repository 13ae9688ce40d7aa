// Index titles and the jump to a title.
#include "screen/IndexTitles.h"

#include "library/SortOrder.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <unordered_set>

namespace {
const std::string* indexKey(const Book& book, std::int64_t order)
{
    if (order == SortOrder::byTitle)
        return &book.title;
    if (order == SortOrder::byAuthor)
        return &book.author;
    return nullptr;
}
}

std::vector<std::string> indexTitles(const BookList& books, std::int64_t order)
{
    if (order != SortOrder::byTitle && order != SortOrder::byAuthor)
        return {};
    std::vector<std::string> titles;
    std::unordered_set<std::string_view> seen;
    for (const Book& book : books) {
        auto first = text::firstCharacter(*indexKey(book, order));
        if (first.empty() || !seen.insert(first).second)
            continue;
        titles.emplace_back(first);
    }
    std::stable_sort(titles.begin(), titles.end(),
        [](const std::string& a, const std::string& b) { return text::compare(a, b) < 0; });
    return titles;
}

std::optional<std::size_t> rowForIndexTitle(
    const BookList& books, std::int64_t order, std::string_view title)
{
    for (std::size_t row = 0; row < books.size(); ++row) {
        const std::string* key = indexKey(books[row], order);
        if (text::hasPrefix(key ? std::string_view(*key) : std::string_view(), title))
            return row;
    }
    return std::nullopt;
}
