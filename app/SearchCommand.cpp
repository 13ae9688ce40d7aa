// The headless search: scan, bring the text index up to date (saying how far it has come on
// standard error when that takes more than a second), search, print.
#include "app/SearchCommand.h"

#include "app/scanOnce.h"
#include "frameworks/folioreader/textindex/TextIndex.h"
#include "frameworks/folioreader/textindex/updateTextIndex.h"
#include "library/BookList.h"
#include "platform/foundation/escapedField.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

namespace {

void printLines(const std::vector<folioreader::TextIndex::FoundBook>& books)
{
    std::string out;
    for (const auto& book : books) {
        for (const auto& passage : book.passages) {
            out += foundation::escapedField(book.name) + "\t" + foundation::escapedField(book.title)
                + "\t" + foundation::escapedField(passage.chapter) + "\t"
                + foundation::escapedField(passage.snippet) + "\n";
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printJson(const std::vector<folioreader::TextIndex::FoundBook>& books)
{
    auto list = nlohmann::ordered_json::array();
    for (const auto& book : books) {
        for (const auto& passage : book.passages) {
            auto marks = nlohmann::ordered_json::array();
            for (auto [from, to] : passage.marks)
                marks.push_back({ from, to });
            list.push_back({ { "file", book.name }, { "title", book.title },
                { "author", book.author }, { "chapter", passage.chapter },
                { "document", passage.document }, { "offset", passage.offset },
                { "snippet", passage.snippet }, { "marks", std::move(marks) } });
        }
    }
    std::cout << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << std::endl;
}

// "1 book", "3 books".
std::string booksCount(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " book" : " books");
}

// Brings the index up to date, saying how far it has come once the update has taken a second,
// then at most every second, on one line written over.
folioreader::TextIndexOutcome updateSayingProgress(folioreader::TextIndex& index,
    const std::string& folder, const std::vector<std::string>& names,
    folioreader::TextIndexUpdate update)
{
    const auto start = std::chrono::steady_clock::now();
    auto said = start;
    bool saying = false;
    update.progress = [&](std::size_t indexed, std::size_t total) {
        auto now = std::chrono::steady_clock::now();
        if (now - start < std::chrono::seconds(1)
            || (saying && now - said < std::chrono::seconds(1)))
            return;
        said = now;
        saying = true;
        std::fprintf(stderr, "\rIndexing the library's text: %zu of %zu books", indexed, total);
        std::fflush(stderr);
    };
    auto outcome = folioreader::updateTextIndex(index, folder, names, update);
    if (saying)
        std::fputc('\n', stderr);
    return outcome;
}

}

int runSearchCommand(const SearchOptions& options)
{
    std::string typed;
    for (const std::string& word : options.words)
        typed += (typed.empty() ? "" : " ") + word;
    auto query = folioreader::parsePassageQuery(typed, folioreader::QueryWords::complete);
    if (!query) {
        std::cerr << "pagewyn: search: " << query.error().description() << std::endl;
        return 2;
    }
    auto folder = scanOnce({ options.documents, options.metadataStore, true, "search" });
    if (!folder)
        return 1;
    if (!options.textIndex) {
        std::cerr << "pagewyn: search: the library's text index cannot be opened" << std::endl;
        return 1;
    }
    std::vector<std::string> names;
    names.reserve(bookList().size());
    for (const Book& book : bookList())
        names.push_back(book.file);

    folioreader::TextIndexUpdate update;
    update.unsettledWindow = options.unsettledWindow;
    auto outcome = updateSayingProgress(*options.textIndex, *folder, names, update);
    // A book changed in the last seconds may be being written still, and is left unread. The
    // command waits once for it to settle, so a book copied in just before the search is searched;
    // one changing still is named as not searched, never silently missing from the answer.
    if (!outcome.complete && options.unsettledWindow.count() > 0) {
        std::cerr << "pagewyn: search: waiting for " << booksCount(names.size() - outcome.indexed)
                  << " changed just now" << std::endl;
        std::this_thread::sleep_for(options.unsettledWindow);
        outcome = updateSayingProgress(*options.textIndex, *folder, names, update);
    }
    if (!outcome.complete)
        std::cerr << "pagewyn: search: " << booksCount(names.size() - outcome.indexed)
                  << " being written not searched; search again when the copy has ended"
                  << std::endl;

    auto found
        = options.textIndex->search(*folder, *query, searchCommandBooks, searchCommandPassages);
    if (!found) {
        std::cerr << "pagewyn: search: " << found.error().description() << std::endl;
        return 1;
    }
    std::fflush(stdout);
    if (options.json)
        printJson(*found);
    else
        printLines(*found);
    return found->empty() ? 1 : 0;
}
