// ReaderSession: one book open in the reader. A zipped book is unpacked into a private temporary
// folder of its own; an unpacked book is read in place. The session knows the book's spine in
// reading order and its table of contents, and opens the book's files for the reader — only
// files inside the book, and only while it is open. The book in the library is never changed.
#pragma once

#include "frameworks/folioreader/epub/ObfuscatedFonts.h"
#include "frameworks/folioreader/epub/PackageDocument.h"
#include "frameworks/folioreader/epub/TableOfContents.h"
#include "platform/foundation/Result.h"
#include "platform/ui/ReaderScreen.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

struct SpineDocument {
    std::string entryName; // inside the book, "/"-separated
    std::string mediaType;
    bool linear = true;
    PageLayout layout;
};

class ReaderSession {
public:
    // The largest single file of a book the reader opens.
    static constexpr std::uint64_t largestContentFile = 256ull * 1024 * 1024;

    // Opens the book at epubPath. A zipped book is unpacked into a fresh folder made inside
    // unzipPath, or inside the system's temporary folder when there is none; with
    // shouldRemoveEpub that copy is removed when the session closes (or, when the program was
    // killed first, by the next opening in the same place), otherwise it is left where it is.
    // Never fails: a book that cannot be read gives a session whose failure() says why.
    static std::shared_ptr<ReaderSession> open(const std::string& epubPath,
        const std::optional<std::string>& unzipPath = std::nullopt, bool shouldRemoveEpub = true);

    ReaderSession(const ReaderSession&) = delete;
    ReaderSession& operator=(const ReaderSession&) = delete;
    // Closes the session.
    ~ReaderSession();

    // An unguessable name of the session: the browser reaches the book's files only through it.
    const std::string& id() const { return m_id; }
    const std::string& bookPath() const { return m_bookPath; }
    // Why the book cannot be shown, in words for the reader's screen; nothing when it can.
    const std::optional<std::string>& failure() const { return m_failure; }

    const std::string& title() const { return m_title; }
    const std::string& author() const { return m_author; }
    // The documents of the book in reading order.
    const std::vector<SpineDocument>& spine() const { return m_spine; }
    const std::vector<TocEntry>& tableOfContents() const { return m_tableOfContents; }
    // The side pages turn to ("ltr", "rtl") and the writing mode the book declares for its text;
    // empty where it declares none.
    const std::string& pageProgression() const { return m_pageProgression; }
    const std::string& writingMode() const { return m_writingMode; }
    // The position in the spine of the document with that entry name.
    std::optional<std::size_t> spineIndexOf(std::string_view entryName) const;

    // The folder the book is read from: the unpacked copy, or the book's own folder. Empty when
    // the book could not be opened.
    const std::string& contentRoot() const { return m_contentRoot; }
    // The private folder holding the unpacked copy of a zipped book; nothing for a folder.
    const std::optional<std::string>& temporaryFolder() const { return m_temporaryFolder; }

    // Opens the book's file at a path relative to the book's root ("OEBPS/text/one.xhtml").
    // Refused for a book that cannot be read, once the session is closed, and for a path that is
    // absolute, holds "..", a NUL or a backslash, names a folder, or leads outside the book
    // through a symbolic link. An obfuscated font is revealed as it is read; a file the book hides
    // in a way not known here is served empty.
    foundation::Result<ui::ServedFile> openContent(std::string_view path) const;

    bool isOpen() const { return !m_closed.load(); }
    // Stops serving the book and removes the temporary copy when it is to be removed. Safe to
    // call more than once.
    void close();

private:
    ReaderSession() = default;
    void unpack(const std::optional<std::string>& unzipPath);
    void readBook();

    std::string m_id;
    std::string m_bookPath;
    std::optional<std::string> m_failure;
    std::string m_title;
    std::string m_author;
    std::vector<SpineDocument> m_spine;
    std::vector<TocEntry> m_tableOfContents;
    std::string m_pageProgression;
    std::string m_writingMode;
    ObfuscatedFonts m_obfuscatedFonts;
    std::string m_contentRoot;
    std::optional<std::string> m_temporaryFolder;
    bool m_removeCopyOnClose = true;
    // Read by the host's threads while the main thread may close the session.
    std::atomic<bool> m_closed { false };
};

// The media type a file of a book is served as, by its name's extension.
std::string mediaTypeForEntry(std::string_view entryName);

}
