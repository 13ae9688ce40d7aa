// The books the browser tests describe in JSON: written as described, zipped or unpacked, never
// outside the path given, and a line that describes no book says why.
#include "tests/support/BookManifest.h"
#include "tests/frameworks/ziparchive/ZipBytes.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <filesystem>

namespace {

using fixtures::BookManifest;

// An entry of each kind: text stored, bytes deflated, a picture, and a link leading out of the
// book.
const std::string entries
    = R"("entries": [{"name": "mimetype", "text": "application/epub+zip", "stored": true},
    {"name": "OEBPS/font.ttf", "base64": "AAEC/w=="}, {"name": "OEBPS/cover.png", "png": {"width": 3, "height": 2, "color": [9, 8, 7]}},
    {"name": "OEBPS/leak.xhtml", "link": "/etc/hostname"}]})";

BookManifest parsed(const std::string& line)
{
    auto book = BookManifest::parse(line);
    if (!book)
        ADD_FAILURE() << book.error().description();
    return book ? *book : BookManifest {};
}

TEST(BookManifest, writesTheEntriesAsDescribedZippedOrUnpacked)
{
    fixtures::TemporaryFolder folder;
    auto zipped = parsed(
        R"({"path": ")" + folder.file("a.epub") + R"(", "modified": 1600000000, )" + entries);
    zipped.entries.push_back({ .name = "../up.xhtml", .bytes = "a hostile name" });
    zipped.write();
    zip_t* archive = zip_open(zipped.path.c_str(), ZIP_RDONLY, nullptr);
    ASSERT_TRUE(archive);
    // Name, compression, and whether the entry is a link.
    const std::tuple<std::string, int, bool> expected[] = { { "mimetype", ZIP_CM_STORE, false },
        { "OEBPS/font.ttf", ZIP_CM_DEFLATE, false }, { "OEBPS/cover.png", ZIP_CM_DEFLATE, false },
        { "OEBPS/leak.xhtml", ZIP_CM_DEFLATE, true }, { "../up.xhtml", ZIP_CM_DEFLATE, false } };
    ASSERT_EQ(zip_get_num_entries(archive, 0), zip_int64_t(std::size(expected)));
    for (zip_uint64_t index = 0; index < std::size(expected); ++index) {
        zip_stat_t status;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        ASSERT_EQ(zip_stat_index(archive, index, 0, &status), 0);
        zip_file_get_external_attributes(archive, index, 0, &system, &attributes);
        bool link = system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
        EXPECT_EQ(std::make_tuple(std::string(status.name), int(status.comp_method), link),
            expected[index]);
    }
    zip_close(archive);
    struct stat status { };
    ASSERT_EQ(stat(zipped.path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1600000000);

    parsed(R"({"path": ")" + folder.file("b.epub") + R"(", "unpacked": true, )" + entries).write();
    EXPECT_EQ(
        ziptest::readFile(folder.file("b.epub/OEBPS/font.ttf")), std::string("\0\1\2\xff", 4));
    EXPECT_EQ(ziptest::readFile(folder.file("b.epub/OEBPS/cover.png")).substr(1, 3), "PNG");
    EXPECT_EQ(
        std::filesystem::read_symlink(folder.file("b.epub/OEBPS/leak.xhtml")), "/etc/hostname");
}

TEST(BookManifest, anUnpackedBookIsNeverWrittenOutsideItsFolder)
{
    for (std::string name : { "../beside.txt", "/tmp/absolute.txt", "OEBPS/../../beside.txt",
             "out/beside.txt", "out" }) {
        fixtures::TemporaryFolder folder;
        BookManifest book { .path = folder.file("book"),
            .unpacked = true,
            .entries = { { .name = "out", .linkTarget = folder.path() },
                { .name = name, .bytes = "escaped" } } };
        EXPECT_THROW(book.write(), std::runtime_error) << name;
        std::vector<std::string> written;
        for (const auto& item : std::filesystem::recursive_directory_iterator(folder.path()))
            written.push_back(item.path().lexically_relative(folder.path()));
        EXPECT_EQ(written, (std::vector<std::string> { "book", "book/out" })) << name;
        EXPECT_FALSE(std::filesystem::exists("/tmp/absolute.txt"));
    }
}

TEST(BookManifest, aLineThatDescribesNoBookSaysWhy)
{
    const std::pair<std::string, std::string> cases[] = {
        { R"({"path": )", "a book is one JSON object on a line" },
        { R"({"entries": []})", "the book has no path" },
        { R"({"path": "b", "entries": [], "modifed": 1})",
            "the book has an unknown key \"modifed\"" },
        { R"({"path": "b", "unpacked": "yes", "entries": []})", "unpacked is true or false" },
        { R"({"path": "b"})", "the book has no list of entries" },
        { R"({"path": "b", "entries": [{"text": "x"}]})", "entry 1 has no name" },
        { R"({"path": "b", "entries": [{"name": "a", "text": "x", "base64": "eA=="}]})",
            "entry 1 (\"a\") needs exactly one of text, base64, png and link" },
        { R"({"path": "b", "entries": [{"name": "a", "text": 3}]})",
            "entry 1 (\"a\"): text is a string" },
        { R"({"path": "b", "entries": [{"name": "a", "base64": "e*=="}]})",
            "entry 1 (\"a\"): base64 holds something other than base64" },
        { R"({"path": "b", "entries": [{"name": "a", "png": {"width": 2, "height": 2, "color": [1, 2, 256]}}]})",
            "entry 1 (\"a\"): a png is {\"width\": W, \"height\": H, \"color\": [R, G, B]}, sides "
            "1 to 4096 and channels 0 to 255" },
        { R"({"path": "b", "entries": [{"name": "a", "png": {"width": 4294967297, "height": 2, "color": [1, 2, 3]}}]})",
            "entry 1 (\"a\"): a png is {\"width\": W, \"height\": H, \"color\": [R, G, B]}, sides "
            "1 to 4096 and channels 0 to 255" },
    };
    for (const auto& [line, said] : cases) {
        auto book = BookManifest::parse(line);
        ASSERT_FALSE(book) << line;
        EXPECT_EQ(book.error().description(), said) << line;
    }
}

}
