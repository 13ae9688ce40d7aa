// AtomFeed: one feed of the catalog for reading apps, written as Atom with the catalog's links:
// navigation feeds (entries lead to other feeds) and acquisition feeds (entries are books one
// can download), paged with OpenSearch counts.
#pragma once

#include "platform/host/opds/CatalogLibrary.h"

#include <string>

namespace host {

class AtomFeed {
public:
    enum class Kind { navigation, acquisition };
    static std::string mediaType(Kind kind);

    // selfHref: this feed's address, without its page.
    AtomFeed(Kind kind, std::string id, const std::string& title, std::string selfHref);

    // The OpenSearch counts and the first, previous, next and last pages' links; page from 1.
    void paging(std::size_t page, std::size_t pageCount, std::size_t total, std::size_t perPage);
    // An entry leading to another feed.
    void navigationEntry(const std::string& id, const std::string& title, const std::string& href,
        Kind target, const std::string& content);
    void bookEntry(const CatalogBook& book);

    std::string xml() const;

    // A book entry's id: the book's identifier where it can stand as one as it is written (no
    // white space, control character or text that is not UTF-8, and outside the catalog's own
    // "urn:pagewyn:" ids, so it can never be another entry's); otherwise one made from the item's
    // name, which stays the same across restarts and rescans.
    static std::string bookId(const CatalogBook& book);
    // Where a book's file, its cover and its cover's thumbnail are downloaded from.
    static std::string downloadHref(const std::string& file);
    static std::string coverHref(const std::string& file);
    static std::string thumbnailHref(const std::string& file);
    // The query's value written for an address.
    static std::string queryValue(const std::string& value);
    // An author's feed: by the name where it makes a short address, else by a key made from the
    // name (any name: 100,000 characters would make a request line no server takes). The id
    // follows the address.
    static std::string authorHref(const std::string& name);
    static std::string authorId(const std::string& name);
    // How an author is named in every feed: "Unknown author" for a book that names none.
    static std::string authorName(const std::string& name);

private:
    void link(const std::string& rel, const std::string& href, const std::string& type);
    std::string pageHref(std::size_t page) const;

    Kind m_kind;
    std::string m_selfHref;
    std::string m_head;
    std::string m_entries;
};

}
