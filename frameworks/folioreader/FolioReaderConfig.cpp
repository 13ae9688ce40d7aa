// The configuration as the reader screen describes it to the platform.
#include "frameworks/folioreader/FolioReaderConfig.h"

namespace folioreader {

namespace {

const char* fontFamilyName(ReaderFontFamily family)
{
    switch (family) {
    case ReaderFontFamily::serif:
        return "serif";
    case ReaderFontFamily::sansSerif:
        return "sansSerif";
    case ReaderFontFamily::publisher:
        break;
    }
    return "publisher";
}

// The text size as a factor of the book's own.
double fontScale(ReaderFontSize size)
{
    switch (size) {
    case ReaderFontSize::small:
        return 0.85;
    case ReaderFontSize::large:
        return 1.25;
    case ReaderFontSize::extraLarge:
        return 1.5;
    case ReaderFontSize::medium:
        break;
    }
    return 1.0;
}

}

ui::ReaderSettings readerSettings(const FolioReaderConfig& config)
{
    ui::ReaderSettings settings {
        .fontFamily = fontFamilyName(config.fontFamily),
        .fontScale = fontScale(config.fontSize),
        .chromeColor = config.chromeColor,
        .accentColor = config.accentColor,
        .dayPaperColor = config.dayPaperColor,
        .nightPaperColor = config.nightPaperColor,
        .hidesChromeOnTap = config.hidesChromeOnTap,
        .allowsQuoteSharing = config.allowsQuoteSharing,
        .alwaysHidesChrome = config.alwaysHidesChrome,
        .scrollsVertically = config.scrollDirection == ScrollDirection::vertical,
        .showsTitle = config.showsTitle,
        .startsInNightMode = config.startsInNightMode,
        .showsPosition = config.showsPosition,
        .quoteCards = {},
    };
    std::size_t picture = 0;
    for (const QuoteImage& quote : config.quoteImages) {
        settings.quoteCards.push_back({
            .image = quote.image ? std::optional(picture++) : std::nullopt,
            .alpha = quote.alpha.value_or(1.0),
            .textColor = quote.textColor.value_or(ui::Color::blackColor()),
            .backgroundColor = quote.backgroundColor.value_or(ui::Color::whiteColor()),
        });
    }
    return settings;
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

}
