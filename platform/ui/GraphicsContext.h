// GraphicsContext: an offscreen RGBA drawing surface with a current transform (translation and
// scale), a blend mode, a clip made from image masks and a fill colour. Coordinates are in points
// with the origin at the top left; the context's pixels are points times its scale.
//
// Images drawn as masks follow the bitmap convention of the drawing layer: an image's first row
// lies at the top of its rectangle in a y-up space. In the context's y-down space that shows
// upside down, which is why callers flip the transform (translate by the height, scale y by -1)
// before they use an image as a mask.
#pragma once

#include "platform/ui/Bitmap.h"
#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"

#include <memory>
#include <vector>

namespace ui {

enum class BlendMode { normal = 0, clear = 16, copy = 17 };

class GraphicsContext {
public:
    // The largest side, in pixels, of a context; larger requests make no context.
    static constexpr int maximumPixelSide = 8192;

    // A context of the size in points at the scale; nothing when the size or scale is unusable.
    static std::unique_ptr<GraphicsContext> make(Size size, bool opaque, double scale);

    Size size() const { return m_size; }
    double scale() const { return m_scale; }
    const Bitmap& bitmap() const { return m_bitmap; }

    void translateCTM(double x, double y);
    void scaleCTM(double x, double y);
    void setBlendMode(BlendMode mode) { m_blendMode = mode; }
    // Limits painting to where the mask, drawn into the rectangle, is opaque: the mask's alpha is
    // the coverage. Outside the rectangle nothing can be painted any more.
    void clipToMask(Rect rect, const Bitmap& mask);
    void setFillColor(Color color) { m_fillColor = color; }
    void fillRect(Rect rect);

    // The content as an image at the context's scale.
    std::shared_ptr<Image> makeImage() const;

private:
    GraphicsContext(Size size, int pixelWidth, int pixelHeight, bool opaque, double scale);
    // The device pixel range covered by a rectangle in user space.
    struct PixelSpan {
        int x0, y0, x1, y1;
    };
    PixelSpan deviceSpan(Rect rect) const;
    void blendPixel(std::uint8_t* pixel, double coverage) const;

    Size m_size;
    double m_scale;
    Bitmap m_bitmap;
    std::vector<float> m_clip; // coverage per pixel; empty while nothing is clipped
    // user → device: x' = m_a * x + m_tx, y' = m_d * y + m_ty
    double m_a, m_d, m_tx = 0, m_ty = 0;
    BlendMode m_blendMode = BlendMode::normal;
    Color m_fillColor = Color::blackColor();
};

// The current-context stack of image drawing: begin pushes a context (or nothing, when it cannot
// be made, so that end still pairs with begin), end pops it.
void beginImageContextWithOptions(Size size, bool opaque, double scale);
GraphicsContext* getCurrentContext();
std::shared_ptr<Image> getImageFromCurrentImageContext();
void endImageContext();

}
