// Places as reading devices name them: a document with nested and repeated elements read both
// ways, pointers that name nothing, and texts that are no pointer at all.
#include "frameworks/folioreader/sync/XPointer.h"

#include <gtest/gtest.h>

namespace {

using folioreader::XPointer;

// Its body's text: "\nFirst para.Second italic tail.\nHeadThird.Fourth \xF0\x9F\x93\x96 p&ra.\n",
// where the picture stands in two units.
const std::string document
    = "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
      "<title>Not this</title></head><body>\n"
      "<div><p>First para.</p><p>Second <i>italic</i><!-- x --> tail.</p></div>\n"
      "<div class=\"b\"><h2>Head</h2><p>Third.</p><br/><p>Fourth \xF0\x9F\x93\x96 "
      "p&amp;ra.</p></div>\n"
      "</body></html>";

TEST(XPointer, namesTheFirstCharacterOnScreenAndFindsItAgain)
{
    struct Case {
        std::uint64_t offset;
        const char* pointer;
        std::uint64_t found; // the character the pointer names: the first not white space
    };
    const std::vector<Case> cases = {
        { 0, "/body/DocFragment[3]/body/div/p/text().0", 1 },
        { 3, "/body/DocFragment[3]/body/div/p/text().2", 3 },
        { 12, "/body/DocFragment[3]/body/div/p[2]/text().0", 12 },
        { 20, "/body/DocFragment[3]/body/div/p[2]/i/text().1", 20 },
        { 26, "/body/DocFragment[3]/body/div/p[2]/text()[2].1", 26 },
        { 31, "/body/DocFragment[3]/body/div[2]/h2/text().0", 32 },
        { 45, "/body/DocFragment[3]/body/div[2]/p[2]/text().3", 45 },
        { 50, "/body/DocFragment[3]/body/div[2]/p[2]/text().9",
            52 }, // past the picture's two units
        { 56, "/body/DocFragment[3]/body/div[2]/p[2]/text().13", 56 },
        { 57, "/body/DocFragment[3]/body", 0 },
    };
    for (const auto& test : cases) {
        auto pointer = folioreader::xpointerAt(document, 3, test.offset);
        EXPECT_EQ(pointer.text(), test.pointer) << test.offset;
        auto parsed = XPointer::parse(test.pointer);
        ASSERT_TRUE(parsed) << test.pointer;
        EXPECT_EQ(*parsed, pointer) << test.pointer;
        EXPECT_EQ(folioreader::offsetOf(document, *parsed), test.found) << test.pointer;
    }
}

TEST(XPointer, pointersADeviceSendsResolveOrNameNothing)
{
    struct Case {
        const char* pointer;
        std::optional<std::uint64_t> offset;
    };
    const std::vector<Case> cases = {
        { "/body/DocFragment[3]/body/div[2]/p[2]", 42 },
        { "/body/DocFragment[3]/body/DIV[2]/P[2]/text().3", 45 },
        { "/body/DocFragment[3]/body/div/p[2]/text()[2].100", 31 }, // past its text node: its end
        { "/body/DocFragment[3]/body/div/p[2]/text()[3].0", 12 }, // no such text node: the element
        { "/body/DocFragment[3]/body/div[2]/p[2].4", 42 },
        { "/body/DocFragment[3]/body/div[5]/p", std::nullopt },
        { "/body/DocFragment[3]/body/div/p[2]/b", std::nullopt },
        { "/body/DocFragment[3]", 0 },
        { "/body/DocFragment[3].0", 0 },
    };
    for (const auto& test : cases) {
        auto parsed = XPointer::parse(test.pointer);
        ASSERT_TRUE(parsed) << test.pointer;
        EXPECT_EQ(folioreader::offsetOf(document, *parsed), test.offset) << test.pointer;
    }
    for (const char* broken : { "", "/foo", "/body/DocFragment", "/body/DocFragment[0]/body",
             "/body/DocFragment[x]", "/body/DocFragment[3]/body/p[0]",
             "/body/DocFragment[3]/body/p[2].x", "/body/DocFragment[3]/body//p",
             "/body/DocFragment[99999999999999999999]", "/body/DocFragment[3]/body/p/text().1/b" })
        EXPECT_EQ(XPointer::parse(broken), std::nullopt) << broken;
}

// What stands between '<' and '>' without an element's name (a broken page) is no step of a
// place: the place named beyond it can be read back, and finds its character again.
TEST(XPointer, aTagWithoutAnElementsNameIsNoStep)
{
    const std::string broken = "<html><body><div><p>ab<.w3.org/1999<b>cd</p></div></body></html>";
    for (std::uint64_t offset : { 0, 1, 2, 3 }) {
        auto pointer = folioreader::xpointerAt(broken, 1, offset);
        auto parsed = XPointer::parse(pointer.text());
        ASSERT_TRUE(parsed) << pointer.text();
        EXPECT_EQ(folioreader::offsetOf(broken, *parsed), offset) << pointer.text();
    }
}

}
