// Imports and deletes cut off at every step, then the next start: the old book or the new one,
// never neither, never half of one, and nothing hidden left over.
#include "import/unpackIntoLibrary.h"
#include "library/WorkFolder.h"
#include "library/recoverInterruptedWork.h"
#include "library/removeLibraryItem.h"
#include "tests/frameworks/ziparchive/ZipBytes.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using fixtures::TemporaryFolder;

namespace {

constexpr int killedStatus = 41;
constexpr int finishedStatus = 42;

std::vector<std::string> itemNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the work in a child that ends at its stopAt'th step as if killed there; true when the
// work ran to its end first.
bool runUntilStep(int stopAt, bool tryExchange, const std::function<void()>& work)
{
    pid_t child = ::fork();
    if (child == 0) {
        int steps = 0;
        libraryWorkSeams().tryExchange = tryExchange;
        libraryWorkSeams().beforeStep = [&](std::string_view) {
            if (++steps == stopAt)
                ::_exit(killedStatus);
        };
        work();
        ::_exit(finishedStatus);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status) == finishedStatus;
}

}

TEST(InterruptedWork, killedAtAnyStepEndsWithTheOldOrTheNewBookAfterTheNextStart)
{
    enum class Work { import, remove };
    struct Case {
        const char* what;
        Work work;
        bool bookThere;
        bool tryExchange;
    };
    const Case cases[] = {
        { "re-import by exchange", Work::import, true, true },
        { "re-import by two renames", Work::import, true, false },
        { "first import", Work::import, false, true },
        { "delete", Work::remove, true, true },
    };
    for (const Case& c : cases) {
        bool finished = false;
        for (int stopAt = 1; !finished && stopAt < 20; ++stopAt) {
            SCOPED_TRACE(std::string(c.what) + ", killed at step " + std::to_string(stopAt));
            TemporaryFolder sandbox;
            fs::create_directory(sandbox.file("Documents"));
            const std::string library = sandbox.file("Documents");
            if (c.bookThere) {
                fs::create_directories(library + "/A.epub/OEBPS");
                ziptest::writeFile(library + "/A.epub/OEBPS/old.xhtml", "old");
                ziptest::writeFile(library + "/A.epub/mimetype", "application/epub+zip");
            }
            const auto oldBook = ziptest::snapshot(library + "/A.epub");
            fixtures::EpubFixture fresh;
            fresh.writeZipped(sandbox.file("A.epub"));

            finished = runUntilStep(stopAt, c.tryExchange, [&] {
                if (c.work == Work::import)
                    (void)unpackIntoLibrary(sandbox.file("A.epub"), library, "A.epub");
                else
                    (void)removeLibraryItem(library, "A.epub");
            });
            recoverInterruptedWork(library);

            const auto book = ziptest::snapshot(library + "/A.epub");
            const bool isOld = c.bookThere && book == oldBook;
            const bool isNew
                = book.count("META-INF/container.xml") && !book.count("OEBPS/old.xhtml");
            const bool isGone = !fs::exists(library + "/A.epub");
            if (c.work == Work::remove)
                EXPECT_TRUE(finished ? isGone : isOld || isGone) << "the book is whole or gone";
            else if (finished)
                EXPECT_TRUE(isNew);
            else
                EXPECT_TRUE(isOld || isNew || (!c.bookThere && isGone))
                    << "the old book or the new one";
            EXPECT_EQ(itemNames(library),
                isGone ? std::vector<std::string> {} : std::vector<std::string> { "A.epub" })
                << "nothing hidden is left";
        }
        EXPECT_TRUE(finished) << c.what;
    }
}

TEST(InterruptedWork, oldBookThatCannotGoBackIsKeptForTheNextStart)
{
    TemporaryFolder sandbox;
    const std::string library = sandbox.file("Documents");
    fs::create_directories(library + "/A.epub");
    ziptest::writeFile(library + "/A.epub/old.xhtml", "old");
    fixtures::EpubFixture().writeZipped(sandbox.file("A.epub"));

    // Something takes the book's name while the old book is aside, so neither the new book nor
    // the old one can be moved there.
    libraryWorkSeams().tryExchange = false;
    libraryWorkSeams().beforeStep = [&](std::string_view step) {
        if (step == "place new book")
            ziptest::writeFile(library + "/A.epub", "in the way");
    };
    auto imported = unpackIntoLibrary(sandbox.file("A.epub"), library, "A.epub");
    libraryWorkSeams() = {};
    EXPECT_FALSE(imported);

    fs::remove(library + "/A.epub");
    recoverInterruptedWork(library);
    EXPECT_EQ(ziptest::snapshot(library + "/A.epub"),
        (std::map<std::string, std::string> { { "old.xhtml", "old" } }));
    EXPECT_EQ(itemNames(library), std::vector<std::string> { "A.epub" });
}

TEST(InterruptedWork, startLeavesWorkInProgressAndBooksWithLookalikeNamesAlone)
{
    TemporaryFolder sandbox;
    const std::string library = sandbox.file("Documents");
    fs::create_directories(library + "/.import-notes.epub");
    auto running = WorkFolder::create(library, WorkFolder::importPrefix);
    ASSERT_TRUE(running);
    ziptest::writeFile(running->path() + "/unpacking", "x");

    recoverInterruptedWork(library);
    EXPECT_TRUE(fs::exists(running->path() + "/unpacking")) << "another Pagewyn holds it";
    EXPECT_TRUE(fs::exists(library + "/.import-notes.epub"));
}
