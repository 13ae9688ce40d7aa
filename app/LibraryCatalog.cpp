// The catalog's view of the book list: orders and authors kept until the list changes.
#include "app/LibraryCatalog.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/StoredCover.h"
#include "frameworks/folioreader/metadata/StoredDescription.h"
#include "frameworks/folioreader/stores/KeptProgress.h"
#include "library/DocumentsFolder.h"
#include "platform/host/opds/AtomFeed.h"
#include "platform/text/SearchFold.h"
#include "platform/text/Text.h"
#include "screen/BookFilter.h"

#include <algorithm>
#include <string_view>

void LibraryCatalog::refresh()
{
    if (m_madeAt == m_books.changeCount())
        return;
    // As `pagewyn list` orders: by recency; that by title; that by author.
    m_recent = m_books.orderedByRecency(m_books.positions());
    m_title = m_books.orderedByTitle(m_recent);
    m_author = m_books.orderedByAuthor(m_title);
    m_authors.clear();
    m_authorByName.clear();
    // Each author's name is put in canonical form once; equal names stand together in this order.
    std::string last;
    for (std::size_t at = 0; at < m_author.size(); ++at) {
        auto name = text::nfc(m_books[m_author[at]].author);
        if (!m_authors.empty() && name == last) {
            ++m_authors.back().count;
            continue;
        }
        m_authorByName.emplace(name, m_authors.size());
        m_authors.push_back({ at, 1 });
        last = std::move(name);
    }
    // Each identifier is the id of the book of the earliest name (in byte order) that claims it.
    m_identifierTaken.assign(m_books.size(), 0);
    std::unordered_map<std::string_view, std::size_t> claimant;
    for (std::size_t position = 0; position < m_books.size(); ++position) {
        const std::string& identifier = m_books.details(position).identifier;
        if (identifier.empty())
            continue;
        auto [first, added] = claimant.emplace(identifier, position);
        if (added)
            continue;
        std::size_t later = position;
        if (m_books[position].file < m_books[first->second].file) {
            later = first->second;
            first->second = position;
        }
        m_identifierTaken[later] = 1;
    }
    m_searched.clear();
    m_found.clear();
    m_madeAt = m_books.changeCount();
}

host::CatalogBook LibraryCatalog::entry(std::size_t position) const
{
    const Book& book = m_books[position];
    const BookDetails& details = m_books.details(position);
    return { book.title, book.author, book.file, bookPath(book.file), book.added, {}, false,
        m_identifierTaken[position] ? std::string() : details.identifier, details.identifier,
        details.language, {} };
}

host::CatalogSlice<host::CatalogBook> LibraryCatalog::slice(const std::vector<std::size_t>& order,
    std::size_t from, std::size_t size, std::size_t offset, std::size_t count) const
{
    host::CatalogSlice<host::CatalogBook> page { {}, size };
    auto store = folioreader::FolioReader::metadataStore();
    for (std::size_t at = offset; at < size && at - offset < count; ++at) {
        auto book = entry(order[from + at]);
        // Only what the metadata cache already holds: a page reads no book.
        if (auto stored = folioreader::storedCover(store, book.path)) {
            book.coverType = stored->mimeType;
            book.hasNoCover = stored->bytes.empty();
        }
        book.summary = folioreader::storedDescription(store, book.path);
        if (auto progress = m_keptProgress.of(bookPath(folioreader::readingPlacesName), book.file))
            book.readingProgress = folioreader::progressWords(*progress);
        page.items.push_back(std::move(book));
    }
    return page;
}

host::CatalogSlice<host::CatalogBook> LibraryCatalog::books(
    Order order, std::size_t offset, std::size_t count)
{
    refresh();
    auto& positions = order == Order::recent ? m_recent : m_title;
    return slice(positions, 0, positions.size(), offset, count);
}

host::CatalogSlice<host::CatalogBook> LibraryCatalog::booksBy(
    const std::string& author, std::size_t offset, std::size_t count)
{
    refresh();
    auto found = m_authorByName.find(text::nfc(author));
    if (found == m_authorByName.end())
        return {};
    auto group = m_authors[found->second];
    return slice(m_author, group.first, group.count, offset, count);
}

host::CatalogSlice<host::CatalogBook> LibraryCatalog::search(
    const std::string& typed, std::size_t offset, std::size_t count)
{
    refresh();
    auto folded = text::searchFold(typed);
    if (folded.empty())
        return {};
    if (folded != m_searched) {
        m_found.clear();
        for (auto position : m_title) {
            if (BookFilter::holds(m_books.searchKey(position), folded))
                m_found.push_back(position);
        }
        m_searched = folded;
    }
    return slice(m_found, 0, m_found.size(), offset, count);
}

host::CatalogSlice<host::CatalogAuthor> LibraryCatalog::authors(
    std::size_t offset, std::size_t count)
{
    refresh();
    host::CatalogSlice<host::CatalogAuthor> page { {}, m_authors.size() };
    for (std::size_t at = offset; at < m_authors.size() && at - offset < count; ++at)
        page.items.push_back(
            { m_books[m_author[m_authors[at].first]].author, m_authors[at].count });
    return page;
}

std::optional<std::string> LibraryCatalog::authorNamed(const std::string& key)
{
    refresh();
    // Only long names are linked by key: a walk of the authors, and no table kept for them.
    for (auto& group : m_authors) {
        const std::string& name = m_books[m_author[group.first]].author;
        if (host::authorKey(name) == key)
            return name;
    }
    return std::nullopt;
}

std::optional<host::CatalogBook> LibraryCatalog::book(const std::string& file)
{
    refresh();
    auto position = m_books.find(file);
    if (!position)
        return std::nullopt;
    return entry(*position);
}

std::optional<host::CatalogCover> LibraryCatalog::coverPicture(
    const std::string& path, CoverSize size)
{
    // One cover is made at a time: a picture may take up to the decoding limit's memory, and the
    // catalog's workers are many.
    std::lock_guard making(m_makingCover);
    // The row's cover first, either way: kept in the metadata cache, for the screen as well, and
    // so that a book found to have none is known to, and offered without cover links.
    auto image = folioreader::FolioReader::getCoverImage(path);
    if (image && size == CoverSize::image)
        image = folioreader::FolioReader::getLargeCoverImage(m_largeCovers, path);
    if (!image || (*image)->data().empty())
        return std::nullopt;
    return host::CatalogCover { (*image)->mimeType(), (*image)->data() };
}
