// The search field's passages through the host's route: what the page is answered for words
// typed, bad ones included, and that books gone from the list are not answered.
#include "app/LibraryPassages.h"
#include "frameworks/folioreader/textindex/updateTextIndex.h"
#include "tests/host/HostedApp.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(LibraryPassages, answersPassagesAndRefusesBadWordsWithAClearMessage)
{
    fixtures::LibraryFolder library;
    library.addBook("moby.epub",
        fixtures::EpubFixture { .title = "Moby Dick",
            .chapters = { { "Loomings", "Call me Ishmael." }, { "Whales", "A whale. A whale." },
                { "More", "Another whale." }, { "Last", "The last whale." },
                { "Again", "Whale again." } } },
        1000);
    library.addBook("gone.epub",
        fixtures::EpubFixture { .title = "Gone", .chapters = { { "One", "Ishmael left." } } },
        1000);
    fixtures::TemporaryFolder cache;
    auto index = folioreader::TextIndex::open(cache.file("text-index.sqlite3"));
    ASSERT_TRUE(index);
    folioreader::TextIndexUpdate settled;
    settled.unsettledWindow = std::chrono::nanoseconds(0);
    folioreader::updateTextIndex(*index, library.path(), { "moby.epub", "gone.epub" }, settled);

    host::HostOptions options;
    // gone.epub was deleted after it was indexed: the list no longer holds it.
    options.libraryPassages = [&](const std::string& typed, const std::string& file) {
        return findLibraryPassages(*index, library.path(), { 2, 5, true }, typed, file,
            [](const std::vector<std::string>& files) {
                std::vector<bool> kept;
                for (const auto& name : files)
                    kept.push_back(name != "gone.epub");
                return kept;
            });
    };
    fixtures::HostedApp hosted({}, true, options);

    struct Case {
        std::string typed;
        std::string book;
        int status;
        std::string answer; // the first book's file, or the error
        std::size_t passages;
    };
    const Case cases[] = {
        { "ishmael", "", 200, "moby.epub", 1 },
        { "\x01\x02ishmael\x7f", "", 200, "moby.epub", 1 },
        { "ishm", "", 200, "moby.epub", 1 },
        { "\"call me ishmael\"", "", 200, "moby.epub", 1 },
        { "whale", "", 200, "moby.epub", 3 },
        { "whale", "moby.epub", 200, "moby.epub", 4 },
        { "\"whale again\"", "", 200, "moby.epub", 1 },
        { "whale", "gone.epub", 200, "", 0 },
        { "nowhere", "", 200, "", 0 },
        { std::string(10000, 'x'), "", 200, "", 0 },
        { "* ^ : \" NEAR(", "", 200, "", 0 },
        { "* ^ \" : ( )", "", 400, "nothing to search for", 0 },
        { "\x01\x02\x03", "", 400, "nothing to search for", 0 },
        { "", "", 400, "nothing to search for", 0 },
        { std::string(10000, '\x01'), "", 400, "nothing to search for", 0 },
    };
    for (const Case& each : cases) {
        nlohmann::json asked = { { "words", each.typed } };
        if (!each.book.empty())
            asked["book"] = each.book;
        auto answer = hosted.post("/passages", asked.dump(), hosted.page());
        auto what = each.typed.substr(0, 20);
        ASSERT_EQ(answer.status, each.status) << what << ": " << answer.body;
        auto json = answer.json();
        if (each.status != 200) {
            EXPECT_EQ(json["error"], each.answer) << what;
            continue;
        }
        EXPECT_EQ(
            json["progress"], nlohmann::json::parse(R"({"indexed":2,"total":5,"indexing":true})"));
        if (each.answer.empty()) {
            EXPECT_TRUE(json["books"].empty()) << what << ": " << answer.body;
            continue;
        }
        ASSERT_EQ(json["books"].size(), 1u) << what << ": gone.epub is dropped";
        const auto& book = json["books"][0];
        EXPECT_EQ(book["file"], each.answer) << what;
        EXPECT_EQ(book["passages"].size(), each.passages) << what;
        EXPECT_EQ(book["more"], each.typed == "whale" && each.book.empty()) << what;
    }

    auto found
        = hosted.post("/passages", R"({"words":"ishmael"})", hosted.page()).json()["books"][0];
    EXPECT_EQ(found["title"], "Moby Dick");
    EXPECT_EQ(found["passages"][0]["chapter"], "Loomings");
    EXPECT_EQ(found["passages"][0]["document"], 0);
    EXPECT_EQ(found["passages"][0]["snippet"], "Call me Ishmael.");
    EXPECT_EQ(found["passages"][0]["marks"], nlohmann::json::parse("[[8, 15]]"));

    // Without an index the route says so.
    fixtures::HostedApp none;
    auto answer = none.post("/passages", R"({"words":"whale"})", none.page());
    EXPECT_EQ(answer.status, 404);
    EXPECT_EQ(answer.json()["error"], "this library keeps no index of its books' text");

    // Words that are not text, or not sent as JSON, are refused.
    EXPECT_EQ(hosted.post("/passages", R"({"words":3})", hosted.page()).json()["error"],
        "the words to search for are not text");
    EXPECT_EQ(hosted.post("/passages", "words=whale", hosted.page(), "text/plain").status, 415);
}

}
