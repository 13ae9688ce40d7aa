// The highlight database: highlights kept across openings in the file the configuration names,
// per book; a read-only database never written; a file it cannot understand never overwritten;
// the options it cannot honour refused rather than ignored.
#include "frameworks/folioreader/stores/HighlightStore.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using folioreader::Highlight;
using folioreader::HighlightStore;

Realm::Configuration fileConfiguration(const std::string& path, bool readOnly = false,
    std::uint64_t schemaVersion = 0,
    std::optional<Realm::Configuration::MigrationBlock> migration = std::nullopt,
    bool deleteIfNeeded = false)
{
    return { .fileURL = foundation::URL::fileURLWithPath(path),
        .inMemoryIdentifier = std::nullopt,
        .readOnly = readOnly,
        .schemaVersion = schemaVersion,
        .migrationBlock = std::move(migration),
        .deleteRealmIfMigrationNeeded = deleteIfNeeded };
}

Highlight highlightOf(const std::string& book, std::uint64_t start, std::uint64_t end,
    const std::string& text = "words")
{
    Highlight highlight;
    highlight.book = book;
    highlight.document = "OEBPS/text/chapter-1.xhtml";
    highlight.start = start;
    highlight.end = end;
    highlight.text = text;
    return highlight;
}

std::string fileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

TEST(ReaderHighlights, areKeptPerBookAcrossOpenings)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("highlights.realm");
    {
        auto store = HighlightStore::open(fileConfiguration(path));
        ASSERT_TRUE(store) << store.error().description();
        EXPECT_FALSE(std::filesystem::exists(path)) << "opening writes nothing";
        ASSERT_TRUE((*store)->add(highlightOf("a.epub", 10, 20, "Call me")));
        ASSERT_TRUE((*store)->add(highlightOf("b.epub", 5, 9)));
        auto removable = (*store)->add(highlightOf("a.epub", 30, 40, "Ishmael"));
        ASSERT_TRUE(removable);
        EXPECT_FALSE((*store)->remove("b.epub", removable->id)) << "another book's highlight";
        ASSERT_TRUE((*store)->remove("a.epub", removable->id));
    }
    auto reopened = HighlightStore::open(fileConfiguration(path));
    ASSERT_TRUE(reopened);
    auto kept = (*reopened)->highlightsOf("a.epub");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].text, "Call me");
    EXPECT_EQ(kept[0].start, 10u);
    EXPECT_EQ(kept[0].end, 20u);
    EXPECT_EQ((*reopened)->highlightsOf("b.epub").size(), 1u);
    EXPECT_TRUE((*reopened)->highlightsOf("c.epub").empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
        << "no temporary file left";
}

TEST(ReaderHighlights, refusesWhatCannotBeAHighlight)
{
    fixtures::TemporaryFolder folder;
    auto store = HighlightStore::open(fileConfiguration(folder.file("h.realm")));
    ASSERT_TRUE(store);
    EXPECT_FALSE((*store)->add(highlightOf("a.epub", 20, 20)));
    EXPECT_FALSE((*store)->add(highlightOf("a.epub", 20, 10)));
    EXPECT_FALSE((*store)->add(highlightOf("", 1, 2)));
    auto longText
        = (*store)->add(highlightOf("a.epub", 0, 9000, std::string(4095, 'x') + "\u00e9\u00e9"));
    ASSERT_TRUE(longText);
    EXPECT_EQ(longText->text, std::string(4095, 'x')) << "cut at a character boundary";
}

TEST(ReaderHighlights, aReadOnlyDatabaseIsReadButNeverWritten)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("highlights.realm");
    ASSERT_TRUE((*HighlightStore::open(fileConfiguration(path)))->add(highlightOf("a.epub", 1, 2)));
    std::string before = fileText(path);

    auto readOnly = HighlightStore::open(fileConfiguration(path, true));
    ASSERT_TRUE(readOnly);
    EXPECT_EQ((*readOnly)->highlightsOf("a.epub").size(), 1u);
    EXPECT_FALSE((*readOnly)->add(highlightOf("a.epub", 3, 4)));
    EXPECT_FALSE((*readOnly)->remove("a.epub", (*readOnly)->highlightsOf("a.epub")[0].id));
    EXPECT_EQ(fileText(path), before);
}

TEST(ReaderHighlights, aFileItCannotUnderstandIsLeftAlone)
{
    const std::vector<std::string> foreign = {
        "",
        "not json",
        "[1,2]",
        R"({"database":"other","schemaVersion":0,"highlights":[]})",
        R"({"database":"pagewyn highlights","schemaVersion":0,"highlights":[{"id":1}]})",
        R"({"database":"pagewyn highlights","schemaVersion":-1,"highlights":[]})",
    };
    for (const auto& bytes : foreign) {
        SCOPED_TRACE(bytes);
        fixtures::TemporaryFolder folder;
        std::string path = folder.file("highlights.realm");
        std::ofstream(path) << bytes;
        EXPECT_FALSE(HighlightStore::open(fileConfiguration(path)));
        EXPECT_EQ(fileText(path), bytes);
    }
    fixtures::TemporaryFolder folder;
    std::filesystem::create_directory(folder.file("highlights.realm"));
    EXPECT_FALSE(HighlightStore::open(fileConfiguration(folder.file("highlights.realm"))));
}

TEST(ReaderHighlights, schemaVersionsAndMigrations)
{
    fixtures::TemporaryFolder folder;
    std::string path = folder.file("highlights.realm");
    ASSERT_TRUE((*HighlightStore::open(fileConfiguration(path, false, 1)))
                    ->add(highlightOf("a.epub", 1, 2)));

    EXPECT_FALSE(HighlightStore::open(fileConfiguration(path, false, 0)))
        << "written by a newer schema";
    EXPECT_FALSE(HighlightStore::open(fileConfiguration(path, false, 2)))
        << "a migration nothing performs";
    EXPECT_FALSE(HighlightStore::open(fileConfiguration(path, true, 2, std::nullopt, true)))
        << "a read-only database is never deleted";

    std::uint64_t migratedFrom = 99;
    auto migrated = HighlightStore::open(
        fileConfiguration(path, false, 2, [&](Realm::Migration& migration, std::uint64_t old) {
            migratedFrom = old + 100 * migration.newSchemaVersion();
        }));
    ASSERT_TRUE(migrated);
    EXPECT_EQ(migratedFrom, 201u);
    EXPECT_EQ((*migrated)->highlightsOf("a.epub").size(), 1u);
    EXPECT_TRUE(HighlightStore::open(fileConfiguration(path, false, 2)))
        << "the file now has the new version";

    auto deleted = HighlightStore::open(fileConfiguration(path, false, 3, std::nullopt, true));
    ASSERT_TRUE(deleted);
    EXPECT_TRUE((*deleted)->highlightsOf("a.epub").empty());
}

TEST(ReaderHighlights, optionsItCannotHonourAreRefused)
{
    auto url = foundation::URL::fileURLWithPath("/nonexistent/highlights.realm");
    EXPECT_FALSE(
        HighlightStore::open({ .fileURL = url, .syncConfiguration = Realm::SyncConfiguration {} }));
    EXPECT_FALSE(HighlightStore::open({ .fileURL = url, .encryptionKey = std::string(64, 'k') }));
    EXPECT_FALSE(HighlightStore::open(
        { .fileURL = url, .objectTypes = std::vector<std::string> { "Bookmark" } }));
    EXPECT_FALSE(HighlightStore::open({ .inMemoryIdentifier = std::nullopt }))
        << "neither a file nor a store in memory";
}

TEST(ReaderHighlights, aStoreInMemoryIsSharedByIdentifierAndWritesNoFile)
{
    // A store in memory lives as long as the process: each run of the test takes a new one.
    static int run = 0;
    Realm::Configuration memory { .inMemoryIdentifier
        = "reader-test-memory-" + std::to_string(++run) };
    ASSERT_TRUE((*HighlightStore::open(memory))->add(highlightOf("a.epub", 1, 2)));
    EXPECT_EQ((*HighlightStore::open(memory))->highlightsOf("a.epub").size(), 1u);
    EXPECT_TRUE((*HighlightStore::open(Realm::Configuration()))->highlightsOf("a.epub").empty());
}

}
