// Finding words in a book: folding that ignores case, accents and compatibility forms in every
// script, and matches placed by the characters of the body text the reader counts.
#include "frameworks/folioreader/search/PageSearch.h"
#include "frameworks/folioreader/search/searchBook.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using folioreader::foldForSearch;

TEST(PageSearch, foldsAsTheLibraryDoesWithWhiteSpaceMadeOne)
{
    const std::vector<std::pair<const char*, std::u32string>> cases = {
        { "  White \n\t WHALE\u00a0 ", U"white whale" },
        { "ガ Hatırası", U"\u30AB\u3099 hatirasi" },
        { "\xff\xfe ok", U"ok" },
        { "x \u00a8y \u00a8", U"x y" },
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

std::vector<Found> search(const std::string& body, const std::string& query,
    folioreader::ScanWidth widest = folioreader::ScanWidth::thirtyTwo)
{
    std::string xhtml = "<?xml version=\"1.0\"?><html "
                        "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>whale</title>"
                        "<style>p { whale: 1 }</style></head><body>"
        + body + "</body></html>";
    std::vector<Found> found;
    folioreader::searchDocument(
        xhtml, foldForSearch(query),
        [&](const folioreader::SearchMatch& match) {
            found.push_back({ match.start, match.end, match.match });
            return true;
        },
        widest);
    return found;
}

TEST(PageSearch, placesMatchesInTheBodyText)
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
        { "every name XHTML declares counts one",
            "<p>a&mdash;b &alpha;&thetasym; whale&hellip;</p>", "whale", { { 7, 12 } } },
        { "a named character is found", "<p>x&mdash;y &Eacute;t&eacute;</p>", "x—y été",
            { { 0, 7 } } },
        { "a character outside the BMP counts two", "<p>\xF0\x9D\x92\x9C whale</p>", "whale",
            { { 3, 8 } } },
        { "white space in the page is one space", "<p>white\n   whale</p>", "white whale",
            { { 0, 14 } } },
        { "scripts and styles counted, never matched",
            "<script>whale</script><p>whale</p><style>.whale{}</style>", "whale", { { 5, 10 } } },
        { "a decomposed accent belongs to the match", "<p>cafe\xCC\x81 noir</p>", "café",
            { { 0, 5 } } },
        { "CJK", "<p>吾輩は猫である。</p>", "猫", { { 3, 4 } } },
        { "ruby readings counted, passed over",
            "<p><ruby>智<rp>(</rp><rt>ち</rt><rp>)</rp></ruby>に働けば ち</p>", "智に働けば",
            { { 0, 8 } } },
        { "a reading left open ends with its ruby", "<p><ruby>山<rt>やま</ruby>路 やま</p>", "やま",
            { { 5, 7 } } },
        { "nothing", "<p>nothing here</p>", "whale", {} },
        { "a CDATA section is not the page's text",
            "<svg><style><![CDATA[ .whale{} ]]></style><text>whale</text></svg><![CDATA[whale]]>",
            "whale", { { 0, 5 } } },
        { "paragraphs part words", "<p>white</p><p>whale</p><p>whitewhale</p>", "white whale",
            { { 0, 10 } } },
        { "an accent from an entity", "<p>cafe&#x301; caf&#xE9;</p>", "café",
            { { 0, 5 }, { 6, 10 } } },
        { "markup inside a word", "<p>wh<span class=\"x\">a</span>le</p>", "WHALE", { { 0, 5 } } },
        { "a '&' that starts no entity is text", "<p>AT&T, AT&amp;T & &t</p>", "at&t",
            { { 0, 4 }, { 6, 10 } } },
        { "a tag right after the first letters",
            "<p>" + std::string(40, 'x') + " wh<b>ale</b> w<i>hale</i> " + std::string(40, 'y')
                + "</p>",
            "whale", { { 41, 46 }, { 47, 52 } } },
        { "Turkish I, dotted and dotless", "<p>İstanbul ısı</p>", "istanbul isi", { { 0, 12 } } },
        { "German sharp s, also in part", "<p>Straße</p>", "sse", { { 4, 6 } } },
        { "half-width kana with voicing marks", "<p>ｶﾞｲﾄﾞ ガイド</p>", "ガイド",
            { { 0, 5 }, { 6, 9 } } },
        { "voicing marks are no accents", "<p>ガイド</p>", "カイト", {} },
        { "control characters dropped, spaces still one", "<p>white\x01 \x02 whale</p>",
            "white whale", { { 0, 14 } } },
        { "across the pieces a long run is read in",
            "<p>" + std::string(254, 'x') + "  whale " + std::string(300, 'y')
                + "\xC3\xA9whale</p>",
            "x whale", { { 253, 261 } } },
        { "indented lines", "<p>\n        Call    me\n\t\tIshmael</p>", "me ishmael",
            { { 17, 29 } } },
        { "a line ended CR LF counts one, as the page reads it",
            "<p>Call\r\nme\r\rIshmael\r\n whale</p>", "ishmael whale", { { 9, 23 } } },
        { "bytes that are no UTF-8 are not counted",
            "<p>\xff\xe2\x82 Wh\xed"
            "ale \xed\xa0\x80whale</p>",
            "whale", { { 1, 6 }, { 7, 12 } } },
        { "a byte that is no UTF-8 is no space either", "<p>white \xa0whale s\xa0s</p>",
            "white whale ß", { { 0, 14 } } },
        { "a spacing accent joins the spaces around it", "<p>x \u00a8y</p>", "x y", { { 0, 4 } } },
        { "multi-byte characters at the edges of a long run",
            "<p>" + std::string(15, 'x') + "\xC3\xA9" + std::string(256, 'x') + "\xE3\x82\xAC</p>",
            "xxé", { { 13, 16 } } },
    };
    // Every width of scan the machine has finds the same.
    for (auto widest : { folioreader::ScanWidth::one, folioreader::ScanWidth::sixteen,
             folioreader::ScanWidth::thirtyTwo }) {
        for (const auto& test : cases) {
            auto found = search(test.body, test.query, widest);
            std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
            for (const auto& match : found)
                ranges.emplace_back(match.start, match.end);
            EXPECT_EQ(ranges, test.ranges) << test.what << ", scanned " << int(widest);
        }
    }
    EXPECT_EQ(search("<p>Call me <i>Ishmael</i>.</p>", "ISHMAEL")[0].match, "Ishmael");
    std::string xhtml
        = "<html><body><p>The end.</p><p>Call me Ishmael.</p><p>Next.</p></body></html>";
    std::vector<folioreader::SearchMatch> found;
    folioreader::searchDocument(xhtml, foldForSearch("call me"), [&](const auto& match) {
        found.push_back(match);
        return true;
    });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].before + "[" + found[0].match + "]" + found[0].after,
        "The end. [Call me] Ishmael. Next.");
    // What the page shows, without its styles, scripts and readings.
    found.clear();
    folioreader::searchDocument("<body><svg><style>text { font-size:13px; }</style><text>Il en "
                                "avait <ruby>智<rt>ち</rt></ruby> rêvé</text></svg></body>",
        foldForSearch("avait"), [&](const auto& match) {
            found.push_back(match);
            return true;
        });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(
        found[0].before + "[" + found[0].match + "]" + found[0].after, "Il en [avait] 智 rêvé");
    // The text before a match is read again from a little before it, past many tags.
    std::string tags;
    std::string accents;
    for (int i = 0; i < 100; ++i) {
        tags += "<b>\xc3\xa9</b>";
        accents += i < 40 ? "\xc3\xa9" : "";
    }
    found.clear();
    folioreader::searchDocument("<body><p>one</p>" + tags + "<p>wh&#x61;le</p></body>",
        foldForSearch("whale"), [&](const auto& match) {
            found.push_back(match);
            return true;
        });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].before, accents + " ");
    EXPECT_EQ(found[0].start, 103u);
}

TEST(PageSearch, textTheBookHidesIsCountedNeverFound)
{
    struct Case {
        const char* what;
        std::string css;
        std::string body;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    };
    const std::vector<Case> cases = {
        { "a class hidden by a rule", ".head { display: none }",
            R"(<div class="x head">whale</div><p>whale</p>)", { { 5, 10 } } },
        { "a name, class and id together", "div.head#top, aside{display:none!important}",
            R"(<div class="head" id="top">whale</div><div class="head">whale</div>)"
            R"(<aside><b>whale</b></aside>)",
            { { 5, 10 } } },
        { "the hidden attribute", "", R"(<p hidden="hidden">whale</p><p>whale</p>)",
            { { 5, 10 } } },
        { "a style attribute", "", R"(<p style="color: red; display : none">whale</p><p>whale</p>)",
            { { 5, 10 } } },
        { "nested elements, empty ones, to the hidden one's end", ".h { display: none; }",
            R"(<div class="h"><div><br/><img src="x"><b>whale</b></div>whale</div><p>whale</p>)",
            { { 10, 15 } } },
        { "an end left unsaid inside hides no more", ".h { display: none; }",
            R"(<div class="h"><p>whale</div><p>whale</p><div class="h"><div>whale</div></div>whale)",
            { { 5, 10 }, { 15, 20 } } },
        { "not a match across hidden text", ".h { display: none; }",
            R"(<p>wh<span class="h">x</span>ale</p>)", { { 0, 6 } } },
        { "rules of other selectors, media, or shown, hide nothing",
            "@media print { .a { display: none } } div .b, .c:first-child { display: none } "
            ".d { display: block }",
            R"(<p class="a">whale</p><div><p class="b">whale</p></div>)"
            R"(<p class="c">whale</p><p class="d">whale</p>)",
            { { 0, 5 }, { 5, 10 }, { 10, 15 }, { 15, 20 } } },
    };
    for (const auto& test : cases) {
        folioreader::HiddenElements hidden;
        hidden.addStyleSheet(test.css);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
        folioreader::searchDocument(
            "<body>" + test.body + "</body>", foldForSearch("whale"),
            [&](const auto& match) {
                ranges.emplace_back(match.start, match.end);
                return true;
            },
            folioreader::ScanWidth::thirtyTwo, &hidden);
        EXPECT_EQ(ranges, test.ranges) << test.what;
    }
    // The page's style elements and the style sheets it links, by their address as written.
    std::vector<std::string> asked;
    auto hidden = folioreader::HiddenElements::ofPage(
        R"(<html><head><link rel="stylesheet" href="a.css"/><link rel="icon" href="i.png"/>)"
        R"(<style>.s{display:none}</style></head>)"
        R"(<body><link rel="stylesheet" href="late.css"/></body></html>)",
        [&](std::string_view href) {
            asked.emplace_back(href);
            auto rules = std::make_shared<folioreader::HiddenElements>();
            rules->addStyleSheet(".l { display: none }");
            return rules;
        });
    EXPECT_EQ(asked, std::vector<std::string> { "a.css" });
    EXPECT_TRUE(hidden.hides(R"(p class="l")"));
    EXPECT_TRUE(hidden.hides("p class='s'"));
    EXPECT_FALSE(hidden.hides(R"(p class="sl")"));
}

TEST(PageSearch, aBooksPagesAreSearchedSideBySideAndHandedOnInOrder)
{
    fixtures::TemporaryFolder folder;
    fixtures::EpubFixture book;
    book.chapters.clear();
    std::vector<std::size_t> pages;
    for (std::size_t chapter = 0; chapter < 12; ++chapter) {
        std::string text = "Chapter " + std::to_string(chapter);
        for (std::size_t i = 0; i <= chapter % 3; ++i) {
            text += " a whale";
            pages.push_back(chapter);
        }
        book.chapters.push_back({ "Chapter", text });
    }
    auto session = folioreader::ReaderSession::open(
        fixtures::writeBook(book, fixtures::Shape::unpacked, folder));
    ASSERT_FALSE(session->failure());
    const auto spineStart = session->spine().size() - 12;
    struct Case {
        const char* what;
        std::size_t most;
        bool cancelled;
        std::size_t count;
        bool complete;
    };
    for (const auto& test : std::vector<Case> {
             { "every match", 1000, false, pages.size(), true },
             { "as many as asked for", 5, false, 5, false },
             { "cancelled", 1000, true, 0, false },
         }) {
        std::vector<std::size_t> found;
        auto outcome = folioreader::searchBook(
            *session, foldForSearch("WHALE"), test.most, [&] { return test.cancelled; },
            [&](std::size_t page, const folioreader::SearchMatch&) {
                found.push_back(page - spineStart);
                return true;
            });
        EXPECT_EQ(outcome.count, test.count) << test.what;
        EXPECT_EQ(outcome.complete, test.complete) << test.what;
        EXPECT_EQ(outcome.cancelled, test.cancelled) << test.what;
        EXPECT_EQ(found,
            std::vector<std::size_t>(pages.begin(), pages.begin() + std::ptrdiff_t(test.count)))
            << test.what;
    }
}

}
