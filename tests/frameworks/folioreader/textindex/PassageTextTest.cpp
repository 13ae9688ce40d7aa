// The pieces under the text index: the words it keeps, the query a typed text becomes, the
// passages a page is cut into and the snippets shown of them.
#include "frameworks/folioreader/textindex/BookPassages.h"
#include "frameworks/folioreader/textindex/IndexedWords.h"
#include "frameworks/folioreader/textindex/PackedBook.h"
#include "frameworks/folioreader/textindex/PassageQuery.h"
#include "frameworks/folioreader/textindex/PassageSnippet.h"

#include <gtest/gtest.h>

namespace {

using folioreader::RunEnd;

TEST(PassageText, indexedWordsFoldAndPairCharactersWrittenWithoutSpaces)
{
    struct Case {
        const char* text;
        RunEnd end;
        const char* words;
    };
    const Case cases[] = {
        { "Straße CAFÉ", RunEnd::alone, "strasse cafe" },
        { "東京都", RunEnd::alone, " 東京 京都 都 " },
        { "東京都", RunEnd::pairsOnly, " 東京 京都 " },
        { "東", RunEnd::pairsOnly, "  東 " },
        { "東京abc", RunEnd::pairsOnly, " 東京 京 abc" },
        { "ｶﾀｶﾅ", RunEnd::alone, " カタ タカ カナ ナ " },
    };
    for (const Case& each : cases)
        EXPECT_EQ(folioreader::indexedWords(each.text, each.end), each.words) << each.text;
}

TEST(PassageText, typedTextBecomesQuotedStringsOnly)
{
    using folioreader::QueryWords;
    struct Case {
        std::string typed;
        QueryWords words;
        const char* expression;
        // Searched as the completions "ishmael" and "ishy" of a word being typed; empty when
        // nothing is being typed.
        const char* completed = "";
    };
    const Case cases[] = {
        { "call me", QueryWords::complete, "NEAR(\"call\" \"me\", 40)" },
        { "\"call me\" whale", QueryWords::complete, "\"call me\" AND \"whale\"" },
        { "call ishm", QueryWords::beingTyped, "NEAR(\"call\" \"ishm\" *, 40)",
            "\"call\" AND (\"ishmael\" OR \"ishy\")" },
        { "call me ishm", QueryWords::beingTyped, "NEAR(\"call\" \"me\" \"ishm\" *, 40)",
            "NEAR(\"call\" \"me\", 40) AND (\"ishmael\" OR \"ishy\")" },
        { "ish,", QueryWords::beingTyped, "\"ish,\" *", "(\"ishmael\" OR \"ishy\")" },
        { "call is", QueryWords::beingTyped, "\"call\"" },
        // A phrase being typed: its last word is a prefix from three letters, left out before.
        { "\"of t", QueryWords::beingTyped, "\"of\"" },
        { "\"of the", QueryWords::beingTyped, "\"of the\" *", "(\"of ishmael\") OR (\"of ishy\")" },
        { "ahab \"of the", QueryWords::beingTyped, "\"of the\" * AND \"ahab\"",
            "(\"of ishmael\" AND \"ahab\") OR (\"of ishy\" AND \"ahab\")" },
        { "\"of t\"", QueryWords::beingTyped, "\"of t\"" },
        // The engine's syntax stays inside the strings, where it is only text.
        { "NEAR(a) OR b*", QueryWords::complete, "NEAR(\"near(a)\" \"or\" \"b*\", 40)" },
        { "col:umn ^start", QueryWords::complete, "NEAR(\"col:umn\" \"^start\", 40)" },
        { "say \"\"\"hi", QueryWords::complete, "\"hi\" AND \"say\"" },
        { "東", QueryWords::complete, "\"  東 \" *" },
        // Typed, a run of two or more ends in a whole pair: no prefix of it is longer.
        { "東京都", QueryWords::beingTyped, "\" 東京 京都 \"" },
        { "東京 都", QueryWords::beingTyped, "NEAR(\" 東京 \" \"  都 \" *, 40)" },
        { std::string("a\0b", 3), QueryWords::complete, "NEAR(\"a\" \"b\", 40)" },
    };
    for (const Case& each : cases) {
        auto query = folioreader::parsePassageQuery(each.typed, each.words);
        ASSERT_TRUE(query) << each.typed;
        EXPECT_EQ(query->expression, each.expression) << each.typed;
        EXPECT_EQ(
            query->completing.empty() ? "" : query->expressionCompleting({ "ishmael", "ishy" }),
            each.completed)
            << each.typed;
    }
}

TEST(PassageText, pagesAreCutAtBlocksPastTheShortestAndAtSpacesPastTheLongest)
{
    const std::string shortParagraphs = "<p>One.</p><p>Two<script>x</script>three.</p>";
    auto merged = folioreader::passagesOf("<body>" + shortParagraphs + "</body>", 0);
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].text, "One. Two three.");

    std::string words;
    for (int index = 0; index < 400; ++index)
        words += "word ";
    auto cut = folioreader::passagesOf("<body><p>" + words + "</p><p>end</p></body>", 0);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_GE(cut[0].text.size(), folioreader::longestPassage);
    EXPECT_LT(cut[0].text.size(), folioreader::longestPassage + 5);
    // The second starts at its first word, counted in the page's text.
    EXPECT_EQ(cut[1].offset, cut[0].text.size() + 1);
    EXPECT_EQ(cut[2].text, "end");
    EXPECT_TRUE(folioreader::passagesOf("<head><title>t</title></head><body> </body>", 0).empty());
}

TEST(PassageText, aPackedBookKeepsItsCommonestWordsAndEveryPassage)
{
    // Thousands of different words, each said once, beside a few said more often; words of
    // fewer than three characters are not counted, and of two as common the first in byte order
    // comes first.
    folioreader::BookPassages book;
    std::string once;
    for (int index = 0; index < 5000; ++index)
        once += "w" + std::to_string(index) + " ";
    book.passages.push_back({ 0, 0, once });
    book.passages.push_back({ 0, once.size(), "Zeta beta BETA zeta alpha to to to to an an an" });
    book.passages.push_back({ 1, 0, "zeta Beta Alpha Ångström angstrom" });
    folioreader::PassagePacker packer;
    auto packed = folioreader::packBook(book, packer);
    ASSERT_FALSE(packed.failed);
    ASSERT_EQ(packed.commonWords.size(), folioreader::commonWordsABook);
    using Counted = std::pair<std::string, std::uint32_t>;
    const std::vector<Counted> commonest(
        packed.commonWords.begin(), packed.commonWords.begin() + 5);
    EXPECT_EQ(commonest,
        (std::vector<Counted> {
            { "beta", 3 }, { "zeta", 3 }, { "alpha", 2 }, { "angstrom", 2 }, { "w10", 1 } }));
    ASSERT_EQ(packed.words.size(), 3u);
    EXPECT_EQ(packed.words[2], "zeta beta alpha angstrom angstrom");
    ASSERT_FALSE(packed.blocks.empty());
    EXPECT_EQ(packed.blocks.back().end, 3u);
}

TEST(PassageText, snippetsMarkTheWordsWhereTheyStand)
{
    struct Case {
        std::string text;
        std::vector<std::u32string> marked;
        std::string snippet;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> marks;
        std::string heading = {};
    };
    const std::string lead(100, 'x');
    const Case cases[] = {
        { "Le Café est là", { U"cafe" }, "Le Café est là", { { 3, 7 } } },
        { "a whale, whales and whaler", { U"whale" }, "a whale, whales and whaler",
            { { 2, 7 }, { 9, 14 }, { 20, 25 } } },
        { "awhale", { U"whale" }, "awhale", {} },
        { "\U0001F600 東京都", { U"京都" }, "\U0001F600 東京都", { { 4, 6 } } },
        // Begun a little before the first mark, at a word when one starts near.
        { lead + " the whale", { U"whale" }, "…" + std::string(75, 'x') + " the whale",
            { { 81, 86 } } },
        // The chapter's heading the passage begins with is left out, unless it alone holds them.
        { "Loomings Call me Ishmael.", { U"ishmael" }, "Call me Ishmael.", { { 8, 15 } },
            "Loomings" },
        { "Chapter One The sea", { U"sea" }, "The sea", { { 4, 7 } }, "CHAPTER ONE" },
        { "Loomings Call me.", { U"loomings" }, "Loomings Call me.", { { 0, 8 } }, "Loomings" },
        { "The Innkeeper spoke", { U"spoke" }, "The Innkeeper spoke", { { 14, 19 } }, "The Inn" },
    };
    for (const Case& each : cases) {
        auto snippet = folioreader::snippetOf(each.text, each.marked, each.heading);
        EXPECT_EQ(snippet.text, each.snippet) << each.text;
        EXPECT_EQ(snippet.marks, each.marks) << each.text;
    }
}

}
