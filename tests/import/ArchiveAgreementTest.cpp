// Every reader of a zipped book — the list, the reader and the import — reads one archive the
// same way: the same book from the same entries, or the same refusal for an archive that careful
// readers could take for two different books.
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/reader/ReaderSession.h"
#include "import/unpackIntoLibrary.h"
#include "platform/foundation/ZipRecords.h"
#include "tests/frameworks/ziparchive/ZipBytes.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

namespace zip = foundation::zip;
using ziptest::ZipLayout;

// A book of that title, its entries stored, its records laid out as given.
std::string storedBook(const std::string& title, const ZipLayout& layout = {})
{
    fixtures::EpubFixture book;
    book.title = title;
    std::vector<ziptest::StoredEntry> entries;
    for (const auto& entry : book.entries())
        entries.push_back({ entry.name, entry.bytes });
    return ziptest::storedZip(entries, layout);
}

// What one reading made of the book: "title X", or the reason it refused it, without the
// file's name before it.
std::string outcome(const foundation::Result<std::string>& title)
{
    if (title)
        return "title " + *title;
    const std::string& description = title.error().description();
    const std::size_t named = description.find("\": ");
    return named == std::string::npos ? description : description.substr(named + 3);
}

struct Readings {
    std::string list;
    std::string reader;
    std::string import;
};

// The archive's bytes as a book, read as the list, the reader and the import read it.
Readings readEveryWay(const std::string& bytes)
{
    fixtures::TemporaryFolder folder;
    const std::string path = folder.file("book.epub");
    ziptest::writeFile(path, bytes);
    Readings readings;
    readings.list = outcome(folioreader::FolioReader::getTitle(path));
    auto session = folioreader::ReaderSession::open(path, folder.path());
    readings.reader = outcome(session->failure()
            ? foundation::Result<std::string>(foundation::Error(*session->failure()))
            : foundation::Result<std::string>(session->title()));
    std::filesystem::create_directory(folder.file("library"));
    auto imported = unpackIntoLibrary(path, folder.file("library"), "Book.epub");
    readings.import
        = outcome(imported ? folioreader::FolioReader::getTitle(folder.file("library/Book.epub"))
                           : foundation::Result<std::string>(imported.error()));
    return readings;
}

// Alpha, whose end record's comment is a whole second archive, Beta, with an end record of its own.
std::string twoBooksInOne()
{
    std::string alpha = storedBook("Alpha");
    const std::string beta = storedBook("Beta", { .startsAt = alpha.size() });
    EXPECT_LE(beta.size(), zip::longestField);
    zip::write(alpha, alpha.size() - 2, beta.size(), 2);
    return alpha + beta;
}

// The offset of the first entry's extra field in the directory.
std::size_t firstExtraField(const std::string& bytes)
{
    const std::size_t header = bytes.find(std::string("PK\1\2", 4));
    return header + zip::directoryHeaderSize + zip::read16(bytes.data() + header + 28);
}

TEST(ArchiveAgreement, anArchiveReadersCouldReadDifferentlyIsRefusedTheSameWayByAll)
{
    const struct Case {
        const char* what;
        std::function<std::string()> make;
        const char* reason; // how the reason starts
    } cases[] = {
        { "two end records, each leading to a book", twoBooksInOne, "it has two end records" },
        { "an end record counting one entry fewer than its directory holds",
            [] {
                std::string bytes = storedBook("Alpha");
                const std::size_t end = bytes.size() - zip::endSize;
                const std::uint16_t count = zip::read16(bytes.data() + end + 10);
                zip::write(bytes, end + 8, count - 1u, 2);
                zip::write(bytes, end + 10, count - 1u, 2);
                return bytes;
            },
            "its directory holds more entries than its end record counts" },
        { "a zip64 field running past its entry's extra fields",
            [] {
                std::string bytes = storedBook("Alpha", { .zip64 = true });
                zip::write(bytes, firstExtraField(bytes) + 2, 28, 2);
                return bytes;
            },
            "entry 1 has an extra field running past its record" },
        { "an end record counting otherwise than its zip64 end record",
            [] {
                std::string bytes = storedBook("Alpha", { .zip64 = true });
                zip::write(bytes, bytes.size() - zip::endSize + 8, 1, 2);
                zip::write(bytes, bytes.size() - zip::endSize + 10, 1, 2);
                return bytes;
            },
            "its end record and its zip64 end record disagree" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Readings readings = readEveryWay(test.make());
        EXPECT_EQ(readings.list.rfind(std::string("damaged zip archive: ") + test.reason, 0), 0u)
            << readings.list;
        EXPECT_EQ(readings.reader, readings.list);
        EXPECT_EQ(readings.import, readings.list);
    }
}

TEST(ArchiveAgreement, zip64AndDataDescriptorBooksReadAlikeEverywhere)
{
    const struct Case {
        const char* what;
        ZipLayout layout;
    } cases[] = {
        { "plain records", {} },
        { "zip64 records", { .zip64 = true } },
        { "data descriptors", { .dataDescriptors = true } },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Readings readings = readEveryWay(storedBook("Alpha", test.layout));
        EXPECT_EQ(readings.list, "title Alpha");
        EXPECT_EQ(readings.reader, "title Alpha");
        EXPECT_EQ(readings.import, "title Alpha");
    }
}

}
