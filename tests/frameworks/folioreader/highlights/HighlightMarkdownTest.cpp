// Highlights taken away: placed in the book as it is now (reading order, chapter, whether the
// text still matches), and written as Markdown that reads as the book's words, whatever they hold.
#include "frameworks/folioreader/highlights/HighlightMarkdown.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using folioreader::BookHighlights;
using folioreader::Highlight;
using folioreader::PlacedHighlight;

// Noon UTC: the same day in every time zone the tests run in.
// 2025-12-09
const foundation::Date madeOn = foundation::Date::fromTimeIntervalSince1970(1765281600);

PlacedHighlight placed(std::string text, std::string chapter, bool matches = true)
{
    Highlight highlight;
    highlight.text = std::move(text);
    highlight.created = madeOn;
    return {
        .highlight = highlight, .spine = 0, .chapter = std::move(chapter), .matchesText = matches
    };
}

TEST(HighlightMarkdown, writesEachBookAsItsReaderExpects)
{
    struct Case {
        const char* name;
        BookHighlights book;
        std::string markdown;
    };
    const Case cases[] = {
        { "quotes under their chapters, with their day",
            { .title = "Moby-Dick",
                .author = "Herman Melville",
                .file = "moby.epub",
                .problem = {},
                .highlights
                = { placed("Before any chapter.", ""), placed("Call me Ishmael.", "Loomings"),
                    placed("Some years ago.", "Loomings"), placed("Whaling.", "The Carpet-Bag") } },
            "# Moby-Dick — Herman Melville\n\n"
            "> Before any chapter.\n\nHighlighted on 2025-12-09\n\n"
            "## Loomings\n\n> Call me Ishmael.\n\nHighlighted on 2025-12-09\n\n"
            "> Some years ago.\n\nHighlighted on 2025-12-09\n\n"
            "## The Carpet-Bag\n\n> Whaling.\n\nHighlighted on 2025-12-09\n" },
        { "what Markdown would read as syntax is escaped",
            { .title = "*Bold* & [Link](x) <b>",
                .author = "A_B",
                .file = "f.epub",
                .problem = {},
                .highlights = { placed(
                    "# not a heading\n  - not a list\n\n1. not ordered\n> `code` &amp; | ~x~ \\",
                    "Part #2") } },
            "# \\*Bold\\* & \\[Link\\](x) \\<b\\> — A\\_B\n\n## Part \\#2\n\n"
            "> \\# not a heading\n> \\- not a list\n>\n> 1\\. not ordered\n"
            "> \\> \\`code\\` \\&amp; \\| \\~x\\~ \\\\\n\n"
            "Highlighted on 2025-12-09\n" },
        { "highlights that no longer match are listed apart, with their chapter",
            { .title = "Edition",
                .author = "",
                .file = "e.epub",
                .problem = {},
                .highlights = { placed("Still here.", "One"), placed("Gone now.", "Two", false) } },
            "# Edition\n\n## One\n\n> Still here.\n\nHighlighted on 2025-12-09\n\n"
            "## No longer matching the book's text\n\n"
            "The book's text at these places differs from what was highlighted: the book may "
            "have been replaced by another edition.\n\n"
            "> Gone now.\n\nHighlighted on 2025-12-09, in Two\n" },
        { "a book without title or author is named by its file",
            { .title = "", .author = "", .file = "untitled.epub", .problem = {}, .highlights = {} },
            "# untitled.epub\n\nNo highlights.\n" },
        { "right-to-left and CJK text stand as they are",
            { .title = "吾輩は猫である",
                .author = "夏目漱石",
                .file = "neko.epub",
                .problem = {},
                .highlights
                = { placed("名前はまだ無い。", "一"), placed("שלום, עולם!", "פרק א") } },
            "# 吾輩は猫である — 夏目漱石\n\n## 一\n\n> 名前はまだ無い。\n\nHighlighted on "
            "2025-12-09\n\n"
            "## פרק א\n\n> שלום, עולם!\n\nHighlighted on 2025-12-09\n" },
        { "a book that cannot be read keeps every highlight",
            { .title = "",
                .author = "",
                .file = "lost.epub",
                .problem = "no such file",
                .highlights = { placed("Kept anyway.", "", true) } },
            "# lost.epub\n\n*The book could not be read (no such file): its highlights are listed "
            "as they were kept.*\n\n## No longer matching the book's text\n\n> Kept anyway.\n\n"
            "Highlighted on 2025-12-09\n" },
    };
    for (const auto& test : cases)
        EXPECT_EQ(folioreader::bookHighlightsMarkdown(test.book), test.markdown) << test.name;
}

TEST(HighlightMarkdown, theLibraryHasASectionPerBook)
{
    std::vector<BookHighlights> books {
        { .title = "Alpha",
            .author = "Ann",
            .file = "a.epub",
            .problem = {},
            .highlights = { placed("One.", "I") } },
        { .title = "Beta",
            .author = "",
            .file = "b.epub",
            .problem = {},
            .highlights = { placed("Two.", "") } },
    };
    EXPECT_EQ(folioreader::libraryHighlightsMarkdown(books),
        "# Highlights\n\n## Alpha — Ann\n\n### I\n\n> One.\n\nHighlighted on 2025-12-09\n\n"
        "## Beta\n\n> Two.\n\nHighlighted on 2025-12-09\n");
    EXPECT_EQ(folioreader::libraryHighlightsMarkdown({}),
        "# Highlights\n\nNo book has highlights yet.\n");
}

TEST(HighlightMarkdown, fileNamesAreSafeOnEveryFileSystem)
{
    const std::pair<std::string, std::string> cases[] = {
        { "Moby-Dick", "Moby-Dick highlights.md" },
        { "a/b\\c: \"d\" <e>|*?", "a b c d e highlights.md" },
        { "../../etc/passwd", "etc passwd highlights.md" },
        { "...", "Highlights.md" },
        { "", "Highlights.md" },
        { "tab\there\nnew\x7f\xc2\x85line", "tab here new line highlights.md" },
        { "吾輩は猫である", "吾輩は猫である highlights.md" },
        { std::string(99, 'x') + "é", std::string(99, 'x') + " highlights.md" },
    };
    for (const auto& [title, name] : cases)
        EXPECT_EQ(folioreader::highlightsFileName(title), name) << title;
}

TEST(PlaceHighlights, ordersNamesChaptersAndChecksTheTextAgainstTheBook)
{
    const std::map<std::string, std::string> documents {
        { "a.xhtml", "<html><body><p>Call me Ishmael.</p><p>Some years ago</p></body></html>" },
        { "b.xhtml",
            "<html><head><title>Not counted</title></head><body><p>First &amp; second</p>"
            "<h2 id=\"later\">Later</h2>"
            "<p>\xF0\x9D\x92\x9C astral words</p></body></html>" },
    };
    const std::vector<std::string> spine { "a.xhtml", "b.xhtml", "c.xhtml" };
    const std::vector<folioreader::TocEntry> contents {
        { .title = "One", .entryName = "a.xhtml", .fragment = "", .depth = 0 },
        { .title = "Elsewhere", .entryName = "", .fragment = "", .depth = 0 },
        { .title = "Two", .entryName = "b.xhtml", .fragment = "", .depth = 0 },
        { .title = "Two, later", .entryName = "b.xhtml", .fragment = "later", .depth = 1 },
    };
    auto read = [&](const std::string& name) -> foundation::Result<std::string> {
        auto found = documents.find(name);
        if (found == documents.end())
            return foundation::Error("missing");
        return found->second;
    };
    auto highlight
        = [](std::string document, std::uint64_t start, std::uint64_t end, std::string text) {
              Highlight made;
              made.document = std::move(document);
              made.start = start;
              made.end = end;
              made.text = std::move(text);
              return made;
          };
    auto result = folioreader::placeHighlights(
        {
            highlight("gone.xhtml", 0, 4, "Gone"),
            highlight("b.xhtml", 22, 28, "astral"), // after a character of two UTF-16 units
            highlight("b.xhtml", 6, 7, "&"),
            highlight("a.xhtml", 8, 20, "Ishmael.\n\nSome"), // across two paragraphs
            highlight("b.xhtml", 0, 5, "Other"), // another edition's words
            highlight("c.xhtml", 0, 3, "Any"), // a document that cannot be read
            highlight("a.xhtml", 8, 400, "Ishmael."), // past the document's end
        },
        spine, contents, read);

    struct Expected {
        std::string text;
        std::optional<std::size_t> spine;
        std::string chapter;
        bool matches;
    };
    const std::vector<Expected> expected {
        { "Ishmael.\n\nSome", 0, "One", true },
        { "Ishmael.", 0, "One", false },
        { "Other", 1, "Two", false },
        { "&", 1, "Two", true },
        { "astral", 1, "Two, later", true },
        { "Any", 2, "Two, later", false },
        { "Gone", std::nullopt, "", false },
    };
    ASSERT_EQ(result.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(result[i].highlight.text, expected[i].text) << i;
        EXPECT_EQ(result[i].spine, expected[i].spine) << i;
        EXPECT_EQ(result[i].chapter, expected[i].chapter) << i;
        EXPECT_EQ(result[i].matchesText, expected[i].matches) << i;
    }
}

}
