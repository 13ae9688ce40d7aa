// Finding words in a book: folding that ignores case, accents and compatibility forms in every
// script, and matches placed by the characters of the body text the reader counts.
#include "frameworks/folioreader/BookSearch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using folioreader::foldForSearch;

TEST(BookSearch, foldsAsTheLibraryDoesWithWhiteSpaceMadeOne)
{
    const std::vector<std::pair<const char*, std::u32string>> cases = {
        { "  White \n\t WHALE\u00a0 ", U"white whale" },
        { "ガ Hatırası", U"\u30AB\u3099 hatirasi" },
        { "\xff\xfe ok", U"ok" },
        { "", U"" },
    };
    for (const auto& [text, folded] : cases)
        EXPECT_EQ(foldForSearch(text), folded) << text;
}

struct Found {
    std::uint64_t start;
    std::uint64_t end;
    std::string match;
};

std::vector<Found> search(const std::string& body, const std::string& query)
{
    std::string xhtml = "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>whale</title>"
                        "<style>p { whale: 1 }</style></head><body>"
        + body + "</body></html>";
    std::vector<Found> found;
    folioreader::searchDocument(xhtml, foldForSearch(query), [&](const folioreader::SearchMatch& match) {
        found.push_back({ match.start, match.end, match.match });
        return true;
    });
    return found;
}

TEST(BookSearch, placesMatchesInTheBodyText)
{
    struct Case {
        const char* what;
        std::string body;
        std::string query;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    };
    const std::vector<Case> cases = {
        { "case and accents", "<p>Résumé, RESUME.</p>", "resume", { { 0, 6 }, { 8, 14 } } },
        { "across tags", "<p><b>Moby</b>-Dick</p>", "moby-dick", { { 0, 9 } } },
        { "entities count one", "<p>a &amp; b&#x20;&lt;whale&gt;</p>", "whale", { { 7, 12 } } },
        { "a character outside the BMP counts two", "<p>\xF0\x9D\x92\x9C whale</p>", "whale", { { 3, 8 } } },
        { "white space in the page is one space", "<p>white\n   whale</p>", "white whale", { { 0, 14 } } },
        { "scripts and styles counted, never matched", "<script>whale</script><p>whale</p><style>.whale{}</style>",
            "whale", { { 5, 10 } } },
        { "a decomposed accent belongs to the match", "<p>cafe\xCC\x81 noir</p>", "café", { { 0, 5 } } },
        { "CJK", "<p>吾輩は猫である。</p>", "猫", { { 3, 4 } } },
        { "nothing", "<p>nothing here</p>", "whale", {} },
        { "paragraphs part words", "<p>white</p><p>whale</p><p>whitewhale</p>", "white whale", { { 0, 10 } } },
    };
    for (const auto& test : cases) {
        auto found = search(test.body, test.query);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
        for (const auto& match : found)
            ranges.emplace_back(match.start, match.end);
        EXPECT_EQ(ranges, test.ranges) << test.what;
    }
    EXPECT_EQ(search("<p>Call me <i>Ishmael</i>.</p>", "ISHMAEL")[0].match, "Ishmael");
    std::string xhtml = "<html><body><p>The end.</p><p>Call me Ishmael.</p><p>Next.</p></body></html>";
    std::vector<folioreader::SearchMatch> found;
    folioreader::searchDocument(xhtml, foldForSearch("call me"), [&](const auto& match) {
        found.push_back(match);
        return true;
    });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].before + "[" + found[0].match + "]" + found[0].after, "The end. [Call me] Ishmael. Next.");
}

}
