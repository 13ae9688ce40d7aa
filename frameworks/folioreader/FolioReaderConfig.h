// FolioReaderConfig: how the reader looks and behaves for one opening of a book. Made fresh for
// each opening and handed to presentReader, which keeps it for the reader it shows.
//
// Ten members are the application's reader settings; they are numbered 1 to 10 below in their
// order of declaration. The others keep their defaults unless a caller sets them.
#pragma once

#include "frameworks/folioreader/reader/QuoteImage.h"
#include "frameworks/realm/Configuration.h"
#include "platform/ui/Color.h"
#include "platform/ui/ReaderScreen.h"

#include <vector>

namespace folioreader {

// How the reader moves through a chapter.
enum class ScrollDirection {
    horizontal = 0, // one screen of text at a time, turned sideways like pages
    vertical = 1, // the chapter as one long column, scrolled
};

// The typeface of the book's text.
enum class ReaderFontFamily {
    publisher = 0, // the book's own fonts
    serif = 1,
    sansSerif = 2,
};

// The size of the book's text, relative to the book's own sizes.
enum class ReaderFontSize { small = 0, medium = 1, large = 2, extraLarge = 3 };

class FolioReaderConfig {
public:
    FolioReaderConfig() = default;

    ReaderFontFamily fontFamily = ReaderFontFamily::publisher;
    ReaderFontSize fontSize = ReaderFontSize::medium;

    // 1. The reader's chrome: the text and icons of its bars, the close button and the table of
    // contents.
    ui::Color chromeColor = ui::Color::grayColor();
    // 2. The accent: the progress bar, the current entry of the table of contents, the text
    // selection and the quote card's frame.
    ui::Color accentColor = ui::Color::blueColor();

    // The paper the pages are printed on by day and by night.
    ui::Color dayPaperColor = ui::Color::whiteColor();
    ui::Color nightPaperColor = ui::Color::withRGBA(0.11, 0.11, 0.12, 1);

    // 3. A tap in the middle of the page shows or hides the bars.
    bool hidesChromeOnTap = true;
    // 4. Selected text can be shared as a quote card, drawn on one of the quote images.
    bool allowsQuoteSharing = true;
    // 5. The bars are never shown; the close button stays reachable in a corner.
    bool alwaysHidesChrome = false;
    // 6. Paged sideways or scrolled down.
    ScrollDirection scrollDirection = ScrollDirection::horizontal;
    // 7. The book's title stands in the top bar.
    bool showsTitle = false;
    // 8. The reader opens with light text on the night paper.
    bool startsInNightMode = false;

    // The page number within the chapter and the chapter's place in the book, in the bottom bar.
    bool showsPosition = true;

    // 9. The backgrounds a quote card can be drawn on, in the order offered; the first is chosen
    // at first.
    std::vector<QuoteImage> quoteImages;
    // 10. Where the reader keeps the highlights made in its books.
    Realm::Configuration highlightDatabase;
};

// The settings as the reader screen describes them. Quote cards refer to their picture by its
// position in quotePictures, which the caller serves.
ui::ReaderSettings readerSettings(const FolioReaderConfig& config);
std::vector<std::shared_ptr<ui::Image>> quotePictures(const FolioReaderConfig& config);

}
