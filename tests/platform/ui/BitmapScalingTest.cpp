// Scaling covers down: proportions kept, pixels averaged by area and by opacity.
#include "platform/ui/BitmapScaling.h"

#include <array>
#include <gtest/gtest.h>

namespace {

ui::Bitmap filled(int width, int height, std::array<std::uint8_t, 4> colour)
{
    ui::Bitmap bitmap { width, height, {} };
    for (int n = 0; n < width * height; ++n)
        bitmap.rgba.insert(bitmap.rgba.end(), colour.begin(), colour.end());
    return bitmap;
}

std::array<std::uint8_t, 4> at(const ui::Bitmap& bitmap, int x, int y)
{
    auto* pixel = bitmap.pixel(x, y);
    return { pixel[0], pixel[1], pixel[2], pixel[3] };
}

TEST(BitmapScaling, theShorterSideBecomesTheSideAskedForAndTheProportionsStay)
{
    struct Example {
        int width, height, side, expectedWidth, expectedHeight;
    };
    for (auto example : { Example { 600, 900, 108, 108, 162 }, Example { 1000, 10, 5, 500, 5 },
             Example { 7, 3, 2, 5, 2 }, Example { 50, 50, 50, 50, 50 },
             Example { 40, 60, 100, 40, 60 }, Example { 40, 60, 0, 40, 60 } }) {
        auto scaled = ui::scaledToCover(
            filled(example.width, example.height, { 10, 20, 30, 255 }), example.side);
        EXPECT_EQ(scaled.width, example.expectedWidth)
            << example.width << "x" << example.height << " to " << example.side;
        EXPECT_EQ(scaled.height, example.expectedHeight)
            << example.width << "x" << example.height << " to " << example.side;
        EXPECT_EQ(scaled.rgba.size(), static_cast<std::size_t>(scaled.width) * scaled.height * 4);
        EXPECT_EQ(at(scaled, scaled.width - 1, scaled.height - 1),
            (std::array<std::uint8_t, 4> { 10, 20, 30, 255 }));
    }
}

TEST(BitmapScaling, eachPixelAveragesWhatItCoversWeightedByOpacity)
{
    // Left half black, right half white: halved, the pixel on the seam is grey.
    auto bitmap = filled(4, 2, { 0, 0, 0, 255 });
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x)
            std::fill_n(bitmap.pixel(x, y), 3, 255);
    auto halved = ui::scaledToCover(bitmap, 1);
    ASSERT_EQ(halved.width, 2);
    EXPECT_EQ(at(halved, 0, 0), (std::array<std::uint8_t, 4> { 0, 0, 0, 255 }));
    EXPECT_EQ(at(halved, 1, 0), (std::array<std::uint8_t, 4> { 255, 255, 255, 255 }));
    // Three columns into two: the middle one is split between both.
    ui::Bitmap stripes = filled(3, 3, { 0, 0, 0, 255 });
    for (int y = 0; y < 3; ++y)
        std::fill_n(stripes.pixel(1, y), 3, 255);
    auto two = ui::scaledToCover(stripes, 2);
    ASSERT_EQ(two.width, 2);
    EXPECT_NEAR(at(two, 0, 0)[0], 85, 1);
    EXPECT_NEAR(at(two, 1, 1)[0], 85, 1);

    // A transparent pixel's colour does not bleed into its opaque neighbour.
    ui::Bitmap edge { 2, 2, { 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0 } };
    auto one = ui::scaledToCover(edge, 1);
    ASSERT_EQ(one.width, 1);
    auto pixel = at(one, 0, 0);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_NEAR(pixel[3], 128, 1);
}

}
