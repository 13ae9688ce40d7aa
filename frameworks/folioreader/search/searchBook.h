// Finding a query in every page of an open book: pages are searched side by side, one per core,
// and their matches handed on in the book's order as soon as every page before them is done.
#pragma once

#include "frameworks/folioreader/reader/ReaderSession.h"
#include "frameworks/folioreader/search/PageSearch.h"

#include <cstddef>
#include <functional>
#include <string>

namespace folioreader {

struct BookSearchOutcome {
    std::size_t count = 0; // the matches handed on
    bool complete = true; // every page was searched to its end
    bool cancelled = false; // stopped by cancelled, between pages
};

// Hands found the matches of the folded query in the book's spine, in order, with the index of
// their page, until it answers false or most were handed on. cancelled is asked before each page
// and at each match (from any thread): a newer search or the book's close ends this one.
BookSearchOutcome searchBook(const ReaderSession& session, const std::u32string& foldedQuery,
    std::size_t most, const std::function<bool()>& cancelled,
    const std::function<bool(std::size_t page, const SearchMatch&)>& found);

}
