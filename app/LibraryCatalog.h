// LibraryCatalog: the book list as the catalog for reading apps shows it. It keeps the list's
// three orders, as `pagewyn list --order` prints them, its authors and the books whose identifier
// another book claims first beside the list (positions only, no copy of a book), made again only
// after the list changed, so a page of a large library costs what a page of a small one does.
// A page's descriptions come from the metadata cache, for its books only. Main loop only, but for
// covers, read on the catalog's workers.
#pragma once

#include "frameworks/folioreader/metadata/LargeCoverCache.h"
#include "frameworks/folioreader/stores/KeptProgress.h"
#include "library/BookList.h"
#include "platform/host/opds/CatalogLibrary.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class LibraryCatalog final : public host::CatalogLibrary {
public:
    explicit LibraryCatalog(const BookList& books = bookList())
        : m_books(books)
    {
    }

    host::CatalogSlice<host::CatalogBook> books(
        Order order, std::size_t offset, std::size_t count) override;
    host::CatalogSlice<host::CatalogBook> booksBy(
        const std::string& author, std::size_t offset, std::size_t count) override;
    host::CatalogSlice<host::CatalogBook> search(
        const std::string& text, std::size_t offset, std::size_t count) override;
    host::CatalogSlice<host::CatalogAuthor> authors(std::size_t offset, std::size_t count) override;
    std::optional<std::string> authorNamed(const std::string& key) override;
    std::optional<host::CatalogBook> book(const std::string& file) override;
    // Any thread.
    std::optional<host::CatalogCover> coverPicture(
        const std::string& path, CoverSize size) override;

private:
    struct AuthorGroup {
        std::size_t first; // in the author order
        std::size_t count;
    };
    void refresh();
    host::CatalogBook entry(std::size_t position) const;
    host::CatalogSlice<host::CatalogBook> slice(const std::vector<std::size_t>& order,
        std::size_t from, std::size_t size, std::size_t offset, std::size_t count) const;

    const BookList& m_books;
    std::uint64_t m_madeAt = UINT64_MAX;
    std::vector<std::size_t> m_recent, m_title, m_author;
    std::vector<AuthorGroup> m_authors;
    std::unordered_map<std::string, std::size_t> m_authorByName; // NFC name to group
    // By position: whether another book with the same identifier has an earlier name, so this one
    // is known by its item's name. The name decides, not the list's order: opening a book or a
    // restart never moves an id from one copy of a book to another.
    std::vector<char> m_identifierTaken;
    // The last search, kept for the pages after its first.
    std::string m_searched;
    std::vector<std::size_t> m_found;
    folioreader::LargeCoverCache m_largeCovers;
    // How far each book was read; read again only when the reading places change, so it is kept
    // by pages cut on the main loop, which are otherwise const. No lock: the catalog's workers ask
    // for every page through the main loop, and only covers, which never look at it, are made
    // on the workers themselves.
    mutable folioreader::KeptProgress m_keptProgress;
    std::mutex m_makingCover;
};
