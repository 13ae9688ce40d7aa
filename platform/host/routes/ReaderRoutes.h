// ReaderRoutes: the routes that serve a screen that shows a book (a ui::ReaderScreen). Such a
// screen is drawn by the browser's reader renderer from the description it gives, and
// its book's files are served under its session's unguessable name only while it is in the
// window, confined to the book, under a policy that lets none of the book's scripts run.
//
//     GET  /reader/<session>/<path inside the book>   a file of the book
//     POST /reader/<session>/action                   an action of the reader (a highlight, ...)
//     POST /reader/<session>/search                   the matches of {"query"}, one JSON line each
//     POST /reader/<session>/export-highlights        the book's highlights, as a file to keep
#pragma once

#include "platform/ui/MainLoop.h"

namespace httplib {
class Server;
}

namespace host {

// The policy every file of a book is served under: nothing runs, nothing is fetched from
// elsewhere, and only Pagewyn's own pages may frame it.
inline constexpr const char* readerContentPolicy
    = "default-src 'none'; img-src 'self' data:; "
      "style-src 'self' 'unsafe-inline'; font-src 'self'; media-src 'self'; "
      "base-uri 'none'; form-action 'none'; frame-ancestors 'self'";

// Adds the reader's routes. Requests reach them only after the host's guard let them through.
void installReaderRoutes(httplib::Server& server, ui::MainLoop& loop);

}
