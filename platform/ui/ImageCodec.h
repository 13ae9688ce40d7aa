// Decoding PNG and JPEG pictures into bitmaps, and encoding bitmaps as PNG.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Bitmap.h"

#include <optional>
#include <string>

namespace ui {

// The picture's pixels; nothing for a format that cannot be decoded or damaged bytes.
std::optional<Bitmap> decodePicture(const std::string& bytes, const std::string& mimeType);
foundation::Result<std::string> encodePng(const Bitmap& bitmap);

}
