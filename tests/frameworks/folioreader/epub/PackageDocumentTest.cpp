// PackageDocument: the container's rootfile, and the package's manifest and spine that the
// reader screen builds on.
#include "frameworks/folioreader/epub/PackageDocument.h"
#include "tests/support/EpubFixture.h"

#include <gtest/gtest.h>

namespace {

using folioreader::PackageDocument;
using folioreader::parseContainerRootfile;

TEST(PackageDocument, readsTheManifestAndSpineInOrder)
{
    for (int version : { 2, 3 }) {
        SCOPED_TRACE(version);
        fixtures::EpubFixture book { .version = version, .cover = fixtures::Cover::epub3 };
        book.chapters = { { "One", "1" }, { "Two", "2" }, { "Three", "3" } };
        std::string xml = book.packageDocument();
        xml.replace(xml.find("<itemref idref=\"chapter-2\"/>"), 28,
            "<itemref idref=\"chapter-2\" linear=\"no\"/>");

        auto package = PackageDocument::parse(xml, "OEBPS/content.opf");
        ASSERT_TRUE(package) << package.error().description();
        EXPECT_EQ(package->version, version == 2 ? "2.0" : "3.0");
        ASSERT_EQ(package->spine.size(), 3u);
        EXPECT_EQ(package->spine[0].idref, "chapter-1");
        EXPECT_FALSE(package->spine[1].linear);
        EXPECT_TRUE(package->spine[2].linear);
        EXPECT_EQ(package->spineToc, version == 2 ? "ncx" : "");

        const auto* chapter = package->item("chapter-3");
        ASSERT_NE(chapter, nullptr);
        EXPECT_EQ(chapter->href, "text/chapter-3.xhtml");
        EXPECT_EQ(chapter->mediaType, "application/xhtml+xml");
        EXPECT_EQ(package->resolve(chapter->href), "OEBPS/text/chapter-3.xhtml");
        ASSERT_NE(package->coverItem(), nullptr);
        EXPECT_EQ(package->coverItem()->id, "front-image");
    }
}

TEST(PackageDocument, findsTheRootfileOrSaysWhyNot)
{
    struct Case {
        std::string xml;
        std::string expected; // the full-path, or a part of the error
        bool succeeds;
    };
    const std::vector<Case> cases = {
        { fixtures::EpubFixture {}.containerDocument(), "OEBPS/content.opf", true },
        { "<c:container xmlns:c=\"urn:oasis:names:tc:opendocument:xmlns:container\"><c:rootfiles>"
          "<c:rootfile full-path=\"a &amp; b.opf\"/></c:rootfiles></c:container>",
            "a & b.opf", true },
        { "<container><rootfiles><rootfile full-path=\"\"/></rootfiles></container>",
            "names no package document", false },
        { "<container><rootfiles/></container>", "names no package document", false },
        { "<notacontainer/>", "is not a container document", false },
        { "", "is not well-formed XML", false },
        { "<container><rootfiles>", "is not well-formed XML", false },
        { "\xff\xfe\x00garbage", "is not well-formed XML", false },
    };
    for (auto testCase : cases) {
        SCOPED_TRACE(testCase.xml);
        auto rootfile = parseContainerRootfile(testCase.xml);
        ASSERT_EQ(bool(rootfile), testCase.succeeds);
        if (rootfile)
            EXPECT_EQ(*rootfile, testCase.expected);
        else
            EXPECT_NE(rootfile.error().description().find(testCase.expected), std::string::npos)
                << rootfile.error().description();
    }
}

TEST(PackageDocument, readsHowPagesAreLaidOutAndTurn)
{
    struct Case {
        std::string metadata; // inside <metadata>
        std::string spine; // the spine's attributes
        std::string itemref; // the itemref's properties
        std::string progression, writingMode;
        bool fixed, spreads;
        std::string side;
    };
    const std::vector<Case> cases = {
        { "", "", "", "", "", false, true, "" },
        { "", "page-progression-direction=\"rtl\"", "", "rtl", "", false, true, "" },
        { "", "page-progression-direction=\" ltr \"", "", "ltr", "", false, true, "" },
        { "", "page-progression-direction=\"upwards\"", "", "", "", false, true, "" },
        { "<meta name=\"primary-writing-mode\" content=\"vertical-rl\"/>", "", "", "",
            "vertical-rl", false, true, "" },
        { "<meta name=\"primary-writing-mode\" content=\"diagonal\"/>", "", "", "", "", false, true,
            "" },
        { "<meta property=\"rendition:layout\"> pre-paginated </meta>", "", "page-spread-left", "",
            "", true, true, "left" },
        { "<meta property=\"rendition:layout\">pre-paginated</meta><meta "
          "property=\"rendition:spread\">none</meta>",
            "", "rendition:page-spread-center", "", "", true, false, "center" },
        { "<meta property=\"rendition:layout\">pre-paginated</meta>", "",
            "rendition:layout-reflowable", "", "", false, true, "" },
        { "<meta property=\"rendition:layout\">pre-paginated</meta>", "",
            "rendition:spread-none page-spread-right", "", "", true, false, "right" },
        { "", "", "rendition:layout-pre-paginated rendition:spread-landscape", "", "", true, true,
            "" },
        // Contradictions and words not known leave the default.
        { "<meta property=\"rendition:layout\">sideways</meta>", "",
            "page-spread-left page-spread-right", "", "", false, true, "" },
        { "", "", "rendition:layout-pre-paginated rendition:layout-reflowable", "", "", false, true,
            "" },
        { "<meta refines=\"#x\" property=\"rendition:layout\">pre-paginated</meta>", "", "", "", "",
            false, true, "" },
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.metadata + " | " + testCase.spine + " | " + testCase.itemref);
        std::string xml
            = "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\"><metadata>"
            + testCase.metadata
            + "</metadata><manifest><item id=\"p\" href=\"p.xhtml\" "
              "media-type=\"application/xhtml+xml\"/></manifest><spine "
            + testCase.spine + "><itemref idref=\"p\" properties=\"" + testCase.itemref
            + "\"/></spine></package>";
        auto package = PackageDocument::parse(xml, "content.opf");
        ASSERT_TRUE(package) << package.error().description();
        EXPECT_EQ(package->pageProgression, testCase.progression);
        EXPECT_EQ(package->writingMode, testCase.writingMode);
        ASSERT_EQ(package->spine.size(), 1u);
        auto layout = package->layoutOf(package->spine[0]);
        EXPECT_EQ(layout.fixed, testCase.fixed);
        EXPECT_EQ(layout.spreads, testCase.spreads);
        EXPECT_EQ(layout.side, testCase.side);
    }
}

TEST(PackageDocument, survivesDeepNesting)
{
    std::string xml = "<package><metadata><dc:title xmlns:dc=\"http://purl.org/dc/elements/1.1/\">";
    for (int i = 0; i < 200000; ++i)
        xml += "<b>";
    xml += "deep";
    for (int i = 0; i < 200000; ++i)
        xml += "</b>";
    xml += "</dc:title></metadata></package>";
    auto package = PackageDocument::parse(xml, "content.opf");
    ASSERT_TRUE(package) << package.error().description();
    EXPECT_EQ(package->title, "deep");
}

}
