// PNG through libpng's simplified interface; JPEG through libjpeg with its errors turned into a
// failed decode instead of the library's default of ending the process.
#include "platform/ui/ImageCodec.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace ui {

namespace {

std::optional<Bitmap> decodePng(const std::string& bytes)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return std::nullopt;
    if (image.width == 0 || image.height == 0
        || static_cast<long long>(image.width) * image.height > maximumDecodedPixels) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    Bitmap bitmap;
    bitmap.width = static_cast<int>(image.width);
    bitmap.height = static_cast<int>(image.height);
    bitmap.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bitmap.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return bitmap;
}

struct JpegErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf escape;
};

[[noreturn]] void leaveDecode(j_common_ptr info)
{
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    std::longjmp(manager->escape, 1);
}

void ignoreMessage(j_common_ptr) { }

// Only plain C objects live between setjmp and longjmp here: the bitmap and the row buffer are
// owned by the caller, so an error raised at any step — the last, finishing the decode, included —
// frees nothing twice and skips no destructor.
bool decodeJpegInto(const std::string& bytes, int minimumSide, Bitmap& bitmap,
    std::vector<unsigned char>& rowBuffer)
{
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    info.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = leaveDecode;
    errors.standard.output_message = ignoreMessage;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
        static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    info.scale_num = 1;
    info.scale_denom = 1;
    long long width = info.image_width;
    long long height = info.image_height;
    for (unsigned denominator : { 8u, 4u, 2u }) {
        bool bigEnough = minimumSide > 0 && width / denominator >= minimumSide
            && height / denominator >= minimumSide;
        bool needed
            = (width / (denominator / 2)) * (height / (denominator / 2)) > maximumDecodedPixels;
        if (bigEnough || needed) {
            info.scale_denom = denominator;
            break;
        }
    }
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0
        || static_cast<long long>(info.output_width) * info.output_height > maximumDecodedPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    bitmap.width = static_cast<int>(info.output_width);
    bitmap.height = static_cast<int>(info.output_height);
    bitmap.rgba.assign(static_cast<std::size_t>(bitmap.width) * bitmap.height * 4, 255);
    rowBuffer.assign(static_cast<std::size_t>(bitmap.width) * 3, 0);
    while (info.output_scanline < info.output_height) {
        unsigned row = info.output_scanline;
        JSAMPROW rows[1] = { rowBuffer.data() };
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break;
        std::uint8_t* out = bitmap.pixel(0, static_cast<int>(row));
        for (int x = 0; x < bitmap.width; ++x) {
            out[x * 4] = rowBuffer[x * 3];
            out[x * 4 + 1] = rowBuffer[x * 3 + 1];
            out[x * 4 + 2] = rowBuffer[x * 3 + 2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

std::optional<Bitmap> decodeJpeg(const std::string& bytes, int minimumSide)
{
    Bitmap bitmap;
    std::vector<unsigned char> rowBuffer;
    if (!decodeJpegInto(bytes, minimumSide, bitmap, rowBuffer))
        return std::nullopt;
    return bitmap;
}

}

std::optional<Bitmap> decodePicture(const std::string& bytes, const std::string& mimeType)
{
    return decodePicture(bytes, mimeType, 0);
}

std::optional<Bitmap> decodePicture(
    const std::string& bytes, const std::string& mimeType, int minimumSide)
{
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    if (mimeType == "image/png")
        return decodePng(bytes);
    if (mimeType == "image/jpeg")
        return decodeJpeg(bytes, minimumSide);
    return std::nullopt;
}

bool withinDecodedPixels(const std::string& mimeType, int width, int height)
{
    long long reduction = mimeType == "image/jpeg" ? 8 : 1;
    return width > 0 && height > 0
        && (width / reduction) * (height / reduction) <= maximumDecodedPixels;
}

foundation::Result<std::string> encodePng(const Bitmap& bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0
        || bitmap.rgba.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height * 4)
        return foundation::Error("the bitmap is empty or its pixels do not match its size");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bitmap.width);
    image.height = static_cast<png_uint_32>(bitmap.height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, bitmap.rgba.data(), 0, nullptr))
        return foundation::Error(std::string("PNG encoding failed: ") + image.message);
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, bitmap.rgba.data(), 0, nullptr))
        return foundation::Error(std::string("PNG encoding failed: ") + image.message);
    bytes.resize(size);
    return bytes;
}

}
