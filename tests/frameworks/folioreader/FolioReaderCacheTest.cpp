// FolioReader keeps parsed package documents between calls; a book replaced under the same name
// must never be answered from the old parse.
#include "frameworks/folioreader/FolioReader.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>

namespace {

using fixtures::Cover;
using fixtures::CoverPicture;
using fixtures::EpubFixture;
using fixtures::Shape;

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets the modification time of path to a fixed second.
void setModified(const std::string& path, std::int64_t second)
{
    struct timespec times[2] = { { second, 0 }, { second, 0 } };
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class FolioReaderCache : public testing::TestWithParam<Shape> { };

TEST_P(FolioReaderCache, aReplacedBookIsReadAgain)
{
    fixtures::TemporaryFolder folder;
    std::string path = fixtures::writeBook(
        EpubFixture { .title = "Alpha", .author = "Ann", .cover = Cover::epub3 }, GetParam(),
        folder);
    setModified(path, 1'600'000'000);
    ASSERT_EQ(*folioreader::FolioReader::getTitle(path), "Alpha");
    ASSERT_EQ((*folioreader::FolioReader::getCoverImage(path))->mimeType(), "image/png");

    std::filesystem::remove_all(path);
    fixtures::writeBook(EpubFixture { .title = "Omega",
                            .author = "Otto",
                            .cover = Cover::epub3,
                            .coverPicture = CoverPicture::jpeg },
        GetParam(), folder);
    setModified(path, 1'700'000'000);

    EXPECT_EQ(*folioreader::FolioReader::getTitle(path), "Omega");
    EXPECT_EQ(*folioreader::FolioReader::getAuthorName(path), "Otto");
    EXPECT_EQ((*folioreader::FolioReader::getCoverImage(path))->mimeType(), "image/jpeg");
}

INSTANTIATE_TEST_SUITE_P(EveryShape, FolioReaderCache,
    testing::Values(Shape::zipped, Shape::unpacked), testing::PrintToStringParamName());

TEST(FolioReaderCache, aZipRewrittenInPlaceWithTheSameSizeAndDateIsReadAgain)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("book.epub");
    std::string staging = folder.file("staging.epub");
    EpubFixture { .title = "Volume A" }.writeZipped(path);
    // Deflate sizes vary with the text: find a second title whose book has exactly the same size.
    std::string replacement, replacementTitle;
    for (char letter = 'B'; letter <= 'Z' && replacement.size() != std::filesystem::file_size(path);
         ++letter) {
        replacementTitle = std::string("Volume ") + letter;
        EpubFixture { .title = replacementTitle }.writeZipped(staging);
        replacement = fileBytes(staging);
    }
    ASSERT_EQ(replacement.size(), std::filesystem::file_size(path));
    setModified(path, 1'600'000'000);
    ASSERT_EQ(*folioreader::FolioReader::getTitle(path), "Volume A");

    // Same inode, same size, same modification time: only the change time tells.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << replacement;
    setModified(path, 1'600'000'000);

    EXPECT_EQ(*folioreader::FolioReader::getTitle(path), replacementTitle);
}

TEST(FolioReaderCache, anUnpackedBookEditedInPlaceIsReadAgain)
{
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> edits {
        { "package rewritten",
            [](const std::string& path) {
                std::ofstream(path + "/OEBPS/content.opf", std::ios::binary | std::ios::trunc)
                    << EpubFixture { .title = "Omega" }.packageDocument();
            } },
        { "container pointing elsewhere",
            [](const std::string& path) {
                EpubFixture other { .title = "Omega", .packagePath = "OTHER/package.opf" };
                std::ofstream(path + "/META-INF/container.xml", std::ios::binary | std::ios::trunc)
                    << other.containerDocument();
                std::filesystem::create_directories(path + "/OTHER");
                std::ofstream(path + "/OTHER/package.opf", std::ios::binary)
                    << other.packageDocument();
            } },
    };
    for (auto& [what, edit] : edits) {
        fixtures::TemporaryFolder folder;
        std::string path
            = fixtures::writeBook(EpubFixture { .title = "Alpha" }, Shape::unpacked, folder);
        ASSERT_EQ(*folioreader::FolioReader::getTitle(path), "Alpha");
        edit(path);
        EXPECT_EQ(*folioreader::FolioReader::getTitle(path), "Omega") << what;
    }
}

// Many books read in turn, from several threads at once: each keeps its own metadata.
TEST(FolioReaderCache, threadsReadingAtOnceGetTheirOwnBooks)
{
    fixtures::TemporaryFolder folder;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        EpubFixture book { .title = "Title " + std::to_string(i),
            .author = "Author " + std::to_string(i),
            .cover = Cover::epub3 };
        paths.push_back(fixtures::writeBook(
            book, i % 2 ? Shape::unpacked : Shape::zipped, folder, std::to_string(i) + ".epub"));
    }
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                for (int i = t; i < 40 + t; ++i) {
                    int book = i % 40;
                    auto title = folioreader::FolioReader::getTitle(paths[book]);
                    auto author = folioreader::FolioReader::getAuthorName(paths[book]);
                    auto cover = folioreader::FolioReader::getCoverImage(paths[book]);
                    if (!title || *title != "Title " + std::to_string(book) || !author
                        || *author != "Author " + std::to_string(book) || !cover)
                        ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

}
