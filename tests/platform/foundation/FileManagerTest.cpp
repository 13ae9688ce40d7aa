// The file manager's listing, dates and removal on a real temporary folder.
#include "platform/foundation/FileManager.h"
#include "platform/foundation/writeFileAtomically.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace foundation;
namespace fs = std::filesystem;

namespace {

class FileManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pagewyn-fm-XXXXXX";
        root = mkdtemp(pattern);
    }
    void TearDown() override
    {
        FileManager::setDocumentsDirectoryOverride(std::nullopt);
        fs::remove_all(root);
    }
    void write(const std::string& name, const std::string& bytes = "x")
    {
        std::ofstream(root + "/" + name) << bytes;
    }

    std::string root;
    FileManager files;
};

TEST_F(FileManagerTest, listsEveryNameIncludingHiddenOnes)
{
    write("a.epub");
    write(".hidden.epub");
    fs::create_directory(root + "/folder.epub");
    auto names = files.contentsOfDirectoryAtPath(root);
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string> { ".hidden.epub", "a.epub", "folder.epub" }));

    auto missing = files.contentsOfDirectoryAtPath(root + "/nothing");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().description().find(root + "/nothing"), std::string::npos);
}

TEST_F(FileManagerTest, modificationDateRoundTripsToTheNanosecond)
{
    write("a.epub");
    auto date = Date(Date::TimePoint(std::chrono::nanoseconds(1'700'000'000'123'456'789LL)));
    FileAttributes change;
    change.set(FileAttributeKey::modificationDate, date);
    ASSERT_TRUE(files.setAttributes(change, root + "/a.epub"));
    auto attributes = files.attributesOfItemAtPath(root + "/a.epub");
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->modificationDate(), date);
    EXPECT_FALSE(files.attributesOfItemAtPath(root + "/gone.epub"));
}

TEST_F(FileManagerTest, removesFilesAndWholeFoldersButNotWhatALinkPointsTo)
{
    write("a.epub");
    fs::create_directories(root + "/b.epub/OEBPS");
    write("b.epub/OEBPS/chapter.xhtml");
    fs::create_directories(root + "/elsewhere");
    write("elsewhere/keep.txt");
    fs::create_directory_symlink(root + "/elsewhere", root + "/link.epub");

    EXPECT_TRUE(files.removeItemAtPath(root + "/a.epub"));
    EXPECT_TRUE(files.removeItemAtPath(root + "/b.epub"));
    EXPECT_TRUE(files.removeItemAtPath(root + "/link.epub"));
    EXPECT_FALSE(fs::exists(root + "/a.epub"));
    EXPECT_FALSE(fs::exists(root + "/b.epub"));
    EXPECT_TRUE(fs::exists(root + "/elsewhere/keep.txt"));

    auto again = files.removeItemAtPath(root + "/a.epub");
    ASSERT_FALSE(again);
    EXPECT_NE(again.error().description().find("a.epub"), std::string::npos);
}

TEST_F(FileManagerTest, documentsDirectoryIsCreatedWhereTheLauncherPointsIt)
{
    FileManager::setDocumentsDirectoryOverride(root + "/deep/Documents");
    auto url = files.urlForDirectory(SearchPathDirectory::documentDirectory,
        SearchPathDomainMask::userDomainMask, std::nullopt, true);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->path(), root + "/deep/Documents");
    EXPECT_TRUE(fs::is_directory(root + "/deep/Documents"));

    write("plain-file");
    FileManager::setDocumentsDirectoryOverride(root + "/plain-file/Documents");
    EXPECT_FALSE(files.urlForDirectory(SearchPathDirectory::documentDirectory,
        SearchPathDomainMask::userDomainMask, std::nullopt, true));
}

TEST_F(FileManagerTest, moveNeverReplacesAnExistingItem)
{
    write("new");
    write("old", "precious");
    EXPECT_FALSE(files.moveItemAtPath(root + "/new", root + "/old"));
    std::ifstream old(root + "/old");
    std::string content;
    old >> content;
    EXPECT_EQ(content, "precious");
    EXPECT_TRUE(files.moveItemAtPath(root + "/new", root + "/moved"));
}

// A file replaced whole: new bytes and mode, no temporary file left; one that cannot be written
// is named in the error as the person knows it, not by the temporary name beside it.
TEST_F(FileManagerTest, aFileWrittenAtomicallyIsReplacedWholeOrNamedInTheError)
{
    const std::string path = root + "/places.json";
    write("places.json", "old");
    ASSERT_TRUE(writeFileAtomically(path, "new", 0640));
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);

    const std::string missing = root + "/gone/places.json";
    auto failed = writeFileAtomically(missing, "new", 0600);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().description().rfind("\"" + missing + "\": ", 0), 0u)
        << failed.error().description();
}

}
