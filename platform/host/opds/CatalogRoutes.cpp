// The catalog's feeds and downloads.
#include "platform/host/opds/CatalogRoutes.h"

#include "platform/foundation/Digest.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/hexEncoded.h"
#include "platform/host/opds/AtomFeed.h"
#include "platform/host/opds/ByteRange.h"
#include "platform/host/opds/FolderZip.h"
#include "platform/host/opds/XmlText.h"
#include "platform/host/server/Attachment.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <httplib.h>
#include <sys/stat.h>

namespace host {

namespace {

constexpr std::size_t chunkSize = 64 * 1024;
// Longer search texts are cut: no title is longer, and a page stays cheap whatever is sent.
constexpr std::size_t longestSearch = 256;

void plainAnswer(httplib::Response& response, int status, const std::string& text)
{
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

void sendFeed(httplib::Response& response, const AtomFeed& feed, AtomFeed::Kind kind)
{
    response.set_content(feed.xml(), AtomFeed::mediaType(kind) + ";charset=utf-8");
}

// The page a request asks for, from 1; nothing for a page that is no positive number.
std::optional<std::size_t> requestedPage(const httplib::Request& request)
{
    return request.has_param("page") ? catalogPage(request.get_param_value("page"))
                                     : std::optional<std::size_t>(1);
}

// What the main loop answers, or nothing, the request having been answered: 404 for a page out
// of range, 503 when the application is stopping.
template <class Ask>
auto askLibrary(ui::MainLoop& loop, httplib::Response& response, Ask ask)
    -> std::optional<std::invoke_result_t<Ask&>>
{
    auto answer = loop.performAndWait(std::move(ask), ui::TaskKind::look);
    if (!answer) {
        plainAnswer(response, 503, "Pagewyn is stopping: " + answer.error().description());
        return std::nullopt;
    }
    return std::move(answer.value());
}

// A feed of books, one page of it; the page's slice is asked of the library by slice(offset).
template <class Slice>
void booksFeed(ui::MainLoop& loop, const httplib::Request& request, httplib::Response& response,
    const std::string& id, const std::string& title, const std::string& selfHref, Slice slice)
{
    auto page = requestedPage(request);
    if (!page) {
        plainAnswer(response, 404, "Not found: no such page");
        return;
    }
    std::size_t offset = (*page - 1) * catalogPageSize;
    auto books = askLibrary(loop, response, [&] { return slice(offset); });
    if (!books)
        return;
    if (*page > 1 && offset >= books->total) {
        plainAnswer(response, 404, "Not found: no such page");
        return;
    }
    AtomFeed feed(AtomFeed::Kind::acquisition, id, title, selfHref);
    feed.paging(*page, (books->total + catalogPageSize - 1) / catalogPageSize, books->total,
        catalogPageSize);
    for (auto& book : books->items)
        feed.bookEntry(book);
    sendFeed(response, feed, AtomFeed::Kind::acquisition);
}

void rootFeed(httplib::Response& response)
{
    using Kind = AtomFeed::Kind;
    AtomFeed feed(Kind::navigation, "urn:pagewyn:catalog", "Pagewyn", "/opds");
    feed.navigationEntry("urn:pagewyn:catalog:recent", "Recently Opened", "/opds/recent",
        Kind::acquisition, "The books, the most recently opened first");
    feed.navigationEntry("urn:pagewyn:catalog:title", "Books by Title", "/opds/title",
        Kind::acquisition, "The books by title");
    feed.navigationEntry("urn:pagewyn:catalog:authors", "Books by Author", "/opds/authors",
        Kind::navigation, "The books of each author");
    sendFeed(response, feed, Kind::navigation);
}

void authorsFeed(ui::MainLoop& loop, CatalogLibrary& library, const httplib::Request& request,
    httplib::Response& response)
{
    auto page = requestedPage(request);
    if (!page) {
        plainAnswer(response, 404, "Not found: no such page");
        return;
    }
    std::size_t offset = (*page - 1) * catalogPageSize;
    auto authors
        = askLibrary(loop, response, [&] { return library.authors(offset, catalogPageSize); });
    if (!authors)
        return;
    if (*page > 1 && offset >= authors->total) {
        plainAnswer(response, 404, "Not found: no such page");
        return;
    }
    AtomFeed feed(AtomFeed::Kind::navigation, "urn:pagewyn:catalog:authors", "Books by Author",
        "/opds/authors");
    feed.paging(*page, (authors->total + catalogPageSize - 1) / catalogPageSize, authors->total,
        catalogPageSize);
    for (auto& author : authors->items) {
        feed.navigationEntry(AtomFeed::authorId(author.name), AtomFeed::authorName(author.name),
            AtomFeed::authorHref(author.name), AtomFeed::Kind::acquisition,
            std::to_string(author.bookCount) + (author.bookCount == 1 ? " book" : " books"));
    }
    sendFeed(response, feed, AtomFeed::Kind::navigation);
}

// "http://HOST" as the request named this host, for an address a client takes as it stands; empty
// when the request names none that can be written as one.
std::string origin(const httplib::Request& request)
{
    auto host = request.get_header_value("Host");
    bool plain = !host.empty() && host.size() <= 255
        && std::all_of(host.begin(), host.end(), [](unsigned char c) {
               return std::isalnum(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
           });
    return plain ? "http://" + host : "";
}

void openSearchDescription(const httplib::Request& request, httplib::Response& response)
{
    response.set_content(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
        "<ShortName>Pagewyn</ShortName>\n<Description>Search the books of this Pagewyn "
        "library</Description>\n"
        "<InputEncoding>UTF-8</InputEncoding>\n<OutputEncoding>UTF-8</OutputEncoding>\n"
        "<Url type=\""
            + AtomFeed::mediaType(AtomFeed::Kind::acquisition) + "\" template=\"" + origin(request)
            + "/opds/search?q={searchTerms}\"/>\n</OpenSearchDescription>\n",
        "application/opensearchdescription+xml;charset=utf-8");
}

// Sends the part of a file of size bytes the request asks for, read through send(offset, length,
// write), with what a reading app needs to resume a cut download: the file's version (ETag,
// Last-Modified) and that it takes ranges.
template <class Send>
void sendFile(const httplib::Request& request, httplib::Response& response, std::uint64_t size,
    std::uint64_t version, std::int64_t modified, Send send)
{
    auto etag = "\"" + foundation::hexEncoded(version) + "\"";
    auto lastModified
        = foundation::Date(foundation::Date::TimePoint(std::chrono::nanoseconds(modified)))
              .httpDate();
    auto range = ByteRange::requested(request, size, etag, lastModified);
    // The server would cut the answer again by the ranges it parsed, and knows nothing of
    // If-Range, unsatisfiable ranges or ends past the file: the range is served here, once. The
    // request is the server's own, made for this answer alone.
    const_cast<httplib::Request&>(request).ranges.clear();
    response.set_header("Accept-Ranges", "bytes");
    response.set_header("ETag", etag);
    response.set_header("Last-Modified", lastModified);
    if (range.kind == ByteRange::Kind::unsatisfiable) {
        response.headers.erase("Content-Disposition");
        response.set_header("Content-Range", range.contentRange());
        plainAnswer(
            response, 416, "The range is not within the book's " + std::to_string(size) + " bytes");
        return;
    }
    if (range.kind == ByteRange::Kind::part) {
        response.status = 206;
        response.set_header("Content-Range", range.contentRange());
    }
    if (range.length == 0) {
        response.set_content("", "application/epub+zip");
        return;
    }
    response.set_content_provider(static_cast<std::size_t>(range.length), "application/epub+zip",
        [send, start = range.offset](std::size_t offset, std::size_t length,
            httplib::DataSink& sink) { return send(start + offset, length, sink); });
}

void download(ui::MainLoop& loop, CatalogLibrary& library, const httplib::Request& request,
    httplib::Response& response)
{
    std::string file = request.matches[1];
    auto book = askLibrary(loop, response, [&] { return library.book(file); });
    if (!book)
        return;
    if (!*book) {
        plainAnswer(response, 404, "Not found: no such book in the library");
        return;
    }
    auto path = (*book)->path;
    // The item itself is never a link to follow, as no file inside a folder book is.
    auto item = std::make_shared<foundation::FileDescriptor>(
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status { };
    if (!item->isOpen() || ::fstat(item->get(), &status) != 0) {
        plainAnswer(response, 404, "Not found: the book is no longer in the library");
        return;
    }
    response.set_header("Content-Disposition", attachment((*book)->file));
    if (S_ISREG(status.st_mode)) {
        std::int64_t modified
            = std::int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
        auto version = foundation::Digest();
        for (auto number : { std::uint64_t(status.st_ino), std::uint64_t(status.st_size),
                 std::uint64_t(modified) })
            version.add(std::string_view(reinterpret_cast<const char*>(&number), sizeof number));
        sendFile(request, response, std::uint64_t(status.st_size), version.value(), modified,
            [item](std::uint64_t offset, std::size_t length, httplib::DataSink& sink) {
                std::string buffer(std::min(length, chunkSize), '\0');
                if (!foundation::readAllAt(item->get(), buffer.data(), buffer.size(), offset))
                    return false;
                return sink.write(buffer.data(), buffer.size());
            });
        return;
    }
    auto zip = S_ISDIR(status.st_mode)
        ? FolderZip::plan(path)
        : foundation::Error("the book is neither a file nor a folder");
    if (!zip) {
        response.headers.erase("Content-Disposition");
        plainAnswer(response, 422, "The book cannot be sent: " + zip.error().description());
        return;
    }
    auto planned = std::make_shared<FolderZip>(std::move(*zip));
    sendFile(request, response, planned->size(), planned->stamp(), planned->modified(),
        [planned](std::uint64_t offset, std::size_t length, httplib::DataSink& sink) {
            // The rest of the range is written in one call.
            return planned->send(offset, length,
                [&sink](const char* bytes, std::size_t size) { return sink.write(bytes, size); });
        });
}

void cover(ui::MainLoop& loop, CatalogLibrary& library, const httplib::Request& request,
    httplib::Response& response, CatalogLibrary::CoverSize size)
{
    std::string file = request.matches[1];
    auto book = askLibrary(loop, response, [&] { return library.book(file); });
    if (!book)
        return;
    if (!*book) {
        plainAnswer(response, 404, "Not found: no such book in the library");
        return;
    }
    // Read here, on the worker that asks: a book read for a reading app never holds up the screen.
    auto picture = library.coverPicture((*book)->path, size);
    if (!picture) {
        plainAnswer(response, 404, "Not found: the book has no cover");
        return;
    }
    response.set_content(picture->bytes, picture->mimeType);
}

}

std::optional<std::size_t> catalogPage(std::string_view text)
{
    if (text.empty() || text.size() > 9
        || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    std::size_t page = 0;
    for (char digit : text)
        page = page * 10 + std::size_t(digit - '0');
    if (page == 0)
        return std::nullopt;
    return page;
}

void installCatalogRoutes(
    httplib::Server& server, ui::MainLoop& loop, std::shared_ptr<CatalogLibrary> library)
{
    server.Get(
        "/opds", [](const httplib::Request&, httplib::Response& response) { rootFeed(response); });
    server.Get(
        "/opds/opensearch.xml", [](const httplib::Request& request, httplib::Response& response) {
            openSearchDescription(request, response);
        });
    server.Get("/opds/recent",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            booksFeed(loop, request, response, "urn:pagewyn:catalog:recent", "Recently Opened",
                "/opds/recent", [&](std::size_t offset) {
                    return library->books(CatalogLibrary::Order::recent, offset, catalogPageSize);
                });
        });
    server.Get("/opds/title",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            booksFeed(loop, request, response, "urn:pagewyn:catalog:title", "Books by Title",
                "/opds/title", [&](std::size_t offset) {
                    return library->books(CatalogLibrary::Order::title, offset, catalogPageSize);
                });
        });
    server.Get("/opds/authors",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            authorsFeed(loop, *library, request, response);
        });
    server.Get("/opds/author",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            auto name = request.get_param_value("name");
            if (request.has_param("key")) {
                auto named = askLibrary(loop, response,
                    [&] { return library->authorNamed(request.get_param_value("key")); });
                if (!named)
                    return;
                if (!*named) {
                    plainAnswer(response, 404, "Not found: no such author");
                    return;
                }
                name = std::move(**named);
            }
            booksFeed(loop, request, response, AtomFeed::authorId(name), AtomFeed::authorName(name),
                AtomFeed::authorHref(name), [&](std::size_t offset) {
                    return library->booksBy(name, offset, catalogPageSize);
                });
        });
    server.Get("/opds/search",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            auto text = request.get_param_value("q").substr(0, longestSearch);
            auto query = AtomFeed::queryValue(text);
            booksFeed(loop, request, response, "urn:pagewyn:search:" + query, "Search: " + text,
                "/opds/search?q=" + query,
                [&](std::size_t offset) { return library->search(text, offset, catalogPageSize); });
        });
    server.Get(R"(/opds/download/([^/]+))",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            download(loop, *library, request, response);
        });
    server.Get(R"(/opds/cover/([^/]+))",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            cover(loop, *library, request, response, CatalogLibrary::CoverSize::image);
        });
    server.Get(R"(/opds/thumbnail/([^/]+))",
        [&loop, library](const httplib::Request& request, httplib::Response& response) {
            cover(loop, *library, request, response, CatalogLibrary::CoverSize::thumbnail);
        });
}

}
