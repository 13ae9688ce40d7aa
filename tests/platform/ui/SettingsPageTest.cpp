// The platform's settings page for the application: its facts come from the property list and
// the library folder.
#include "platform/foundation/FileManager.h"
#include "platform/ui/ApplicationInfo.h"
#include "platform/ui/SettingsPage.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

TEST(SettingsPage, countsItemsAndBytesOfTheLibraryFolderAndFindsTheDatabase)
{
    fixtures::TemporaryFolder folder;
    foundation::FileManager::setDocumentsDirectoryOverride(folder.path());
    std::ofstream(folder.file("a.epub")) << std::string(1500, 'x');
    std::filesystem::create_directories(folder.file("b.epub/OEBPS"));
    std::ofstream(folder.file("b.epub/OEBPS/c.xhtml")) << std::string(500, 'y');
    auto page = ui::SettingsPage::current();
    EXPECT_EQ(page.applicationName, "Pagewyn");
    EXPECT_EQ(page.version, "1.0.3");
    EXPECT_EQ(page.libraryFolder, folder.path());
    EXPECT_EQ(page.itemCount, 2u);
    EXPECT_EQ(page.byteCount, 2000u);
    EXPECT_TRUE(page.countComplete);
    EXPECT_EQ(page.highlightDatabase, folder.file("highlights.realm"));
    EXPECT_FALSE(page.highlightDatabaseExists);
    std::ofstream(folder.file("highlights.realm")) << "";
    EXPECT_TRUE(ui::SettingsPage::current().highlightDatabaseExists);
    foundation::FileManager::setDocumentsDirectoryOverride(std::nullopt);
}

TEST(SettingsPage, byteCountsReadAsAPersonSaysThem)
{
    EXPECT_EQ(ui::readableByteCount(1), "1 byte");
    EXPECT_EQ(ui::readableByteCount(999), "999 bytes");
    EXPECT_EQ(ui::readableByteCount(1500), "1.5 kB");
    EXPECT_EQ(ui::readableByteCount(52'000'000), "52 MB");
}

TEST(ApplicationInfo, propertyListRegistersEpubBooks)
{
    const auto& info = ui::ApplicationInfo::main();
    ASSERT_EQ(info.documentTypes.size(), 1u);
    EXPECT_EQ(info.documentTypes[0].contentTypes, std::vector<std::string> { "org.idpf.epub-container" });
    EXPECT_EQ(info.documentTypes[0].mimeTypes, std::vector<std::string> { "application/epub+zip" });
    EXPECT_FALSE(ui::ApplicationInfo::parse("[1,2]"));
    EXPECT_FALSE(ui::ApplicationInfo::parse("{\"version\":\"1\"}"));
}

}
