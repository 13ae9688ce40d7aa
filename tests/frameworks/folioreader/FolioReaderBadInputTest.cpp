// FolioReader on broken books: every breakage is an error that names the item and what failed,
// never a crash, a hang or a write.
#include "frameworks/folioreader/FolioReader.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>

namespace {

using fixtures::Breakage;
using fixtures::Cover;
using fixtures::EpubFixture;
using fixtures::Shape;

struct BreakageCase {
    Breakage breakage;
    std::string expectedReason;
    std::vector<Shape> shapes = { Shape::zipped, Shape::unpacked };
    std::function<void(EpubFixture&)> alter
        = {}; // what stands in for the part the breakage took away
};

// A package document that is some other XML document.
void notAPackage(EpubFixture& book)
{
    book.extraEntries = { { "OEBPS/absent.opf",
        "<?xml version=\"1.0\"?><html><title>Not a package</title></html>" } };
}

// A container whose package path names a folder.
void packagePathNamingAFolder(EpubFixture& book)
{
    std::string container = book.containerDocument();
    container.replace(container.find("OEBPS/content.opf"), 17, "OEBPS");
    book.extraEntries = { { "META-INF/container.xml", container } };
}

void expectErrorNaming(const foundation::Result<std::string>& result, const std::string& path,
    const std::string& reason)
{
    ASSERT_FALSE(result) << "read " << *result;
    const std::string& description = result.error().description();
    EXPECT_EQ(description.rfind("\"" + path + "\": ", 0), 0u) << description;
    EXPECT_NE(description.find(reason), std::string::npos) << description;
}

TEST(FolioReaderBadInput, eachBreakageIsAnErrorNamingTheItemAndWhatFailed)
{
    const std::vector<BreakageCase> cases = {
        { Breakage::zeroByteFile, "empty file" },
        { Breakage::notAZip, "not a zip archive" },
        { Breakage::truncatedZip, "zip archive" },
        { Breakage::emptyFolder, "empty folder" },
        { Breakage::missingContainer, "META-INF/container.xml is missing" },
        { Breakage::containerWithoutRootfile, "META-INF/container.xml names no package document" },
        { Breakage::packageOutsideBook,
            "package document \"../outside.opf\" lies outside the book" },
        { Breakage::malformedContainer, "META-INF/container.xml is not well-formed XML" },
        { Breakage::malformedPackage, "OEBPS/content.opf is not well-formed XML" },
        { Breakage::missingPackage, "OEBPS/absent.opf is missing" },
        { Breakage::corruptedPackageData, "OEBPS/content.opf cannot be read", { Shape::zipped } },
        { Breakage::oversizedPackage, "OEBPS/content.opf is larger than 16 MiB" },
        { Breakage::packageThroughSymlink, "OEBPS/content.opf lies outside the book",
            { Shape::unpacked } },
        { Breakage::missingPackage, "OEBPS/absent.opf is not a package document",
            { Shape::zipped, Shape::unpacked }, notAPackage },
        { Breakage::missingContainer, "OEBPS is not a file", { Shape::unpacked },
            packagePathNamingAFolder },
    };
    for (const auto& testCase : cases) {
        for (Shape shape : testCase.shapes) {
            SCOPED_TRACE(
                testing::Message() << "breakage " << int(testCase.breakage) << ", " << shape);
            fixtures::TemporaryFolder folder;
            EpubFixture book {
                .title = "Readable Title", .cover = Cover::epub3, .breakage = testCase.breakage
            };
            if (testCase.alter)
                testCase.alter(book);
            std::string path = fixtures::writeBook(book, shape, folder);

            expectErrorNaming(
                folioreader::FolioReader::getTitle(path), path, testCase.expectedReason);
            expectErrorNaming(
                folioreader::FolioReader::getAuthorName(path), path, testCase.expectedReason);
            auto cover = folioreader::FolioReader::getCoverImage(path);
            EXPECT_FALSE(cover);
        }
    }
}

TEST(FolioReaderBadInput, aMissingItemIsAnErrorNamingIt)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("absent.epub");
    expectErrorNaming(folioreader::FolioReader::getTitle(path), path, "No such file or directory");
    EXPECT_FALSE(folioreader::FolioReader::getCoverImage(path));
}

TEST(FolioReaderBadInput, aFifoInPlaceOfABookOrItsPackageIsAnErrorNotAWait)
{
    fixtures::TemporaryFolder folder;
    std::string fifo = folder.file("fifo.epub");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    expectErrorNaming(
        folioreader::FolioReader::getTitle(fifo), fifo, "neither a file nor a folder");

    std::string path = fixtures::writeBook(EpubFixture {}, Shape::unpacked, folder);
    std::filesystem::remove(path + "/OEBPS/content.opf");
    ASSERT_EQ(mkfifo((path + "/OEBPS/content.opf").c_str(), 0600), 0);
    expectErrorNaming(
        folioreader::FolioReader::getTitle(path), path, "OEBPS/content.opf is not a file");
}

// Rewrites the sizes a zip declares for one entry, in its local header and in the central
// directory, leaving the compressed data as it is.
void declareSize(std::string& archive, const std::string& entryName, std::uint32_t size)
{
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            archive[at + i] = char((value >> (8 * i)) & 0xFF);
    };
    auto patch = [&](const std::string& signature, std::size_t nameOffset, std::size_t sizeOffset) {
        for (std::size_t at = archive.find(signature); at != std::string::npos;
             at = archive.find(signature, at + 1)) {
            if (archive.compare(at + nameOffset, entryName.size(), entryName) == 0)
                put32(at + sizeOffset, size);
        }
    };
    patch(std::string("PK\x03\x04", 4), 30, 22);
    patch(std::string("PK\x01\x02", 4), 46, 24);
}

TEST(FolioReaderBadInput, anEntryInflatingPastItsDeclaredSizeStopsAtTheBound)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("bomb.epub");
    EpubFixture { .breakage = Breakage::oversizedPackage }.writeZipped(path);
    std::string archive;
    {
        std::ifstream in(path, std::ios::binary);
        archive.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    declareSize(archive, "OEBPS/content.opf", 1000);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << archive;

    auto title = folioreader::FolioReader::getTitle(path);
    ASSERT_FALSE(title);
    EXPECT_NE(title.error().description().find("OEBPS/content.opf"), std::string::npos)
        << title.error().description();
}

TEST(FolioReaderBadInput, garbageOfEveryLengthNeverCrashes)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("garbage.epub");
    std::string valid;
    EpubFixture { .cover = Cover::epub3 }.writeZipped(path);
    {
        std::ifstream in(path, std::ios::binary);
        valid.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every prefix of a valid book, and the book with single bytes flipped along its length.
    for (std::size_t length = 0; length < valid.size(); length += 37) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << valid.substr(0, length);
        EXPECT_FALSE(folioreader::FolioReader::getTitle(path)) << "prefix of " << length;
    }
    for (std::size_t at = 0; at < valid.size(); at += 13) {
        std::string damaged = valid;
        damaged[at] = char(damaged[at] ^ 0x5A);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
        auto title = folioreader::FolioReader::getTitle(path);
        auto cover = folioreader::FolioReader::getCoverImage(path);
        if (title) {
            EXPECT_EQ(*title, "Untitled") << "flipped at " << at;
        }
    }
}

// Name, size and modification time of everything under the folder.
std::map<std::string, std::pair<std::uintmax_t, std::int64_t>> snapshot(const std::string& root)
{
    std::map<std::string, std::pair<std::uintmax_t, std::int64_t>> items;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat status { };
        lstat(entry.path().c_str(), &status);
        items[entry.path().string()] = { std::uintmax_t(status.st_size),
            std::int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec };
    }
    return items;
}

TEST(FolioReaderBadInput, readingWritesNothing)
{
    fixtures::TemporaryFolder folder;
    std::vector<std::string> paths;
    int index = 0;
    for (Breakage breakage : { Breakage::none, Breakage::truncatedZip, Breakage::malformedPackage,
             Breakage::coverMissing, Breakage::packageOutsideBook }) {
        for (Shape shape : { Shape::zipped, Shape::unpacked }) {
            EpubFixture book { .cover = Cover::epub3, .breakage = breakage };
            paths.push_back(fixtures::writeBook(
                book, shape, folder, "book-" + std::to_string(index++) + ".epub"));
        }
    }
    auto before = snapshot(folder.path());

    for (const auto& path : paths) {
        (void)folioreader::FolioReader::getTitle(path, folder.file("unzipped"));
        (void)folioreader::FolioReader::getAuthorName(path, folder.file("unzipped"));
        (void)folioreader::FolioReader::getCoverImage(path, folder.file("unzipped"));
    }

    EXPECT_EQ(snapshot(folder.path()), before);
}

}
