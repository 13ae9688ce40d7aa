// How far into a book a place stands: a page's text counted as the browser counts the body's
// text nodes, and the share of the book's text before a place.
#include "frameworks/folioreader/search/bookTextLengths.h"

#include <gtest/gtest.h>

namespace {

TEST(BookTextLengths, countTheBodyTextAsThePageDoes)
{
    struct Case {
        const char* what;
        std::string xhtml;
        std::uint64_t length;
    };
    const std::vector<Case> cases = {
        { "plain", "<html><head><title>Not this</title></head><body><p>Call me</p></body></html>",
            7 },
        { "white space between blocks counts", "<body>\n<p>ab</p>\n<p>c</p>\n</body>", 6 },
        { "entities decoded, CDATA left out as the page's text nodes leave it",
            "<body><p>a&amp;b&#x301;<![CDATA[<x>]]></p></body>", 4 },
        { "beyond the Basic Multilingual Plane: two units",
            "<body><p>\xF0\x9F\x93\x96 é</p></body>", 4 },
        { "comments left out, scripts counted", "<body><!-- no --><script>x=1</script>ok</body>",
            5 },
        { "no body", "<html><head/></html>", 0 },
        { "cut off inside a tag", "<body><p>abc</p><p", 3 },
    };
    for (const auto& test : cases)
        EXPECT_EQ(folioreader::bodyTextLength(test.xhtml), test.length) << test.what;
}

TEST(BookTextLengths, progressIsTheShareOfTheTextBefore)
{
    struct Case {
        std::vector<std::uint64_t> lengths;
        std::size_t spine;
        std::uint64_t offset;
        double progress;
    };
    const std::vector<Case> cases = {
        { { 100, 300 }, 0, 0, 0 },
        { { 100, 300 }, 0, 50, 0.125 },
        { { 100, 300 }, 1, 0, 0.25 },
        { { 100, 300 }, 1, 300, 1 },
        { { 100, 300 }, 1, 9999, 1 }, // an offset past its document's end stops there
        { { 0, 0, 0, 0 }, 2, 0, 0.5 }, // pictures only: by the documents
        { { 100 }, 7, 50, 0.5 }, // a document the book no longer has: its last
        { {}, 0, 0, 0 },
    };
    for (const auto& test : cases)
        EXPECT_DOUBLE_EQ(
            folioreader::bookProgress(test.lengths, test.spine, test.offset), test.progress)
            << test.spine << ":" << test.offset;
}

}
