// Decoding PNG and JPEG pictures into bitmaps, and encoding bitmaps as PNG.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Bitmap.h"

#include <optional>
#include <string>

namespace ui {

// The most pixels a decoded picture may hold (64 megapixels, 256 MiB of RGBA): a larger PNG is
// not decoded, a larger JPEG is decoded at a reduced size.
inline constexpr long long maximumDecodedPixels = 64LL * 1024 * 1024;

// The picture's pixels; nothing for a format that cannot be decoded or damaged bytes.
std::optional<Bitmap> decodePicture(const std::string& bytes, const std::string& mimeType);
// The same, but a JPEG is decoded at the smallest of 1/1, 1/2, 1/4 or 1/8 of its size whose
// sides still reach minimumSide pixels (covers shown small decode small). PNGs come whole.
std::optional<Bitmap> decodePicture(
    const std::string& bytes, const std::string& mimeType, int minimumSide);
foundation::Result<std::string> encodePng(const Bitmap& bitmap);
// Whether a picture of that kind and size stays within what may be decoded: a PNG whole, a JPEG
// at an eighth of its sides, any other kind whole (the browser decodes it whole).
bool withinDecodedPixels(const std::string& mimeType, int width, int height);

}
