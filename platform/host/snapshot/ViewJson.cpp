// Each kind of view adds what it draws to the common part: frame, colours, rounding, name.
#include "platform/host/snapshot/ViewJson.h"

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"

namespace host {

namespace {

// Deeper trees are cut off: no screen of ours nests views this deep.
constexpr int maximumDepth = 64;

const char* contentModeName(ui::ContentMode mode)
{
    switch (mode) {
    case ui::ContentMode::scaleToFill:
        return "scaleToFill";
    case ui::ContentMode::scaleAspectFit:
        return "scaleAspectFit";
    case ui::ContentMode::scaleAspectFill:
        return "scaleAspectFill";
    case ui::ContentMode::center:
        return "center";
    }
    return "scaleToFill";
}

const char* horizontalAlignmentName(ui::ContentHorizontalAlignment alignment)
{
    switch (alignment) {
    case ui::ContentHorizontalAlignment::center:
        return "center";
    case ui::ContentHorizontalAlignment::left:
        return "left";
    case ui::ContentHorizontalAlignment::right:
        return "right";
    case ui::ContentHorizontalAlignment::fill:
        return "fill";
    }
    return "center";
}

void addLabel(nlohmann::json& json, const ui::Label& label)
{
    json["text"] = label.text();
    json["font"] = { { "name", label.font()->fontName() }, { "size", label.font()->pointSize() } };
    json["textColor"] = colorJson(label.textColor());
    json["alignment"] = alignmentName(label.textAlignment());
    if (label.numberOfLines() != 1)
        json["lines"] = label.numberOfLines();
}

void addControl(nlohmann::json& json, const ui::Control& control)
{
    auto events = nlohmann::json::array();
    bool touchUpInside = false;
    for (auto& binding : control.bindings())
        touchUpInside = touchUpInside || (binding.events & ui::ControlEvent::touchUpInside);
    if (touchUpInside)
        events.push_back("touchUpInside");
    json["events"] = std::move(events);
    json["contentAlignment"] = horizontalAlignmentName(control.contentHorizontalAlignment());
}

void addButton(nlohmann::json& json, const ui::Button& button, ImageRegistry& images)
{
    auto state = ui::ControlStateFlag::normal;
    if (auto image = imageJson(button.imageForState(state), images); !image.is_null())
        json["image"] = std::move(image);
    if (auto title = button.titleForState(state))
        json["title"] = *title;
}

nlohmann::json describe(const ui::View& view, ImageRegistry& images, int depth)
{
    auto frame = view.frame();
    nlohmann::json json = {
        { "id", view.viewId() },
        { "class", view.className() },
        { "frame", { frame.origin.x, frame.origin.y, frame.size.width, frame.size.height } },
    };
    if (view.backgroundColor())
        json["background"] = colorJson(*view.backgroundColor());
    if (view.alpha() != 1)
        json["alpha"] = view.alpha();
    if (view.isHidden())
        json["hidden"] = true;
    if (view.layer().cornerRadius() > 0)
        json["cornerRadius"] = view.layer().cornerRadius();
    if (!view.accessibilityLabel().empty())
        json["label"] = view.accessibilityLabel();

    if (auto* label = dynamic_cast<const ui::Label*>(&view))
        addLabel(json, *label);
    if (auto* imageView = dynamic_cast<const ui::ImageView*>(&view)) {
        json["image"] = imageJson(imageView->image(), images);
        json["contentMode"] = contentModeName(imageView->contentMode());
    }
    if (auto* control = dynamic_cast<const ui::Control*>(&view))
        addControl(json, *control);
    if (auto* button = dynamic_cast<const ui::Button*>(&view))
        addButton(json, *button, images);

    // A table draws its own rows, as the screen's snapshot describes them.
    if (dynamic_cast<const ui::TableView*>(&view) || depth >= maximumDepth)
        return json;
    auto subviews = nlohmann::json::array();
    for (auto& subview : view.subviews()) {
        if (subview && !subview->isHidden())
            subviews.push_back(describe(*subview, images, depth + 1));
    }
    if (!subviews.empty())
        json["subviews"] = std::move(subviews);
    return json;
}

}

const char* alignmentName(ui::TextAlignment alignment)
{
    switch (alignment) {
    case ui::TextAlignment::left:
        return "left";
    case ui::TextAlignment::center:
        return "center";
    case ui::TextAlignment::right:
        return "right";
    case ui::TextAlignment::justified:
        return "justify";
    case ui::TextAlignment::natural:
        return "start";
    }
    return "start";
}

nlohmann::json colorJson(const ui::Color& color)
{
    return { color.red, color.green, color.blue, color.alpha };
}

nlohmann::json imageJson(const std::shared_ptr<ui::Image>& image, ImageRegistry& images)
{
    if (!image)
        return nullptr;
    auto id = images.idFor(image);
    if (!id)
        return nullptr;
    auto size = image->size();
    return { { "id", *id }, { "width", size.width }, { "height", size.height } };
}

nlohmann::json viewJson(const ui::View& view, ImageRegistry& images)
{
    return describe(view, images, 0);
}

}
