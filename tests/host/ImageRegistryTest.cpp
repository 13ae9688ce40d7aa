// The image registry: ids by content, kept while a page may draw them, bitmaps served as PNG.
#include "platform/host/snapshot/ImageRegistry.h"
#include "platform/ui/ImageCodec.h"
#include "tests/support/TinyPictures.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<ui::Image> picture(const std::string& bytes)
{
    return *ui::Image::withData(bytes);
}

TEST(ImageRegistry, equalPicturesShareAnIdAndOthersDoNot)
{
    host::ImageRegistry registry;
    auto cover = picture(fixtures::tinyPng());
    auto sameCoverReadAgain = picture(fixtures::tinyPng());
    auto otherCover = picture(fixtures::tinyJpeg());
    auto id = registry.idFor(cover);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->size(), 32u);
    // Another launch's registry gives the same picture another, unguessable address.
    EXPECT_NE(host::ImageRegistry().idFor(cover), id);
    EXPECT_EQ(registry.idFor(cover), id);
    EXPECT_EQ(registry.idFor(sameCoverReadAgain), id);
    EXPECT_NE(registry.idFor(otherCover), id);
    auto found = registry.find(*id);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found->bytes, fixtures::tinyPng());
    EXPECT_EQ(found->mimeType, "image/png");
    EXPECT_EQ(registry.find(*registry.idFor(otherCover))->mimeType, "image/jpeg");
}

// A page draws rows from answers the host gave before the table reused their cells for other
// rows: every id handed out stays served while the last keptPictures ids (or keptBytes of them)
// include it, and a picture the view tree shows stays served however many came since.
TEST(ImageRegistry, anIdHandedOutStaysServedWhileAPageMayStillDrawIt)
{
    struct Case {
        const char* what;
        std::size_t padding; // bytes added to each picture
        std::size_t others; // pictures handed out after the first, each let go at once
        bool firstServed;
    };
    const std::size_t large = 1024 * 1024;
    const std::size_t kept = host::ImageRegistry::keptBytes / (large + fixtures::tinyPng().size());
    for (const Case& c : {
             Case { "within the kept count", 0, host::ImageRegistry::keptPictures - 2, true },
             Case { "past the kept count", 0, host::ImageRegistry::keptPictures, false },
             Case { "within the kept bytes", large, kept - 1, true },
             Case { "past the kept bytes", large, kept, false },
         }) {
        host::ImageRegistry registry;
        auto shown = picture(fixtures::tinyJpeg());
        auto shownId = *registry.idFor(shown);
        auto first = picture(fixtures::tinyPng() + std::string(c.padding, 'x'));
        auto firstId = *registry.idFor(first);
        first.reset();
        for (std::size_t n = 0; n < c.others; ++n) {
            auto bytes = fixtures::tinyPng() + std::string(c.padding, 'x') + std::to_string(n);
            ASSERT_TRUE(registry.idFor(picture(bytes)));
        }
        EXPECT_EQ(registry.find(firstId).has_value(), c.firstServed) << c.what;
        EXPECT_EQ(registry.find(firstId, 2).has_value(), c.firstServed) << c.what;
        EXPECT_TRUE(registry.find(shownId)) << c.what << ": the picture the view tree shows";
        EXPECT_LE(registry.size(), host::ImageRegistry::keptPictures + 1) << c.what;
    }
    EXPECT_FALSE(host::ImageRegistry().find("0123456789abcdef"));
}

TEST(ImageRegistry, aBitmapIsServedAsPng)
{
    host::ImageRegistry registry;
    ui::Bitmap bitmap { 2, 2, std::vector<std::uint8_t>(16, 200) };
    auto tinted = ui::Image::withBitmap(bitmap, 2);
    auto id = registry.idFor(tinted);
    ASSERT_TRUE(id);
    auto found = registry.find(*id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->mimeType, "image/png");
    auto decoded = ui::Image::withData(*found->bytes, 2);
    ASSERT_TRUE(decoded);
    EXPECT_EQ((*decoded)->pixelWidth(), 2);
    EXPECT_FALSE(registry.idFor(nullptr));
}

// A picture large enough that a small view should not be sent all of it.
std::shared_ptr<ui::Image> largeCover()
{
    ui::Bitmap bitmap { 300, 450, {} };
    std::uint32_t noise = 12345;
    for (int n = 0; n < 300 * 450; ++n) {
        noise = noise * 1664525 + 1013904223;
        bitmap.rgba.insert(bitmap.rgba.end(),
            { static_cast<std::uint8_t>(noise >> 24), static_cast<std::uint8_t>(noise >> 16), 128,
                255 });
    }
    return *ui::Image::withData(*ui::encodePng(bitmap));
}

TEST(ImageRegistry, aLargePictureShownSmallIsSentScaledDownAndAPictureSmallEnoughAsItIs)
{
    host::ImageRegistry registry;
    auto cover = largeCover();
    auto id = *registry.idFor(cover);
    auto whole = registry.find(id);
    ASSERT_TRUE(whole);

    auto small = registry.find(id, 54);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->mimeType, "image/png");
    EXPECT_LT(small->bytes->size(), whole->bytes->size() / 4);
    auto decoded = ui::decodePicture(*small->bytes, "image/png");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 54);
    EXPECT_EQ(decoded->height, 81);
    EXPECT_EQ(registry.find(id, 54)->bytes, small->bytes) << "made once";

    EXPECT_EQ(registry.find(id, 300)->bytes, whole->bytes);
    auto tiny = picture(fixtures::tinyJpeg());
    auto tinyId = *registry.idFor(tiny);
    EXPECT_EQ(*registry.find(tinyId, 108)->bytes, fixtures::tinyJpeg());

    // A picture that cannot be decoded, whole or too large to be, is a blank square of the side
    // asked, never its own bytes.
    for (const auto& bytes : { fixtures::declaredPng(20000, 20000),
             fixtures::tinyPng().substr(0, 40) + std::string(300 * 1024, 'x') }) {
        auto broken = ui::Image::withData(bytes);
        ASSERT_TRUE(broken);
        auto brokenId = *registry.idFor(*broken);
        auto blank = registry.find(brokenId, 36);
        ASSERT_TRUE(blank);
        EXPECT_EQ(blank->mimeType, "image/png");
        auto shown = ui::decodePicture(*blank->bytes, "image/png");
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->width, 36);
        EXPECT_LT(blank->bytes->size(), 4096u);
    }
}

}
