// EpubFixture: a builder of EPUB books of every shape the tests need — zipped or unpacked, EPUB 2
// or 3, with or without a cover, any metadata, broken in one chosen way — written to a chosen path.
//
//     fixtures::EpubFixture book;
//     book.title = "Moby-Dick";
//     book.author = "Herman Melville";
//     book.cover = fixtures::Cover::epub3;
//     book.writeZipped(folder.file("moby.epub"));
//
// It is an aggregate, so a table of books reads well with designated initialisers:
//     fixtures::EpubFixture { .title = "Alpha", .author = "Ann", .version = 2 }
#pragma once

#include "tests/support/BookWriting.h"

#include <optional>
#include <string>
#include <vector>

namespace fixtures {

// How the package document names its cover picture.
enum class Cover {
    none, // no cover at all
    epub3, // manifest item with properties="cover-image"
    epub2, // <meta name="cover" content="ID"/> naming a manifest item
    guessedById, // only a manifest image whose id contains "cover"
    guessedByHref, // only a manifest image whose href contains "cover"
};

enum class CoverPicture { png, jpeg };

// How the Dublin Core elements (title, creator, language, identifier) are written.
enum class MetadataNamespace {
    dc, // xmlns:dc="http://purl.org/dc/elements/1.1/", <dc:title>
    otherPrefix, // xmlns:purl="http://purl.org/dc/elements/1.1/", <purl:title>
    defaultNamespace, // <title xmlns="http://purl.org/dc/elements/1.1/">
    undeclaredDc, // <dc:title> with no declaration of the prefix anywhere
    dcBoundElsewhere, // "dc" bound to another namespace and holding decoys ("Decoy Title", "Decoy
                      // Author") before the real elements, which use the prefix "purl"
};

// One way of breaking the book. Breakages of the item itself (zeroByteFile, notAZip,
// truncatedZip, emptyFolder) give the same item whether written zipped or unpacked.
enum class Breakage {
    none,
    zeroByteFile, // the item is an empty file
    notAZip, // the item is a text file
    truncatedZip, // the zip archive cut in half
    emptyFolder, // the item is a folder with nothing inside
    missingContainer, // no META-INF/container.xml
    containerWithoutRootfile, // container.xml lists no rootfile
    packageOutsideBook, // container.xml points at "../outside.opf", which exists beside the book
    malformedContainer, // container.xml is not well-formed XML
    malformedPackage, // the package document is not well-formed XML
    missingPackage, // container.xml points at "OEBPS/absent.opf", which is not there
    coverMissing, // the cover's manifest item points at a missing entry
    coverNotAPicture, // the cover entry holds text
    corruptedPackageData, // zipped only: a byte of the stored package document changed, so its CRC
                          // fails
    oversizedPackage, // the package document is padded past 17 MiB with an XML comment
    oversizedCover, // the cover picture is padded past 21 MiB
    packageThroughSymlink, // unpacked only: the package document is a symbolic link to a file
                           // beside the book
    coverThroughSymlink, // unpacked only: the cover is a symbolic link to a picture beside the book
};

struct Chapter {
    std::string title;
    std::string text;
};

struct EpubFixture {
    // dc:title and dc:creator; nothing leaves the element out. Any UTF-8 text, escaped for XML
    // unless escapeText is false, in which case it is inserted as markup exactly as given (for
    // entities, CDATA and nested elements).
    std::optional<std::string> title = "Untitled";
    std::optional<std::string> author = "Anonymous";
    bool escapeText = true;
    // The unique identifier the package names, its dc:language and dc:description, written as
    // title and author are; nothing leaves the element out.
    std::optional<std::string> identifier = "urn:uuid:9b1deb4d-3b7d-4bad-9bdd-2b0d7b3dcb6d";
    std::optional<std::string> language = "en";
    std::optional<std::string> description {};
    // 2 or 3: the package version, and an NCX (2) or a navigation document (3) for the chapters.
    int version = 3;
    Cover cover = Cover::none;
    CoverPicture coverPicture = CoverPicture::png;
    // The cover picture's bytes, of the kind coverPicture names; empty: the tiny picture.
    std::string coverData {};
    // The cover's path relative to the package document's folder, unencoded; the manifest href is
    // its percent-encoding. Empty: a name fitting the cover rule ("images/front.png" for epub3 and
    // epub2, "images/cover.png" for guessedByHref, ...).
    std::string coverFile {};
    MetadataNamespace metadataNamespace = MetadataNamespace::dc;
    // Where container.xml points; manifest hrefs are relative to its folder.
    std::string packagePath = "OEBPS/content.opf";
    Breakage breakage = Breakage::none;
    std::vector<Chapter> chapters = {
        { "Chapter One", "Call me Ishmael." },
        { "Chapter Two", "It was the best of times." },
    };
    // Markup added at the end of <metadata> and of <manifest>, and extra files in the book.
    std::string extraMetadata {};
    std::string extraManifest {};
    std::vector<Entry> extraEntries {};
    // Pictures (".jpg", ".png") stored rather than deflated, as tools write pictures that would
    // not shrink; otherwise every entry but the mimetype is deflated.
    bool storePictures = false;

    // The book's files in the order a zip holds them: mimetype first, then container.xml, the
    // package document, chapters, navigation, cover, extra entries. Breakages of content apply;
    // breakages of the item itself (zeroByteFile, notAZip, truncatedZip, emptyFolder) do not.
    std::vector<Entry> entries() const;
    std::string containerDocument() const;
    std::string packageDocument() const;
    // The name of the cover entry inside the book ("OEBPS/images/front.png"); empty without a
    // cover.
    std::string coverEntryName() const;
    // The bytes of the cover picture (tiny PNG or JPEG); empty without a cover.
    std::string coverBytes() const;

    // Writes a .epub zip archive (mimetype stored first) at path, replacing a file already there.
    // Throws std::runtime_error when it cannot.
    void writeZipped(const std::string& path) const;
    // Writes the book unpacked into the folder at path, created as needed. Throws
    // std::runtime_error when it cannot.
    void writeUnpacked(const std::string& path) const;
};

}
