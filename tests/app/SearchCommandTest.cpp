// `pagewyn search`: its lines, its JSON and its exit status, as a script reads them.
#include "app/SearchCommand.h"
#include "frameworks/folioreader/textindex/TextIndex.h"
#include "library/ProgramState.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

TEST(SearchCommand, printsPassagesAndAnswersByExitStatus)
{
    fixtures::LibraryFolder library;
    library.addBook("moby.epub",
        fixtures::EpubFixture { .title = "Moby Dick",
            .chapters = { { "Loomings", "Call me Ishmael." }, { "Carpet-Bag", "A whale." } } },
        1000);
    library.addBook("other.epub",
        fixtures::EpubFixture { .title = "Other", .chapters = { { "One", "Nothing here." } } },
        1000);
    fixtures::TemporaryFolder cache;
    auto index = folioreader::TextIndex::open(cache.file("text-index.sqlite3"));
    ASSERT_TRUE(index);

    struct Case {
        std::vector<std::string> words;
        bool json;
        int status;
        std::string output;
    };
    const Case cases[] = {
        { { "ishmael" }, false, 0, "moby.epub\tMoby Dick\tLoomings\tCall me Ishmael.\n" },
        { { "\"me", "ishmael\"" }, false, 0, "moby.epub\tMoby Dick\tLoomings\tCall me Ishmael.\n" },
        { { "nowhere" }, false, 1, "" },
        { { "nowhere" }, true, 1, "[]\n" },
        { { "*", "\"" }, false, 2, "" },
    };
    for (const Case& each : cases) {
        resetProgramState();
        ::testing::internal::CaptureStdout();
        int status = runSearchCommand(
            { library.path(), each.json, each.words, nullptr, index, std::chrono::nanoseconds(0) });
        EXPECT_EQ(status, each.status) << each.words.front();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), each.output) << each.words.front();
    }

    resetProgramState();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runSearchCommand({ library.path(), true, { "whale" }, nullptr, index,
                  std::chrono::nanoseconds(0) }),
        0);
    auto found = nlohmann::json::parse(::testing::internal::GetCapturedStdout());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]["chapter"], "Carpet-Bag");
    EXPECT_EQ(found[0]["document"], 1);
    EXPECT_EQ(found[0]["snippet"], "A whale.");
    EXPECT_EQ(found[0]["marks"], nlohmann::json::parse("[[2, 7]]"));

    // A library that is not there, or an index that cannot be opened, is said and answered 1.
    resetProgramState();
    EXPECT_EQ(runSearchCommand({ library.path() + "/missing", false, { "whale" }, nullptr, index,
                  std::chrono::nanoseconds(0) }),
        1);
    EXPECT_EQ(runSearchCommand({ library.path(), false, { "whale" }, nullptr, nullptr,
                  std::chrono::nanoseconds(0) }),
        1);
}

// A book copied in just before the search may be being written still: the command waits for it
// to settle and searches it, rather than answering without it.
TEST(SearchCommand, waitsForABookCopiedInJustBefore)
{
    fixtures::LibraryFolder library;
    library.addBook("moby.epub",
        fixtures::EpubFixture { .title = "Moby Dick", .chapters = { { "Loomings", "A whale." } } },
        1000);
    fixtures::TemporaryFolder cache;
    auto index = folioreader::TextIndex::open(cache.file("text-index.sqlite3"));
    ASSERT_TRUE(index);
    resetProgramState();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int status = runSearchCommand(
        { library.path(), false, { "whale" }, nullptr, index, std::chrono::seconds(1) });
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(
        ::testing::internal::GetCapturedStdout(), "moby.epub\tMoby Dick\tLoomings\tA whale.\n");
    EXPECT_EQ(status, 0);
    // Said while it waits, unless the machine was so slow that the book had settled already.
    EXPECT_TRUE(
        errors.empty() || errors == "pagewyn: search: waiting for 1 book changed just now\n")
        << errors;
}

}
