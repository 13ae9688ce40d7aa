// ImageView: shows an image inside its frame, scaled by its content mode.
#pragma once

#include "platform/ui/Image.h"
#include "platform/ui/View.h"

namespace ui {

enum class ContentMode { scaleToFill = 0, scaleAspectFit = 1, scaleAspectFill = 2, center = 4 };

class ImageView : public View {
public:
    std::string className() const override { return "ImageView"; }

    const std::shared_ptr<Image>& image() const { return m_image; }
    void setImage(std::shared_ptr<Image> image) { m_image = std::move(image); }
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode) { m_contentMode = mode; }

private:
    std::shared_ptr<Image> m_image;
    ContentMode m_contentMode = ContentMode::scaleToFill;
};

}
