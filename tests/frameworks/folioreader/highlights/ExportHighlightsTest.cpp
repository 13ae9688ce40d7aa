// The library's highlights as one file: every book read from the library folder by its item name,
// zipped or unpacked, in the order of their titles; a book gone or a name that leaves the folder
// keeps its highlights, listed as not matching; the database is never written.
#include "frameworks/folioreader/highlights/exportHighlights.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

TEST(ExportHighlights, theLibraryFileHasEveryBookAndLosesNoHighlight)
{
    fixtures::TemporaryFolder folder;
    fixtures::EpubFixture zebra;
    zebra.title = "Zebra";
    zebra.author = "Zed";
    zebra.chapters = { { "Stripes", "Black and white." } };
    zebra.writeZipped(folder.file("z.epub"));
    fixtures::EpubFixture apple;
    apple.title = "apple";
    apple.author = std::nullopt;
    apple.chapters = { { "Core", "Seeds inside." } };
    apple.writeUnpacked(folder.file("a.epub"));

    Realm::Configuration database {
        .fileURL = foundation::URL::fileURLWithPath(folder.file("h.realm")),
        .inMemoryIdentifier = std::nullopt,
    };
    {
        auto store = folioreader::HighlightStore::open(database);
        ASSERT_TRUE(store);
        using Made = std::tuple<const char*, std::uint64_t, std::uint64_t, const char*>;
        const Made made[] = {
            { "z.epub", 7, 12, "Black" }, // "Stripes" is the heading before it
            { "a.epub", 4, 9, "Seeds" },
            { "a.epub", 0, 4, "Pith" }, // another edition's word
            { "gone.epub", 0, 4, "Lost" },
            { "../outside.epub", 0, 4, "Away" },
        };
        for (auto [book, start, end, text] : made) {
            folioreader::Highlight highlight;
            highlight.book = book;
            highlight.document = "OEBPS/text/chapter-1.xhtml";
            highlight.start = start;
            highlight.end = end;
            highlight.text = text;
            ASSERT_TRUE((*store)->add(highlight));
        }
    }
    auto before = std::filesystem::last_write_time(folder.file("h.realm"));

    auto file = folioreader::exportLibraryHighlights(database, folder.path());
    ASSERT_TRUE(file) << file.error().description();
    EXPECT_EQ(file->fileName, "Pagewyn highlights.md");
    EXPECT_EQ(file->mediaType, "text/markdown; charset=utf-8");
    std::string text = std::regex_replace(file->bytes, std::regex(R"(\d{4}-\d\d-\d\d)"), "DAY");
    text = std::regex_replace(text, std::regex(R"(\(".*gone\.epub": [^)]*\))"), "(GONE)");
    EXPECT_EQ(text,
        "# Highlights\n\n"
        "## ../outside.epub\n\n*The book could not be read (it is not a book of the library): its "
        "highlights are listed as they were kept.*\n\n"
        "### No longer matching the book's text\n\n> Away\n\nHighlighted on DAY\n\n"
        "## apple\n\n### Core\n\n> Seeds\n\nHighlighted on DAY\n\n"
        "### No longer matching the book's text\n\n"
        "The book's text at these places differs from what was highlighted: the book may have "
        "been replaced by another edition.\n\n> Pith\n\nHighlighted on DAY, in Core\n\n"
        "## gone.epub\n\n*The book could not be read (GONE): its highlights are listed as they "
        "were kept.*\n\n### No longer matching the book's text\n\n> Lost\n\nHighlighted on DAY\n\n"
        "## Zebra — Zed\n\n### Stripes\n\n> Black\n\nHighlighted on DAY\n");
    EXPECT_EQ(std::filesystem::last_write_time(folder.file("h.realm")), before);
}

}
