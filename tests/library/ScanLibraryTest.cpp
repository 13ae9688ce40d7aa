// The scan: what it adds, what it raises, what it leaves alone, and what it says.
#include "library/scanLibrary.h"
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/textindex/TextIndexer.h"
#include "library/BookList.h"
#include "library/ItemReaders.h"
#include "library/ProgramState.h"
#include "library/ScanProgress.h"
#include "library/SortOrder.h"
#include "platform/foundation/FileManager.h"
#include "platform/text/Text.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/WaitUntil.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using fixtures::LibraryFolder;
using fixtures::listedFiles;
using Files = std::vector<std::string>;

namespace {

TEST(ScanLibrary, emptyFolderChangesNothing)
{
    LibraryFolder library;
    sortOrder() = SortOrder::byTitle;
    scanLibrary();
    EXPECT_TRUE(bookList().empty());
    EXPECT_EQ(sortOrder(), SortOrder::byTitle);
    EXPECT_TRUE(library.takeConsole().empty());
}

// The indexer handed to a scan is given the folder's books; a scan handed none leaves the index.
TEST(ScanLibrary, handsItsBooksToTheBackgroundWorkItIsGiven)
{
    LibraryFolder library;
    fixtures::TemporaryFolder cache;
    library.addBook("a.epub", "Alpha", "Ann", 1000);
    library.addBook("b.epub", "Beta", "Bob", 2000);
    auto index = folioreader::TextIndex::open(cache.file("index.sqlite3"));
    folioreader::TextIndexer indexer(index, { .unsettledWindow = std::chrono::nanoseconds(0) });
    scanLibrary();
    EXPECT_EQ(indexer.progress().total, 0u);
    scanLibrary({ .textIndexer = &indexer });
    ASSERT_TRUE(fixtures::waitUntil([&] { return !indexer.progress().working; }));
    EXPECT_EQ(indexer.progress().indexed, 2u);
}

TEST(ScanLibrary, addsNewBooksNewestFirstAndReturnsToRecencyOrder)
{
    LibraryFolder library;
    library.addBook("old.epub", "Old", "Ann", 1000);
    library.addBook("new.epub", "New", "Bob", 3000);
    library.addBook("mid.epub", "Mid", "Cy", 2000);
    sortOrder() = SortOrder::byAuthor;
    scanLibrary();
    EXPECT_EQ(listedFiles(), (Files { "new.epub", "mid.epub", "old.epub" }));
    EXPECT_EQ(sortOrder(), SortOrder::recentlyOpened);
    const Book& newest = bookList()[0];
    EXPECT_EQ(newest.title, "New");
    EXPECT_EQ(newest.author, "Bob");
    EXPECT_EQ(newest.added, LibraryFolder::at(3000));
}

TEST(ScanLibrary, unchangedFolderKeepsTheChosenOrder)
{
    LibraryFolder library;
    library.addBook("b.epub", "Beta", "Ann", 2000);
    library.addBook("a.epub", "Alpha", "Bob", 1000);
    scanLibrary();
    ASSERT_TRUE(stepSortOrder());
    ASSERT_EQ(listedFiles(), (Files { "a.epub", "b.epub" }));
    scanLibrary();
    EXPECT_EQ(listedFiles(), (Files { "a.epub", "b.epub" }));
    EXPECT_EQ(sortOrder(), SortOrder::byTitle);
}

TEST(ScanLibrary, laterModificationRaisesTheDateAndEarlierOrEqualDoesNot)
{
    LibraryFolder library;
    library.addBook("a.epub", "Alpha", "Ann", 1000);
    library.addBook("b.epub", "Beta", "Bob", 2000);
    scanLibrary();
    ASSERT_TRUE(stepSortOrder());

    library.setModified("b.epub", 500); // earlier: nothing
    library.setModified("a.epub", 1000); // equal: nothing
    scanLibrary();
    EXPECT_EQ(sortOrder(), SortOrder::byTitle);
    EXPECT_EQ(bookList()[1].added, LibraryFolder::at(2000));

    library.setModified("a.epub", 5000);
    scanLibrary();
    EXPECT_EQ(listedFiles(), (Files { "a.epub", "b.epub" }));
    EXPECT_EQ(bookList()[0].added, LibraryFolder::at(5000));
    EXPECT_EQ(sortOrder(), SortOrder::recentlyOpened);
}

TEST(ScanLibrary, onlyNamesEndingExactlyInEpubAreBooks)
{
    LibraryFolder library;
    for (auto name : { "Notes.EPUB", "book.epub.zip", "highlights.realm", "reading-places.json",
             ".epub", "plain.epub" })
        library.addBook(name, name, "Ann", 1000);
    fixtures::EpubFixture book;
    book.title = "Folder";
    book.writeUnpacked(library.itemPath("x.epub"));
    library.setModified("x.epub", 2000);
    scanLibrary();
    Files listed = listedFiles();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Files { ".epub", "plain.epub", "x.epub" }));
    EXPECT_TRUE(library.takeConsole().empty());
}

TEST(ScanLibrary, unreadableItemsAreReportedOnEveryScanAndNeverListed)
{
    using fixtures::Breakage;
    LibraryFolder library;
    library.addBook("good.epub", "Good", "Ann", 1000);
    const Breakage breakages[] = { Breakage::zeroByteFile, Breakage::notAZip,
        Breakage::truncatedZip, Breakage::emptyFolder, Breakage::missingContainer,
        Breakage::malformedPackage, Breakage::packageOutsideBook };
    int n = 0;
    for (auto breakage : breakages) {
        fixtures::EpubFixture broken;
        broken.breakage = breakage;
        library.addBook("broken" + std::to_string(n++) + ".epub", broken, 2000);
    }
    for (int round = 0; round < 2; ++round) {
        scanLibrary();
        EXPECT_EQ(listedFiles(), (Files { "good.epub" }));
        auto lines = library.takeConsole();
        ASSERT_EQ(lines.size(), std::size(breakages));
        for (const auto& line : lines) {
            EXPECT_EQ(line.rfind("Can't read: ", 0), 0u) << line;
            EXPECT_NE(line.find("broken"), std::string::npos)
                << "the line names the item: " << line;
        }
    }
}

TEST(ScanLibrary, keepsBooksWhoseItemIsGoneAndReadsTitlesOnce)
{
    LibraryFolder library;
    library.addBook("gone.epub", "Gone", "Ann", 1000);
    library.addBook("same.epub", "First Title", "Ann", 1000);
    scanLibrary();
    std::filesystem::remove(library.itemPath("gone.epub"));
    library.addBook("same.epub", "Second Title", "Bob", 4000);
    scanLibrary();
    EXPECT_EQ(listedFiles(), (Files { "same.epub", "gone.epub" }));
    EXPECT_EQ(bookList()[0].title, "First Title");
    EXPECT_EQ(bookList()[0].author, "Ann");
    EXPECT_EQ(bookList()[0].added, LibraryFolder::at(4000));
}

TEST(ScanLibrary, equivalentSpellingsOfOneNameAreOneBook)
{
    LibraryFolder library;
    library.addBook("Caf\xC3\xA9.epub", "Composed", "Ann", 1000);
    library.addBook("Cafe\xCC\x81.epub", "Decomposed", "Ann", 1000);
    library.addBook("odd\xFF name\t.epub", "Odd", "Ann", 1000);
    scanLibrary();
    EXPECT_EQ(bookList().size(), 2u);
    EXPECT_TRUE(bookList().find("odd\xFF name\t.epub"));
}

// The scan promises the list a stable re-sort after every single change would give, the folder's
// items taken in name order (so books with equal dates stand in name order, after those already
// listed). This model does literally
// that, with a linear search, and the scan must agree with it on random folders with many ties.
struct Model {
    std::vector<Book> books;
    std::int64_t order = 0;

    void scan(const Files& listing, const std::map<std::string, long long>& dates)
    {
        for (const auto& name : listing) {
            auto date = LibraryFolder::at(dates.at(name));
            auto known = std::find_if(
                books.begin(), books.end(), [&](const Book& b) { return b.file == name; });
            if (known != books.end()) {
                if (known->added < date) {
                    known->added = date;
                    resort();
                }
                continue;
            }
            books.push_back(Book { "T" + name, "A" + name, name, date });
            resort();
        }
    }
    void resort()
    {
        std::stable_sort(books.begin(), books.end(),
            [](const Book& a, const Book& b) { return a.added > b.added; });
        order = 0;
    }
};

TEST(ScanLibrary, agreesWithAStableResortAfterEveryChange)
{
    std::mt19937 random(20261206);
    for (int trial = 0; trial < 4; ++trial) {
        LibraryFolder library;
        Model model;
        std::map<std::string, long long> dates;
        for (int round = 0; round < 4; ++round) {
            // New books, with few distinct dates so that ties abound.
            for (int i = 0; i < 12; ++i) {
                std::string name = "b" + std::to_string(trial) + "-" + std::to_string(round) + "-"
                    + std::to_string(i) + ".epub";
                dates[name] = 1000 + static_cast<long long>(random() % 4) * 100;
                library.addBook(name, "T" + name, "A" + name, dates[name]);
            }
            // Some known books modified later, some earlier.
            for (auto& [name, date] : dates) {
                if (random() % 4 == 0) {
                    date = date + static_cast<long long>(random() % 5) * 100 - 100;
                    library.setModified(name, date);
                }
            }
            if (round % 2 == 1) {
                stepSortOrder();
                model.books.assign(bookList().begin(), bookList().end());
                model.order = sortOrder();
            }
            scanLibrary();
            auto listing = *foundation::FileManager().contentsOfDirectoryAtPath(library.path());
            std::sort(listing.begin(), listing.end());
            model.scan(listing, dates);
            ASSERT_EQ(bookList().size(), model.books.size());
            for (std::size_t i = 0; i < model.books.size(); ++i)
                ASSERT_EQ(bookList()[i].file, model.books[i].file)
                    << "trial " << trial << " round " << round << " row " << i;
            ASSERT_EQ(sortOrder(), model.order);
        }
    }
}

}

// The same scans with the persistent metadata store and every reading thread must give the plain
// scan's lists, console lines and progress reports: continued within one run, and after a restart
// that empties the list, over a folder that changes between rounds in every way it can.
struct ScanRun {
    std::shared_ptr<folioreader::MetadataStore> store;
    std::size_t workers = 1;
    std::size_t windowSize = 2048; // names the store is read and written by
    std::vector<Book> books; // the list this run left, restored before its next scan
    std::int64_t order = 0;
    std::vector<std::string> said;

    void scan(LibraryFolder& library, bool restart)
    {
        resetProgramState();
        foundation::FileManager::setDocumentsDirectoryOverride(library.path());
        if (!restart) {
            for (const Book& book : books)
                bookList().append(book);
            sortOrder() = order;
        }
        folioreader::FolioReader::setMetadataStore(store);
        setScanWorkerCount(workers);
        folioreader::MetadataScan::setWindowSize(windowSize);
        setScanProgressObserver([&](std::size_t read, std::size_t found) {
            said.push_back(std::to_string(read) + "/" + std::to_string(found));
        });
        scanLibrary();
        setScanProgressObserver({});
        setScanWorkerCount(0);
        folioreader::MetadataScan::setWindowSize(2048);
        folioreader::FolioReader::setMetadataStore(nullptr);
        for (auto& line : library.takeConsole())
            said.push_back(line);
        books.assign(bookList().begin(), bookList().end());
        order = sortOrder();
    }
};

void expectSameRuns(const ScanRun& plain, const ScanRun& other, const std::string& where)
{
    ASSERT_EQ(plain.books.size(), other.books.size()) << where;
    for (std::size_t i = 0; i < plain.books.size(); ++i) {
        const Book &a = plain.books[i], &b = other.books[i];
        ASSERT_EQ(std::tie(a.file, a.title, a.author), std::tie(b.file, b.title, b.author))
            << where << " row " << i;
        ASSERT_EQ(a.added, b.added) << where << " row " << i;
    }
    EXPECT_EQ(plain.order, other.order) << where;
    EXPECT_EQ(plain.said, other.said) << where;
}

TEST(ScanLibrary, theMetadataStoreAndReadingThreadsChangeNothingButSpeed)
{
    std::mt19937 random(20261207);
    fixtures::TemporaryFolder cache;
    auto store = folioreader::MetadataStore::open(cache.file("metadata.sqlite3"));
    ASSERT_TRUE(store);
    // Every entry is kept at once, however recently its files changed, so that the store is used.
    store->setUnsettledWindow(std::chrono::nanoseconds(0));
    LibraryFolder library;
    std::map<std::string, int> edits; // how often each item was replaced or edited
    long long nextDate = 5000;
    // Windows of three names: the readers run past the windows loaded ahead of them, and come back
    // to names whose windows are written.
    auto windowStore = folioreader::MetadataStore::open(cache.file("windows.sqlite3"));
    ASSERT_TRUE(windowStore);
    windowStore->setUnsettledWindow(std::chrono::nanoseconds(0));
    ScanRun plain, cached, plainRestart, cachedRestart, windowed, windowedRestart;
    for (ScanRun* run : { &cached, &cachedRestart, &windowed, &windowedRestart }) {
        run->store = run == &cached || run == &cachedRestart ? store : windowStore;
        run->workers = 3;
    }
    windowed.windowSize = windowedRestart.windowSize = 3;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 40; ++i) {
            std::string name = "b" + std::to_string(round) + "-" + std::to_string(i) + ".epub";
            long long date = 1000 + static_cast<long long>(random() % 4) * 100;
            switch (random() % 8) {
            case 0: {
                fixtures::EpubFixture folder;
                folder.title = "Folder " + name;
                folder.writeUnpacked(library.itemPath(name));
                library.setModified(name, date);
                break;
            }
            case 1: {
                fixtures::EpubFixture broken;
                broken.breakage = fixtures::Breakage::notAZip;
                library.addBook(name, broken, date);
                break;
            }
            default:
                library.addBook(name, "T" + name, "A" + name, date);
            }
        }
        if (round == 1)
            library.addBook("Caf\xC3\xA9.epub", "Composed", "Ann", 1000);
        if (round == 2) // another spelling of a listed name
            library.addBook("Cafe\xCC\x81.epub", "Decomposed", "Ann", 1000);
        std::vector<std::filesystem::directory_entry> entries(
            std::filesystem::directory_iterator(library.path()), {});
        for (const auto& entry : entries) {
            std::string name = entry.path().filename();
            switch (random() % 10) {
            case 0: // replaced by another book: new title, always a new length, a date never seen
                std::filesystem::remove_all(entry.path());
                library.addBook(name, "Replaced" + std::string(std::size_t(++edits[name]), '!'),
                    "Bob", nextDate++);
                break;
            case 1: // the package inside a folder book edited: the folder's own date stays
                if (entry.is_directory()) {
                    fixtures::EpubFixture edited;
                    edited.title = "Edited" + std::string(std::size_t(++edits[name]), '!');
                    std::ofstream(entry.path() / "OEBPS/content.opf") << edited.packageDocument();
                }
                break;
            case 2:
                library.setModified(name, 1000 + static_cast<long long>(random() % 6) * 100);
                break;
            case 3:
                if (round > 2)
                    std::filesystem::remove_all(entry.path());
                break;
            }
        }
        for (ScanRun* run : { &plain, &cached, &windowed })
            run->scan(library, false);
        for (ScanRun* run : { &plainRestart, &cachedRestart, &windowedRestart })
            run->scan(library, true);
        expectSameRuns(plain, cached, "round " + std::to_string(round));
        expectSameRuns(plainRestart, cachedRestart, "restart, round " + std::to_string(round));
        expectSameRuns(plain, windowed, "windows, round " + std::to_string(round));
        expectSameRuns(
            plainRestart, windowedRestart, "windows, restart, round " + std::to_string(round));
        // After a restart the store holds every listed book, and no item the folder has lost.
        std::set<std::string> listed, items;
        for (const Book& book : plainRestart.books)
            listed.insert(book.file);
        for (const auto& entry : std::filesystem::directory_iterator(library.path()))
            items.insert(entry.path().filename());
        for (auto* kept : { store.get(), windowStore.get() }) {
            std::set<std::string> stored;
            for (auto& [name, entry] : kept->entriesOf(library.path()))
                stored.insert(name);
            EXPECT_TRUE(std::includes(stored.begin(), stored.end(), listed.begin(), listed.end()))
                << "round " << round;
            EXPECT_TRUE(std::includes(items.begin(), items.end(), stored.begin(), stored.end()))
                << "round " << round;
        }
    }
}
