// The two XML documents that describe a book: META-INF/container.xml, which names the package
// document, and the package document (OPF) with the book's metadata, manifest and spine.
#pragma once

#include "platform/foundation/Result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

// The Dublin Core elements namespace, in which dc:title and dc:creator live.
inline constexpr std::string_view dublinCoreNamespace = "http://purl.org/dc/elements/1.1/";
// Where every book names its package document.
inline constexpr std::string_view containerName = "META-INF/container.xml";
// The largest document of a book read whole: the container, the package, the contents, the
// fonts' list.
inline constexpr std::size_t maximumDocumentSize = 16 * 1024 * 1024;

// The full-path of the first rootfile of a container document, as written. The error reads
// "META-INF/container.xml is not well-formed XML (...)" or "... names no package document".
// The text is parsed in place and left changed.
foundation::Result<std::string> parseContainerRootfile(std::string& containerXml);

// Whether reading a package makes its description's plain text. Only the catalog for reading apps
// shows descriptions, and making them would cost a library's first scan a good part of its time.
enum class WithDescription : bool { no, yes };

struct ManifestItem {
    std::string id;
    std::string href; // as written: relative to the package document and percent-encoded
    std::string mediaType;
    std::string properties; // space-separated tokens (EPUB 3)

    bool hasProperty(std::string_view token) const;
};

struct SpineItem {
    std::string idref;
    bool linear = true;
    std::string properties; // space-separated tokens (EPUB 3)
};

// How one document of the spine is laid out: reflowable text, or a fixed-layout page of a set
// size, which may face a neighbour on a landscape screen. Words the reader does not know, and
// properties that contradict each other, leave the reflowable default.
struct PageLayout {
    bool fixed = false;
    bool spreads = true; // whether the page may share a screen with its facing page
    std::string side; // "left", "right", "center", or empty when the book places it nowhere
};

struct PackageDocument {
    std::string name; // entry name of the package document inside the book
    std::string version;
    // The first dc:title and dc:creator, whitespace trimmed and collapsed; empty when absent.
    std::string title;
    std::string creator;
    // The dc:identifier the package names as its unique identifier (else the first), whitespace
    // collapsed; the key of the book's obfuscated fonts is made from it.
    std::string uniqueIdentifier;
    // Whether the package's unique-identifier attribute names that element: a book that names
    // none, or an element that is not there, has no identifier of its own to be known by.
    bool uniqueIdentifierNamed = false;
    // The first dc:language, whitespace trimmed and collapsed; empty when absent.
    std::string language;
    // The first dc:description as plain text (descriptions often hold HTML markup, escaped or
    // not), at most descriptionLength characters; empty when absent or not asked for.
    std::string description;
    static constexpr std::size_t descriptionLength = 1000;
    // The content of the first EPUB 2 <meta name="cover">; empty when absent.
    std::string coverMeta;
    std::vector<ManifestItem> manifest;
    std::vector<SpineItem> spine;
    std::string spineToc; // the spine's toc attribute: the NCX item's id (EPUB 2)
    // The spine's page-progression-direction: "ltr", "rtl", or empty when it gives none (or an
    // unknown one), in which case the text's own direction decides.
    std::string pageProgression;
    // The book's rendition:layout and rendition:spread metadata, as written.
    std::string renditionLayout;
    std::string renditionSpread;
    // "vertical-rl" or "vertical-lr" when the book declares vertical writing for its text
    // (primary-writing-mode); otherwise empty.
    std::string writingMode;

    // Parses the package document read from entry name. The text is parsed in place and left
    // changed. The error reads "<name> is not well-formed XML (...)" or "<name> is not a
    // package document".
    static foundation::Result<PackageDocument> parse(
        std::string& xml, std::string name, WithDescription withDescription = WithDescription::no);

    const ManifestItem* item(std::string_view id) const;
    // The cover's manifest item: the first with the property cover-image; else the item the EPUB
    // 2 cover meta names (by id, or by href as some books write it); else the first image item
    // whose id or href contains "cover" in any case. Nothing when none qualifies.
    const ManifestItem* coverItem() const;
    // The layout of a document of the spine: its itemref's rendition properties, else the book's.
    PageLayout layoutOf(const SpineItem& itemref) const;
    // The entry an href of this document points at; nothing when it leaves the book.
    std::optional<std::string> resolve(std::string_view href) const;
};

}
