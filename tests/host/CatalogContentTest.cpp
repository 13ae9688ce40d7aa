// What the catalog sends: text that keeps every feed well-formed, and a folder book zipped on the
// fly as a valid EPUB file holding the folder's files and nothing outside it.
#include "platform/host/opds/FolderZip.h"
#include "platform/host/opds/XmlText.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <pugixml.hpp>
#include <zip.h>

namespace {

TEST(CatalogContent, everyTextMakesWellFormedXml)
{
    const std::vector<std::pair<std::string, std::string>> cases {
        { "Tom & Jerry <3 \"quotes\" 'apostrophes'", "Tom & Jerry <3 \"quotes\" 'apostrophes'" },
        { "bell\x07, escape\x1b, nul" + std::string(1, '\0') + " end", "bell, escape, nul end" },
        { "tab\tand\nlines", "tab\tand\nlines" },
        { "lone surrogate \xED\xA0\x80!", "lone surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!" },
        { "not a character \xEF\xBF\xBE\xEF\xBF\xBF.", "not a character ." },
        { "Latin-1 caf\xE9", "Latin-1 caf\xEF\xBF\xBD" },
        { "cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD" },
        { "東京 ☕ 🙂", "東京 ☕ 🙂" },
    };
    for (auto& [text, kept] : cases) {
        pugi::xml_document document;
        auto xml = "<t a=\"" + host::xmlText(text) + "\">" + host::xmlText(text) + "</t>";
        ASSERT_TRUE(document.load_string(xml.c_str())) << text;
        EXPECT_EQ(document.child("t").text().as_string(), kept);
        EXPECT_EQ(document.child("t").attribute("a").as_string(), kept);
    }
}

// The archive's entries in order, each with its bytes (read through libzip, which checks every
// entry's checksum) and whether it is stored.
std::vector<std::tuple<std::string, std::string, bool>> entriesOf(const std::string& archive)
{
    zip_error_t error;
    zip_error_init(&error);
    auto* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_CHECKCONS, &error) : nullptr;
    std::vector<std::tuple<std::string, std::string, bool>> entries;
    if (!zip) {
        ADD_FAILURE() << zip_error_strerror(&error);
        return entries;
    }
    for (zip_int64_t index = 0; index < zip_get_num_entries(zip, 0); ++index) {
        zip_stat_t status;
        zip_stat_index(zip, index, 0, &status);
        std::string bytes(status.size, '\0');
        auto* file = zip_fopen_index(zip, index, 0);
        EXPECT_EQ(zip_fread(file, bytes.data(), bytes.size()), zip_int64_t(bytes.size())) << status.name;
        char more;
        EXPECT_EQ(zip_fread(file, &more, 1), 0) << status.name << " checksum";
        zip_fclose(file);
        entries.emplace_back(status.name, bytes, status.comp_method == ZIP_CM_STORE);
    }
    zip_close(zip);
    return entries;
}

TEST(CatalogContent, aFolderBookIsZippedWithItsMimetypeFirstAndNothingOutsideIt)
{
    fixtures::TemporaryFolder folder;
    auto book = folder.file("Book.epub");
    const std::map<std::string, std::string> files {
        { "mimetype", "application/epub+zip" },
        { "META-INF/container.xml", "<container/>" },
        { "OEBPS/content.opf", "<package/>" },
        { "OEBPS/text/c1.xhtml", std::string(200000, 'x') },
    };
    for (auto& [name, bytes] : files) {
        std::filesystem::create_directories(std::filesystem::path(book + "/" + name).parent_path());
        std::ofstream(book + "/" + name, std::ios::binary) << bytes;
    }
    std::ofstream(folder.file("secret.txt")) << "outside";
    std::filesystem::create_symlink(folder.file("secret.txt"), book + "/OEBPS/link.txt");
    std::filesystem::create_directory_symlink(folder.path(), book + "/OEBPS/up");

    auto zip = host::FolderZip::plan(book);
    ASSERT_TRUE(zip) << zip.error().description();
    std::string archive;
    ASSERT_TRUE(zip->stream([&](const char* bytes, std::size_t size) {
        archive.append(bytes, size);
        return true;
    }));
    EXPECT_EQ(archive.size(), zip->size());
    auto entries = entriesOf(archive);
    ASSERT_EQ(entries.size(), files.size());
    EXPECT_EQ(entries.front(), std::make_tuple(std::string("mimetype"), std::string("application/epub+zip"), true));
    // The stored mimetype's bytes stand at offset 38, where readers look for them.
    EXPECT_EQ(archive.substr(30, 28), "mimetypeapplication/epub+zip");
    for (auto& [name, bytes, stored] : entries)
        EXPECT_EQ(files.at(name), bytes) << name;

    // A file changed after the plan ends the answer short rather than sending a wrong book.
    std::ofstream(book + "/OEBPS/content.opf", std::ios::app) << "more";
    EXPECT_FALSE(zip->stream([](const char*, std::size_t) { return true; }));
}

}
