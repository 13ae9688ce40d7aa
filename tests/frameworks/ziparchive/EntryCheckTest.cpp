// The checks every archive passes before anything is written.
#include "frameworks/ziparchive/EntryCheck.h"

#include <gtest/gtest.h>

using namespace ziparchive;

TEST(EntryCheck, entryNamesStayInsideTheDestination)
{
    struct Case {
        std::string name;
        std::optional<std::string> path; // nothing: refused
    };
    const Case cases[] = {
        { "mimetype", "mimetype" },
        { "OEBPS/Text/ch1.xhtml", "OEBPS/Text/ch1.xhtml" },
        { "OEBPS/images/", "OEBPS/images" },
        { "./a//b/./c", "a/b/c" },
        { "./", "" },
        { "Ünïcödé/书.xhtml", "Ünïcödé/书.xhtml" },
        { "a..b/..c/d..", "a..b/..c/d.." },
        { "", std::nullopt },
        { "/etc/passwd", std::nullopt },
        { "\\x", std::nullopt },
        { "..", std::nullopt },
        { "../x", std::nullopt },
        { "a/../b", std::nullopt },
        { "a/../../x", std::nullopt },
        { "a/b/..", std::nullopt },
        { "..\\x", std::nullopt },
        { "a\\..\\..\\x", std::nullopt },
        { std::string("a\0/../../x", 10), std::nullopt },
        { std::string("evil\0.txt", 9), std::nullopt },
        { std::string(256, 'n'), std::nullopt },
        { "a/" + std::string(256, 'n') + "/b", std::nullopt },
    };
    for (const Case& c : cases) {
        auto path = checkEntryName(c.name);
        if (c.path) {
            ASSERT_TRUE(path) << c.name << ": " << path.error().description();
            EXPECT_EQ(*path, *c.path);
        } else {
            EXPECT_FALSE(path) << c.name << " was allowed as " << *path;
        }
    }
}

TEST(EntryCheck, unixTypeBitsDecideLinksAndDevices)
{
    struct Case {
        std::string name;
        bool unixAttributes;
        std::uint32_t mode;
        EntryKind kind;
    };
    const Case cases[] = {
        { "link", true, 0120777, EntryKind::symbolicLink },
        { "link/", true, 0120777, EntryKind::symbolicLink },
        { "file", true, 0100644, EntryKind::file },
        { "folder", true, 040755, EntryKind::folder },
        { "untyped", true, 0644, EntryKind::file },
        { "fifo", true, 010644, EntryKind::special },
        { "device", true, 020644, EntryKind::special },
        // Only Unix archives keep a mode up there: on DOS these are other attributes.
        { "dosfile", false, 0120777, EntryKind::file },
        { "dosfolder/", false, 0, EntryKind::folder },
    };
    for (const Case& c : cases)
        EXPECT_EQ(entryKind(c.name, c.unixAttributes, c.mode << 16), c.kind) << c.name;
}

namespace {

ArchiveEntry file(std::string name, std::uint64_t size = 10, std::uint64_t compressed = 10)
{
    return { std::move(name), size, compressed, EntryKind::file };
}

ArchiveEntry folder(std::string name)
{
    return { std::move(name), 0, 0, EntryKind::folder };
}

ArchiveEntry placed(std::string name, std::uint64_t start, std::uint64_t end)
{
    return { std::move(name), 10, 10, EntryKind::file, start, end };
}

}

TEST(EntryCheck, planCreatesEveryFolderBeforeWhatItHolds)
{
    auto plan
        = planUnpacking({ file("a/b/c.txt"), folder("a/"), folder("empty/"), file("top") }, {}, {});
    ASSERT_TRUE(plan) << plan.error().description();
    EXPECT_EQ(plan->folders, (std::vector<std::string> { "a", "a/b", "empty" }));
    ASSERT_EQ(plan->files.size(), 2u);
    EXPECT_EQ(plan->files[0].path, "a/b/c.txt");
    EXPECT_EQ(plan->files[1].index, 3u);
}

TEST(EntryCheck, refusesArchivesThatAreAmbiguousTooLargeOrDoNotFit)
{
    UnzipLimits small;
    small.maxTotalBytes = 100;
    small.maxEntries = 3;
    FreeSpace disk;
    disk.bytes = 1000;
    disk.blockSize = 100;
    disk.files = 4;
    struct Case {
        const char* what;
        std::vector<ArchiveEntry> entries;
        UnzipLimits limits;
        FreeSpace space;
        bool allowed;
        std::optional<std::uint64_t> archiveBytes = std::nullopt;
    };
    const Case cases[] = {
        { "fits", { file("a", 50), file("b", 50) }, small, disk, true },
        { "same name twice", { file("a"), file("./a") }, {}, {}, false },
        { "file, then a folder of its name", { file("a"), file("a/b") }, {}, {}, false },
        { "folder, then a file of its name", { folder("a/"), file("a") }, {}, {}, false },
        { "folder named twice", { folder("a/"), folder("a/"), file("a/b") }, {}, {}, true },
        { "file naming the destination", { file("./") }, {}, {}, false },
        { "more bytes than allowed", { file("a", 60), file("b", 41) }, small, {}, false },
        { "declared sizes overflowing", { file("a", UINT64_MAX, UINT64_MAX), file("b", 2, 2) }, {},
            {}, false },
        { "more entries than allowed", { file("a", 1), file("b", 1), file("c", 1), file("d", 1) },
            small, {}, false },
        { "ratio beyond bound", { file("bomb", 2u << 20, 2000) }, {}, {}, false },
        { "ratio at bound", { file("dense", 2u << 20, 2098) }, {}, {}, true },
        { "small entry, any ratio", { file("tiny", 64u << 10, 1) }, {}, {}, true },
        { "entry of 1 MiB past the ratio", { file("mebibyte", 1u << 20, 1000) }, {}, {}, false },
        { "archive within its size's bound",
            { file("a", 50u << 20, 1u << 20), file("b", 50u << 20, 1u << 20) }, {}, {}, true,
            1u << 20 },
        { "archive past its size's bound",
            { file("a", 50u << 20, 1u << 20), file("b", 51u << 20, 1u << 20) }, {}, {}, false,
            1u << 20 },
        { "tiny archive up to the floor", { file("a", 64u << 20, 128u << 10) }, {}, {}, true,
            1000 },
        { "tiny archive past the floor", { file("a", 64u << 20, 128u << 10), file("b", 1, 1) }, {},
            {}, false, 1000 },
        { "entries side by side", { placed("a", 0, 50), placed("b", 50, 90) }, {}, {}, true },
        { "entries sharing one block", { placed("a", 0, 50), placed("b", 0, 50) }, {}, {}, false },
        { "entry overlapping another",
            { placed("a", 0, 50), placed("c", 60, 70), placed("b", 40, 55) }, {}, {}, false },
        { "nothing compressed to something large", { file("empty", 2u << 20, 0) }, {}, {}, false },
        // 2 x 400 bytes plus a block each: 1000 fits, one byte more does not.
        { "fills the disk exactly", { file("a", 400), file("b", 400) }, {}, disk, true },
        { "more than the disk has", { file("a", 400), file("b", 401) }, {}, disk, false },
        { "more files than the disk has room for", { file("a/b/c/d", 1), file("e", 1) }, {}, disk,
            false },
        // Folders, implied or declared, take a block each: 3 x 100 + 2 x 100 bytes is 500.
        { "folders within the bytes allowed", { file("a/b/c", 100) }, { .maxTotalBytes = 300 },
            disk, true },
        { "implied folders past the bytes allowed", { file("a/b/c/d", 1) },
            { .maxTotalBytes = 300 }, disk, false },
        { "declared folders past the bytes allowed", { folder("a/"), folder("b/"), folder("c/") },
            { .maxTotalBytes = 200 }, disk, false },
        { "folders at 4 KiB where the disk does not say", { file("a/b", 1) },
            { .maxTotalBytes = 4096 }, {}, false },
        { "folders within their count", { file("a/b/c", 1), file("d/e", 1) }, { .maxFolders = 3 },
            {}, true },
        { "folders past their count", { file("a/b/c", 1), file("d/e/f", 1) }, { .maxFolders = 3 },
            {}, false },
        { "path at the deepest level", { file("a/b/c", 1) }, { .maxDepth = 3 }, {}, true },
        { "path past the deepest level", { file("a/b/c/d", 1) }, { .maxDepth = 3 }, {}, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(bool(planUnpacking(c.entries, c.limits, c.space, c.archiveBytes)), c.allowed)
            << c.what;
}
