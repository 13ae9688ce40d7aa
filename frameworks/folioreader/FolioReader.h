// FolioReader: our reader engine. Reads a book's title, author, identifier, language and cover from
// an EPUB given as a zipped .epub file or as an unpacked folder; presents the reader screen.
#pragma once

#include "frameworks/folioreader/metadata/BookMetadata.h"
#include "platform/foundation/Result.h"
#include "platform/ui/Image.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct stat;

namespace ui {
class ViewController;
}
namespace folioreader {

class FolioReaderConfig;
class LargeCoverCache;
class MetadataScan;
class MetadataStore;
class ReaderViewController;

class FolioReader {
public:
    FolioReader() = default;

    // The first dc:title of the book's package document; the empty text when it has none.
    static foundation::Result<std::string> getTitle(
        const std::string& epubPath, const std::optional<std::string>& unzipPath = std::nullopt);
    // The first dc:creator of the book's package document; the empty text when it has none.
    static foundation::Result<std::string> getAuthorName(
        const std::string& epubPath, const std::optional<std::string>& unzipPath = std::nullopt);
    // The identifier the package names as its unique identifier (dc:identifier), and its first
    // dc:language; each the empty text when the book has none, or one too long to be one.
    static foundation::Result<std::string> getIdentifier(const std::string& epubPath);
    static foundation::Result<std::string> getLanguage(const std::string& epubPath);
    // The four above in one read, which each of them wraps with the active scan, if any. With a
    // scan (see beginScan) of the book's folder they come from its store while the book's files
    // keep their stamp, and what is read afresh is kept there; without, from the book.
    // itemStatus: the book item's status its caller has just read, if any, so that the stamp is
    // checked without asking the file system again.
    static foundation::Result<BookMetadata> readMetadata(
        MetadataScan* scan, const std::string& epubPath, const struct stat* itemStatus = nullptr);
    // Keeps titles, authors, identifiers and languages between runs in the store (and the
    // descriptions a DescriptionPass reads); nullptr (the default) reads every book.
    static void setMetadataStore(std::shared_ptr<folioreader::MetadataStore> store);
    static std::shared_ptr<folioreader::MetadataStore> metadataStore();
    // While the answer lives, the title, author, identifier and language of the folder's books come
    // from the store when their files are unchanged, and what is read afresh is kept there; nullptr
    // without a store. names and asked: see MetadataScan::begin.
    static std::unique_ptr<folioreader::MetadataScan> beginScan(const std::string& folder,
        const std::vector<std::string>& names, const std::vector<char>& asked);

    // The book's cover picture; an error when the book names none or it cannot be read.
    static foundation::Result<std::shared_ptr<ui::Image>> getCoverImage(
        const std::string& epubPath, const std::optional<std::string>& unzipPath = std::nullopt);
    // The same, when the store knows it, without reading the book; nothing when the book must be
    // read (and always without a store).
    static std::optional<foundation::Result<std::shared_ptr<ui::Image>>> getKnownCoverImage(
        const std::string& epubPath);
    // The cover at the size a reading app shows one whole (largeCoverSide pixels at most on its
    // longer side), read from the book when the cache does not keep it. Any thread.
    static foundation::Result<std::shared_ptr<ui::Image>> getLargeCoverImage(
        LargeCoverCache& cache, const std::string& epubPath);

    // Opens the book at withEpubPath in a reader session and presents the reader screen full
    // screen over parentViewController with the configuration; returns at once. A zipped book is
    // read from a private unpacked copy (inside unzipPath when given), which is removed when the
    // reader closes if shouldRemoveEpub; the book itself is never changed. A book that cannot be
    // read shows the reason in the reader.
    void presentReader(ui::ViewController& parentViewController, const std::string& withEpubPath,
        const std::optional<std::string>& unzipPath, std::shared_ptr<FolioReaderConfig> andConfig,
        bool shouldRemoveEpub, bool animated);
    // The reader presented last, while it is in the window.
    std::shared_ptr<ReaderViewController> readerViewController() const { return m_reader.lock(); }
    // Whether that reader shows the book at the path.
    bool isReading(const std::string& epubPath) const;
    // Closes that reader, if it is in the window, ending the book's session.
    void closeReader();

private:
    std::weak_ptr<ReaderViewController> m_reader;
};

}
