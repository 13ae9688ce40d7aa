// The headless listing: scan, step the sort order, print as text lines or JSON.
#include "app/ListCommand.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/SortOrder.h"
#include "library/scanLibrary.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/escapedField.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

namespace {

void printLines(const BookList& books)
{
    // Written as it is made, a block at a time: a library of 100,000 books is never held twice.
    std::string out;
    for (const Book& book : books) {
        out += foundation::escapedField(book.title) + "\t" + foundation::escapedField(book.author) + "\t" + foundation::escapedField(book.file) + "\n";
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
        list.push_back({ { "title", book.title }, { "author", book.author }, { "file", book.file }, { "added", book.added.iso8601() },
            // The name byte for byte: a name that is not valid UTF-8 shows with replacement
            // characters in "file"; this one still names the item on disk.
            { "fileBytes", foundation::percentEncoded(book.file, "-._~") } });
    // Names that are not valid UTF-8 are shown with replacement characters rather than refused.
    std::cout << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
}

}

int runListCommand(const ListOptions& options)
{
    // A folder named on the command line is listed as it is and never made: a mistyped name is
    // said, not answered with an empty library.
    std::error_code missing;
    if (options.documents && !std::filesystem::exists(*options.documents, missing)) {
        std::cerr << "pagewyn: cannot list the library: " << *options.documents << " does not exist" << std::endl;
        return 1;
    }
    if (options.documents)
        foundation::FileManager::setDocumentsDirectoryOverride(*options.documents);
    const std::string folder = documentsFolder().path();
    if (auto listing = foundation::FileManager::defaultManager()->contentsOfDirectoryAtPath(folder); !listing) {
        std::cerr << "pagewyn: cannot list the library: " << listing.error().description() << std::endl;
        return 1;
    }
    // Standard output holds the JSON document alone: the scan's "Can't read: " lines go to
    // standard error then, unless someone else already listens to the console.
    auto previousSink = foundation::setConsoleSink({});
    if (options.json && !previousSink) {
        foundation::setConsoleSink([](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stderr);
            std::fputc('\n', stderr);
        });
    } else {
        foundation::setConsoleSink(previousSink);
    }
    auto previousStore = folioreader::FolioReader::metadataStore();
    folioreader::FolioReader::setMetadataStore(options.metadataStore);
    scanLibrary();
    folioreader::FolioReader::setMetadataStore(std::move(previousStore));
    foundation::setConsoleSink(std::move(previousSink));
    while (sortOrder() != options.order && stepSortOrder()) { }
    std::fflush(stdout);
    if (options.json)
        printJson(bookList());
    else
        printLines(bookList());
    return 0;
}
