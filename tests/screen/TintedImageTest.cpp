// Tinting: the image's shape in one colour, same size and scale, upright, transparency kept.
#include "screen/TintedImage.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImageCodec.h"

#include <gtest/gtest.h>

namespace {

// A picture whose top half is opaque grey and bottom half transparent.
ui::Bitmap topHalfOpaque(int width, int height)
{
    ui::Bitmap bitmap { width, height,
        std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4, 0) };
    for (int y = 0; y < height / 2; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* pixel = bitmap.pixel(x, y);
            pixel[0] = pixel[1] = pixel[2] = 120;
            pixel[3] = 255;
        }
    }
    return bitmap;
}

TEST(TintedImage, iconsKeepSizeScaleAndTransparencyAndTurnBlack)
{
    for (const char* name : { "info", "open", "sort", "settings" }) {
        auto icon = ui::Image::named(name);
        ASSERT_NE(icon, nullptr) << name;
        auto tinted = tintedImage(icon, ui::Color::blackColor());
        ASSERT_NE(tinted, nullptr) << name;
        EXPECT_EQ(tinted->size(), (ui::Size { 24, 24 })) << name;
        EXPECT_EQ(tinted->scale(), icon->scale()) << name;
        const ui::Bitmap* source = icon->bitmap();
        const ui::Bitmap* result = tinted->bitmap();
        ASSERT_TRUE(source && result) << name;
        ASSERT_EQ(result->width, source->width);
        ASSERT_EQ(result->height, source->height);
        int opaque = 0, transparent = 0;
        for (int y = 0; y < source->height; ++y) {
            for (int x = 0; x < source->width; ++x) {
                auto* in = source->pixel(x, y);
                auto* out = result->pixel(x, y);
                ASSERT_EQ(out[3], in[3]) << name << " alpha at " << x << "," << y;
                if (in[3] > 0) {
                    ASSERT_TRUE(out[0] == 0 && out[1] == 0 && out[2] == 0)
                        << name << " colour at " << x << "," << y;
                }
                opaque += in[3] == 255;
                transparent += in[3] == 0;
            }
        }
        // The icons are shapes on a clear ground, not solid squares.
        EXPECT_GT(opaque, 0) << name;
        EXPECT_GT(transparent, source->width * source->height / 2) << name;
    }
}

TEST(TintedImage, staysUpright)
{
    auto image = ui::Image::withBitmap(topHalfOpaque(4, 6), 2);
    auto tinted = tintedImage(image, ui::Color::blueColor());
    ASSERT_NE(tinted, nullptr);
    const ui::Bitmap* result = tinted->bitmap();
    ASSERT_TRUE(result);
    EXPECT_EQ(tinted->size(), (ui::Size { 2, 3 }));
    EXPECT_EQ(tinted->scale(), 2);
    for (int y = 0; y < 6; ++y) {
        auto* pixel = result->pixel(1, y);
        if (y < 3)
            EXPECT_EQ((std::vector<int> { pixel[0], pixel[1], pixel[2], pixel[3] }),
                (std::vector<int> { 0, 0, 255, 255 }))
                << "row " << y;
        else
            EXPECT_EQ(pixel[3], 0) << "row " << y;
    }
}

TEST(TintedImage, anImageWithoutPixelsBecomesAFilledRectangle)
{
    // A GIF's size can be read, but the platform does not decode GIFs: there is no bitmap.
    std::string gif = "GIF89a";
    gif += std::string("\x05\x00\x03\x00", 4);
    gif += std::string(20, '\0');
    auto image = ui::Image::withData(gif);
    ASSERT_TRUE(image);
    ASSERT_EQ((*image)->bitmap(), nullptr);
    auto tinted = tintedImage(*image, ui::Color::blackColor());
    ASSERT_NE(tinted, nullptr);
    EXPECT_EQ(tinted->size(), (ui::Size { 5, 3 }));
    const ui::Bitmap* result = tinted->bitmap();
    ASSERT_TRUE(result);
    for (std::size_t alpha = 3; alpha < result->rgba.size(); alpha += 4)
        ASSERT_EQ(result->rgba[alpha], 255);
}

TEST(TintedImage, givesNothingWhenNoContextCanBeMade)
{
    EXPECT_EQ(tintedImage(nullptr, ui::Color::blackColor()), nullptr);
    // Larger than any drawing context the platform makes.
    ui::Bitmap huge { 9000, 1, std::vector<std::uint8_t>(9000 * 4, 255) };
    EXPECT_EQ(
        tintedImage(ui::Image::withBitmap(std::move(huge), 1), ui::Color::blackColor()), nullptr);
    // An empty picture has no area to draw.
    EXPECT_EQ(
        tintedImage(ui::Image::withBitmap(ui::Bitmap {}, 1), ui::Color::blackColor()), nullptr);
    // The context stack is balanced afterwards.
    EXPECT_EQ(ui::getCurrentContext(), nullptr);
}

}
