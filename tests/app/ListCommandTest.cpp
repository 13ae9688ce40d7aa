// `pagewyn list`: what a person or a script reads from it.
#include "app/ListCommand.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "library/ProgramState.h"
#include "platform/foundation/Console.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

std::string runCapturingOutput(const ListOptions& options, int& status)
{
    ::testing::internal::CaptureStdout();
    status = runListCommand(options);
    return ::testing::internal::GetCapturedStdout();
}

TEST(ListCommand, printsOneEscapedLinePerBookInTheAskedOrder)
{
    fixtures::LibraryFolder library;
    library.addBook("b.epub", "Beta", "Zed", 1000);
    library.addBook("a\tb.epub", "Alpha", "Ann", 2000);
    fixtures::EpubFixture folderBook;
    folderBook.title = "Gamma";
    folderBook.author = "Cy";
    folderBook.author = "Cy";
    folderBook.writeUnpacked(library.itemPath("c.epub"));
    library.setModified("c.epub", 1500);
    // Control characters of every kind, which would drive the terminal; "é" stays as it is.
    library.addBook("ctrl-\x01\x1b[31m\xC2\x9B\x9B\xC3\xA9.epub", "Delta\x7f", "Dee", 1200);
    fixtures::TemporaryFolder cache;
    auto store = folioreader::MetadataStore::open(cache.file("metadata.sqlite3"));
    ASSERT_TRUE(store);
    store->setUnsettledWindow(std::chrono::nanoseconds(0));
    // Each run is a new process: without the cache, filling it, then answered from it.
    for (auto* used :
        { static_cast<folioreader::MetadataStore*>(nullptr), store.get(), store.get() }) {
        resetProgramState();
        int status = -1;
        auto output
            = runCapturingOutput({ library.path(), 2, false, used ? store : nullptr }, status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output,
            "Alpha\tAnn\ta\\tb.epub\nGamma\tCy\tc.epub\n"
            "Delta\\x7f\tDee\tctrl-\\x01\\x1b[31m\\xc2\\x9b\\x9b\xC3\xA9.epub\nBeta\tZed\tb."
            "epub\n");
    }
    EXPECT_EQ(store->entriesOf(library.path()).size(), 4u);
}

// Standard output is the JSON document alone, even when items cannot be read, and every entry
// names its item byte for byte.
TEST(ListCommand, jsonIsTheWholeOutputAndNamesEveryItemByItsBytes)
{
    fixtures::LibraryFolder library;
    library.addBook("a.epub", "Caf\xC3\xA9", "Ann", 1700000000);
    library.addBook("caf\xE9 %.epub", "Latin", "Lee", 1600000000);
    fixtures::EpubFixture broken;
    broken.breakage = fixtures::Breakage::notAZip;
    library.addBook("bad.epub", broken, 1000);
    // The console as the program has it: nobody listens but standard output.
    auto fixtureSink = foundation::setConsoleSink({});
    int status = -1;
    ::testing::internal::CaptureStderr();
    auto output = runCapturingOutput({ library.path(), 0, true, nullptr }, status);
    auto errors = ::testing::internal::GetCapturedStderr();
    foundation::setConsoleSink(std::move(fixtureSink));
    ASSERT_EQ(status, 0);
    EXPECT_EQ(errors.rfind("Can't read: ", 0), 0u) << errors;
    auto list = nlohmann::json::parse(output);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["title"], "Caf\xC3\xA9");
    EXPECT_EQ(list[0]["file"], "a.epub");
    EXPECT_EQ(list[0]["fileBytes"], "a.epub");
    EXPECT_EQ(list[0]["added"], "2023-11-14T22:13:20.000Z");
    EXPECT_EQ(list[1]["fileBytes"], "caf%E9%20%25.epub");
}

TEST(ListCommand, unreadableBooksAreReportedBeforeTheListAndAFolderThatCannotBeListedFails)
{
    fixtures::LibraryFolder library;
    library.addBook("good.epub", "Good", "Ann", 1000);
    fixtures::EpubFixture broken;
    broken.breakage = fixtures::Breakage::notAZip;
    library.addBook("bad.epub", broken, 1000);
    int status = -1;
    runCapturingOutput({ library.path(), 0, false, nullptr }, status);
    EXPECT_EQ(status, 0);
    auto lines = library.takeConsole();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Can't read: ", 0), 0u);

    resetProgramState(); // each run is a new process
    runCapturingOutput({ library.itemPath("good.epub"), 0, false, nullptr }, status);
    EXPECT_NE(status, 0) << "a book is no folder to list";

    resetProgramState();
    const std::string typo = library.path() + "/Librray";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runCapturingOutput({ typo, 0, false, nullptr }, status), "");
    EXPECT_NE(
        ::testing::internal::GetCapturedStderr().find(typo + " does not exist"), std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(std::filesystem::exists(typo)) << "a mistyped folder is not made";
}

}
