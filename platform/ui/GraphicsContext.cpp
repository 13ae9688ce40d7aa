// Pixel operations of the offscreen context, and its stack.
#include "platform/ui/GraphicsContext.h"

#include <algorithm>
#include <cmath>

namespace ui {

std::unique_ptr<GraphicsContext> GraphicsContext::make(Size size, bool opaque, double scale)
{
    if (!std::isfinite(scale) || scale <= 0)
        scale = 1;
    double width = size.width * scale;
    double height = size.height * scale;
    if (!std::isfinite(width) || !std::isfinite(height) || width < 0.5 || height < 0.5
        || width > maximumPixelSide || height > maximumPixelSide)
        return nullptr;
    return std::unique_ptr<GraphicsContext>(
        new GraphicsContext(size, static_cast<int>(std::lround(width)),
            static_cast<int>(std::lround(height)), opaque, scale));
}

GraphicsContext::GraphicsContext(
    Size size, int pixelWidth, int pixelHeight, bool opaque, double scale)
    : m_size(size)
    , m_scale(scale)
    , m_a(scale)
    , m_d(scale)
{
    m_bitmap.width = pixelWidth;
    m_bitmap.height = pixelHeight;
    m_bitmap.rgba.assign(static_cast<std::size_t>(pixelWidth) * pixelHeight * 4, 0);
    if (opaque) {
        for (std::size_t alpha = 3; alpha < m_bitmap.rgba.size(); alpha += 4)
            m_bitmap.rgba[alpha] = 255;
    }
}

void GraphicsContext::translateCTM(double x, double y)
{
    m_tx += m_a * x;
    m_ty += m_d * y;
}

void GraphicsContext::scaleCTM(double x, double y)
{
    m_a *= x;
    m_d *= y;
}

GraphicsContext::PixelSpan GraphicsContext::deviceSpan(Rect rect) const
{
    double xa = m_a * rect.minX() + m_tx, xb = m_a * rect.maxX() + m_tx;
    double ya = m_d * rect.minY() + m_ty, yb = m_d * rect.maxY() + m_ty;
    // A pixel belongs to the rectangle when its centre does.
    auto first = [](double edge) { return static_cast<int>(std::ceil(edge - 0.5)); };
    int x0 = first(std::min(xa, xb)), x1 = first(std::max(xa, xb));
    int y0 = first(std::min(ya, yb)), y1 = first(std::max(ya, yb));
    return { std::clamp(x0, 0, m_bitmap.width), std::clamp(y0, 0, m_bitmap.height),
        std::clamp(x1, 0, m_bitmap.width), std::clamp(y1, 0, m_bitmap.height) };
}

void GraphicsContext::clipToMask(Rect rect, const Bitmap& mask)
{
    std::size_t pixels = static_cast<std::size_t>(m_bitmap.width) * m_bitmap.height;
    if (m_clip.empty())
        m_clip.assign(pixels, 1.0f);
    bool usableMask = mask.width > 0 && mask.height > 0
        && mask.rgba.size() >= static_cast<std::size_t>(mask.width) * mask.height * 4
        && rect.size.width > 0 && rect.size.height > 0;
    for (int y = 0; y < m_bitmap.height; ++y) {
        for (int x = 0; x < m_bitmap.width; ++x) {
            float& coverage = m_clip[static_cast<std::size_t>(y) * m_bitmap.width + x];
            if (!usableMask || m_a == 0 || m_d == 0) {
                coverage = 0;
                continue;
            }
            double userX = (x + 0.5 - m_tx) / m_a;
            double userY = (y + 0.5 - m_ty) / m_d;
            if (userX < rect.minX() || userX >= rect.maxX() || userY < rect.minY()
                || userY >= rect.maxY()) {
                coverage = 0;
                continue;
            }
            // The mask's first row at the rectangle's top in y-up terms: its largest y.
            int maskX = static_cast<int>((userX - rect.minX()) / rect.size.width * mask.width);
            int maskY = static_cast<int>((rect.maxY() - userY) / rect.size.height * mask.height);
            maskX = std::clamp(maskX, 0, mask.width - 1);
            maskY = std::clamp(maskY, 0, mask.height - 1);
            coverage *= mask.pixel(maskX, maskY)[3] / 255.0f;
        }
    }
}

void GraphicsContext::blendPixel(std::uint8_t* pixel, double coverage) const
{
    double sourceAlpha = m_fillColor.alpha * coverage;
    double source[3] = { m_fillColor.red, m_fillColor.green, m_fillColor.blue };
    double destinationAlpha = pixel[3] / 255.0;
    double destination[3] = { pixel[0] / 255.0, pixel[1] / 255.0, pixel[2] / 255.0 };
    double outAlpha = 0;
    double out[3] = { 0, 0, 0 };
    switch (m_blendMode) {
    case BlendMode::normal:
        outAlpha = sourceAlpha + destinationAlpha * (1 - sourceAlpha);
        for (int channel = 0; channel < 3; ++channel) {
            double premultiplied = source[channel] * sourceAlpha
                + destination[channel] * destinationAlpha * (1 - sourceAlpha);
            out[channel] = outAlpha > 0 ? premultiplied / outAlpha : 0;
        }
        break;
    case BlendMode::copy:
        outAlpha = m_fillColor.alpha * coverage + destinationAlpha * (1 - coverage);
        for (int channel = 0; channel < 3; ++channel) {
            double premultiplied = source[channel] * m_fillColor.alpha * coverage
                + destination[channel] * destinationAlpha * (1 - coverage);
            out[channel] = outAlpha > 0 ? premultiplied / outAlpha : 0;
        }
        break;
    case BlendMode::clear:
        outAlpha = destinationAlpha * (1 - coverage);
        for (int channel = 0; channel < 3; ++channel)
            out[channel] = destination[channel];
        break;
    }
    for (int channel = 0; channel < 3; ++channel)
        pixel[channel]
            = static_cast<std::uint8_t>(std::lround(std::clamp(out[channel], 0.0, 1.0) * 255));
    pixel[3] = static_cast<std::uint8_t>(std::lround(std::clamp(outAlpha, 0.0, 1.0) * 255));
}

void GraphicsContext::fillRect(Rect rect)
{
    auto span = deviceSpan(rect);
    for (int y = span.y0; y < span.y1; ++y) {
        for (int x = span.x0; x < span.x1; ++x) {
            double coverage
                = m_clip.empty() ? 1.0 : m_clip[static_cast<std::size_t>(y) * m_bitmap.width + x];
            if (coverage > 0)
                blendPixel(m_bitmap.pixel(x, y), coverage);
        }
    }
}

std::shared_ptr<Image> GraphicsContext::makeImage() const
{
    return Image::withBitmap(m_bitmap, m_scale);
}

namespace {
std::vector<std::unique_ptr<GraphicsContext>>& contextStack()
{
    thread_local std::vector<std::unique_ptr<GraphicsContext>> stack;
    return stack;
}
}

void beginImageContextWithOptions(Size size, bool opaque, double scale)
{
    contextStack().push_back(GraphicsContext::make(size, opaque, scale));
}

GraphicsContext* getCurrentContext()
{
    auto& stack = contextStack();
    return stack.empty() ? nullptr : stack.back().get();
}

std::shared_ptr<Image> getImageFromCurrentImageContext()
{
    auto* context = getCurrentContext();
    return context ? context->makeImage() : nullptr;
}

void endImageContext()
{
    auto& stack = contextStack();
    if (!stack.empty())
        stack.pop_back();
}

}
