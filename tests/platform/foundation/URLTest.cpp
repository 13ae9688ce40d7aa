// File URL path arithmetic.
#include "platform/foundation/URL.h"

#include <gtest/gtest.h>

using foundation::URL;

TEST(FileURL, pathHasNoTrailingSlashAndKnowsItsLastComponent)
{
    auto folder = URL::fileURLWithPath("/home/reader/Documents/");
    EXPECT_EQ(folder.path(), "/home/reader/Documents");
    EXPECT_EQ(folder.lastPathComponent(), "Documents");
    EXPECT_EQ(URL::fileURLWithPath("/").path(), "/");
    EXPECT_EQ(URL::fileURLWithPath("/").lastPathComponent(), "/");
    EXPECT_EQ(folder.appendingPathComponent("Moby Dick.epub").path(),
        "/home/reader/Documents/Moby Dick.epub");
}

TEST(FileURL, standardisingResolvesDotsAndRepeatedSlashes)
{
    EXPECT_EQ(
        URL::fileURLWithPath("/a/./b//c/../d.epub").standardizedFileURL().path(), "/a/b/d.epub");
    EXPECT_EQ(URL::fileURLWithPath("/../../x").standardizedFileURL().path(), "/x");
    EXPECT_EQ(URL::fileURLWithPath("/a/b/..").standardizedFileURL().lastPathComponent(), "a");
}

TEST(FileURL, textFormRoundTripsWithPercentCoding)
{
    auto url = URL::fileURLWithPath("/books/Les Mis\xC3\xA9rables #1.epub");
    EXPECT_EQ(url.absoluteString(), "file:///books/Les%20Mis%C3%A9rables%20%231.epub");
    auto parsed = URL::withString(url.absoluteString());
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->isFileURL());
    EXPECT_EQ(parsed->path(), "/books/Les Mis\xC3\xA9rables #1.epub");
}

TEST(FileURL, otherSchemesAreKeptAsTheyAre)
{
    auto settings = URL::withString("app-settings:");
    ASSERT_TRUE(settings);
    EXPECT_FALSE(settings->isFileURL());
    EXPECT_EQ(settings->absoluteString(), "app-settings:");
    EXPECT_FALSE(URL::withString("no scheme here"));
    EXPECT_FALSE(URL::withString(":empty"));
}
