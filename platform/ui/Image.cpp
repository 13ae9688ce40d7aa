// Image construction and the reading of picture sizes from encoded headers.
#include "platform/ui/Image.h"

#include "platform/ui/ImageCodec.h"

#include <cstdint>
#include <fstream>
#include <sstream>

namespace ui {

namespace {

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at)
{
    return (std::uint32_t(std::uint8_t(bytes[at])) << 24)
        | (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16)
        | (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8)
        | std::uint32_t(std::uint8_t(bytes[at + 3]));
}

std::uint16_t bigEndian16(const std::string& bytes, std::size_t at)
{
    return std::uint16_t((std::uint8_t(bytes[at]) << 8) | std::uint8_t(bytes[at + 1]));
}

std::uint16_t littleEndian16(const std::string& bytes, std::size_t at)
{
    return std::uint16_t(std::uint8_t(bytes[at]) | (std::uint8_t(bytes[at + 1]) << 8));
}

struct PictureHeader {
    std::string mimeType;
    int width = 0;
    int height = 0;
};

std::optional<PictureHeader> readJpegHeader(const std::string& bytes)
{
    std::size_t at = 2;
    while (at + 9 < bytes.size()) {
        if (std::uint8_t(bytes[at]) != 0xFF)
            return std::nullopt;
        std::uint8_t marker = std::uint8_t(bytes[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
            && marker != 0xCC;
        if (startOfFrame)
            return PictureHeader { "image/jpeg", bigEndian16(bytes, at + 7),
                bigEndian16(bytes, at + 5) };
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        at += 2 + bigEndian16(bytes, at + 2);
    }
    return std::nullopt;
}

std::optional<PictureHeader> readHeader(const std::string& bytes)
{
    if (bytes.size() >= 24 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0
        && bytes.compare(12, 4, "IHDR") == 0)
        return PictureHeader { "image/png", int(bigEndian32(bytes, 16)),
            int(bigEndian32(bytes, 20)) };
    if (bytes.size() >= 4 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xD8)
        return readJpegHeader(bytes);
    if (bytes.size() >= 10
        && (bytes.compare(0, 6, "GIF87a") == 0 || bytes.compare(0, 6, "GIF89a") == 0))
        return PictureHeader { "image/gif", littleEndian16(bytes, 6), littleEndian16(bytes, 8) };
    if (bytes.size() >= 30 && bytes.compare(0, 4, "RIFF") == 0
        && bytes.compare(8, 4, "WEBP") == 0) {
        if (bytes.compare(12, 4, "VP8X") == 0) {
            int width = 1
                + (std::uint8_t(bytes[24]) | std::uint8_t(bytes[25]) << 8
                    | std::uint8_t(bytes[26]) << 16);
            int height = 1
                + (std::uint8_t(bytes[27]) | std::uint8_t(bytes[28]) << 8
                    | std::uint8_t(bytes[29]) << 16);
            return PictureHeader { "image/webp", width, height };
        }
        if (bytes.compare(12, 4, "VP8 ") == 0)
            return PictureHeader { "image/webp", littleEndian16(bytes, 26) & 0x3FFF,
                littleEndian16(bytes, 28) & 0x3FFF };
        if (bytes.compare(12, 4, "VP8L") == 0) {
            std::uint32_t bits = std::uint8_t(bytes[21]) | std::uint8_t(bytes[22]) << 8
                | std::uint8_t(bytes[23]) << 16 | std::uint32_t(std::uint8_t(bytes[24])) << 24;
            return PictureHeader { "image/webp", int((bits & 0x3FFF) + 1),
                int(((bits >> 14) & 0x3FFF) + 1) };
        }
    }
    return std::nullopt;
}

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

}

std::shared_ptr<Image> Image::named(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos)
        return nullptr;
    const std::string base = std::string(PAGEWYN_RESOURCES_DIR) + "/images/" + name;
    for (auto [suffix, scale] :
        { std::pair { "@3x.png", 3.0 }, { "@2x.png", 2.0 }, { ".png", 1.0 } }) {
        if (auto bytes = readFile(base + suffix)) {
            if (auto image = withData(std::move(*bytes), scale))
                return *image;
        }
    }
    return nullptr;
}

foundation::Result<std::shared_ptr<Image>> Image::withData(std::string bytes, double scale)
{
    auto header = readHeader(bytes);
    if (!header || header->width <= 0 || header->height <= 0)
        return foundation::Error("not a picture in a known format (PNG, JPEG, GIF or WebP)");
    auto image = std::shared_ptr<Image>(new Image());
    image->m_data = std::move(bytes);
    image->m_mimeType = header->mimeType;
    image->m_pixelWidth = header->width;
    image->m_pixelHeight = header->height;
    image->m_scale = scale > 0 ? scale : 1;
    return image;
}

std::shared_ptr<Image> Image::withBitmap(Bitmap bitmap, double scale)
{
    auto image = std::shared_ptr<Image>(new Image());
    image->m_pixelWidth = bitmap.width;
    image->m_pixelHeight = bitmap.height;
    image->m_scale = scale > 0 ? scale : 1;
    image->m_bitmap = std::move(bitmap);
    image->m_decodeTried = true;
    return image;
}

Size Image::size() const
{
    return { m_pixelWidth / m_scale, m_pixelHeight / m_scale };
}

const Bitmap* Image::bitmap() const
{
    if (!m_decodeTried) {
        m_decodeTried = true;
        if (auto decoded = decodePicture(m_data, m_mimeType))
            m_bitmap = std::move(*decoded);
    }
    return m_bitmap ? &*m_bitmap : nullptr;
}

foundation::Result<std::string> Image::pngData() const
{
    if (m_mimeType == "image/png")
        return m_data;
    auto* pixels = bitmap();
    if (!pixels)
        return foundation::Error("the picture cannot be decoded");
    return encodePng(*pixels);
}

}
