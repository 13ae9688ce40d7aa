// Tinting through an offscreen context: flip to the bitmap's orientation, clip to the image's
// coverage, fill with the colour.
#include "screen/TintedImage.h"

#include "platform/ui/GraphicsContext.h"

std::shared_ptr<ui::Image> tintedImage(
    const std::shared_ptr<ui::Image>& image, const ui::Color& color)
{
    if (!image)
        return nullptr;
    ui::Size size = image->size();
    ui::Rect area = ui::makeRect(0, 0, size.width, size.height);
    ui::beginImageContextWithOptions(size, false, image->scale());
    ui::GraphicsContext* context = ui::getCurrentContext();
    if (context) {
        context->translateCTM(0, size.height);
        context->scaleCTM(1, -1);
        context->setBlendMode(ui::BlendMode::normal);
    }
    const ui::Bitmap* bitmap = image->bitmap();
    if (bitmap && context)
        context->clipToMask(area, *bitmap);
    if (context) {
        context->setFillColor(color);
        context->fillRect(area);
    }
    auto tinted = ui::getImageFromCurrentImageContext();
    ui::endImageContext();
    return tinted;
}
