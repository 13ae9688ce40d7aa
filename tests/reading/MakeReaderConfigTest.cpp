// makeReaderConfig: the application's reader settings, a quote background from "demo-bg" only
// when the resource is there, and the highlight database in the documents folder — fresh and
// independent for every opening.
#include "reading/makeReaderConfig.h"
#include "platform/host/snapshot/ReaderSnapshot.h"
#include "tests/library/LibraryFolder.h"

#include <gtest/gtest.h>

namespace {

void expectColor(const ui::Color& actual, const ui::Color& expected)
{
    EXPECT_NEAR(actual.red, expected.red, 1e-12);
    EXPECT_NEAR(actual.green, expected.green, 1e-12);
    EXPECT_NEAR(actual.blue, expected.blue, 1e-12);
    EXPECT_NEAR(actual.alpha, expected.alpha, 1e-12);
}

std::shared_ptr<ui::Image> noImages(const std::string&)
{
    return nullptr;
}

TEST(MakeReaderConfig, putsTheHighlightDatabaseInTheDocumentsFolder)
{
    fixtures::LibraryFolder library;
    auto config = makeReaderConfig();
    const Realm::Configuration& database = config->highlightDatabase;
    ASSERT_TRUE(database.fileURL);
    EXPECT_EQ(database.fileURL->path(), library.path() + "/highlights.realm");
    EXPECT_FALSE(database.inMemoryIdentifier);
    EXPECT_FALSE(database.readOnly);
}

TEST(MakeReaderConfig, quoteImagesWithAndWithoutTheDemoBackground)
{
    fixtures::LibraryFolder library;
    auto withResource = makeReaderConfig();
    ASSERT_EQ(withResource->quoteImages.size(), 2u);
    const folioreader::QuoteImage& picture = withResource->quoteImages[0];
    ASSERT_TRUE(picture.image);
    EXPECT_EQ(picture.image->data(), ui::Image::named("demo-bg")->data());
    EXPECT_EQ(picture.alpha, 0.6);
    EXPECT_EQ(picture.textColor, ui::Color::whiteColor());
    EXPECT_EQ(picture.backgroundColor, ui::Color::blackColor());

    auto withoutResource = makeReaderConfig(noImages);
    ASSERT_EQ(withoutResource->quoteImages.size(), 1u);

    for (const auto* plain : { &withResource->quoteImages[1], &withoutResource->quoteImages[0] }) {
        ASSERT_TRUE(plain->image);
        const ui::Bitmap* pixels = plain->image->bitmap();
        ASSERT_NE(pixels, nullptr);
        const std::uint8_t* corner = pixels->pixel(0, 0);
        // Filled with red 0.3, green 0.26, blue 0.2, opaque.
        EXPECT_NEAR(corner[0], 0.3 * 255, 1);
        EXPECT_NEAR(corner[1], 0.26 * 255, 1);
        EXPECT_NEAR(corner[2], 0.2 * 255, 1);
        EXPECT_EQ(corner[3], 255);
        EXPECT_EQ(plain->alpha, 1.0);
        ASSERT_TRUE(plain->textColor);
        expectColor(*plain->textColor, ui::Color::withRGBA(0.86, 0.73, 0.7, 1));
        EXPECT_EQ(plain->backgroundColor, ui::Color::whiteColor());
    }
}

TEST(MakeReaderConfig, eachOpeningGetsItsOwnEqualConfiguration)
{
    fixtures::LibraryFolder library;
    auto first = makeReaderConfig();
    auto second = makeReaderConfig();
    ASSERT_NE(first, second);
    EXPECT_EQ(readerSettings(*first), readerSettings(*second));
    EXPECT_EQ(first->highlightDatabase.fileURL, second->highlightDatabase.fileURL);
    ASSERT_EQ(first->quoteImages.size(), second->quoteImages.size());
    EXPECT_EQ(first->quoteImages[0].image->data(), second->quoteImages[0].image->data());

    first->quoteImages.push_back(folioreader::QuoteImage());
    first->chromeColor = ui::Color::redColor();
    first->highlightDatabase.readOnly = true;
    EXPECT_EQ(second->quoteImages.size(), 2u);
    EXPECT_EQ(second->chromeColor, ui::Color::darkGrayColor());
    EXPECT_FALSE(second->highlightDatabase.readOnly);
}

// The accent colour, which the browser is not told, is OpenBook's to check.
TEST(MakeReaderConfig, setsTheReaderSettingsAndTheBrowserIsToldEachOne)
{
    fixtures::LibraryFolder library;
    auto settings = host::readerSettingsJson(readerSettings(*makeReaderConfig()));
    EXPECT_EQ(settings["chromeColor"], (nlohmann::json { 1.0 / 3, 1.0 / 3, 1.0 / 3, 1.0 }));
    EXPECT_EQ(settings["hidesChromeOnTap"], true);
    EXPECT_EQ(settings["allowsQuoteSharing"], true);
    EXPECT_EQ(settings["alwaysHidesChrome"], false);
    EXPECT_EQ(settings["scrollDirection"], "horizontal");
    EXPECT_EQ(settings["showsTitle"], true);
    EXPECT_EQ(settings["startsInNightMode"], false);
    ASSERT_EQ(settings["quoteImages"].size(), 2u);
    EXPECT_EQ(settings["quoteImages"][0]["image"], 0);
    EXPECT_EQ(settings["quoteImages"][0]["alpha"], 0.6);
    EXPECT_EQ(settings["quoteImages"][1]["image"], 1);
    EXPECT_EQ(
        settings["quoteImages"][1]["backgroundColor"], (nlohmann::json { 1.0, 1.0, 1.0, 1.0 }));

    folioreader::FolioReaderConfig vertical;
    vertical.scrollDirection = folioreader::ScrollDirection::vertical;
    folioreader::QuoteImage empty;
    vertical.quoteImages = { empty };
    auto verticalSettings = host::readerSettingsJson(readerSettings(vertical));
    EXPECT_EQ(verticalSettings["scrollDirection"], "vertical");
    EXPECT_TRUE(verticalSettings["quoteImages"][0]["image"].is_null());
    EXPECT_TRUE(quotePictures(vertical).empty());
}

}
