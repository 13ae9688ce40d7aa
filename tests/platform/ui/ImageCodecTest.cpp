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
    ui::Bitmap bitmap { width, height,
        std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4) };
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
    std::string chunk
        = "IHDR" + bigEndian(width) + bigEndian(height) + std::string { 8, 6, 0, 0, 0 };
    auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size())));
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
        { "a PNG header claiming 100000 x 100000 pixels", pngHeaderClaiming(100000, 100000),
            "image/png" },
    };
    for (auto& example : cases)
        EXPECT_FALSE(ui::decodePicture(example.bytes, example.mimeType)) << example.what;
}

// The fixture pictures' sizes are checked where covers are read (FolioReaderCover).
TEST(ImageCodec, largeJpegsDecodeOpaqueAndSmallWhenAskedTo)
{
    auto bytes = encodeJpeg(256, 128);
    struct Case {
        int minimumSide;
        int width;
        int height;
    };
    for (auto example : std::vector<Case> { { 0, 256, 128 }, { 16, 32, 16 }, { 20, 64, 32 },
             { 64, 128, 64 }, { 500, 256, 128 } }) {
        auto decoded = ui::decodePicture(bytes, "image/jpeg", example.minimumSide);
        ASSERT_TRUE(decoded) << example.minimumSide;
        EXPECT_EQ(decoded->width, example.width) << example.minimumSide;
        EXPECT_EQ(decoded->height, example.height) << example.minimumSide;
        EXPECT_EQ(decoded->pixel(0, 0)[3], 255) << "a JPEG decodes opaque";
    }
}

TEST(ImageCodec, encodingRefusesABitmapWhosePixelsDoNotMatchItsSize)
{
    EXPECT_FALSE(ui::encodePng(ui::Bitmap {}));
    ui::Bitmap wrong { 4, 4, std::vector<std::uint8_t>(10) };
    EXPECT_FALSE(ui::encodePng(wrong));
}

// A JPEG found by fuzzing whose error is raised only while the decode is being finished, after
// every row was read: the row buffer was freed, then freed again on the error's path.
const std::string jpegFailingAtItsEnd(
    "\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb\x00"
    "\x43\x00\x06\x04\x05\x06\x05\x04\x06"
    "\x06\x05\x06\x07\x07\x06\x08\x0a\x10\x0a\x0a\x09\x09\x0a\x14\x0e\x0f\x0c\x10\x17\x14\x18\x18"
    "\x17\x14\x16\x16\x1a\x1d\x25\x1f\x1a"
    "\x1b\x23\x1c\x16\x16\x20\x2c\x20\x23\x26\x27\x29\x2a\x29\x19\x1f\x2d\x30\x2d\x28\x30\x25\x28"
    "\x29\x28\xff\xdb\x00\x43\x01\x07\x07"
    "\x07\x0a\x08\x0a\x13\x0a\x0a\x13\x28\x1a\x16\x1a\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28"
    "\x28\x28\x28\x28\x28\x28\x28\x28\x28"
    "\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28\x28"
    "\x28\x28\x28\x28\x28\x28\x28\xff\xc0"
    "\x00\x11\x08\x00\x02\x00\x05\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xc4\x00\x1f\x00\x00"
    "\x01\x05\x01\x01\x01\x01\x01\x01\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\xff\xc4\x00\xb5\x10"
    "\x00\x02\x01\x03\x03\x02\x04\x03\x05"
    "\x05\x04\x04\x00\x00\x01\x7d\x01\x02\x03\x00\x04\x11\x05\x12\x21\x31\x41\x06\x13\x51\x61\x07"
    "\x38\x39\x3a\x43\x44\x45\x46\x47\x48"
    "\x49\x4a\x53\x54\x55\x56\x57\x58\x59\x5a\x63\x64\x65\x66\x67\x68\x69\x6a\x73\x74\x75\x76\x77"
    "\x78\x79\x7a\x83\x84\x85\x86\x87\x88"
    "\x89\x8a\x92\x93\x94\x95\x96\x97\x98\x99\x9a\xa2\xa3\xa4\xa5\xa6\xa7\xa8\xa9\xaa\xb2\xb3\xb4"
    "\xb5\xb6\xb7\xb8\xb9\xba\xc2\xc3\xc4"
    "\xc5\xc6\xc7\xc8\xc9\xca\xd2\xd3\xd4\xd5\xd6\xd7\xd8\xd9\xda\xe1\xe2\xe3\xe4\xe5\xe6\xe7\xe8"
    "\xe9\xea\xf1\xf2\xf3\xf4\xf5\xf6\xf7"
    "\xf8\xf9\xfa\xff\xc4\x00\x1f\x01\x00\x03\x01\x01\x01\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00"
    "\x00\x00\x01\x02\x03\x04\x05\x06\x07"
    "\x08\x09\x0a\x0b\xff\xc4\x00\xb5\x11\x00\x02\x01\x02\x04\x04\x03\x04\x07\x05\x04\x04\x00\x01"
    "\x02\x77\x00\x01\x02\x03\x11\x04\x05"
    "\x21\x31\x06\x12\x41\x51\x07\x61\x71\x13\x22\x32\x81\x08\x14\x42\x91\xa1\xb1\xc1\x09\x23\x33"
    "\x52\xf0\x15\x62\x72\xd1\x0a\x16\x24"
    "\x34\xe1\x25\xf1\x17\x18\x19\x1a\x26\x27\x28\x29\x2a\x35\x36\x37\x38\x39\x3a\x43\x44\x45\x46"
    "\x47\x48\x49\x4a\x53\x54\x55\x56\x57"
    "\x58\x59\x5a\x63\x64\x65\x66\x67\x68\x69\x6a\x73\x74\x75\x76\x77\x78\x79\x7a\x82\x83\x84\x85"
    "\x86\x87\x88\x89\x8a\x92\x93\x94\x95"
    "\x96\x97\x98\x99\x9a\xa2\xa3\xa4\xa5\xa6\xa7\xa8\xa9\xaa\xb2\xb3\xb4\xb5\xb6\xb7\xb8\xb9\xba"
    "\xc2\xc3\xc4\xc5\xc6\xc7\xc8\xc9\xca"
    "\xd2\xd3\xd4\xd5\xd6\xd7\xd8\xd9\xda\xe2\xe3\xe4\xe5\xe6\xe7\xe8\xe9\xea\xf2\xf3\xf4\xf5\xf6"
    "\xf7\xf8\xf9\xfa\xff\xda\x00\x0c\x03"
    "\x01\x00\x02\x11\x03\x11\x00\x3f\x00\xf3\x0a\x28\xa2\xbf\x4f\x3c\x13\xe4\xe5\xe6\xe7\xe8\xe9"
    "\xea\xf2\xf3\xf4\xf5\xf6\xf7\xf8\xf9"
    "\xfa\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00\xf3\x0a\x28\xa2\xbf\x4f\x3c\x13"
    "\xff\xd9",
    633);

TEST(ImageCodec, aJpegWhoseErrorComesAfterItsLastRowIsRefusedCleanly)
{
    for (int minimumSide : { 0, 1, 40 })
        EXPECT_FALSE(ui::decodePicture(jpegFailingAtItsEnd, "image/jpeg", minimumSide))
            << minimumSide;
}

}
