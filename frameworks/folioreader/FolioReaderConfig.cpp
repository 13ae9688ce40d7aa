// The configuration as the browser's reader receives it.
#include "frameworks/folioreader/FolioReaderConfig.h"

namespace {

nlohmann::json colorJson(const ui::Color& color)
{
    return { color.red, color.green, color.blue, color.alpha };
}

const char* fontFamilyName(ReaderFontFamily family)
{
    switch (family) {
    case ReaderFontFamily::serif: return "serif";
    case ReaderFontFamily::sansSerif: return "sansSerif";
    case ReaderFontFamily::publisher: break;
    }
    return "publisher";
}

// The text size as a factor of the book's own.
double fontScale(ReaderFontSize size)
{
    switch (size) {
    case ReaderFontSize::small: return 0.85;
    case ReaderFontSize::large: return 1.25;
    case ReaderFontSize::extraLarge: return 1.5;
    case ReaderFontSize::medium: break;
    }
    return 1.0;
}

}

nlohmann::json readerSettingsJson(const FolioReaderConfig& config)
{
    auto quotes = nlohmann::json::array();
    std::size_t picture = 0;
    for (const QuoteImage& quote : config.quoteImages) {
        nlohmann::json entry = {
            { "image", quote.image ? nlohmann::json(picture++) : nlohmann::json(nullptr) },
            { "alpha", quote.alpha.value_or(1.0) },
            { "textColor", colorJson(quote.textColor.value_or(ui::Color::blackColor())) },
            { "backgroundColor", colorJson(quote.backgroundColor.value_or(ui::Color::whiteColor())) },
        };
        quotes.push_back(std::move(entry));
    }
    return {
        { "fontFamily", fontFamilyName(config.fontFamily) },
        { "fontScale", fontScale(config.fontSize) },
        { "chromeColor", colorJson(config.chromeColor) },
        { "accentColor", colorJson(config.accentColor) },
        { "dayPaperColor", colorJson(config.dayPaperColor) },
        { "nightPaperColor", colorJson(config.nightPaperColor) },
        { "hidesChromeOnTap", config.hidesChromeOnTap },
        { "allowsQuoteSharing", config.allowsQuoteSharing },
        { "alwaysHidesChrome", config.alwaysHidesChrome },
        { "scrollDirection", config.scrollDirection == ScrollDirection::vertical ? "vertical" : "horizontal" },
        { "showsTitle", config.showsTitle },
        { "startsInNightMode", config.startsInNightMode },
        { "showsPosition", config.showsPosition },
        { "quoteImages", std::move(quotes) },
    };
}

std::vector<std::shared_ptr<ui::Image>> quotePictures(const FolioReaderConfig& config)
{
    std::vector<std::shared_ptr<ui::Image>> pictures;
    for (const QuoteImage& quote : config.quoteImages) {
        if (quote.image)
            pictures.push_back(quote.image);
    }
    return pictures;
}
