// CatalogLibrary: what the catalog for reading apps shows, as the application hands it over:
// pages of its books in its orders, its authors, a search, one book by its item's name, and a
// book's cover. A page comes from what the application already holds in memory or in its metadata
// cache: no book is read to answer it. Called on the main loop, but for coverPicture.
#pragma once

#include "platform/foundation/Date.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/hexEncoded.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace host {

// The short key the catalog names an author by where the name would make too long an address: a
// digest of the name, in hex. Here, not in the host, so the application finds an author by it.
inline std::string authorKey(const std::string& name)
{
    return foundation::hexEncoded(foundation::Digest().add(name).value());
}

struct CatalogBook {
    std::string title;
    std::string author;
    // The item's name in the library folder, and where it is.
    std::string file;
    std::string path;
    // The item's modification date.
    foundation::Date updated;
    // The media type of the small cover the metadata cache holds; empty when none is known. And
    // whether the cache knows the book has no cover: a book not read yet is offered with cover
    // links, answered when they are followed.
    std::string coverType;
    bool hasNoCover = false;
    // The package's unique identifier, which the entry takes as its id where it can stand as one
    // (AtomFeed::bookId); empty when the book has none or a book of an earlier item name has the
    // same (then the entry's id is made from the item's name). So ids are unique in the library,
    // and stay with their books across restarts.
    std::string identifier;
    // The package's unique identifier as it declares it, whichever entry has it as its id.
    std::string declaredIdentifier;
    // The package's language and its description as plain text; empty when it declares none or
    // the metadata cache does not hold it.
    std::string language;
    std::string summary;
    // How far the book has been read ("12% read", "finished"); empty when it was never opened.
    std::string readingProgress;
};

struct CatalogAuthor {
    std::string name;
    std::size_t bookCount = 0;
};

template <class Item> struct CatalogSlice {
    std::vector<Item> items;
    // Of the whole list the slice was cut from.
    std::size_t total = 0;
};

struct CatalogCover {
    std::string mimeType;
    std::string bytes;
};

class CatalogLibrary {
public:
    virtual ~CatalogLibrary() = default;

    enum class Order { recent, title };
    // At most count books from the offset: in an order; of one author (in the author order);
    // whose title or author holds the text, folded as the library's search field folds it (in
    // the title order).
    virtual CatalogSlice<CatalogBook> books(Order order, std::size_t offset, std::size_t count) = 0;
    virtual CatalogSlice<CatalogBook> booksBy(
        const std::string& author, std::size_t offset, std::size_t count)
        = 0;
    virtual CatalogSlice<CatalogBook> search(
        const std::string& text, std::size_t offset, std::size_t count)
        = 0;
    // The authors in the author order, each once.
    virtual CatalogSlice<CatalogAuthor> authors(std::size_t offset, std::size_t count) = 0;
    // The name of the author whose authorKey is the key, as authors() gives it.
    virtual std::optional<std::string> authorNamed(const std::string& key) = 0;
    virtual std::optional<CatalogBook> book(const std::string& file) = 0;
    // The cover of the book at the path as a picture of that size: the size a reading app shows
    // one whole, or a row's. Read from the book when no copy is kept, so called on the worker that
    // asks, never on the main loop; nothing when the book has no cover or it cannot be read.
    enum class CoverSize { image, thumbnail };
    virtual std::optional<CatalogCover> coverPicture(const std::string& path, CoverSize size) = 0;
};

}
