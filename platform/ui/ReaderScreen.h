// ReaderScreen: what a screen that shows a book tells the platform, which draws its pages in the
// browser's reader renderer and serves the book's files under the screen's session. The
// description is plain data; the platform decides how it travels to the renderer.
#pragma once

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Result.h"
#include "platform/ui/Color.h"
#include "platform/ui/ExportedFile.h"
#include "platform/ui/Image.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ui {

// A file of the book, open for reading; the descriptor is closed with the object. A file left
// out is served empty (descriptor -1, size 0).
class ServedFile {
public:
    // What the file's bytes are read through on their way out: each of the first length bytes
    // XORed with the key, repeated (an obfuscated font). An empty key reveals nothing.
    struct Mask {
        std::vector<std::uint8_t> key;
        std::uint64_t length = 0;
    };

    ServedFile(int descriptor, std::uint64_t size, std::string mediaType)
        : m_descriptor(descriptor)
        , m_size(size)
        , m_mediaType(std::move(mediaType))
    {
    }
    ServedFile(int descriptor, std::uint64_t size, std::string mediaType, Mask mask)
        : m_descriptor(descriptor)
        , m_size(size)
        , m_mediaType(std::move(mediaType))
        , m_mask(std::move(mask))
    {
    }

    int descriptor() const { return m_descriptor.get(); }
    std::uint64_t size() const { return m_size; }
    const std::string& mediaType() const { return m_mediaType; }

    // Reveals bytes read from the file at offset, in place.
    void reveal(char* bytes, std::size_t count, std::uint64_t offset) const
    {
        if (m_mask.key.empty())
            return;
        for (std::uint64_t at = offset; at < m_mask.length && at - offset < count; ++at)
            bytes[at - offset]
                = char(std::uint8_t(bytes[at - offset]) ^ m_mask.key[at % m_mask.key.size()]);
    }

private:
    foundation::FileDescriptor m_descriptor;
    std::uint64_t m_size;
    std::string m_mediaType;
    Mask m_mask;
};

// How the renderer shows the pages: the reader's settings for this opening.
struct ReaderSettings {
    // A background a quote card can be drawn on; its picture by position in readerImages().
    struct QuoteCard {
        std::optional<std::size_t> image;
        double alpha = 1;
        Color textColor = Color::blackColor();
        Color backgroundColor = Color::whiteColor();
        bool operator==(const QuoteCard&) const = default;
    };

    std::string fontFamily; // "publisher", "serif" or "sansSerif"
    double fontScale = 1;
    Color chromeColor;
    Color accentColor;
    Color dayPaperColor;
    Color nightPaperColor;
    bool hidesChromeOnTap = true;
    bool allowsQuoteSharing = true;
    bool alwaysHidesChrome = false;
    bool scrollsVertically = false;
    bool showsTitle = false;
    bool startsInNightMode = false;
    bool showsPosition = true;
    std::vector<QuoteCard> quoteCards;
    bool operator==(const ReaderSettings&) const = default;
};

// What the reader renderer draws: the book's parts, the settings, the controls' view ids.
struct ReaderDescription {
    // A document of the spine, in reading order.
    struct Page {
        std::string path;
        bool linear = true;
        bool fixed = false; // pre-paginated rather than reflowable
        bool spreads = true; // may be paired with its neighbour on a wide screen
        std::string side; // "left", "right", "center" or empty
        bool operator==(const Page&) const = default;
    };
    // An entry of the table of contents; spine is empty when it points outside the spine.
    struct ContentsEntry {
        std::string title;
        int depth = 0;
        std::optional<std::size_t> spine;
        std::string fragment;
        bool operator==(const ContentsEntry&) const = default;
    };
    // Where the book was left; spine is empty when the document is no longer in the book.
    struct Place {
        std::optional<std::size_t> spine;
        std::uint64_t offset = 0;
        // Not 0: the place is the picture-th picture after offset characters, not the character at
        // offset.
        std::uint64_t picture = 0;
        double fontScale = 1;
        bool night = false;
        // The reading device the place was pushed from; empty when this reader kept it.
        std::string device;
        bool operator==(const Place&) const = default;
    };

    std::string session;
    std::string book;
    std::string title;
    std::string author;
    std::optional<std::string> failure;
    std::vector<Page> spine;
    std::vector<ContentsEntry> contents;
    std::string pageProgression;
    std::string writingMode;
    ReaderSettings settings;
    // Highlights: whether they can be kept and changed, and why not.
    bool highlightsAvailable = false;
    bool highlightsReadOnly = true;
    std::string highlightProblem;
    std::optional<Place> place;
    std::uint64_t closeButton = 0;
    bool operator==(const ReaderDescription&) const = default;
};

// Implemented by the controller of a screen that shows a book. Every call is made on the main
// loop.
class ReaderScreen {
public:
    virtual ~ReaderScreen() = default;

    // The name under which the book's files are served.
    virtual const std::string& readerSession() const = 0;
    virtual ReaderDescription readerDescription() const = 0;
    virtual std::vector<std::shared_ptr<Image>> readerImages() const = 0;
    // Opens the file at a path relative to the book's root; an error for anything outside it.
    virtual foundation::Result<ServedFile> openReaderFile(std::string_view path) const = 0;
    // Performs an action the renderer sent and answers what the renderer needs back; an error
    // when the action is malformed or cannot be done.
    virtual foundation::Result<nlohmann::json> performReaderAction(const nlohmann::json& action)
        = 0;

    // The book's highlights as a file to take away; an error when it has none to give.
    virtual foundation::Result<ExportedFile> exportReaderHighlights()
    {
        return foundation::Error("this screen keeps no highlights");
    }

    // A search of the book's text, run on a worker thread: it hands each match to found, which
    // answers whether to go on, and answers a summary at its end.
    using SearchJob
        = std::function<nlohmann::json(const std::function<bool(const nlohmann::json&)>& found)>;
    // Prepares the search for the query on the main loop; an error when there is nothing to
    // search for. A search started later stops the ones before.
    virtual foundation::Result<SearchJob> startReaderSearch(const std::string& query)
    {
        (void)query;
        return foundation::Error("this screen has nothing to search");
    }
};

}
