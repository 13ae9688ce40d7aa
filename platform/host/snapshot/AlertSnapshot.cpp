// The alert's snapshot: styled text as runs, the panel's colours and the actions in order.
#include "platform/host/snapshot/AlertSnapshot.h"

#include "platform/host/snapshot/ViewJson.h"

#include <string_view>

namespace host {

namespace {

const char* actionStyleName(ui::AlertActionStyle style)
{
    switch (style) {
    case ui::AlertActionStyle::cancel:
        return "cancel";
    case ui::AlertActionStyle::destructive:
        return "destructive";
    case ui::AlertActionStyle::defaultStyle:
        return "default";
    }
    return "default";
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Face names carry their cut after a hyphen ("Arial-Bold", "System-Bold", "Times-BoldItalic"),
// so the browser can use the family with its weight and slant when it has no face of that name.
nlohmann::json fontJson(const ui::Font& font)
{
    std::string_view name = font.fontName();
    std::string_view family = name;
    bool bold = false;
    bool italic = false;
    if (endsWith(name, "-BoldItalic")) {
        bold = italic = true;
        family.remove_suffix(std::string_view("-BoldItalic").size());
    } else if (endsWith(name, "-Bold")) {
        bold = true;
        family.remove_suffix(std::string_view("-Bold").size());
    } else if (endsWith(name, "-Italic")) {
        italic = true;
        family.remove_suffix(std::string_view("-Italic").size());
    }
    return { { "name", name }, { "family", family }, { "size", font.pointSize() }, { "bold", bold },
        { "italic", italic } };
}

}

nlohmann::json runsJson(const ui::AttributedString& text)
{
    auto runs = nlohmann::json::array();
    for (const auto& run : text.runs()) {
        nlohmann::json json
            = { { "text", run.text }, { "alignment", alignmentName(run.attributes.alignment) } };
        if (run.attributes.font)
            json["font"] = fontJson(*run.attributes.font);
        if (run.attributes.foregroundColor)
            json["color"] = colorJson(*run.attributes.foregroundColor);
        runs.push_back(std::move(json));
    }
    return runs;
}

nlohmann::json alertSnapshot(ui::AlertController& alert)
{
    nlohmann::json json = { { "kind", "alert" }, { "controller", alert.className() } };
    if (alert.attributedTitle())
        json["titleRuns"] = runsJson(*alert.attributedTitle());
    else if (alert.title())
        json["title"] = *alert.title();
    if (alert.attributedMessage())
        json["messageRuns"] = runsJson(*alert.attributedMessage());
    else if (alert.message())
        json["message"] = *alert.message();

    // Where the application coloured the alert's panel or tinted its buttons, the browser does too.
    nlohmann::json panel = nlohmann::json::object();
    if (auto container = alert.contentContainer(); container && container->backgroundColor())
        panel["background"] = colorJson(*container->backgroundColor());
    if (auto tint = alert.view()->tintColor())
        panel["tint"] = colorJson(*tint);
    json["panel"] = std::move(panel);

    auto actions = nlohmann::json::array();
    for (auto& action : alert.actions())
        actions.push_back(
            { { "title", action->title() }, { "style", actionStyleName(action->style()) } });
    json["actions"] = std::move(actions);
    return json;
}

}
