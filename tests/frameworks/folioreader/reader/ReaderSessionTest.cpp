// ReaderSession: a book opened for reading from a zip (through a private unpacked copy that goes
// away on close) or from a folder (in place), its spine in reading order, its files served only
// from inside the book, and a clear reason for every book that cannot be read.
#include "frameworks/folioreader/reader/ReaderSession.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using fixtures::Breakage;
using fixtures::EpubFixture;
using fixtures::Shape;
using folioreader::ReaderSession;

std::string contentOf(const ui::ServedFile& file)
{
    std::string bytes(file.size(), '\0');
    EXPECT_EQ(::pread(file.descriptor(), bytes.data(), bytes.size(), 0),
        static_cast<ssize_t>(bytes.size()));
    return bytes;
}

std::vector<std::string> spineNames(const ReaderSession& session)
{
    std::vector<std::string> names;
    for (const auto& document : session.spine())
        names.push_back(document.entryName);
    return names;
}

class ReaderSessionShapes : public testing::TestWithParam<Shape> { };

TEST_P(ReaderSessionShapes, readsTheSpineInReadingOrderAndServesItsPages)
{
    fixtures::TemporaryFolder folder;
    EpubFixture book { .title = "Three Parts", .author = "Ann" };
    book.chapters
        = { { "One", "First words." }, { "Two", "Second words." }, { "Three", "Third words." } };
    std::string path = fixtures::writeBook(book, GetParam(), folder);

    auto session = ReaderSession::open(path);
    ASSERT_FALSE(session->failure()) << *session->failure();
    EXPECT_EQ(session->title(), "Three Parts");
    EXPECT_EQ(session->author(), "Ann");
    EXPECT_EQ(spineNames(*session),
        (std::vector<std::string> { "OEBPS/text/chapter-1.xhtml", "OEBPS/text/chapter-2.xhtml",
            "OEBPS/text/chapter-3.xhtml" }));
    auto page = session->openContent("OEBPS/text/chapter-2.xhtml");
    ASSERT_TRUE(page) << page.error().description();
    EXPECT_EQ(page->mediaType(), "application/xhtml+xml");
    EXPECT_NE(contentOf(*page).find("Second words."), std::string::npos);
    EXPECT_EQ(session->id().size(), 32u);
    EXPECT_NE(ReaderSession::open(path)->id(), session->id());
}

TEST_P(ReaderSessionShapes, leavesTheBookInTheLibraryAsItWas)
{
    fixtures::TemporaryFolder folder;
    std::string path = fixtures::writeBook(EpubFixture {}, GetParam(), folder);
    auto before = std::filesystem::last_write_time(path);
    {
        auto session = ReaderSession::open(path);
        ASSERT_FALSE(session->failure());
        session->close();
    }
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
        << "nothing beside the book";
}

INSTANTIATE_TEST_SUITE_P(, ReaderSessionShapes, testing::Values(Shape::zipped, Shape::unpacked));

TEST(ReaderSession, readsAFolderInPlaceAndAZipFromAPrivateCopyRemovedOnClose)
{
    fixtures::TemporaryFolder folder;
    std::string unpacked
        = fixtures::writeBook(EpubFixture {}, Shape::unpacked, folder, "folder.epub");
    auto inPlace = ReaderSession::open(unpacked);
    EXPECT_FALSE(inPlace->temporaryFolder());
    EXPECT_EQ(inPlace->contentRoot(), std::filesystem::canonical(unpacked).string());

    std::string zipped = fixtures::writeBook(EpubFixture {}, Shape::zipped, folder, "zipped.epub");
    auto copied = ReaderSession::open(zipped);
    ASSERT_TRUE(copied->temporaryFolder());
    std::string copy = *copied->temporaryFolder();
    struct stat status { };
    ASSERT_EQ(::stat(copy.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u) << "no one else may read the copy or plant links in it";
    EXPECT_EQ(copied->contentRoot().rfind(std::filesystem::canonical(copy).string() + "/", 0), 0u);

    copied->close();
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_FALSE(copied->openContent("OEBPS/content.opf")) << "a closed session serves nothing";
    EXPECT_TRUE(std::filesystem::exists(unpacked + "/OEBPS/content.opf"))
        << "a folder book is never removed";
}

TEST(ReaderSession, keepsTheCopyWhenItIsNotToBeRemovedAndUnpacksWhereItIsTold)
{
    fixtures::TemporaryFolder folder, unzipFolder;
    std::string zipped = fixtures::writeBook(EpubFixture {}, Shape::zipped, folder);
    auto session = ReaderSession::open(zipped, unzipFolder.path(), false);
    ASSERT_TRUE(session->temporaryFolder());
    EXPECT_EQ(session->temporaryFolder()->rfind(unzipFolder.path() + "/", 0), 0u);
    session->close();
    EXPECT_TRUE(std::filesystem::exists(*session->temporaryFolder()));
}

TEST(ReaderSession, removesCopiesLeftByAProgramThatIsGoneAndNothingElse)
{
    pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    fixtures::TemporaryFolder parent, elsewhere;
    const std::string abandoned = parent.file("pagewyn-reader-" + std::to_string(gone) + "-abcdef");
    const std::string running = parent.file("pagewyn-reader-1-abcdef");
    const std::string kept = parent.file("pagewyn-reader-abcdef");
    const std::string link = parent.file("pagewyn-reader-" + std::to_string(gone) + "-linked");
    for (const auto& folder : { abandoned, running, kept })
        std::filesystem::create_directories(folder + "/book");
    std::filesystem::create_directory_symlink(elsewhere.path(), link);
    std::ofstream(elsewhere.file("precious.txt")) << "kept";

    fixtures::TemporaryFolder books;
    auto session = ReaderSession::open(
        fixtures::writeBook(EpubFixture {}, Shape::zipped, books), parent.path());
    ASSERT_FALSE(session->failure());
    EXPECT_FALSE(std::filesystem::exists(abandoned));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_TRUE(std::filesystem::exists(kept)) << "a copy kept on purpose is no one's to remove";
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::exists(elsewhere.file("precious.txt")));
}

TEST(ReaderSession, refusesEveryPathThatLeavesTheBook)
{
    fixtures::TemporaryFolder folder;
    std::string path = fixtures::writeBook(EpubFixture {}, Shape::unpacked, folder);
    std::ofstream(folder.file("secret.txt")) << "not the book's";
    std::filesystem::create_directories(path + "/OEBPS/images");
    std::filesystem::create_symlink(folder.file("secret.txt"), path + "/OEBPS/leak.css");
    std::filesystem::create_symlink(folder.path(), path + "/OEBPS/up");
    std::filesystem::create_symlink("../text/chapter-1.xhtml", path + "/OEBPS/images/inside.xhtml");
    auto session = ReaderSession::open(path);
    ASSERT_FALSE(session->failure());

    const std::vector<std::string> refused = {
        "../secret.txt",
        "OEBPS/../../secret.txt",
        "OEBPS/text/../../../secret.txt",
        "/etc/passwd",
        folder.file("secret.txt"),
        "OEBPS/leak.css",
        "OEBPS/up/secret.txt",
        "OEBPS",
        "OEBPS/",
        "OEBPS/absent.xhtml",
        "",
        std::string("OEBPS/content.opf\0.txt", 22),
        "OEBPS\\content.opf",
    };
    for (const auto& request : refused)
        EXPECT_FALSE(session->openContent(request)) << "served " << request;

    EXPECT_TRUE(session->openContent("OEBPS/images/inside.xhtml"))
        << "a link that stays inside is followed";
    EXPECT_TRUE(session->openContent("./OEBPS//text/chapter-1.xhtml"));
}

TEST(ReaderSession, aBookThatCannotBeReadSaysWhyInTermsOfTheBook)
{
    struct Case {
        Breakage breakage;
        std::string reason;
        std::vector<Shape> shapes = { Shape::zipped, Shape::unpacked };
    };
    const std::vector<Case> cases = {
        { Breakage::zeroByteFile, "empty file" },
        { Breakage::notAZip, "ot a zip archive", { Shape::zipped } },
        { Breakage::truncatedZip, "zip", { Shape::zipped } },
        { Breakage::emptyFolder, "empty folder, not an EPUB", { Shape::unpacked } },
        { Breakage::missingContainer, "META-INF/container.xml is missing" },
        { Breakage::malformedContainer, "META-INF/container.xml is not well-formed XML" },
        { Breakage::malformedPackage, "OEBPS/content.opf is not well-formed XML" },
        { Breakage::missingPackage, "OEBPS/absent.opf is missing" },
        { Breakage::packageOutsideBook, "climbs out of", { Shape::zipped } },
        { Breakage::packageOutsideBook, "outside the book", { Shape::unpacked } },
        { Breakage::packageThroughSymlink, "outside the book", { Shape::unpacked } },
    };
    for (const auto& testCase : cases) {
        for (Shape shape : testCase.shapes) {
            SCOPED_TRACE(
                testing::Message() << "breakage " << int(testCase.breakage) << ", " << shape);
            fixtures::TemporaryFolder folder;
            std::string path = fixtures::writeBook(
                EpubFixture { .breakage = testCase.breakage }, shape, folder, "Broken.epub");
            auto session = ReaderSession::open(path);
            ASSERT_TRUE(session->failure());
            EXPECT_NE(session->failure()->find(testCase.reason), std::string::npos)
                << *session->failure();
            EXPECT_EQ(session->failure()->find("pagewyn-reader-"), std::string::npos)
                << "names the private copy";
            EXPECT_TRUE(session->spine().empty());
            EXPECT_FALSE(session->openContent("META-INF/container.xml"));
            if (auto copy = session->temporaryFolder()) {
                session->close();
                EXPECT_FALSE(std::filesystem::exists(*copy));
            }
        }
    }
}

TEST(ReaderSession, aBookWithNothingToReadOrNoBookAtAllIsAFailureNotABlankPage)
{
    fixtures::TemporaryFolder folder;
    EpubFixture noPages;
    noPages.chapters.clear();
    for (auto [path, reason] : std::vector<std::pair<std::string, std::string>> {
             { fixtures::writeBook(noPages, Shape::unpacked, folder, "empty.epub"),
                 "lists no pages" },
             { folder.file("gone.epub"), "gone.epub" } }) {
        auto session = ReaderSession::open(path);
        ASSERT_TRUE(session->failure()) << path;
        EXPECT_NE(session->failure()->find(reason), std::string::npos) << *session->failure();
    }
}

}

// Fonts listed in META-INF/encryption.xml: each scheme's mask undone on the way out (read here in
// two pieces, as the host streams them), a scheme not known here served empty, a font not listed
// served as it is.
TEST(ReaderSession, servesObfuscatedFontsRevealedAndLeavesOutWhatItCannotReveal)
{
    // The fixture's identifier is urn:uuid:9b1deb4d-3b7d-4bad-9bdd-2b0d7b3dcb6d.
    const std::string idpfKey
        = "\xb4\x6a\xad\x02\x34\x96\x30\xc8\xb7\x5e\x75\x04\xac\x5b\x40\x92\xf6\x57\x0a\x4e";
    const std::string adobeKey = "\x9b\x1d\xeb\x4d\x3b\x7d\x4b\xad\x9b\xdd\x2b\x0d\x7b\x3d\xcb\x6d";
    struct Case {
        std::string file;
        std::string algorithm;
        std::string key;
        std::size_t masked;
        std::string served; // "font", or "" for left out
    };
    const Case cases[] = {
        { "idpf.otf", "http://www.idpf.org/2008/embedding", idpfKey, 1040, "font" },
        { "adobe.ttf", "http://ns.adobe.com/pdf/enc#RC", adobeKey, 1024, "font" },
        { "locked.woff", "http://www.w3.org/2001/04/xmlenc#aes128-cbc", "\x5a", 3000, "" },
        { "plain.ttf", "", "", 0, "font" },
    };
    std::string font = std::string("\0\1\0\0", 4);
    for (int n = 0; font.size() < 3000; ++n)
        font.push_back(char(n * 7 + n / 256));
    EpubFixture book;
    std::string encryption
        = "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
          "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\">";
    for (const auto& test : cases) {
        std::string bytes = font;
        for (std::size_t at = 0; at < test.masked; ++at)
            bytes[at] = char(bytes[at] ^ test.key[at % test.key.size()]);
        book.extraEntries.push_back({ "OEBPS/fonts/" + test.file, bytes });
        if (!test.algorithm.empty())
            encryption += "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"" + test.algorithm
                + "\"/><enc:CipherData><enc:CipherReference URI=\"OEBPS/fonts/" + test.file
                + "\"/></enc:CipherData></enc:EncryptedData>";
    }
    book.extraEntries.push_back({ "META-INF/encryption.xml", encryption + "</encryption>" });
    fixtures::TemporaryFolder folder;
    auto session = ReaderSession::open(fixtures::writeBook(book, Shape::zipped, folder));
    ASSERT_FALSE(session->failure()) << *session->failure();

    for (const auto& test : cases) {
        auto file = session->openContent("OEBPS/fonts/" + test.file);
        ASSERT_TRUE(file) << test.file;
        std::string served(file->size(), '\0');
        for (std::size_t from = 0; from < served.size(); from += 1000) {
            std::size_t count = std::min<std::size_t>(1000, served.size() - from);
            ASSERT_EQ(::pread(file->descriptor(), served.data() + from, count, off_t(from)),
                ssize_t(count));
            file->reveal(served.data() + from, count, from);
        }
        EXPECT_EQ(served, test.served == "font" ? font : "") << test.file;
    }
}
