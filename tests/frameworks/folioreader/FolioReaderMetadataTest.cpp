// FolioReader::getTitle and getAuthorName on every shape of book: zipped and unpacked, EPUB 2 and
// 3, any text, any namespace style, any package path.
#include "frameworks/folioreader/FolioReader.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

using fixtures::EpubFixture;
using fixtures::MetadataNamespace;
using fixtures::Shape;

struct MetadataCase {
    const char* name;
    std::function<void(EpubFixture&)> shape;
    std::string expectedTitle;
    std::string expectedAuthor;
};

class FolioReaderMetadata : public testing::TestWithParam<std::tuple<Shape, int>> { };

TEST_P(FolioReaderMetadata, readsTheFirstTitleAndCreatorAsWritten)
{
    auto [shape, version] = GetParam();
    const std::string megabyteTitle(1024 * 1024, 'M');
    const std::vector<MetadataCase> cases = {
        { "plain",
            [](EpubFixture& b) {
                b.title = "Moby-Dick";
                b.author = "Herman Melville";
            },
            "Moby-Dick", "Herman Melville" },
        { "precomposed accents stay precomposed",
            [](EpubFixture& b) {
                b.title = "\u00c9mile et \u00e9t\u00e9";
                b.author = "Zo\u00e9";
            },
            "\u00c9mile et \u00e9t\u00e9", "Zo\u00e9" },
        { "decomposed accents stay decomposed",
            [](EpubFixture& b) {
                b.title = "E\u0301mile et e\u0301te\u0301";
                b.author = "Zoe\u0301";
            },
            "E\u0301mile et e\u0301te\u0301", "Zoe\u0301" },
        { "CJK",
            [](EpubFixture& b) {
                b.title = "吾輩は猫である";
                b.author = "夏目漱石";
            },
            "吾輩は猫である", "夏目漱石" },
        { "right to left",
            [](EpubFixture& b) {
                b.title = "ألف ليلة وليلة";
                b.author = "שמואל יוסף עגנון";
            },
            "ألف ليلة وليلة", "שמואל יוסף עגנון" },
        { "emoji with joiners",
            [](EpubFixture& b) {
                b.title = "📚 Family 👩‍👩‍👧 Tales";
                b.author = "🦊";
            },
            "📚 Family 👩‍👩‍👧 Tales", "🦊" },
        { "white space trimmed and collapsed",
            [](EpubFixture& b) {
                b.title = "  \n\tThe\t\tOld \r\n Man   and the Sea \n";
                b.author = " Ernest\n Hemingway ";
            },
            "The Old Man and the Sea", "Ernest Hemingway" },
        { "no-break space is not white space",
            [](EpubFixture& b) {
                b.title = "A\u00a0B";
                b.author = "\u00a0C";
            },
            "A\u00a0B", "\u00a0C" },
        { "only white space",
            [](EpubFixture& b) {
                b.title = " \t\n ";
                b.author = "\n";
            },
            "", "" },
        { "entities decoded",
            [](EpubFixture& b) {
                b.escapeText = false;
                b.title
                    = "Tom &amp; Jerry &#x2014; &lt;Live&gt; &#233;&#x1F600; &quot;Q&quot; &apos;s";
                b.author = "Bront&#xEB;";
            },
            "Tom & Jerry \u2014 <Live> \u00e9\U0001F600 \"Q\" 's", "Bront\u00eb" },
        { "CDATA and nested markup",
            [](EpubFixture& b) {
                b.escapeText = false;
                b.title = "<![CDATA[A & <B>]]> and <span>C</span>";
                b.author = "<!-- a comment -->Ann";
            },
            "A & <B> and C", "Ann" },
        { "empty elements",
            [](EpubFixture& b) {
                b.title = "";
                b.author = "";
            },
            "", "" },
        { "no title",
            [](EpubFixture& b) {
                b.title.reset();
                b.author = "Ann";
            },
            "", "Ann" },
        { "no creator",
            [](EpubFixture& b) {
                b.title = "Alpha";
                b.author.reset();
            },
            "Alpha", "" },
        { "neither",
            [](EpubFixture& b) {
                b.title.reset();
                b.author.reset();
            },
            "", "" },
        { "the first of several",
            [](EpubFixture& b) {
                b.title = "First";
                b.author = "Ann";
                b.extraMetadata
                    = "    <dc:title>Second</dc:title>\n    <dc:creator>Bob</dc:creator>\n";
            },
            "First", "Ann" },
        { "a megabyte of title",
            [&](EpubFixture& b) {
                b.title = megabyteTitle;
                b.author = "Long";
            },
            megabyteTitle, "Long" },
        { "other prefix bound to Dublin Core",
            [](EpubFixture& b) {
                b.metadataNamespace = MetadataNamespace::otherPrefix;
                b.title = "Purl";
                b.author = "P";
            },
            "Purl", "P" },
        { "default namespace",
            [](EpubFixture& b) {
                b.metadataNamespace = MetadataNamespace::defaultNamespace;
                b.title = "Plain";
                b.author = "D";
            },
            "Plain", "D" },
        { "undeclared dc prefix",
            [](EpubFixture& b) {
                b.metadataNamespace = MetadataNamespace::undeclaredDc;
                b.title = "Loose";
                b.author = "L";
            },
            "Loose", "L" },
        { "dc bound to another namespace",
            [](EpubFixture& b) {
                b.metadataNamespace = MetadataNamespace::dcBoundElsewhere;
                b.title = "Real";
                b.author = "R";
            },
            "Real", "R" },
        { "package at the root",
            [](EpubFixture& b) {
                b.packagePath = "content.opf";
                b.title = "Root";
            },
            "Root", "Anonymous" },
        { "package deep down",
            [](EpubFixture& b) {
                b.packagePath = "a/b/c/package.opf";
                b.title = "Deep";
            },
            "Deep", "Anonymous" },
        { "package path with spaces and accents",
            [](EpubFixture& b) {
                b.packagePath = "\u00d6ffentlich Texte/the book.opf";
                b.title = "Spaced";
            },
            "Spaced", "Anonymous" },
        { "package path with dot segments",
            [](EpubFixture& b) {
                b.packagePath = "./OEBPS/../OPS/content.opf";
                b.title = "Dots";
            },
            "Dots", "Anonymous" },
    };

    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        fixtures::TemporaryFolder folder;
        EpubFixture book;
        book.version = version;
        testCase.shape(book);
        std::string path = fixtures::writeBook(book, shape, folder);

        auto title = folioreader::FolioReader::getTitle(path);
        auto author = folioreader::FolioReader::getAuthorName(path);
        ASSERT_TRUE(title) << title.error().description();
        ASSERT_TRUE(author) << author.error().description();
        EXPECT_EQ(*title, testCase.expectedTitle);
        EXPECT_EQ(*author, testCase.expectedAuthor);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryShape, FolioReaderMetadata,
    testing::Combine(testing::Values(Shape::zipped, Shape::unpacked), testing::Values(2, 3)),
    [](const testing::TestParamInfo<std::tuple<Shape, int>>& info) {
        return std::string(std::get<0>(info.param) == Shape::zipped ? "zipped" : "unpacked")
            + "Epub" + std::to_string(std::get<1>(info.param));
    });

TEST(FolioReaderMetadata, takesTheFirstRootfileOfTheContainer)
{
    fixtures::TemporaryFolder folder;
    EpubFixture second;
    second.title = "Second rendition";
    EpubFixture book;
    book.title = "First rendition";
    std::string container = book.containerDocument();
    container.insert(container.find("  </rootfiles>"),
        "    <rootfile full-path=\"OTHER/content.opf\" "
        "media-type=\"application/oebps-package+xml\"/>\n");
    book.extraEntries = { { "META-INF/container.xml", container },
        { "OTHER/content.opf", second.packageDocument() } };
    book.breakage = fixtures::Breakage::missingContainer; // the extra entry stands in for it
    std::string path = fixtures::writeBook(book, Shape::zipped, folder);

    auto title = folioreader::FolioReader::getTitle(path);
    ASSERT_TRUE(title) << title.error().description();
    EXPECT_EQ(*title, "First rendition");
}

TEST(FolioReaderMetadata, readsUtf16PackageDocuments)
{
    fixtures::TemporaryFolder folder;
    EpubFixture book;
    book.title = "Zweib\u00e4ndig";
    std::string utf8 = book.packageDocument();
    utf8.replace(utf8.find("UTF-8"), 5, "UTF-16");
    // Little-endian UTF-16 with a byte order mark; the text is all in the Basic Multilingual Plane.
    std::string utf16 = "\xff\xfe";
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char lead = utf8[i];
        unsigned code = lead;
        std::size_t length = 1;
        if (lead >= 0xE0) {
            code = ((lead & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            length = 3;
        } else if (lead >= 0xC0) {
            code = ((lead & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
            length = 2;
        }
        utf16 += char(code & 0xFF);
        utf16 += char(code >> 8);
        i += length;
    }
    book.breakage = fixtures::Breakage::missingPackage;
    book.extraEntries = { { "OEBPS/absent.opf", utf16 } };
    std::string path = fixtures::writeBook(book, Shape::zipped, folder);

    auto title = folioreader::FolioReader::getTitle(path);
    ASSERT_TRUE(title) << title.error().description();
    EXPECT_EQ(*title, "Zweib\u00e4ndig");
}

}
