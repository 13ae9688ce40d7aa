// FolioReader::getCoverImage: each rule that names a cover, their precedence, hrefs of every form,
// and the failures a row answers with the "blank" picture.
#include "frameworks/folioreader/FolioReader.h"
#include "tests/frameworks/folioreader/WrittenBook.h"
#include "tests/support/TinyPictures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using fixtures::Breakage;
using fixtures::Cover;
using fixtures::CoverPicture;
using fixtures::EpubFixture;
using fixtures::Shape;

const std::string pngItem(
    const std::string& id, const std::string& href, const std::string& extra = {})
{
    return "    <item id=\"" + id + "\" href=\"" + href + "\" media-type=\"image/png\"" + extra
        + "/>\n";
}

struct CoverCase {
    const char* name;
    std::function<void(EpubFixture&)> shape;
    std::string expectedMimeType;
    int expectedWidth;
    int expectedHeight;
};

class FolioReaderCover : public testing::TestWithParam<Shape> { };

TEST_P(FolioReaderCover, findsTheCoverByEachRule)
{
    const int pngWidth = fixtures::tinyPngWidth, pngHeight = fixtures::tinyPngHeight;
    const int jpegWidth = fixtures::tinyJpegWidth, jpegHeight = fixtures::tinyJpegHeight;
    const std::vector<CoverCase> cases = {
        { "EPUB 3 cover-image, PNG", [](EpubFixture& b) { b.cover = Cover::epub3; }, "image/png",
            pngWidth, pngHeight },
        { "EPUB 3 cover-image, JPEG",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.coverPicture = CoverPicture::jpeg;
            },
            "image/jpeg", jpegWidth, jpegHeight },
        { "EPUB 3 cover-image among other properties",
            [](EpubFixture& b) {
                b.extraManifest
                    = pngItem("pic", "art/pic.png", " properties=\"svg  cover-image\tmathml\"");
                b.extraEntries = { { "OEBPS/art/pic.png", fixtures::tinyPng() } };
            },
            "image/png", pngWidth, pngHeight },
        { "EPUB 2 meta cover",
            [](EpubFixture& b) {
                b.version = 2;
                b.cover = Cover::epub2;
                b.coverPicture = CoverPicture::jpeg;
            },
            "image/jpeg", jpegWidth, jpegHeight },
        { "EPUB 2 meta cover naming an href",
            [](EpubFixture& b) {
                b.version = 2;
                b.extraMetadata = "    <meta name=\"cover\" content=\"art/pic.png\"/>\n";
                b.extraManifest = pngItem("pic", "art/pic.png");
                b.extraEntries = { { "OEBPS/art/pic.png", fixtures::tinyPng() } };
            },
            "image/png", pngWidth, pngHeight },
        { "image whose id names the cover", [](EpubFixture& b) { b.cover = Cover::guessedById; },
            "image/png", pngWidth, pngHeight },
        { "image whose href names the cover",
            [](EpubFixture& b) {
                b.cover = Cover::guessedByHref;
                b.coverPicture = CoverPicture::jpeg;
            },
            "image/jpeg", jpegWidth, jpegHeight },
        { "guessing ignores a cover page that is no image",
            [](EpubFixture& b) {
                b.extraManifest = "    <item id=\"cover\" href=\"cover.xhtml\" "
                                  "media-type=\"application/xhtml+xml\"/>\n"
                    + pngItem("art", "images/CoverArt.png");
                b.extraEntries = { { "OEBPS/cover.xhtml", "<html/>" },
                    { "OEBPS/images/CoverArt.png", fixtures::tinyPng() } };
            },
            "image/png", pngWidth, pngHeight },
        { "cover-image wins over the EPUB 2 meta",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.extraMetadata = "    <meta name=\"cover\" content=\"decoy\"/>\n";
                b.extraManifest = pngItem("decoy", "decoy-missing.png");
            },
            "image/png", pngWidth, pngHeight },
        { "the EPUB 2 meta wins over a guess",
            [](EpubFixture& b) {
                b.cover = Cover::epub2;
                b.coverPicture = CoverPicture::jpeg;
                b.extraManifest = pngItem("cover", "cover-missing.png");
            },
            "image/jpeg", jpegWidth, jpegHeight },
        { "percent-encoded href with spaces and accents",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.coverFile = "Bilder/mein Umschlag \u00e9#1.png";
            },
            "image/png", pngWidth, pngHeight },
        { "href climbing to the book's root",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.coverFile = "../images/front.png";
            },
            "image/png", pngWidth, pngHeight },
        { "package at the root",
            [](EpubFixture& b) {
                b.packagePath = "content.opf";
                b.cover = Cover::epub3;
            },
            "image/png", pngWidth, pngHeight },
    };

    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        fixtures::TemporaryFolder folder;
        EpubFixture book;
        testCase.shape(book);
        std::string path = fixtures::writeBook(book, GetParam(), folder);

        auto image = folioreader::FolioReader::getCoverImage(path);
        ASSERT_TRUE(image) << image.error().description();
        EXPECT_EQ((*image)->mimeType(), testCase.expectedMimeType);
        EXPECT_EQ((*image)->pixelWidth(), testCase.expectedWidth);
        EXPECT_EQ((*image)->pixelHeight(), testCase.expectedHeight);
    }
}

struct CoverFailure {
    const char* name;
    std::function<void(EpubFixture&)> shape;
    std::string expectedReason;
};

TEST_P(FolioReaderCover, failsWithTheReasonWhenNoPictureCanBeHad)
{
    const std::vector<CoverFailure> cases = {
        { "no cover", [](EpubFixture& b) { b.cover = Cover::none; }, "no cover" },
        { "no cover but images",
            [](EpubFixture& b) {
                b.extraManifest = pngItem("figure-1", "images/figure.png");
                b.extraEntries = { { "OEBPS/images/figure.png", fixtures::tinyPng() } };
            },
            "no cover" },
        { "missing entry",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.breakage = Breakage::coverMissing;
            },
            "cover OEBPS/images/front.png is missing" },
        { "not a picture",
            [](EpubFixture& b) {
                b.cover = Cover::epub2;
                b.breakage = Breakage::coverNotAPicture;
            },
            "cover OEBPS/images/front.png is not a picture" },
        { "larger than the bound",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.breakage = Breakage::oversizedCover;
            },
            "cover OEBPS/images/front.png is larger than 20 MiB" },
        { "more pixels than may be decoded",
            [](EpubFixture& b) {
                b.cover = Cover::epub3;
                b.coverData = fixtures::declaredPng(20000, 20000);
            },
            "cover OEBPS/images/front.png has more pixels than a picture may have" },
        { "href leaving the book",
            [](EpubFixture& b) {
                b.extraManifest = pngItem("c", "../../outside.png", " properties=\"cover-image\"");
            },
            "cover \"../../outside.png\" lies outside the book" },
        { "percent-encoded dots leaving the book",
            [](EpubFixture& b) {
                b.extraManifest
                    = pngItem("c", "%2E%2E/%2e%2e/outside.png", " properties=\"cover-image\"");
            },
            "lies outside the book" },
        { "href with a scheme",
            [](EpubFixture& b) {
                b.extraManifest = pngItem("c", "file:///etc/passwd", " properties=\"cover-image\"");
            },
            "lies outside the book" },
        { "href naming a folder",
            [](EpubFixture& b) {
                b.extraManifest = pngItem("c", "text", " properties=\"cover-image\"");
            },
            "cover OEBPS/text" },
    };

    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        fixtures::TemporaryFolder folder;
        EpubFixture book;
        testCase.shape(book);
        std::string path = fixtures::writeBook(book, GetParam(), folder);
        // A picture beside the book, where the hrefs that leave it point.
        std::ofstream(folder.file("outside.png"), std::ios::binary) << fixtures::tinyPng();

        auto title = folioreader::FolioReader::getTitle(path);
        EXPECT_TRUE(title) << title.error().description();
        auto image = folioreader::FolioReader::getCoverImage(path);
        ASSERT_FALSE(image);
        EXPECT_EQ(image.error().description().rfind("\"" + path + "\": ", 0), 0u)
            << image.error().description();
        EXPECT_NE(image.error().description().find(testCase.expectedReason), std::string::npos)
            << image.error().description();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryShape, FolioReaderCover,
    testing::Values(Shape::zipped, Shape::unpacked), testing::PrintToStringParamName());

TEST(FolioReaderCover, refusesACoverReachedThroughASymbolicLinkOutOfTheFolder)
{
    fixtures::TemporaryFolder folder;
    EpubFixture book { .cover = Cover::epub3, .breakage = Breakage::coverThroughSymlink };
    std::string path = fixtures::writeBook(book, Shape::unpacked, folder);

    auto image = folioreader::FolioReader::getCoverImage(path);
    ASSERT_FALSE(image);
    EXPECT_EQ(image.error().description(),
        "\"" + path + "\": cover OEBPS/images/front.png lies outside the book");
}

TEST(FolioReaderCover, followsASymbolicLinkThatStaysInsideTheFolder)
{
    fixtures::TemporaryFolder folder;
    EpubFixture book { .cover = Cover::epub3, .coverFile = "images/link.png" };
    book.extraEntries = { { "OEBPS/art/real.png", fixtures::tinyPng() } };
    book.breakage = Breakage::coverMissing;
    std::string path = fixtures::writeBook(book, Shape::unpacked, folder);
    std::filesystem::create_directories(path + "/OEBPS/images");
    std::filesystem::create_symlink("../art/real.png", path + "/OEBPS/images/link.png");

    auto image = folioreader::FolioReader::getCoverImage(path);
    ASSERT_TRUE(image) << image.error().description();
    EXPECT_EQ((*image)->pixelWidth(), fixtures::tinyPngWidth);
}

}
