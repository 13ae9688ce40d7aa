// Decoding PNG and JPEG, encoding PNG: exact pixels, damaged bytes refused, huge pictures bounded.
#include "platform/ui/ImageCodec.h"
#include "tests/support/TinyPictures.h"

#include <csetjmp>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <zlib.h>

namespace {

ui::Bitmap gradient(int width, int height)
{
    ui::Bitmap bitmap { width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4) };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* pixel = bitmap.pixel(x, y);
            pixel[0] = static_cast<std::uint8_t>(x * 7);
            pixel[1] = static_cast<std::uint8_t>(y * 11);
            pixel[2] = static_cast<std::uint8_t>(x + y);
            pixel[3] = static_cast<std::uint8_t>((x * y) % 256);
        }
    }
    return bitmap;
}

std::string encodeJpeg(int width, int height)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3, 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

// A PNG signature and a well-formed header chunk that claims the size, and nothing after it.
std::string pngHeaderClaiming(std::uint32_t width, std::uint32_t height)
{
    auto bigEndian = [](std::uint32_t value) {
        return std::string { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
    };
    std::string chunk = "IHDR" + bigEndian(width) + bigEndian(height) + std::string { 8, 6, 0, 0, 0 };
    auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size())));
    return std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + chunk + bigEndian(crc);
}

TEST(ImageCodec, pngRoundTripKeepsEveryPixel)
{
    auto original = gradient(13, 7);
    auto encoded = ui::encodePng(original);
    ASSERT_TRUE(encoded);
    auto decoded = ui::decodePicture(*encoded, "image/png");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 13);
    EXPECT_EQ(decoded->height, 7);
    EXPECT_EQ(decoded->rgba, original.rgba);
}

TEST(ImageCodec, decodesTheFixturePictures)
{
    auto png = ui::decodePicture(fixtures::tinyPng(), "image/png");
    ASSERT_TRUE(png);
    EXPECT_EQ(png->width, fixtures::tinyPngWidth);
    EXPECT_EQ(png->height, fixtures::tinyPngHeight);
    auto jpeg = ui::decodePicture(fixtures::tinyJpeg(), "image/jpeg");
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, fixtures::tinyJpegWidth);
    EXPECT_EQ(jpeg->height, fixtures::tinyJpegHeight);
    EXPECT_EQ(jpeg->pixel(0, 0)[3], 255);
}

TEST(ImageCodec, damagedOrForeignBytesDecodeToNothing)
{
    const std::string png = fixtures::tinyPng();
    const std::string jpeg = fixtures::tinyJpeg();
    struct Case {
        const char* what;
        std::string bytes;
        const char* mimeType;
    };
    const std::vector<Case> cases {
        { "empty", "", "image/png" },
        { "truncated PNG", png.substr(0, png.size() / 2), "image/png" },
        { "truncated JPEG", jpeg.substr(0, jpeg.size() / 2), "image/jpeg" },
        { "text called a PNG", "not a picture at all", "image/png" },
        { "text called a JPEG", "\xFF\xD8 not a picture", "image/jpeg" },
        { "a JPEG called a PNG", jpeg, "image/png" },
        { "a format the platform does not decode", png, "image/gif" },
        { "a PNG header claiming 100000 x 100000 pixels", pngHeaderClaiming(100000, 100000), "image/png" },
    };
    for (auto& example : cases)
        EXPECT_FALSE(ui::decodePicture(example.bytes, example.mimeType)) << example.what;
}

TEST(ImageCodec, largeJpegsDecodeSmallWhenAskedTo)
{
    auto bytes = encodeJpeg(256, 128);
    struct Case {
        int minimumSide;
        int width;
        int height;
    };
    for (auto example : std::vector<Case> { { 0, 256, 128 }, { 16, 32, 16 }, { 20, 64, 32 }, { 64, 128, 64 }, { 500, 256, 128 } }) {
        auto decoded = ui::decodePicture(bytes, "image/jpeg", example.minimumSide);
        ASSERT_TRUE(decoded) << example.minimumSide;
        EXPECT_EQ(decoded->width, example.width) << example.minimumSide;
        EXPECT_EQ(decoded->height, example.height) << example.minimumSide;
    }
}

TEST(ImageCodec, encodingRefusesABitmapWhosePixelsDoNotMatchItsSize)
{
    EXPECT_FALSE(ui::encodePng(ui::Bitmap {}));
    ui::Bitmap wrong { 4, 4, std::vector<std::uint8_t>(10) };
    EXPECT_FALSE(ui::encodePng(wrong));
}

}
