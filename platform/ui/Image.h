// Image: a picture with a size in points and a scale, held as encoded bytes (PNG, JPEG, GIF,
// WebP, SVG) or as a bitmap. Encoded pictures are decoded only when a bitmap is asked for.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Geometry.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {

class Image {
public:
    // The application's image resource of that name from resources/ (name@2x.png and name@3x.png
    // preferred at those scales, else name.png); nothing when there is none.
    static std::shared_ptr<Image> named(const std::string& name);
    // A picture from encoded bytes; an error when they are no picture whose size can be read.
    static foundation::Result<std::shared_ptr<Image>> withData(std::string bytes, double scale = 1);
    static std::shared_ptr<Image> withBitmap(Bitmap bitmap, double scale = 1);

    // Size in points: pixels divided by the scale.
    Size size() const;
    double scale() const { return m_scale; }
    int pixelWidth() const { return m_pixelWidth; }
    int pixelHeight() const { return m_pixelHeight; }

    // The encoded bytes and their media type ("image/png", ...), when the picture came encoded.
    const std::string& data() const { return m_data; }
    const std::string& mimeType() const { return m_mimeType; }

    // The picture's pixels, decoded on first use; nothing when it cannot be decoded.
    const Bitmap* bitmap() const;
    // The picture as PNG bytes (the encoded bytes themselves when it already is one).
    foundation::Result<std::string> pngData() const;

private:
    Image() = default;

    std::string m_data;
    std::string m_mimeType;
    double m_scale = 1;
    int m_pixelWidth = 0;
    int m_pixelHeight = 0;
    mutable std::optional<Bitmap> m_bitmap;
    mutable bool m_decodeTried = false;
};

}
