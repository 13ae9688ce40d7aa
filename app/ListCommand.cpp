// The headless listing: scan, step the sort order, print as text lines or JSON.
#include "app/ListCommand.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/MetadataStore.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/SortOrder.h"
#include "library/scanLibrary.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/URL.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

namespace {

// Tabs, line breaks and backslashes in a field are escaped so that each book stays one line of
// three tab-separated fields whatever its file name holds. Other control characters would drive
// the terminal the list is read on: C0 and DEL, C1 characters (UTF-8 "\xC2\x80" to "\xC2\x9F")
// and stray bytes 0x80 to 0x9F (C1 to an 8-bit terminal) are written \xhh, byte by byte.
std::string escapedField(const std::string& field)
{
    std::string escaped;
    escaped.reserve(field.size());
    auto hex = [&escaped](unsigned char byte) {
        constexpr char digits[] = "0123456789abcdef";
        escaped += "\\x";
        escaped += digits[byte >> 4];
        escaped += digits[byte & 0xF];
    };
    // Continuation bytes the last lead byte announced; any other byte 0x80 to 0x9F is stray.
    int continuations = 0;
    for (std::size_t at = 0; at < field.size(); ++at) {
        const auto c = static_cast<unsigned char>(field[at]);
        const bool continuation = c >= 0x80 && c <= 0xBF;
        if (continuation && continuations > 0) {
            --continuations;
            escaped += char(c);
            continue;
        }
        continuations = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
        const auto next = at + 1 < field.size() ? static_cast<unsigned char>(field[at + 1]) : 0;
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\t': escaped += "\\t"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        default:
            if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
                hex(c);
                hex(next);
                ++at;
                continuations = 0;
            } else if (c < 0x20 || c == 0x7F || (continuation && c <= 0x9F)) {
                hex(c);
            } else {
                escaped += char(c);
            }
        }
    }
    return escaped;
}

void printLines(const BookList& books)
{
    std::string out;
    for (const Book& book : books)
        out += escapedField(book.title) + "\t" + escapedField(book.author) + "\t" + escapedField(book.file) + "\n";
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
    auto previousStore = FolioReader::metadataStore();
    FolioReader::setMetadataStore(options.metadataStore);
    scanLibrary();
    FolioReader::setMetadataStore(std::move(previousStore));
    foundation::setConsoleSink(std::move(previousSink));
    while (sortOrder() != options.order && stepSortOrder()) { }
    std::fflush(stdout);
    if (options.json)
        printJson(bookList());
    else
        printLines(bookList());
    return 0;
}
