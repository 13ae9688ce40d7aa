// The search field's passages from the text index, as the host's route hands them to the page.
#include "app/LibraryPassages.h"

#include "library/BookList.h"

namespace {

host::FoundPassage passageOf(folioreader::TextIndex::Found& found)
{
    return { found.document, found.offset, std::move(found.chapter), std::move(found.snippet),
        std::move(found.marks) };
}

}

foundation::Result<host::FoundPassages> findLibraryPassages(folioreader::TextIndex& index,
    const std::string& folder, const folioreader::TextIndexer::Progress& progress,
    const std::string& typed, const std::string& file, const StillListed& listed)
{
    auto query = folioreader::parsePassageQuery(typed, folioreader::QueryWords::beingTyped);
    if (!query)
        return query.error();
    host::FoundPassages answer;
    answer.indexed = progress.indexed;
    answer.total = progress.total;
    answer.indexing = progress.working;

    std::vector<host::PassageBook> books;
    if (file.empty()) {
        auto found = index.search(folder, *query, passageBooks, passagesPerBook);
        if (!found)
            return foundation::Error(
                "the library's text cannot be searched: " + found.error().description());
        for (auto& book : *found) {
            host::PassageBook entry { std::move(book.name), std::move(book.title),
                std::move(book.author), {}, book.more };
            for (auto& passage : book.passages)
                entry.passages.push_back(passageOf(passage));
            books.push_back(std::move(entry));
        }
    } else {
        auto found = index.searchBook(folder, file, *query);
        if (!found)
            return foundation::Error(
                "the library's text cannot be searched: " + found.error().description());
        host::PassageBook entry { file, {}, {}, {}, false };
        for (auto& passage : *found)
            entry.passages.push_back(passageOf(passage));
        if (!entry.passages.empty())
            books.push_back(std::move(entry));
    }

    std::vector<std::string> files;
    for (const auto& book : books)
        files.push_back(book.file);
    auto kept = files.empty() ? std::vector<bool>() : listed(files);
    for (std::size_t at = 0; at < books.size(); ++at) {
        if (at < kept.size() && kept[at])
            answer.books.push_back(std::move(books[at]));
    }
    return answer;
}

host::LibraryPassages libraryPassages(
    folioreader::TextIndexer& indexer, std::string folder, ui::MainLoop& loop)
{
    return [&indexer, folder = std::move(folder), &loop](const std::string& typed,
               const std::string& file) -> foundation::Result<host::FoundPassages> {
        if (!indexer.index())
            return foundation::Error("the library's text index cannot be opened");
        StillListed listed = [&loop](const std::vector<std::string>& files) {
            auto kept = loop.performAndWait(
                [&files] {
                    std::vector<bool> listed;
                    for (const auto& name : files)
                        listed.push_back(bookList().find(name).has_value());
                    return listed;
                },
                ui::TaskKind::look);
            return kept ? std::move(*kept) : std::vector<bool>();
        };
        return findLibraryPassages(
            *indexer.index(), folder, indexer.progress(), typed, file, listed);
    };
}
