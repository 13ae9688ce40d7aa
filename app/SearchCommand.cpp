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

    // Progress is said once the update has taken a second, then at most every second, on one
    // line written over.
    const auto start = std::chrono::steady_clock::now();
    auto said = start;
    bool saying = false;
    folioreader::TextIndexUpdate update;
    update.unsettledWindow = options.unsettledWindow;
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
    folioreader::updateTextIndex(*options.textIndex, *folder, names, update);
    if (saying)
        std::fputc('\n', stderr);

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
