// The headless listing: scan, step the sort order, print as text lines or JSON.
#include "app/ListCommand.h"

#include "app/scanOnce.h"
#include "library/BookList.h"
#include "library/SortOrder.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/escapedField.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace {

void printLines(const BookList& books)
{
    // Written as it is made, a block at a time: a library of 100,000 books is never held twice.
    std::string out;
    for (const Book& book : books) {
        out += foundation::escapedField(book.title) + "\t" + foundation::escapedField(book.author)
            + "\t" + foundation::escapedField(book.file) + "\n";
        if (out.size() >= 1 << 16) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printJson(const BookList& books)
{
    auto list = nlohmann::ordered_json::array();
    for (const Book& book : books)
        list.push_back({ { "title", book.title }, { "author", book.author }, { "file", book.file },
            { "added", book.added.iso8601() },
            // The name byte for byte: a name that is not valid UTF-8 shows with replacement
            // characters in "file"; this one still names the item on disk.
            { "fileBytes", foundation::percentEncoded(book.file, "-._~") } });
    // Names that are not valid UTF-8 are shown with replacement characters rather than refused.
    std::cout << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << std::endl;
}

}

int runListCommand(const ListOptions& options)
{
    if (!scanOnce({ options.documents, options.metadataStore, options.json, "list" }))
        return 1;
    while (sortOrder() != options.order && stepSortOrder()) { }
    std::fflush(stdout);
    if (options.json)
        printJson(bookList());
    else
        printLines(bookList());
    return 0;
}
