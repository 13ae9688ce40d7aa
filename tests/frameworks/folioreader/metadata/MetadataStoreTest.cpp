// The persistent metadata store is a cache: whatever happened to its file, a scan lists the right
// titles and says nothing a scan without it would not say.
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "frameworks/folioreader/metadata/StoredCover.h"
#include "library/BookList.h"
#include "library/ProgramState.h"
#include "library/scanLibrary.h"
#include "platform/foundation/FileManager.h"
#include "platform/ui/ImageCodec.h"
#include "tests/frameworks/folioreader/WrittenBook.h"
#include "tests/library/LibraryFolder.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

using fixtures::LibraryFolder;
using folioreader::MetadataStore;

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void runSql(const std::string& path, const char* sql)
{
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &database), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(database, sql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(database);
    sqlite3_close(database);
}

// A start of the program on the library with the store at path: the titles it lists, by file.
std::map<std::string, std::string> startWithStore(
    LibraryFolder& library, const std::shared_ptr<MetadataStore>& store)
{
    resetProgramState();
    foundation::FileManager::setDocumentsDirectoryOverride(library.path());
    if (store)
        store->setUnsettledWindow(std::chrono::nanoseconds(0));
    folioreader::FolioReader::setMetadataStore(store);
    scanLibrary();
    folioreader::FolioReader::setMetadataStore(nullptr);
    std::map<std::string, std::string> titles;
    for (const Book& book : bookList())
        titles[book.file] = book.title + " / " + book.author;
    return titles;
}

struct Mishap {
    const char* what;
    std::function<void(const std::string& storePath, const std::string& library)> befall;
    const char* titleOfA; // what a start lists for a.epub: the truth, unless the store was forged
    const char* languageOfA = "en";
};

TEST(MetadataStore, aStartListsTheTruthWhateverBefellTheStore)
{
    const Mishap mishaps[] = {
        { "nothing", [](auto&, auto&) {}, "Alpha / Ann" },
        { "garbage bytes", [](auto& store, auto&) { writeBytes(store, std::string(5000, '\x5a')); },
            "Alpha / Ann" },
        { "truncated",
            [](auto& store, auto&) { writeBytes(store, fileBytes(store).substr(0, 1500)); },
            "Alpha / Ann" },
        { "emptied", [](auto& store, auto&) { writeBytes(store, ""); }, "Alpha / Ann" },
        { "another version", [](auto& store, auto&) { runSql(store, "PRAGMA user_version = 99"); },
            "Alpha / Ann" },
        { "title bytes changed",
            [](auto& store, auto&) {
                std::string bytes = fileBytes(store);
                auto at = bytes.find("Alpha");
                ASSERT_NE(at, std::string::npos);
                bytes.replace(at, 5, "Omega");
                writeBytes(store, bytes);
            },
            "Alpha / Ann" },
        { "an entry of other files",
            [](auto& store, auto& library) {
                auto stamp = folioreader::currentStamp(library + "/b.epub", "OEBPS/content.opf");
                MetadataStore::open(store)->commit(library,
                    { { "a.epub", folioreader::encodeStamp(*stamp), "OEBPS/content.opf", "Beta",
                        "Bob" } },
                    {});
            },
            "Alpha / Ann" },
        { "its parent is a file", [](auto&, auto&) {}, "Alpha / Ann" },
        // Not a mishap: proof that an intact entry for the files as they are is what a start lists.
        { "an entry written for these files",
            [](auto& store, auto& library) {
                auto stamp = folioreader::currentStamp(library + "/a.epub", "OEBPS/content.opf");
                MetadataStore::open(store)->commit(library,
                    { { "a.epub", folioreader::encodeStamp(*stamp), "OEBPS/content.opf", "Kept",
                        "Kim", "urn:kept", "kk" } },
                    {});
            },
            "Kept / Kim", "kk" },
    };
    // A few new books are looked up one by one, many are loaded from the store at once.
    for (int otherBooks : { 0, 20 })
        for (const Mishap& mishap : mishaps) {
            SCOPED_TRACE(
                std::string(mishap.what) + " beside " + std::to_string(otherBooks) + " books");
            LibraryFolder library;
            library.addBook("a.epub", "Alpha", "Ann", 1000);
            library.addBook("b.epub", "Beta", "Bob", 2000);
            for (int other = 0; other < otherBooks; ++other)
                library.addBook("other-" + std::to_string(other) + ".epub", "Other", "Otto", 3000);
            fixtures::TemporaryFolder cache;
            std::string storePath = cache.file("pagewyn/metadata.sqlite3");
            if (std::string(mishap.what) == "its parent is a file") {
                writeBytes(cache.file("pagewyn"), "a file");
                EXPECT_FALSE(MetadataStore::open(storePath));
            }
            startWithStore(library, MetadataStore::open(storePath));
            mishap.befall(storePath, library.path());
            // Twice: after a mishap, and after the store was made afresh by the first start.
            for (int start = 0; start < 2; ++start) {
                auto titles = startWithStore(library, MetadataStore::open(storePath));
                EXPECT_EQ(titles["a.epub"], mishap.titleOfA) << "start " << start;
                EXPECT_EQ(
                    bookList().details(*bookList().find("a.epub")).language, mishap.languageOfA)
                    << "start " << start;
                EXPECT_EQ(titles["b.epub"], "Beta / Bob") << "start " << start;
            }
            // And the store is usable again: one that cannot be opened would cost every start.
            if (std::string(mishap.what) != "its parent is a file") {
                EXPECT_TRUE(MetadataStore::open(storePath));
            }
            EXPECT_TRUE(library.takeConsole().empty());
        }
}

TEST(MetadataStore, anEntryLargerThanTheRowsLoadedAroundItIsListedWhole)
{
    // Enough books for a start to load the folder's rows at once; the last entry (rows come by
    // name) is larger than the room the rows before it were loaded into, so it gets room of its
    // own.
    LibraryFolder library;
    library.addBook("z.epub", "Alpha", "Ann", 1000);
    for (int other = 0; other < 20; ++other)
        library.addBook("other-" + std::to_string(other) + ".epub", "Other", "Otto", 3000);
    fixtures::TemporaryFolder cache;
    std::string storePath = cache.file("pagewyn/metadata.sqlite3");
    startWithStore(library, MetadataStore::open(storePath));
    const std::string large(3 << 20, 'K');
    auto stamp = folioreader::currentStamp(library.path() + "/z.epub", "OEBPS/content.opf");
    MetadataStore::open(storePath)->commit(library.path(),
        { { "z.epub", folioreader::encodeStamp(*stamp), "OEBPS/content.opf", large, "Kim" } }, {});
    auto titles = startWithStore(library, MetadataStore::open(storePath));
    EXPECT_TRUE(titles["z.epub"] == large + " / Kim");
    for (int other = 0; other < 20; ++other)
        EXPECT_EQ(titles["other-" + std::to_string(other) + ".epub"], "Other / Otto");
}

TEST(MetadataStore, twoProgramsShareOneStoreAndALockHeldByAnotherCostsOnlyTheWrite)
{
    LibraryFolder library;
    library.addBook("a.epub", "Alpha", "Ann", 1000);
    fixtures::TemporaryFolder cache;
    std::string storePath = cache.file("metadata.sqlite3");
    auto first = MetadataStore::open(storePath);
    auto second = MetadataStore::open(storePath);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(startWithStore(library, first)["a.epub"], "Alpha / Ann");
    library.addBook("b.epub", "Beta", "Bob", 2000);
    EXPECT_EQ(startWithStore(library, second)["b.epub"], "Beta / Bob");
    EXPECT_EQ(first->entriesOf(library.path()).size(), 2u);

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(storePath.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE; DELETE FROM book;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    library.addBook("c.epub", "Gamma", "Cy", 3000);
    auto titles = startWithStore(library, first);
    EXPECT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles["c.epub"], "Gamma / Cy");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(library.takeConsole().empty());

    // Items gone from the folder leave the store with the next first scan.
    std::filesystem::remove(library.itemPath("a.epub"));
    for (int n = 0; n < 20; ++n)
        library.addBook("n" + std::to_string(n) + ".epub", "New", "Ann", 4000);
    startWithStore(library, first);
    auto entries = first->entriesOf(library.path());
    EXPECT_EQ(entries.count("a.epub"), 0u);
    EXPECT_EQ(entries.count("b.epub"), 1u);
    EXPECT_TRUE(first->clear());
    EXPECT_TRUE(first->entriesOf(library.path()).empty());
}

// A cover picture of that size: noise, so that it does not compress below its scaled copy.
std::string noisePng(int width, int height, unsigned seed)
{
    ui::Bitmap bitmap { width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4) };
    for (auto& byte : bitmap.rgba)
        byte = std::uint8_t((seed = seed * 1103515245 + 12345) >> 16) | 0x80;
    return *ui::encodePng(bitmap);
}

fixtures::EpubFixture bookWithCover(const std::string& png)
{
    return { .extraManifest
        = R"(<item id="c" href="front.png" media-type="image/png" properties="cover-image"/>)",
        .extraEntries = { { "OEBPS/front.png", png } } };
}

struct CoverStep {
    const char* what;
    std::function<void(const std::string& book)>
        change; // done to the book before the step's row asks
    std::optional<std::pair<int, int>> shown; // the picture's size; nothing for "blank"
};

// A book's sampled digest is kept per version of the book: another version, a clear, or a row
// changed behind the store's back finds none.
TEST(MetadataStore, documentDigestsAreKeptForTheirVersionOnly)
{
    fixtures::TemporaryFolder cache;
    auto store = MetadataStore::open(cache.file("metadata.sqlite3"));
    ASSERT_TRUE(store);
    EXPECT_EQ(store->documentDigestOf("/books", "a.epub", "v1"), std::nullopt);
    ASSERT_TRUE(store->storeDocumentDigests("/books", { { "a.epub", "v1", "0123abcd" } }));
    EXPECT_EQ(store->documentDigestOf("/books", "a.epub", "v1"), "0123abcd");
    EXPECT_EQ(store->documentDigestOf("/books", "a.epub", "v2"), std::nullopt);
    EXPECT_EQ(store->documentDigestOf("/other", "a.epub", "v1"), std::nullopt);
    // Found by the digest too, with the version to check against the book's own.
    ASSERT_TRUE(store->storeDocumentDigests(
        "/books", { { "b.epub", "v7", "0123abcd" }, { "d.epub", "v1", "4567" } }));
    ASSERT_TRUE(store->storeDocumentDigests("/other", { { "c.epub", "v1", "0123abcd" } }));
    EXPECT_EQ(store->documentDigestOf("/books", "d.epub", "v1"), "4567");
    auto named = store->booksOfDocumentDigest("/books", "0123abcd");
    ASSERT_EQ(named.size(), 2u);
    EXPECT_EQ(named[0].name + " " + named[0].version, "a.epub v1");
    EXPECT_EQ(named[1].name + " " + named[1].version, "b.epub v7");
    EXPECT_TRUE(store->booksOfDocumentDigest("/books", "0123").empty());

    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(cache.file("metadata.sqlite3").c_str(), &database), SQLITE_OK);
    sqlite3_exec(database, "UPDATE digest SET digest = 'ffff'", nullptr, nullptr, nullptr);
    sqlite3_close(database);
    EXPECT_EQ(store->documentDigestOf("/books", "a.epub", "v1"), std::nullopt) << "its checksum";
    EXPECT_TRUE(store->booksOfDocumentDigest("/books", "ffff").empty()) << "its checksum";

    ASSERT_TRUE(store->storeDocumentDigests("/books", { { "a.epub", "v1", "0123abcd" } }));
    ASSERT_TRUE(store->clear());
    EXPECT_EQ(store->documentDigestOf("/books", "a.epub", "v1"), std::nullopt);
}

TEST(MetadataStore, rowCoversAreKeptSmallAndReadAgainWhenTheBookChanges)
{
    const std::string marker = noisePng(7, 9, 1);
    const fixtures::EpubFixture coverless;
    for (auto shape : { fixtures::Shape::zipped, fixtures::Shape::unpacked }) {
        SCOPED_TRACE(shape == fixtures::Shape::zipped ? "zipped" : "unpacked");
        fixtures::TemporaryFolder library, cache;
        auto store = MetadataStore::open(cache.file("metadata.sqlite3"));
        ASSERT_TRUE(store);
        store->setUnsettledWindow(std::chrono::nanoseconds(0));
        const std::string folder = library.path();
        auto rewrite = [&](const std::string& png) {
            std::filesystem::remove_all(folder + "/book.epub");
            fixtures::writeBook(bookWithCover(png), shape, library);
        };
        const CoverStep steps[] = {
            { "read once and kept scaled", [&](auto&) { rewrite(noisePng(300, 450, 2)); },
                std::pair(108, 162) },
            { "kept copy shown while the files keep their stamp",
                [&](auto&) {
                    auto kept = *store->coverOf(folder, "book.epub");
                    kept.bytes = marker;
                    ASSERT_TRUE(store->storeCovers({ { folder, "book.epub", kept } }));
                },
                std::pair(7, 9) },
            { "a replaced book is read again", [&](auto&) { rewrite(noisePng(90, 60, 3)); },
                std::pair(90, 60) },
            { "a cover edited inside the book is read again",
                [&](auto& book) {
                    if (shape == fixtures::Shape::unpacked)
                        writeBytes(book + "/OEBPS/front.png", noisePng(40, 50, 4));
                    else
                        rewrite(noisePng(40, 50, 4));
                },
                std::pair(40, 50) },
            { "a book without a cover is kept as such",
                [&](auto&) {
                    std::filesystem::remove_all(folder + "/book.epub");
                    fixtures::writeBook(coverless, shape, library);
                },
                std::nullopt },
        };
        folioreader::FolioReader::setMetadataStore(store);
        for (const CoverStep& step : steps) {
            SCOPED_TRACE(step.what);
            step.change(folder + "/book.epub");
            auto cover = folioreader::FolioReader::getCoverImage(folder + "/book.epub");
            ASSERT_EQ(bool(cover), step.shown.has_value());
            if (cover) {
                EXPECT_EQ(std::pair((*cover)->pixelWidth(), (*cover)->pixelHeight()), *step.shown);
            }
            folioreader::writePendingCovers();
            EXPECT_TRUE(store->coverOf(folder, "book.epub"));
        }
        folioreader::FolioReader::setMetadataStore(nullptr);
        ASSERT_TRUE(store->clear());
        EXPECT_FALSE(store->coverOf(folder, "book.epub"));
    }
}

}

// What is kept under a stamp must not be a file being written: one whose modification or change
// lies within the window before the read. A modification date ahead of the clock was set by hand
// and says nothing; the change time still tells.
TEST(MetadataStore, aFileIsSettledWhenNeitherItsWriteNorItsChangeIsRecent)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto window = seconds(5);
    auto at = [&](seconds offset) {
        return duration_cast<seconds>((now + offset).time_since_epoch()).count();
    };
    struct Case {
        const char* what;
        seconds modified, changed;
        bool settled;
    };
    const std::vector<Case> cases {
        { "both long ago", -hours(24), -hours(24), true },
        { "written a moment ago", -seconds(1), -hours(24), false },
        { "changed a moment ago", -hours(24), -seconds(1), false },
        { "dated tomorrow, changed long ago", hours(24), -hours(24), true },
        { "dated tomorrow, changed a moment ago", hours(24), -seconds(1), false },
    };
    for (const auto& each : cases) {
        folioreader::FileIdentity identity;
        identity.modifiedSeconds = at(each.modified);
        identity.changedSeconds = at(each.changed);
        EXPECT_EQ(folioreader::isSettled({ identity }, now, window), each.settled) << each.what;
    }
}
