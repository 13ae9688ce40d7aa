// CatalogRoutes: the library as a catalog for reading apps (Atom feeds a reader browses, searches
// and downloads from), read-only, behind the catalog's password (RequestGuard):
//
//     GET /opds                      the root: the three orders, with a search
//     GET /opds/recent, /opds/title  the books in that order, 50 a page (?page=N)
//     GET /opds/authors              the authors, each leading to /opds/author?name=… (?key=…
//                                    for a long name)
//     GET /opds/search?q=…           the books whose title or author holds the text
//     GET /opds/opensearch.xml       how to search
//     GET /opds/download/<file>      the book as an EPUB file, or one range of it
//     GET /opds/cover/<file>         the book's cover, at most 600 pixels on its longer side
//     GET /opds/thumbnail/<file>     the book's cover as a row shows it, kept in the metadata cache
//
// Each asks the application on the main loop for plain data (CatalogLibrary) and writes the feed
// on its own worker thread; downloads stream from the worker.
#pragma once

#include "platform/host/opds/CatalogLibrary.h"
#include "platform/ui/MainLoop.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace httplib {
class Server;
}

namespace host {

// The books or authors one page of a feed shows.
inline constexpr std::size_t catalogPageSize = 50;

// The page a catalog address's ?page= names, from 1; nothing for a value that is no positive
// number of at most nine digits.
std::optional<std::size_t> catalogPage(std::string_view text);

void installCatalogRoutes(
    httplib::Server& server, ui::MainLoop& loop, std::shared_ptr<CatalogLibrary> library);

}
