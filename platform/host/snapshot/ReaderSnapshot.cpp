// The reader's description in the shape the browser's reader renderer reads.
#include "platform/host/snapshot/ReaderSnapshot.h"

#include "platform/host/snapshot/ViewJson.h"

namespace host {

namespace {

template <typename Value> nlohmann::json orNull(const std::optional<Value>& value)
{
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json orNull(const std::string& text)
{
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

}

nlohmann::json readerSettingsJson(const ui::ReaderSettings& settings)
{
    auto quotes = nlohmann::json::array();
    for (const auto& card : settings.quoteCards) {
        quotes.push_back({ { "image", orNull(card.image) }, { "alpha", card.alpha },
            { "textColor", colorJson(card.textColor) },
            { "backgroundColor", colorJson(card.backgroundColor) } });
    }
    return {
        { "fontFamily", settings.fontFamily },
        { "fontScale", settings.fontScale },
        { "chromeColor", colorJson(settings.chromeColor) },
        { "accentColor", colorJson(settings.accentColor) },
        { "dayPaperColor", colorJson(settings.dayPaperColor) },
        { "nightPaperColor", colorJson(settings.nightPaperColor) },
        { "hidesChromeOnTap", settings.hidesChromeOnTap },
        { "allowsQuoteSharing", settings.allowsQuoteSharing },
        { "alwaysHidesChrome", settings.alwaysHidesChrome },
        { "scrollDirection", settings.scrollsVertically ? "vertical" : "horizontal" },
        { "showsTitle", settings.showsTitle },
        { "startsInNightMode", settings.startsInNightMode },
        { "showsPosition", settings.showsPosition },
        { "quoteImages", std::move(quotes) },
    };
}

nlohmann::json readerDescriptionJson(const ui::ReaderDescription& description)
{
    auto spine = nlohmann::json::array();
    for (const auto& page : description.spine) {
        spine.push_back({ { "path", page.path }, { "linear", page.linear },
            { "layout", page.fixed ? "pre-paginated" : "reflowable" },
            { "spread", page.spreads ? "auto" : "none" }, { "side", orNull(page.side) } });
    }
    auto contents = nlohmann::json::array();
    for (const auto& entry : description.contents) {
        contents.push_back({ { "title", entry.title }, { "depth", entry.depth },
            { "spine", orNull(entry.spine) }, { "fragment", entry.fragment } });
    }
    nlohmann::json place = nullptr;
    if (const auto& kept = description.place) {
        place = { { "spine", orNull(kept->spine) }, { "offset", kept->offset },
            { "picture", kept->picture }, { "fontScale", kept->fontScale },
            { "night", kept->night } };
        if (!kept->device.empty())
            place["device"] = kept->device;
    }
    return {
        { "session", description.session },
        { "book", description.book },
        { "title", description.title },
        { "author", description.author },
        { "failure", orNull(description.failure) },
        { "spine", std::move(spine) },
        { "toc", std::move(contents) },
        { "layout",
            { { "progression", description.pageProgression },
                { "writingMode", description.writingMode } } },
        { "settings", readerSettingsJson(description.settings) },
        { "highlights",
            { { "available", description.highlightsAvailable },
                { "readOnly", description.highlightsReadOnly },
                { "problem", orNull(description.highlightProblem) } } },
        { "place", std::move(place) },
        { "closeButton", description.closeButton },
    };
}

nlohmann::json readerSnapshot(const ui::ReaderScreen& screen, ImageRegistry& images)
{
    auto json = readerDescriptionJson(screen.readerDescription());
    auto pictures = nlohmann::json::array();
    for (auto& image : screen.readerImages())
        pictures.push_back(imageJson(image, images));
    json["images"] = std::move(pictures);
    return json;
}

}
