// The search field's passages: the typed words searched in the library's text index, on the
// request's worker thread, and only the books the list still holds answered.
#pragma once

#include "frameworks/folioreader/textindex/TextIndexer.h"
#include "platform/host/routes/PassageRoutes.h"
#include "platform/ui/MainLoop.h"

#include <functional>
#include <string>
#include <vector>

// The most relevant books answered, and of each its best passages; the rest of a book's come
// with "more in this book".
inline constexpr std::size_t passageBooks = 30;
inline constexpr std::size_t passagesPerBook = 3;

// Of the files, those the library's list still holds (a book deleted since it was indexed is not).
using StillListed = std::function<std::vector<bool>(const std::vector<std::string>& files)>;

// The books holding the typed words (or, with a file, every passage of that book), with how far
// indexing has come. An error for words that leave nothing to search for, or a failed index.
foundation::Result<host::FoundPassages> findLibraryPassages(folioreader::TextIndex& index,
    const std::string& folder, const folioreader::TextIndexer::Progress& progress,
    const std::string& typed, const std::string& file, const StillListed& listed);

// The host's route's answers from the running indexer's index; the list is asked on the loop.
// The indexer outlives the host's serving.
host::LibraryPassages libraryPassages(
    folioreader::TextIndexer& indexer, std::string folder, ui::MainLoop& loop);
