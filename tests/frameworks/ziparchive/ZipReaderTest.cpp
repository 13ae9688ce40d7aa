// ZipReader against archives written by libzip, then changed byte by byte as a damaged or hostile
// book would be: what opens, what reads, and the error of each that does not.
#include "frameworks/ziparchive/ZipReader.h"

#include "platform/foundation/ZipRecords.h"
#include "tests/frameworks/ziparchive/ZipBytes.h"

#include "tests/support/BookWriting.h"
#include "tests/support/TemporaryFolder.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using ziparchive::ZipReader;
namespace zip = foundation::zip;

std::uint32_t u32(const std::string& bytes, std::size_t at)
{
    return zip::read32(bytes.data() + at);
}

std::uint16_t u16(const std::string& bytes, std::size_t at)
{
    return zip::read16(bytes.data() + at);
}

void put(std::string& bytes, std::size_t at, std::uint64_t value, int size)
{
    zip::write(bytes, at, value, std::size_t(size));
}

// An archive of two text entries, the first stored and the second deflated, and where its parts
// lie: the end record, the directory, each entry's directory header.
struct Archive {
    std::string bytes;
    std::size_t end = 0;
    std::size_t headers[2] = {};

    Archive()
    {
        fixtures::TemporaryFolder folder;
        fixtures::writeZip(folder.file("a.zip"),
            { { "first.txt", "plain words", true },
                { "second.txt", std::string(3000, 'x') + "end", false } });
        std::ifstream in(folder.file("a.zip"), std::ios::binary);
        std::ostringstream read;
        read << in.rdbuf();
        bytes = read.str();
        end = bytes.size() - 22;
        headers[0] = u32(bytes, end + 16);
        headers[1] = headers[0] + 46 + u16(bytes, headers[0] + 28) + u16(bytes, headers[0] + 30)
            + u16(bytes, headers[0] + 32);
    }
};

// The archive's bytes opened as a zip: written out, then opened from its descriptor.
struct Opened {
    fixtures::TemporaryFolder folder;
    foundation::Result<ZipReader> zip = foundation::Error("not opened");

    explicit Opened(const std::string& bytes)
    {
        std::ofstream(folder.file("b.zip"), std::ios::binary) << bytes;
        zip = ZipReader::open(
            foundation::FileDescriptor(::open(folder.file("b.zip").c_str(), O_RDONLY | O_CLOEXEC)),
            bytes.size());
    }

    // The entry's bytes, or the reason they could not be read ("too large" for the bound).
    std::string read(const std::string& name, std::size_t limit = 1 << 20)
    {
        const ZipReader::Entry* entry = zip->find(name);
        if (!entry)
            return "missing";
        ZipReader::ReadFailure failure;
        auto bytes = zip->read(*entry, limit, failure);
        return bytes ? *bytes : failure.tooLarge ? "too large" : failure.text;
    }
};

TEST(ZipReader, readsEachEntryByItsExactName)
{
    Archive archive;
    Opened opened(archive.bytes);
    ASSERT_TRUE(opened.zip) << opened.zip.error().description();
    EXPECT_EQ(opened.read("first.txt"), "plain words");
    EXPECT_EQ(opened.read("second.txt"), std::string(3000, 'x') + "end");
    EXPECT_EQ(opened.read("Second.txt"), "missing");
    EXPECT_EQ(opened.read("second.txt", 3002), "too large");
    EXPECT_EQ(opened.zip->entries().size(), 2u);

    // A comment holding an end record of its own, which leads nowhere: the record that holds
    // together is found.
    std::string commented = archive.bytes;
    put(commented, commented.size() - 2, 22, 2);
    commented += std::string("PK\x05\x06", 4) + std::string(18, '\xff');
    Opened afterComment(commented);
    ASSERT_TRUE(afterComment.zip) << afterComment.zip.error().description();
    EXPECT_EQ(afterComment.read("first.txt"), "plain words");
}

TEST(ZipReader, aDamagedArchiveIsRefusedWithItsReason)
{
    const Archive archive;
    const struct Case {
        const char* what;
        std::function<void(std::string&)> change;
        const char* error;
    } cases[] = {
        { "a text file",
            [](std::string& bytes) { bytes = "this is no zip archive at all, only words"; },
            "not a zip archive" },
        { "fewer bytes than an end record", [](std::string& bytes) { bytes.resize(10); },
            "not a zip archive" },
        { "cut in half", [](std::string& bytes) { bytes.resize(bytes.size() / 2); },
            "not a zip archive" },
        { "bytes after its end record", [](std::string& bytes) { bytes += "trailing"; },
            "damaged zip archive: its end record does not end the file" },
        // A second end record within the first's comment: one reader takes the first, another
        // the last, and each sees another archive.
        { "two end records",
            [&](std::string& bytes) {
                put(bytes, archive.end + 20, 22, 2);
                bytes += bytes.substr(archive.end, 20) + std::string(2, '\0');
            },
            "damaged zip archive: it has two end records" },
        { "its directory past its end",
            [&](std::string& bytes) { put(bytes, archive.end + 16, bytes.size(), 4); },
            "damaged zip archive: its directory does not lie just before its end record" },
        { "more entries than its directory holds",
            [&](std::string& bytes) {
                put(bytes, archive.end + 8, 900, 2);
                put(bytes, archive.end + 10, 900, 2);
            },
            "damaged zip archive: its directory holds fewer entries than its end record counts "
            "(900)" },
        { "fewer entries than its directory holds",
            [&](std::string& bytes) {
                put(bytes, archive.end + 8, 1, 2);
                put(bytes, archive.end + 10, 1, 2);
            },
            "damaged zip archive: its directory holds more entries than its end record counts "
            "(1)" },
        { "a broken directory header", [&](std::string& bytes) { bytes[archive.headers[1]] = 'X'; },
            "damaged zip archive: entry 2 has no directory record" },
        { "split over disks", [&](std::string& bytes) { put(bytes, archive.end + 4, 1, 2); },
            "damaged zip archive: it is split over several disks" },
        { "an entry said to start after the directory",
            [&](std::string& bytes) { put(bytes, archive.headers[0] + 42, archive.end, 4); },
            "damaged zip archive: entry 1 starts past its directory's start" },
        { "sizes left to a zip64 field it lacks",
            [&](std::string& bytes) { put(bytes, archive.headers[0] + 24, 0xffffffff, 4); },
            "damaged zip archive: entry 1 has no zip64 field for its sizes" },
        { "a count left to a zip64 end record it lacks",
            [&](std::string& bytes) {
                put(bytes, archive.end + 8, 0xffff, 2);
                put(bytes, archive.end + 10, 0xffff, 2);
            },
            "damaged zip archive: its zip64 end record is missing" },
    };
    for (const Case& test : cases) {
        std::string bytes = archive.bytes;
        test.change(bytes);
        Opened opened(bytes);
        ASSERT_FALSE(opened.zip) << test.what;
        EXPECT_EQ(opened.zip.error().description(), test.error) << test.what;
    }
}

TEST(ZipReader, anEntryThatCannotBeReadSaysWhy)
{
    const Archive archive;
    const std::size_t second = archive.headers[1];
    const struct Case {
        const char* what;
        std::function<void(std::string&)> change;
        const char* error;
    } cases[] = {
        { "its checksum changed", [&](std::string& bytes) { put(bytes, second + 16, 12345, 4); },
            "CRC error" },
        { "its local header gone",
            [&](std::string& bytes) { bytes[u32(bytes, second + 42)] = 'X'; }, "damaged entry" },
        { "an unknown compression", [&](std::string& bytes) { put(bytes, second + 10, 12, 2); },
            "compression method not supported" },
        { "encrypted", [&](std::string& bytes) { put(bytes, second + 8, 1, 2); },
            "encrypted entry" },
        { "inflating past its declared size",
            [&](std::string& bytes) { put(bytes, second + 24, 100, 4); }, "damaged entry" },
        { "declared far larger than the bound",
            [&](std::string& bytes) { put(bytes, second + 24, 0x7fffffff, 4); }, "too large" },
        { "its data past the archive's end",
            [&](std::string& bytes) { put(bytes, second + 20, 0x7fffffff, 4); }, "damaged entry" },
        { "its data cut short",
            [&](std::string& bytes) {
                std::uint32_t size = u32(bytes, second + 20);
                put(bytes, second + 20, size - 4, 4);
            },
            "damaged entry" },
    };
    for (const Case& test : cases) {
        std::string bytes = archive.bytes;
        test.change(bytes);
        Opened opened(bytes);
        ASSERT_TRUE(opened.zip) << test.what << ": " << opened.zip.error().description();
        EXPECT_EQ(opened.read("second.txt"), test.error) << test.what;
        EXPECT_EQ(opened.read("first.txt"), "plain words")
            << test.what << ": the other entry still reads";
    }
}

TEST(ZipReader, namesAreReadAsTheirToolsMeantThem)
{
    Archive archive;
    // Not flagged UTF-8 and not well-formed UTF-8, though a loose decoder would take an overlong
    // "/" or a surrogate for it: code page 437, where 0x82 is "é".
    const struct {
        std::string bytes; // in place of the name's second letters
        std::string name;
    } legacyNames[] = {
        { "\x82", "f\xC3\xA9rst.txt" },
        { "\xC0\xAF", "f\u2514\u00BBst.txt" },
        { "\xED\xA0\x80", "f\u03C6\u00E1\u00C7t.txt" },
    };
    for (const auto& legacyName : legacyNames) {
        std::string legacy = archive.bytes;
        legacy.replace(archive.headers[0] + 46 + 1, legacyName.bytes.size(), legacyName.bytes);
        Opened opened(legacy);
        ASSERT_TRUE(opened.zip) << legacyName.name;
        EXPECT_EQ(opened.read(legacyName.name), "plain words") << legacyName.name;
    }

    // Two entries of one name: the first in the directory is the one read.
    std::string twice = archive.bytes;
    std::memcpy(twice.data() + archive.headers[1] + 46, "first.txt\0", 10);
    put(twice, archive.headers[1] + 28, 9, 2);
    // The name's last byte now counted with the extra field.
    put(twice, archive.headers[1] + 30, u16(twice, archive.headers[1] + 30) + 1u, 2);
    Opened duplicated(twice);
    ASSERT_TRUE(duplicated.zip) << duplicated.zip.error().description();
    EXPECT_EQ(duplicated.read("first.txt"), "plain words");
}

}
