// The application's reader settings, set in a fixed order on a new configuration.
#include "reading/makeReaderConfig.h"

#include "platform/foundation/FileManager.h"

std::shared_ptr<FolioReaderConfig> makeReaderConfig()
{
    return makeReaderConfig(ui::Image::named);
}

std::shared_ptr<FolioReaderConfig> makeReaderConfig(const ImageLookup& imageNamed)
{
    auto config = std::make_shared<FolioReaderConfig>();
    config->allowsQuoteSharing = true;                           // 4
    config->hidesChromeOnTap = true;                             // 3
    config->scrollDirection = ScrollDirection::horizontal;       // 6
    config->showsTitle = true;                                   // 7
    config->alwaysHidesChrome = false;                           // 5
    config->chromeColor = ui::Color::darkGrayColor();            // 1
    config->accentColor = ui::Color::withRGBA(0.9294117647058824, 0.7137254901960784, 0.10588235294117647, 1.0); // 2, amber
    config->startsInNightMode = false;                           // 8

    // Asked of the platform here rather than taken from the library's folder: the configuration
    // depends on nothing the library screen holds.
    auto documents = foundation::FileManager::defaultManager()->urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory, foundation::SearchPathDomainMask::userDomainMask);
    std::optional<foundation::URL> databaseURL;
    if (!documents.empty())
        databaseURL = documents.front().appendingPathComponent("highlights.realm");
    config->highlightDatabase = Realm::Configuration(databaseURL, std::nullopt, std::nullopt, std::nullopt, false, 0,
        std::nullopt, false, std::nullopt, std::nullopt);                                 // 10

    config->quoteImages = {};                                                             // 9
    if (auto background = imageNamed("demo-bg")) {
        QuoteImage quote;
        quote.image = background;
        quote.alpha = 0.6;
        quote.textColor = ui::Color::whiteColor();
        quote.backgroundColor = ui::Color::blackColor();
        config->quoteImages.push_back(std::move(quote));
    }
    config->quoteImages.push_back(QuoteImage(ui::Color::withRGBA(0.3, 0.26, 0.2, 1.0), 1.0,
        ui::Color::withRGBA(0.86, 0.73, 0.7, 1.0), ui::Color::whiteColor()));
    return config;
}
