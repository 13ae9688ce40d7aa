// The alert's snapshot: kind "alert", the plain title and message, and its actions in order.
#include "platform/host/AlertSnapshot.h"

namespace host {

namespace {

const char* actionStyleName(ui::AlertActionStyle style)
{
    switch (style) {
    case ui::AlertActionStyle::cancel: return "cancel";
    case ui::AlertActionStyle::destructive: return "destructive";
    case ui::AlertActionStyle::defaultStyle: return "default";
    }
    return "default";
}

}

nlohmann::json alertSnapshot(ui::AlertController& alert)
{
    nlohmann::json json = { { "kind", "alert" }, { "controller", alert.className() } };
    if (alert.title())
        json["title"] = *alert.title();
    if (alert.message())
        json["message"] = *alert.message();
    auto actions = nlohmann::json::array();
    for (auto& action : alert.actions())
        actions.push_back({ { "title", action->title() }, { "style", actionStyleName(action->style()) } });
    json["actions"] = std::move(actions);
    return json;
}

}
