// ReaderRoutes: what the host needs of a screen that shows a book, and the routes that serve it.
// Such a screen is drawn by the browser's reader renderer from the description it gives, and
// its book's files are served under its session's unguessable name only while it is in the
// window, confined to the book, under a policy that lets none of the book's scripts run.
//
//     GET  /reader/<session>/<path inside the book>   a file of the book
//     POST /reader/<session>/action                   an action of the reader (a highlight, ...)
//     POST /reader/<session>/search                   the matches of {"query"}, one JSON line each
#pragma once

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Result.h"
#include "platform/ui/Image.h"
#include "platform/ui/MainLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace host {

class ImageRegistry;

// A file of the book, open for reading; the descriptor is closed with the object.
class ServedFile {
public:
    ServedFile(int descriptor, std::uint64_t size, std::string mediaType)
        : m_descriptor(descriptor), m_size(size), m_mediaType(std::move(mediaType)) {}

    int descriptor() const { return m_descriptor.get(); }
    std::uint64_t size() const { return m_size; }
    const std::string& mediaType() const { return m_mediaType; }

private:
    foundation::FileDescriptor m_descriptor;
    std::uint64_t m_size;
    std::string m_mediaType;
};

// Implemented by the controller of a screen that shows a book. Every call is made on the main
// loop.
class ReaderScreen {
public:
    virtual ~ReaderScreen() = default;

    // The name under which the book's files are served.
    virtual const std::string& readerSession() const = 0;
    // What the reader renderer draws: the book's parts, the settings, the controls' view ids.
    // Images it refers to by their position in readerImages().
    virtual nlohmann::json readerDescription() const = 0;
    virtual std::vector<std::shared_ptr<ui::Image>> readerImages() const = 0;
    // Opens the file at a path relative to the book's root; an error for anything outside it.
    virtual foundation::Result<ServedFile> openReaderFile(std::string_view path) const = 0;
    // Performs an action the renderer sent and answers what the renderer needs back; an error
    // when the action is malformed or cannot be done.
    virtual foundation::Result<nlohmann::json> performReaderAction(const nlohmann::json& action) = 0;

    // A search of the book's text, run on a worker thread: it hands each match to found, which
    // answers whether to go on, and answers a summary at its end.
    using SearchJob = std::function<nlohmann::json(const std::function<bool(const nlohmann::json&)>& found)>;
    // Prepares the search for the query on the main loop; an error when there is nothing to
    // search for. A search started later stops the ones before.
    virtual foundation::Result<SearchJob> startReaderSearch(const std::string& query)
    {
        (void)query;
        return foundation::Error("this screen has nothing to search");
    }
};

// The reader part of a screen's snapshot: its description with "images" replaced by the ids the
// browser fetches them under.
nlohmann::json readerSnapshot(const ReaderScreen& screen, ImageRegistry& images);

// The policy every file of a book is served under: nothing runs, nothing is fetched from
// elsewhere, and only Pagewyn's own pages may frame it.
inline constexpr const char* readerContentPolicy = "default-src 'none'; img-src 'self' data:; "
                                                    "style-src 'self' 'unsafe-inline'; font-src 'self'; media-src 'self'; "
                                                    "base-uri 'none'; form-action 'none'; frame-ancestors 'self'";

// Adds the reader's routes. Requests reach them only after the host's guard let them through.
void installReaderRoutes(httplib::Server& server, ui::MainLoop& loop);

}
