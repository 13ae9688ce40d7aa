// The table of contents: EPUB 3 navigation documents and EPUB 2 NCX files, nested or flat, with
// the links resolved to entries of the book; hostile nesting and links that leave the book.
#include "frameworks/folioreader/epub/TableOfContents.h"
#include "frameworks/folioreader/reader/ReaderSession.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

namespace {

using fixtures::EpubFixture;
using fixtures::Shape;
using folioreader::TocEntry;

using Entries = std::vector<TocEntry>;

Entries navigation(std::string body, std::string_view name = "OEBPS/nav.xhtml")
{
    std::string document = "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\" "
                           "xmlns:epub=\"http://www.idpf.org/2007/ops\"><body>"
        + body + "</body></html>";
    auto entries = folioreader::parseNavigationDocument(document, name);
    EXPECT_TRUE(entries) << entries.error().description();
    return entries ? *entries : Entries {};
}

TEST(TableOfContents, comesFromEitherKindOfBookInReadingOrder)
{
    for (int version : { 2, 3 }) {
        for (Shape shape : { Shape::zipped, Shape::unpacked }) {
            SCOPED_TRACE(testing::Message() << "EPUB " << version << ", " << shape);
            fixtures::TemporaryFolder folder;
            EpubFixture book { .version = version };
            book.chapters
                = { { "Loomings", "a" }, { "The Carpet-Bag", "b" }, { "The Spouter-Inn", "c" } };
            auto session
                = folioreader::ReaderSession::open(fixtures::writeBook(book, shape, folder));
            ASSERT_FALSE(session->failure());
            EXPECT_EQ(session->tableOfContents(),
                (Entries {
                    { "Loomings", "OEBPS/text/chapter-1.xhtml", "", 0 },
                    { "The Carpet-Bag", "OEBPS/text/chapter-2.xhtml", "", 0 },
                    { "The Spouter-Inn", "OEBPS/text/chapter-3.xhtml", "", 0 },
                }));
            EXPECT_EQ(session->spineIndexOf("OEBPS/text/chapter-3.xhtml"), 2u);
        }
    }
}

TEST(TableOfContents, navigationDocumentNestingHeadingsAndFragments)
{
    auto entries = navigation(R"(
        <nav epub:type="landmarks"><ol><li><a href="text/cover.xhtml">Cover</a></li></ol></nav>
        <nav epub:type="toc" id="toc"><h1>Contents</h1>
          <ol>
            <li><a href="text/one.xhtml#start">  Part
                  <em>One</em> </a>
              <ol>
                <li><a href="text/one.xhtml#s1">Section 1</a></li>
                <li><span>Interlude</span>
                  <ol><li><a href="text/two%20words.xhtml">Deep</a></li></ol></li>
              </ol>
            </li>
            <li><a href="../../../outside.xhtml">Elsewhere</a></li>
            <li><a href="http://example.com/x.xhtml">Remote</a></li>
            <li><a href="text/untitled.xhtml"></a></li>
          </ol>
        </nav>)");
    EXPECT_EQ(entries,
        (Entries {
            { "Part One", "OEBPS/text/one.xhtml", "start", 0 },
            { "Section 1", "OEBPS/text/one.xhtml", "s1", 1 },
            { "Interlude", "", "", 1 },
            { "Deep", "OEBPS/text/two words.xhtml", "", 2 },
            { "Elsewhere", "", "", 0 },
            { "Remote", "", "", 0 },
            { "untitled.xhtml", "OEBPS/text/untitled.xhtml", "", 0 },
        }));
}

TEST(TableOfContents, navigationDocumentFoundByRoleAndRefusedWithoutOne)
{
    EXPECT_EQ(
        navigation(R"(<nav role="doc-toc"><ol><li><a href="a.xhtml">A</a></li></ol></nav>)").size(),
        1u);

    std::string none = "<html><body><nav epub:type=\"landmarks\"><ol/></nav></body></html>";
    EXPECT_FALSE(folioreader::parseNavigationDocument(none, "nav.xhtml"));
    std::string broken = "<html><body><nav epub:type=\"toc\"><ol><li>&nbsp;</ol></body>";
    EXPECT_FALSE(folioreader::parseNavigationDocument(broken, "nav.xhtml"));
}

TEST(TableOfContents, ncxNestingAndLinksRelativeToTheNcx)
{
    std::string ncx = R"(<?xml version="1.0"?>
        <ncx xmlns="http://www.daisy.org/z3986/2005/ncx/"><navMap>
          <navPoint id="a" playOrder="1"><navLabel><text> Book
              One </text></navLabel><content src="text/one.xhtml"/>
            <navPoint id="b" playOrder="2"><navLabel><text>Chapter 1</text></navLabel><content src="text/one.xhtml#c1"/></navPoint>
          </navPoint>
          <navPoint id="c" playOrder="3"><navLabel><text>Book Two</text></navLabel><content src="../two.xhtml"/></navPoint>
        </navMap></ncx>)";
    auto entries = folioreader::parseNcx(ncx, "OEBPS/toc/toc.ncx");
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries,
        (Entries {
            { "Book One", "OEBPS/toc/text/one.xhtml", "", 0 },
            { "Chapter 1", "OEBPS/toc/text/one.xhtml", "c1", 1 },
            { "Book Two", "OEBPS/two.xhtml", "", 0 },
        }));
    std::string notNcx = "<package/>";
    EXPECT_FALSE(folioreader::parseNcx(notNcx, "toc.ncx"));
}

TEST(TableOfContents, hostileNestingAndLengthAreBounded)
{
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<ol><li><a href=\"a.xhtml\">x</a>";
    for (int i = 0; i < 5000; ++i)
        deep += "</li></ol>";
    auto entries = navigation("<nav epub:type=\"toc\">" + deep + "</nav>");
    EXPECT_EQ(entries.size(), std::size_t(folioreader::maximumTocDepth));
    EXPECT_EQ(entries.back().depth, folioreader::maximumTocDepth - 1);

    std::string unlabelled;
    for (int i = 0; i < 5000; ++i)
        unlabelled += "<ol><li>";
    for (int i = 0; i < 5000; ++i)
        unlabelled += "</li></ol>";
    EXPECT_TRUE(navigation("<nav epub:type=\"toc\">" + unlabelled + "</nav>").empty());

    std::string wide = "<nav epub:type=\"toc\"><ol>";
    for (std::size_t i = 0; i < folioreader::maximumTocEntries + 10; ++i)
        wide += "<li><a href=\"a.xhtml\">x</a></li>";
    EXPECT_EQ(navigation(wide + "</ol></nav>").size(), folioreader::maximumTocEntries);
}

// A broken navigation document costs the book nothing: an EPUB 2 book that also names one falls
// back to its NCX, an EPUB 3 book without another is read without contents.
TEST(TableOfContents, anUnreadableNavigationDocumentFallsBackToTheNcxOrToNone)
{
    for (int version : { 2, 3 }) {
        SCOPED_TRACE(testing::Message() << "EPUB " << version);
        fixtures::TemporaryFolder folder;
        EpubFixture book { .version = version };
        if (version == 2)
            book.extraManifest = "<item id=\"nav\" href=\"nav.xhtml\" "
                                 "media-type=\"application/xhtml+xml\" properties=\"nav\"/>";
        book.extraEntries = { { "OEBPS/nav.xhtml", "<html><nav epub:type='toc'>" } };
        auto session
            = folioreader::ReaderSession::open(fixtures::writeBook(book, Shape::unpacked, folder));
        ASSERT_FALSE(session->failure());
        EXPECT_EQ(session->spine().size(), 2u);
        if (version == 2) {
            ASSERT_EQ(session->tableOfContents().size(), 2u);
            EXPECT_EQ(session->tableOfContents()[0].title, "Chapter One");
        } else {
            EXPECT_TRUE(session->tableOfContents().empty());
        }
    }
}

}
