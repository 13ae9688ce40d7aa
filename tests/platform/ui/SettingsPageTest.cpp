// The platform's settings page for the application: byte counts as a person reads them, and the
// property list's document types. What the page counts in the library folder is SettingsRoutes'.
#include "platform/ui/SettingsPage.h"
#include "platform/ui/ApplicationInfo.h"

#include <gtest/gtest.h>

namespace {

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
    EXPECT_EQ(
        info.documentTypes[0].contentTypes, std::vector<std::string> { "org.idpf.epub-container" });
    EXPECT_EQ(info.documentTypes[0].mimeTypes, std::vector<std::string> { "application/epub+zip" });
    EXPECT_FALSE(ui::ApplicationInfo::parse("[1,2]"));
    EXPECT_FALSE(ui::ApplicationInfo::parse("{\"version\":\"1\"}"));
}

}
