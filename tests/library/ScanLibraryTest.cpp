// The scan: what it adds, what it raises, what it leaves alone, and what it says.
#include "library/BookList.h"
#include "library/SortOrder.h"
#include "library/scanLibrary.h"
#include "platform/foundation/FileManager.h"
#include "platform/text/Text.h"
#include "tests/library/LibraryFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>

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

    library.setModified("b.epub", 500);  // earlier: nothing
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
    for (auto name : { "Notes.EPUB", "book.epub.zip", "highlights.realm", "reading-places.json", ".epub", "plain.epub" })
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
    const Breakage breakages[] = { Breakage::zeroByteFile, Breakage::notAZip, Breakage::truncatedZip,
        Breakage::emptyFolder, Breakage::missingContainer, Breakage::malformedPackage, Breakage::packageOutsideBook };
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
            EXPECT_NE(line.find("broken"), std::string::npos) << "the line names the item: " << line;
        }
    }
}

TEST(ScanLibrary, tiesStandInListingOrderAndAfterBooksAlreadyListed)
{
    LibraryFolder library;
    library.addBook("first.epub", "First", "Ann", 1000);
    scanLibrary();
    for (auto name : { "c.epub", "a.epub", "b.epub", "d.epub" })
        library.addBook(name, name, "Ann", 1000);
    scanLibrary();

    Files expected { "first.epub" };
    auto listing = foundation::FileManager().contentsOfDirectoryAtPath(library.path());
    for (auto& name : *listing) {
        if (name != "first.epub")
            expected.push_back(name);
    }
    EXPECT_EQ(listedFiles(), expected);
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

// The scan promises the list a stable re-sort after every single change would give. This model
// does literally that, with a linear search, and the scan must agree with it on random folders.
struct Model {
    std::vector<Book> books;
    std::int64_t order = 0;

    void scan(const Files& listing, const std::map<std::string, long long>& dates)
    {
        for (const auto& name : listing) {
            auto date = LibraryFolder::at(dates.at(name));
            auto known = std::find_if(books.begin(), books.end(), [&](const Book& b) { return b.file == name; });
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
        std::stable_sort(books.begin(), books.end(), [](const Book& a, const Book& b) { return a.added > b.added; });
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
                std::string name = "b" + std::to_string(trial) + "-" + std::to_string(round) + "-" + std::to_string(i) + ".epub";
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
            model.scan(*foundation::FileManager().contentsOfDirectoryAtPath(library.path()), dates);
            ASSERT_EQ(bookList().size(), model.books.size());
            for (std::size_t i = 0; i < model.books.size(); ++i)
                ASSERT_EQ(bookList()[i].file, model.books[i].file) << "trial " << trial << " round " << round << " row " << i;
            ASSERT_EQ(sortOrder(), model.order);
        }
    }
}

}
