// FolioReader: our reader engine. Reads a book's title, author and cover from an EPUB given as a
// zipped .epub file or as an unpacked folder; presents the reader screen.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Image.h"

#include <memory>
#include <optional>
#include <string>

class FolioReader {
public:
    FolioReader() = default;

    // The first dc:title of the book's package document; the empty text when it has none.
    static foundation::Result<std::string> getTitle(const std::string& epubPath,
        const std::optional<std::string>& unzipPath = std::nullopt);
    // The first dc:creator of the book's package document; the empty text when it has none.
    static foundation::Result<std::string> getAuthorName(const std::string& epubPath,
        const std::optional<std::string>& unzipPath = std::nullopt);
    // The book's cover picture; an error when the book names none or it cannot be read.
    static foundation::Result<std::shared_ptr<ui::Image>> getCoverImage(const std::string& epubPath,
        const std::optional<std::string>& unzipPath = std::nullopt);
};
