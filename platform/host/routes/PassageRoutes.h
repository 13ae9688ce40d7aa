// PassageRoutes: passages from the books' text for the words typed in the library's search field.
//
//     POST /passages {"words"}          the books holding the words, most relevant first, each
//                                       with its best few passages, and how far indexing has come
//     POST /passages {"words", "book"}  every passage of one book ("more in this book")
//
// The application answers as plain data; a search runs on the request's own worker thread and
// never on the main loop, so typing does not hold up the screen.
#pragma once

#include "platform/foundation/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace host {

struct FoundPassage {
    std::uint32_t document = 0; // the book's spine document
    std::uint64_t offset = 0; // in UTF-16 code units, as the reader counts places
    std::string chapter;
    std::string snippet;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> marks; // [from, to) in the snippet
};

struct PassageBook {
    std::string file;
    std::string title;
    std::string author;
    std::vector<FoundPassage> passages;
    bool more = false; // the book holds more passages than these
};

struct FoundPassages {
    std::vector<PassageBook> books;
    std::size_t indexed = 0; // books whose text the index holds
    std::size_t total = 0; // of the library's books
    bool indexing = false;
};

// The typed words and, for one book's passages, its file (empty: every book). An error is a
// person's words: the query was refused, or the index cannot be used.
using LibraryPassages = std::function<foundation::Result<FoundPassages>(
    const std::string& typed, const std::string& file)>;

nlohmann::json passagesJson(const FoundPassages& found);

// passages: none when the application keeps no text index.
void installPassageRoutes(httplib::Server& server, LibraryPassages passages);

}
