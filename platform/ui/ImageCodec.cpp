// Picture decoding and PNG encoding (filled in with libpng and libjpeg by the view layer).
#include "platform/ui/ImageCodec.h"

namespace ui {

std::optional<Bitmap> decodePicture(const std::string&, const std::string&)
{
    return std::nullopt;
}

foundation::Result<std::string> encodePng(const Bitmap&)
{
    return foundation::Error("PNG encoding is not available");
}

}
