// Finding the book a device names: by the download's name without reading a file, by the cache's
// digests reading only the matched book's version, and otherwise by reading books only as far as
// the one asked about, never the whole library again at each ask.
#include "app/LibrarySync.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "platform/host/kosync/documentDigest.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr std::size_t libraryBooks = 10;

std::string fileOf(std::size_t n)
{
    return "book" + std::to_string(n) + ".epub";
}

std::string digestOfBook(std::size_t n)
{
    return "d" + std::to_string(n);
}

struct Ask {
    std::string document;
    std::optional<std::string> book;
    int digestReads; // books read for their digests by this ask
    int versionReads; // books whose version was read by this ask
    bool restarted = false; // asked of a new LibrarySync, as after a restart
};

struct Case {
    const char* what;
    bool cached; // the cache keeps every book's digest under its current version
    std::chrono::milliseconds budget;
    std::vector<Ask> asks;
};

TEST(LibrarySync, findsTheDocumentAskedAboutWithoutReadingEveryBook)
{
    const std::chrono::milliseconds ample { std::chrono::hours(1) }, none { 0 };
    const std::vector<Case> cases {
        { "the download's name reads nothing", false, ample,
            { { host::fileNameDigest(fileOf(7)), fileOf(7), 0, 0 } } },
        { "an uncached book is read for as far as it stands, and once", false, ample,
            { { digestOfBook(2), fileOf(2), 3, 3 }, { digestOfBook(2), fileOf(2), 0, 0 },
                { digestOfBook(4), fileOf(4), 2, 2 },
                { digestOfBook(1), fileOf(1), 0, 1, true } } },
        { "cached digests: only the matched book's version is read", true, ample,
            { { digestOfBook(9), fileOf(9), 0, 1 }, { digestOfBook(9), fileOf(9), 0, 0 } } },
        { "a document of no book reads the library once, then nothing", false, ample,
            { { "d99", std::nullopt, 10, 10 }, { "d99", std::nullopt, 0, 0 },
                { digestOfBook(5), fileOf(5), 0, 0 }, { digestOfBook(8), fileOf(8), 0, 1, true },
                { "d99", std::nullopt, 0, 10, true } } },
        { "out of time each ask reads one book and the next goes on", false, none,
            { { digestOfBook(1), std::nullopt, 1, 1 }, { digestOfBook(1), fileOf(1), 1, 1 },
                { digestOfBook(0), fileOf(0), 0, 0 } } },
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        fixtures::LibraryFolder library;
        ui::MainLoop loop;
        loop.claimCurrentThread();
        BookList books;
        for (std::size_t n = 0; n < libraryBooks; ++n)
            books.append({ "Title", "Author", fileOf(n), {} });
        int digestReads = 0, versionReads = 0;
        auto numberOf = [](const std::string& path) {
            auto name = std::filesystem::path(path).stem().string();
            return std::stoul(name.substr(4));
        };
        LibrarySync::BookReading reading {
            [&](const std::string&) {
                ++versionReads;
                return std::string("v1");
            },
            [&](const std::string& path) -> foundation::Result<std::string> {
                ++digestReads;
                return digestOfBook(numberOf(path));
            },
        };
        fixtures::TemporaryFolder cache;
        auto store = folioreader::MetadataStore::open(cache.file("metadata.sqlite3"));
        ASSERT_TRUE(store);
        if (each.cached) {
            std::vector<folioreader::MetadataStore::DigestedBook> kept;
            for (std::size_t n = 0; n < libraryBooks; ++n)
                kept.push_back({ fileOf(n), "v1", digestOfBook(n) });
            ASSERT_TRUE(store->storeDocumentDigests(library.path(), kept));
        }
        folioreader::FolioReader::setMetadataStore(store);
        std::optional<LibrarySync> sync;
        sync.emplace(loop, books, reading, each.budget);
        for (const auto& ask : each.asks) {
            if (ask.restarted)
                sync.emplace(loop, books, reading, each.budget);
            digestReads = versionReads = 0;
            EXPECT_EQ(sync->bookFor(ask.document), ask.book) << ask.document;
            EXPECT_EQ(digestReads, ask.digestReads) << ask.document;
            EXPECT_EQ(versionReads, ask.versionReads) << ask.document;
        }
        folioreader::FolioReader::setMetadataStore(nullptr);
    }
}

}
