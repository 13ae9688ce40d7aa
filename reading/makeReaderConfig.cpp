// The application's reader settings, set in a fixed order on a new configuration.
#include "reading/makeReaderConfig.h"

#include "platform/foundation/FileManager.h"

std::shared_ptr<folioreader::FolioReaderConfig> makeReaderConfig()
{
    return makeReaderConfig(ui::Image::named);
}

std::shared_ptr<folioreader::FolioReaderConfig> makeReaderConfig(const ImageLookup& imageNamed)
{
    auto config = std::make_shared<folioreader::FolioReaderConfig>();
    config->allowsQuoteSharing = true;
    config->hidesChromeOnTap = true;
    config->scrollDirection = folioreader::ScrollDirection::horizontal;
    config->showsTitle = true;
    config->alwaysHidesChrome = false;
    config->chromeColor = ui::Color::darkGrayColor();
    config->accentColor = ui::Color::withRGBA(
        0.9294117647058824, 0.7137254901960784, 0.10588235294117647, 1.0); // amber
    config->startsInNightMode = false;

    // Asked of the platform here rather than taken from the library's folder: the configuration
    // depends on nothing the library screen holds.
    auto documents = foundation::FileManager::defaultManager()->urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    std::optional<foundation::URL> databaseURL;
    if (!documents.empty())
        databaseURL = documents.front().appendingPathComponent("highlights.realm");
    // Without a documents folder there is no place for highlights, not one in memory.
    config->highlightDatabase = { .fileURL = databaseURL, .inMemoryIdentifier = std::nullopt };

    config->quoteImages = {};
    if (auto background = imageNamed("demo-bg")) {
        folioreader::QuoteImage quote;
        quote.image = background;
        quote.alpha = 0.6;
        quote.textColor = ui::Color::whiteColor();
        quote.backgroundColor = ui::Color::blackColor();
        config->quoteImages.push_back(std::move(quote));
    }
    config->quoteImages.push_back(folioreader::QuoteImage(ui::Color::withRGBA(0.3, 0.26, 0.2, 1.0),
        1.0, ui::Color::withRGBA(0.86, 0.73, 0.7, 1.0), ui::Color::whiteColor()));
    return config;
}
