// Unpacking real books, and refusing broken or hostile archives without leaving anything behind.
#include "frameworks/ziparchive/SSZipArchive.h"

#include "tests/frameworks/ziparchive/ZipBytes.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using fixtures::TemporaryFolder;
using ziptest::snapshot;
using ziptest::StoredEntry;
using ziptest::storedZip;
using ziptest::writeFile;

namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat info { };
    lstat(path.c_str(), &info);
    return info.st_mode;
}

// A real book with one entry large enough to span many read chunks.
fixtures::EpubFixture largeBook()
{
    fixtures::EpubFixture book;
    book.cover = fixtures::Cover::epub3;
    book.extraEntries = { { "OEBPS/Text/long.xhtml", std::string(300'000, 'x') + "end" } };
    return book;
}

}

TEST(SSZipArchive, unpacksABookToTheSameFilesAndBytes)
{
    TemporaryFolder sandbox;
    auto book = largeBook();
    book.writeZipped(sandbox.file("book.epub"));
    std::string source = ziptest::readFile(sandbox.file("book.epub"));
    std::string destination = sandbox.file("Documents/new/book.epub");

    ASSERT_TRUE(SSZipArchive::unzipFileAtPath(sandbox.file("book.epub"), destination));

    auto unpacked = snapshot(destination);
    std::size_t files = 0;
    for (const auto& entry : book.entries()) {
        EXPECT_EQ(unpacked[entry.name], entry.bytes) << entry.name;
        EXPECT_EQ(modeOf(destination + "/" + entry.name) & 07133, 0u) << entry.name;
        ++files;
    }
    for (const auto& [path, bytes] : unpacked)
        files -= bytes != "<folder>";
    EXPECT_EQ(files, 0u) << "files the archive does not hold";
    EXPECT_TRUE(S_ISDIR(modeOf(destination + "/OEBPS/images")));
    EXPECT_EQ(ziptest::readFile(sandbox.file("book.epub")), source);
}

TEST(SSZipArchive, makesNestedAndEmptyFoldersAndDropsModesFromTheArchive)
{
    TemporaryFolder sandbox;
    std::string chunky(3 * 65536 + 7, 'c');
    writeFile(sandbox.file("a.zip"),
        storedZip({
            { "a/b/c/d.txt", "deep" },
            { "empty/", "", 040777 },
            { "deep/er/", "" },
            { "run.sh", "#!/bin/sh", 0106777 },
            { "chunky.bin", chunky },
            { "exactly-one-chunk.bin", std::string(65536, 'e') },
            { "zero.txt", "" },
        }));
    std::string destination = sandbox.file("out");

    ASSERT_TRUE(SSZipArchive::unzip(sandbox.file("a.zip"), destination));

    EXPECT_EQ(snapshot(destination),
        (std::map<std::string, std::string> { { "a", "<folder>" }, { "a/b", "<folder>" },
            { "a/b/c", "<folder>" }, { "a/b/c/d.txt", "deep" }, { "empty", "<folder>" },
            { "deep", "<folder>" }, { "deep/er", "<folder>" }, { "run.sh", "#!/bin/sh" },
            { "chunky.bin", chunky }, { "exactly-one-chunk.bin", std::string(65536, 'e') },
            { "zero.txt", "" } }));
    EXPECT_EQ(modeOf(destination + "/run.sh") & 07133, 0u);
    EXPECT_EQ(modeOf(destination + "/empty") & 07022, 0u);
}

TEST(SSZipArchive, refusesBrokenAndHostileArchivesWholeAndLeavesNothing)
{
    using Make = std::function<void(const TemporaryFolder&, const std::string& archive)>;
    auto stored = [](std::vector<StoredEntry> entries) -> Make {
        return [entries](const TemporaryFolder&, const std::string& archive) {
            writeFile(archive, storedZip(entries));
        };
    };
    auto broken = [](fixtures::Breakage breakage) -> Make {
        return [breakage](const TemporaryFolder&, const std::string& archive) {
            fixtures::EpubFixture book;
            book.breakage = breakage;
            book.writeZipped(archive);
        };
    };
    const StoredEntry good { "OEBPS/good.xhtml", "fine" };
    // 1,000 entries of 1 MiB each: every one with 1,100 bytes of its own (each under the entry's
    // ratio bound, 1.1 MB in all), or all of them naming one block.
    auto thousandMebibytes = [](bool sharedBlock) {
        std::vector<StoredEntry> entries;
        for (std::size_t index = 0; index < 1000; ++index) {
            StoredEntry entry { "OEBPS/" + std::to_string(index) + ".xhtml", std::string(1100, 'x'),
                std::nullopt, 1u << 20 };
            if (sharedBlock && index > 0)
                entry = { entry.name, "", std::nullopt, std::nullopt, 0 };
            entries.push_back(std::move(entry));
        }
        return entries;
    };
    // Entries "dNN/a/a/.../f": 205 KB on disk implying 50,000 folders, or as many levels as the
    // deepest book may have and folders past what any book needs.
    auto impliedFolders = [](std::size_t entries, std::size_t levels) {
        std::vector<StoredEntry> archive;
        for (std::size_t index = 0; index < entries; ++index) {
            std::string name = "d" + std::to_string(index);
            for (std::size_t level = 2; level < levels; ++level)
                name += "/a";
            archive.push_back({ name + "/f", "x" });
        }
        return archive;
    };
    ziparchive::UnzipLimits smallTotal;
    smallTotal.maxTotalBytes = 1000;

    struct Case {
        const char* what;
        Make make;
        std::string reason; // part of the failure's description
        ziparchive::UnzipLimits limits = {};
    };
    const Case cases[] = {
        { "absolute path",
            [&](const TemporaryFolder& sandbox, const std::string& archive) {
                writeFile(archive, storedZip({ good, { sandbox.file("escaped"), "owned" } }));
            },
            "absolute" },
        { "parent folder", stored({ good, { "../escaped", "owned" } }), "climbs out" },
        { "backslash traversal", stored({ good, { "..\\..\\escaped", "owned" } }), "climbs out" },
        { "NUL hiding a traversal",
            stored({ good, { std::string("ok\0/../../escaped", 17), "owned" } }), "entry" },
        { "symbolic link and a file through it",
            [&](const TemporaryFolder& sandbox, const std::string& archive) {
                fs::create_directory(sandbox.file("victim"));
                writeFile(archive,
                    storedZip({ good, { "link", sandbox.file("victim"), 0120777 },
                        { "link/owned", "owned" } }));
            },
            "symbolic link" },
        { "named pipe", stored({ good, { "pipe", "", 010644 } }), "pipe" },
        { "same name twice", stored({ { "mimetype", "first" }, good, { "mimetype", "second" } }),
            "twice" },
        { "more bytes than allowed",
            stored({ good, { "a", std::string(600, 'a') }, { "b", std::string(600, 'b') } }),
            "bytes in total", smallTotal },
        { "ratio bomb",
            stored({ good, { "bomb", std::string(1000, 'z'), std::nullopt, 3u << 20 } }), "ratio" },
        { "entries each under the ratio, too much in all", stored(thousandMebibytes(false)),
            "bytes in total" },
        { "one block under a thousand names", stored(thousandMebibytes(true)), "bytes in total" },
        { "a thousand levels of implied folders", stored(impliedFolders(50, 1000)), "levels deep" },
        { "implied folders past what a book needs", stored(impliedFolders(400, 32)), "folders" },
        { "one block under two names",
            stored({ good, { "copy", "", std::nullopt, std::nullopt, 0 } }), "overlaps" },
        { "stored entry larger than declared",
            stored({ good, { "OEBPS/last", std::string(100'000, 'l'), std::nullopt, 10 } }),
            "more than the 10 bytes" },
        { "deflated entry inflating past its size",
            [](const TemporaryFolder&, const std::string& archive) {
                largeBook().writeZipped(archive);
                std::string bytes = ziptest::readFile(archive);
                ziptest::patchDeclaredSize(bytes, "OEBPS/Text/long.xhtml", 1000);
                writeFile(archive, bytes);
            },
            "long.xhtml" },
        { "entry shorter than declared",
            stored({ good, { "OEBPS/last", "short", std::nullopt, 200 } }), "OEBPS/last" },
        { "damaged data", broken(fixtures::Breakage::corruptedPackageData), "content.opf" },
        { "truncated archive", broken(fixtures::Breakage::truncatedZip), "book.epub" },
        { "not a zip", broken(fixtures::Breakage::notAZip), "zip" },
        { "zero-byte file", broken(fixtures::Breakage::zeroByteFile), "empty" },
        { "archive without entries", stored({}), "no entries" },
        { "a folder for an archive", broken(fixtures::Breakage::emptyFolder), "not a file" },
        { "missing source", [](const TemporaryFolder&, const std::string&) {}, "No such file" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryFolder sandbox;
        std::string archive = sandbox.file("book.epub");
        c.make(sandbox, archive);
        auto before = snapshot(sandbox.path());

        auto result = SSZipArchive::unzip(archive, sandbox.file("Documents/book.epub"), c.limits);

        ASSERT_FALSE(result);
        EXPECT_NE(result.error().description().find(c.reason), std::string::npos)
            << result.error().description();
        EXPECT_EQ(snapshot(sandbox.path()), before);
    }
}

TEST(SSZipArchive, failureLeavesAnExistingDestinationExactlyAsItWas)
{
    struct Case {
        const char* what;
        std::vector<StoredEntry> entries;
    };
    const Case cases[] = {
        { "fails on its last entry",
            { { "OEBPS/new.xhtml", "new" }, { "new/deep/file", "x" },
                { "OEBPS/last", std::string(5000, 'l'), std::nullopt, 10 } } },
        { "would overwrite a file", { { "OEBPS/new.xhtml", "new" }, { "keep.txt", "replaced" } } },
        { "would put a file where a folder is", { { "fresh.txt", "new" }, { "OEBPS", "file" } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryFolder sandbox;
        std::string destination = sandbox.file("book.epub");
        fs::create_directories(destination + "/OEBPS");
        writeFile(destination + "/keep.txt", "kept");
        writeFile(destination + "/OEBPS/old.css", "old");
        writeFile(sandbox.file("a.zip"), storedZip(c.entries));
        auto before = snapshot(sandbox.path());

        EXPECT_FALSE(SSZipArchive::unzipFileAtPath(sandbox.file("a.zip"), destination));
        EXPECT_EQ(snapshot(sandbox.path()), before);
    }
}

TEST(SSZipArchive, plantedSymbolicLinksAreNeverFollowed)
{
    struct Case {
        const char* what;
        std::string link; // inside the sandbox
        std::string target; // inside the sandbox's "outside" folder, or the folder itself
    };
    const Case cases[] = {
        { "folder inside the destination", "book.epub/OEBPS", "" },
        { "file inside the destination", "book.epub/mimetype", "/victim" },
        { "dangling link inside the destination", "book.epub/mimetype", "/created-through-link" },
        { "the destination itself", "book.epub", "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryFolder sandbox;
        fs::create_directories(sandbox.file("book.epub"));
        fs::create_directories(sandbox.file("outside"));
        writeFile(sandbox.file("outside/victim"), "untouched");
        if (c.link == "book.epub")
            fs::remove(sandbox.file("book.epub"));
        fs::create_symlink(sandbox.file("outside") + c.target, sandbox.file(c.link));
        fixtures::EpubFixture().writeZipped(sandbox.file("a.zip"));
        auto before = snapshot(sandbox.path());

        EXPECT_FALSE(
            SSZipArchive::unzipFileAtPath(sandbox.file("a.zip"), sandbox.file("book.epub")));
        EXPECT_EQ(snapshot(sandbox.path()), before);
    }
}
