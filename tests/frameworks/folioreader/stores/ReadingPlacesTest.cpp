// Reading places kept per book in one file: a place comes back as it was kept, the other books'
// places survive every write and a forgotten book, and a broken file costs only what it broke.
#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "frameworks/folioreader/stores/KeptProgress.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using folioreader::ReadingPlace;
using folioreader::readingPlace;

TEST(ReadingPlaces, areKeptPerBookAndForgottenWithTheBook)
{
    fixtures::TemporaryFolder folder;
    std::string store = folder.file("reading-places.json");
    EXPECT_EQ(readingPlace(store, "a.epub"), std::nullopt) << "no file yet";
    ReadingPlace a { "OEBPS/one.xhtml", 1234, 1.1, true, 0, 0.25, true, 1765000000, "Kobo Libra" };
    ReadingPlace b { "text/ĉapitro 2.xhtml", 0, 0.9, false, 2 };
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "a.epub", a));
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "Ünïcode b.epub", b));
    a.offset = 99999999999ull;
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "a.epub", a));
    EXPECT_EQ(readingPlace(store, "a.epub"), a);
    EXPECT_EQ(readingPlace(store, "Ünïcode b.epub"), b);
    using Progress = std::map<std::string, folioreader::BookProgress>;
    EXPECT_EQ(folioreader::readingProgress(store), (Progress { { "a.epub", { 0.25, true } } }))
        << "a place kept without its progress tells none";

    ASSERT_TRUE(folioreader::forgetReadingPlace(store, "a.epub"));
    EXPECT_EQ(readingPlace(store, "a.epub"), std::nullopt);
    EXPECT_EQ(readingPlace(store, "Ünïcode b.epub"), b);
    ASSERT_TRUE(folioreader::forgetReadingPlace(folder.file("none.json"), "a.epub"))
        << "nothing to forget";
    EXPECT_FALSE(std::filesystem::exists(folder.file("none.json")));
    EXPECT_FALSE(folioreader::keepReadingPlace(store, "", a));
    EXPECT_FALSE(folioreader::keepReadingPlace(store, "c.epub", ReadingPlace {}));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename(), "reading-places.json") << "no temporary file stays";
}

TEST(ReadingPlaces, aBrokenFileLosesOnlyWhatItBroke)
{
    const std::string kept
        = R"({"document":"one.xhtml","offset":7,"fontScale":1.2,"night":true,"progress":0.5})";
    struct Case {
        const char* what;
        std::string bytes;
        bool keepsGood;
    };
    const std::vector<Case> cases = {
        { "cut off", R"({"store":"pagewyn reading places","places":{"good.epub":)" + kept, false },
        { "not JSON", std::string("\0\xff\x01garbage", 10), false },
        { "another kind of file",
            R"({"store":"something else","places":{"good.epub":)" + kept + "}}", false },
        { "a kind that is no text", R"({"places":{"good.epub":)" + kept + R"(},"store":5})",
            false },
        { "entries that cannot be read among good ones",
            R"({"store":"pagewyn reading places","places":{"bad1.epub":{"document":7,"progress":1},)"
            R"("bad2.epub":[1],"bad3.epub":{"document":"x","offset":-3,"finished":true},)"
            R"("bad4.epub":{"document":{"document":"x"},"offset":1,"progress":1},"good.epub":)"
                + kept + "}}",
            true },
        { "a book named twice keeps its last entry",
            R"({"store":"pagewyn reading places","places":{"good.epub":{"document":"x","offset":1,)"
            R"("progress":1},"good.epub":)"
                + kept + "}}",
            true },
    };
    for (const auto& test : cases) {
        fixtures::TemporaryFolder folder;
        std::string store = folder.file("reading-places.json");
        std::ofstream(store, std::ios::binary) << test.bytes;
        EXPECT_EQ(readingPlace(store, "bad1.epub"), std::nullopt) << test.what;
        ReadingPlace good { "one.xhtml", 7, 1.2, true, 0, 0.5 };
        EXPECT_EQ(
            readingPlace(store, "good.epub"), test.keepsGood ? std::optional(good) : std::nullopt)
            << test.what;
        using Progress = std::map<std::string, folioreader::BookProgress>;
        auto progress = test.keepsGood ? Progress { { "good.epub", { 0.5, false } } } : Progress {};
        EXPECT_EQ(folioreader::readingProgress(store), progress)
            << test.what << ": the rows' progress reads the entries as the reader does";

        ReadingPlace other { "two.xhtml", 3, 1, false };
        ASSERT_TRUE(folioreader::keepReadingPlace(store, "other.epub", other)) << test.what;
        EXPECT_EQ(readingPlace(store, "other.epub"), other) << test.what;
        EXPECT_EQ(
            readingPlace(store, "good.epub"), test.keepsGood ? std::optional(good) : std::nullopt)
            << test.what;
    }
}

}

namespace {

// The rows' progress: this program's own write shows at the next row, another program's once the
// file is looked at again, and not at every row before then.
TEST(KeptProgress, showsThisProgramsWritesAtOnceAndOthersAtTheNextLook)
{
    struct Case {
        const char* what;
        std::chrono::milliseconds lookAgainAfter;
        bool writtenHere; // by keepReadingPlace, else replaced by another program
        std::optional<double> shown;
    };
    const std::chrono::milliseconds never { std::chrono::hours(1) }, always { 0 };
    const std::vector<Case> cases {
        { "kept here, looked at again only later", never, true, 0.75 },
        { "replaced by another program, before the next look", never, false, 0.25 },
        { "replaced by another program, at the next look", always, false, 0.75 },
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        fixtures::TemporaryFolder folder;
        std::string store = folder.file("reading-places.json");
        ReadingPlace place { "OEBPS/one.xhtml", 12 };
        place.progress = 0.25;
        ASSERT_TRUE(folioreader::keepReadingPlace(store, "a.epub", place));
        folioreader::KeptProgress kept(each.lookAgainAfter);
        ASSERT_TRUE(kept.of(store, "a.epub"));
        EXPECT_EQ(kept.of(store, "b.epub"), std::nullopt);

        place.progress = 0.75;
        if (each.writtenHere) {
            ASSERT_TRUE(folioreader::keepReadingPlace(store, "a.epub", place));
        } else {
            std::string other = folder.file("other.json");
            std::ofstream(other)
                << R"({"store":"pagewyn reading places","places":{"a.epub":)"
                   R"({"document":"OEBPS/one.xhtml","offset":12,"progress":0.75}}})";
            std::filesystem::rename(other, store);
        }
        auto shown = kept.of(store, "a.epub");
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->progress, each.shown);
    }
}

}
