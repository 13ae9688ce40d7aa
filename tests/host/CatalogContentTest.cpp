// What the catalog sends: text that keeps every feed well-formed, book entries that carry what the
// books say of themselves with ids that stay theirs (and cover links but where the metadata cache
// knows there is no cover), covers made at the size asked for when first asked for, and a folder
// book zipped on the fly as a valid EPUB file, the same bytes for any range of it, holding the
// folder's files and nothing outside it.
#include "app/LibraryCatalog.h"
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/metadata/StoredDescription.h"
#include "library/ProgramState.h"
#include "library/scanLibrary.h"
#include "platform/foundation/FileManager.h"
#include "platform/host/opds/AtomFeed.h"
#include "platform/host/opds/FolderZip.h"
#include "platform/host/opds/XmlText.h"
#include "platform/ui/ImageCodec.h"
#include "tests/host/HostedApp.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <zip.h>

namespace {

TEST(CatalogContent, everyTextMakesWellFormedXml)
{
    const std::vector<std::pair<std::string, std::string>> cases {
        { "Tom & Jerry <3 \"quotes\" 'apostrophes'", "Tom & Jerry <3 \"quotes\" 'apostrophes'" },
        { "bell\x07, escape\x1b, nul" + std::string(1, '\0') + " end", "bell, escape, nul end" },
        { "tab\tand\nlines", "tab\tand\nlines" },
        { "lone surrogate \xED\xA0\x80!", "lone surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!" },
        { "not a character \xEF\xBF\xBE\xEF\xBF\xBF.", "not a character ." },
        { "Latin-1 caf\xE9", "Latin-1 caf\xEF\xBF\xBD" },
        { "cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD" },
        { "東京 ☕ 🙂", "東京 ☕ 🙂" },
    };
    for (auto& [text, kept] : cases) {
        pugi::xml_document document;
        auto xml = "<t a=\"" + host::xmlText(text) + "\">" + host::xmlText(text) + "</t>";
        ASSERT_TRUE(document.load_string(xml.c_str())) << text;
        EXPECT_EQ(document.child("t").text().as_string(), kept);
        EXPECT_EQ(document.child("t").attribute("a").as_string(), kept);
    }
}

struct EntryCase {
    const char* what;
    std::string file;
    fixtures::EpubFixture book;
    long long modified;
    std::string id; // empty: one made from the item's name
    std::string language;
    std::string summary;
    // Whether a row showed the book (reading its cover) before the page, and whether the book
    // changed after that; the media type its thumbnail link carries, empty for none known.
    bool shownInRow = false;
    bool changedSinceShown = false;
    std::string thumbnailType = "";
};

struct ShownEntry {
    std::string id, language, summary, author, identifier;
    bool coverLinks = false;
    std::string thumbnailType;
};

// A start of the program on the library with the store (none: nullptr), rows showing the cases'
// books that say so: the first page of the catalog's title order as Atom, read back by title.
std::map<std::string, ShownEntry> catalogAfterStart(fixtures::LibraryFolder& library,
    std::shared_ptr<folioreader::MetadataStore> store, const std::vector<EntryCase>& cases)
{
    resetProgramState();
    foundation::FileManager::setDocumentsDirectoryOverride(library.path());
    folioreader::FolioReader::setMetadataStore(store);
    scanLibrary();
    for (const auto& each : cases) {
        if (!each.shownInRow)
            continue;
        auto path = library.itemPath(each.file);
        (void)folioreader::FolioReader::getCoverImage(path);
        if (each.changedSinceShown)
            std::filesystem::last_write_time(
                path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    }
    // What the program's description pass does after the scan.
    folioreader::keepMissingDescriptions(store, library.path());
    LibraryCatalog catalog;
    host::AtomFeed feed(host::AtomFeed::Kind::acquisition, "urn:test", "Test", "/opds/title");
    for (auto& book : catalog.books(host::CatalogLibrary::Order::title, 0, 50).items)
        feed.bookEntry(book);
    folioreader::FolioReader::setMetadataStore(nullptr);
    std::map<std::string, ShownEntry> shown;
    pugi::xml_document document;
    auto xml = feed.xml();
    if (!document.load_string(xml.c_str())) {
        ADD_FAILURE() << "not well-formed: " << xml;
        return shown;
    }
    std::set<std::string> ids;
    for (auto entry : document.child("feed").children("entry")) {
        std::string id = entry.child_value("id");
        EXPECT_TRUE(ids.insert(id).second) << "two entries with the id " << id;
        auto image = entry.find_child_by_attribute("link", "rel", "http://opds-spec.org/image");
        auto thumbnail
            = entry.find_child_by_attribute("link", "rel", "http://opds-spec.org/image/thumbnail");
        EXPECT_EQ(bool(image), bool(thumbnail)) << id;
        if (image) {
            EXPECT_NE(
                std::string(image.attribute("href").value()), thumbnail.attribute("href").value())
                << id;
        }
        shown[entry.child_value("title")] = { id, entry.child_value("dc:language"),
            entry.child_value("summary"), entry.child("author").child_value("name"),
            entry.child_value("dc:identifier"), bool(image), thumbnail.attribute("type").value() };
        if (entry.child("summary")) {
            EXPECT_STREQ(entry.child("summary").attribute("type").value(), "text");
        }
    }
    return shown;
}

TEST(CatalogContent, bookEntriesCarryIdentifierLanguageDescriptionAndKnownCoverWithIdsThatStay)
{
    std::string huge;
    while (huge.size() < (1 << 20))
        huge += "<p>Word <b>upon</b> word.</p>\n";
    const std::string isbn = "urn:isbn:9780000000001";
    // Listed by title: the cases first, then enough other books for a start to load the store's
    // entries at once, and for descriptions to be looked for and written in more than one batch.
    const std::vector<EntryCase> cases {
        { "identifier used, markup made plain", "a.epub",
            { .title = "Case A",
                .identifier = isbn,
                .language = "fr",
                .description = "<p>Un <b>roman</b>&nbsp;&amp;\n  <i>plus</i></p>" },
            1000, isbn, "fr", "Un roman & plus" },
        { "the same identifier on a later name, though opened later", "b.epub",
            { .title = "Case B", .identifier = isbn, .language = std::nullopt }, 5000, "", "", "" },
        { "no identifier, no author", "c.epub",
            { .title = "Case C", .author = std::nullopt, .identifier = std::nullopt }, 1000, "",
            "en", "" },
        { "unique-identifier names no element", "d.epub",
            { .title = "Case D",
                .identifier = std::nullopt,
                .extraMetadata = "<dc:identifier id=\"other\">urn:isbn:other</dc:identifier>" },
            1000, "", "en", "" },
        { "identifier with a control character", "e.epub",
            { .title = "Case E", .escapeText = false, .identifier = "urn:e&#1;e" }, 1000, "", "en",
            "" },
        { "identifier with white space", "f.epub", { .title = "Case F", .identifier = "my book" },
            1000, "", "en", "" },
        { "identifier posing as one made from a name", "g.epub",
            { .title = "Case G", .identifier = "urn:pagewyn:book:00" }, 1000, "", "en", "" },
        { "description as XHTML, forbidden characters cleaned", "h.epub",
            { .title = "Case H",
                .escapeText = false,
                .identifier = "urn:h",
                .language = "e&#1;n",
                .description = "<p xmlns=\"http://www.w3.org/1999/xhtml\">One&#7;</p>"
                               "<p>Two &amp;amp; &#xFFFE;three &#xD800;</p>" },
            1000, "urn:h", "en", "One Two & three \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" },
        { "huge description", "i.epub",
            { .title = "Case I", .identifier = "urn:i", .description = huge }, 1000, "urn:i", "en",
            "" },
        // Every book has cover links but one the metadata cache knows to have none; a thumbnail's
        // kind is told where the cache holds it, and never one that is no longer the book's.
        { "cover never shown in a row", "j.epub",
            { .title = "Case J", .identifier = "urn:j", .cover = fixtures::Cover::epub3 }, 1000,
            "urn:j", "en", "" },
        { "cover shown in a row", "k.epub",
            { .title = "Case K", .identifier = "urn:k", .cover = fixtures::Cover::epub3 }, 1000,
            "urn:k", "en", "", true, false, "image/png" },
        { "shown in a row, no cover", "l.epub", { .title = "Case L", .identifier = "urn:l" }, 1000,
            "urn:l", "en", "", true },
        { "cover shown, then the book changed", "m.epub",
            { .title = "Case M", .identifier = "urn:m", .cover = fixtures::Cover::epub3 }, 1000,
            "urn:m", "en", "", true, true },
    };
    fixtures::LibraryFolder library;
    for (const auto& each : cases)
        library.addBook(each.file, each.book, each.modified);
    for (int other = 0; other < 300; ++other)
        library.addBook("other-" + std::to_string(other) + ".epub",
            { .title = "Other",
                .identifier = "urn:other:" + std::to_string(other),
                .description = "Other " + std::to_string(other) },
            2000);
    fixtures::TemporaryFolder cache;
    auto store = folioreader::MetadataStore::open(cache.file("metadata.sqlite3"));
    ASSERT_TRUE(store);
    store->setUnsettledWindow(std::chrono::nanoseconds(0));

    // Ids and languages come from the books as the list holds them; descriptions from the store.
    const std::pair<const char*, std::function<std::shared_ptr<folioreader::MetadataStore>()>>
        starts[] {
            { "first start", [&] { return store; } },
            { "restart, from the store", [&] { return store; } },
            { "restart after the store was lost",
                [&] { return store->clear() ? store : nullptr; } },
            { "restart without a store", [&] { return nullptr; } },
        };
    for (const auto& [start, storeFor] : starts) {
        SCOPED_TRACE(start);
        auto used = storeFor();
        auto shown = catalogAfterStart(library, used, cases);
        for (const auto& each : cases) {
            SCOPED_TRACE(each.what);
            const ShownEntry& entry = shown[*each.book.title];
            EXPECT_EQ(each.id.empty() ? entry.id.substr(0, 17) : entry.id,
                each.id.empty() ? "urn:pagewyn:book:" : each.id);
            EXPECT_EQ(entry.language, each.language);
            EXPECT_EQ(entry.thumbnailType, used ? each.thumbnailType : "");
            EXPECT_EQ(entry.coverLinks,
                !(used && each.shownInRow && each.book.cover == fixtures::Cover::none));
            EXPECT_EQ(entry.author, each.book.author ? *each.book.author : "Unknown author");
            if (each.file != "i.epub") {
                EXPECT_EQ(entry.summary, used ? each.summary : "");
            }
        }
        // The identifier is told whichever entry has it as its id.
        EXPECT_EQ(shown["Case A"].identifier, isbn);
        EXPECT_EQ(shown["Case B"].identifier, isbn);
        EXPECT_EQ(shown["Case C"].identifier, "");
        const std::string& capped = shown["Case I"].summary;
        if (used) {
            EXPECT_EQ(capped.substr(0, 20), "Word upon word. Word");
            EXPECT_EQ(capped.substr(capped.size() - 3), "…");
            EXPECT_EQ(std::count_if(capped.begin(), capped.end(),
                          [](unsigned char byte) { return (byte & 0xC0) != 0x80; }),
                1000);
        }
        // Every other book's description was kept, those of the last batch too.
        for (int other = 0; used && other < 300; ++other) {
            auto path = library.itemPath("other-" + std::to_string(other) + ".epub");
            ASSERT_EQ(folioreader::storedDescription(used, path), "Other " + std::to_string(other))
                << path;
        }
    }
    EXPECT_TRUE(library.takeConsole().empty());
}

TEST(CatalogContent, coversAreMadeWhenFirstAskedForAtTheSizeEachLinkNames)
{
    fixtures::TemporaryFolder cache;
    auto store = folioreader::MetadataStore::open(cache.file("metadata.sqlite3"));
    ASSERT_TRUE(store);
    store->setUnsettledWindow(std::chrono::nanoseconds(0));
    folioreader::FolioReader::setMetadataStore(store);
    ui::Bitmap tall { 900, 1500, std::vector<std::uint8_t>(900 * 1500 * 4, 180) };
    auto tallPng = ui::encodePng(tall);
    ASSERT_TRUE(tallPng);
    struct Case {
        std::string file;
        fixtures::EpubFixture book;
        // The sides of the cover and of its thumbnail; none: 404.
        std::optional<std::pair<int, int>> image, thumbnail;
        bool sentAsItIs = false;
    };
    const std::vector<Case> cases {
        { "tall.epub", { .title = "Tall", .cover = fixtures::Cover::epub3, .coverData = *tallPng },
            { { 360, 600 } }, { { 108, 180 } } },
        { "tiny.epub", { .title = "Tiny", .cover = fixtures::Cover::epub2 }, {}, {}, true },
        { "none.epub", { .title = "None" }, std::nullopt, std::nullopt },
        { "huge.epub",
            { .title = "Huge",
                .cover = fixtures::Cover::epub3,
                .breakage = fixtures::Breakage::oversizedCover },
            std::nullopt, std::nullopt },
    };
    fixtures::TemporaryFolder config;
    host::HostOptions options;
    options.catalog = std::make_shared<LibraryCatalog>();
    options.secretStorePath = config.file("pagewyn/secrets");
    {
        fixtures::HostedApp hosted({}, true, options);
        for (const auto& each : cases)
            hosted.app().library().addBook(each.file, each.book, 1000);
        hosted.app().showScreen();
        for (const auto& each : cases) {
            SCOPED_TRACE(each.file);
            for (auto [route, sides] : { std::pair { "/opds/cover/", each.image },
                     std::pair { "/opds/thumbnail/", each.thumbnail } }) {
                auto answer = hosted.get(route + each.file);
                if (!sides && !each.sentAsItIs) {
                    EXPECT_EQ(answer.status, 404) << route;
                    continue;
                }
                ASSERT_EQ(answer.status, 200) << route;
                auto picture = ui::Image::withData(answer.body);
                ASSERT_TRUE(picture) << route;
                EXPECT_EQ(answer.header("Content-Type"), (*picture)->mimeType());
                if (each.sentAsItIs) {
                    EXPECT_EQ(answer.body, each.book.coverBytes()) << route;
                } else {
                    auto shown = std::pair((*picture)->pixelWidth(), (*picture)->pixelHeight());
                    EXPECT_EQ(shown, *sides) << route;
                }
                // Asked again: the copy made the first time.
                EXPECT_EQ(hosted.get(route + each.file).body, answer.body) << route;
            }
        }
        // Asked for once, a book without a cover is known to have none, and offered without links.
        auto page = hosted.get("/opds/title");
        pugi::xml_document feed;
        ASSERT_TRUE(feed.load_string(page.body.c_str()));
        for (auto entry : feed.child("feed").children("entry")) {
            std::string title = entry.child_value("title");
            auto image = entry.find_child_by_attribute("link", "rel", "http://opds-spec.org/image");
            EXPECT_EQ(bool(image), title != "None") << title;
        }
    }
    folioreader::FolioReader::setMetadataStore(nullptr);
}

// The archive's entries in order, each with its bytes (read through libzip, which checks every
// entry's checksum) and whether it is stored.
std::vector<std::tuple<std::string, std::string, bool>> entriesOf(const std::string& archive)
{
    zip_error_t error;
    zip_error_init(&error);
    auto* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_CHECKCONS, &error) : nullptr;
    std::vector<std::tuple<std::string, std::string, bool>> entries;
    if (!zip) {
        ADD_FAILURE() << zip_error_strerror(&error);
        return entries;
    }
    for (zip_int64_t index = 0; index < zip_get_num_entries(zip, 0); ++index) {
        zip_stat_t status;
        zip_stat_index(zip, index, 0, &status);
        std::string bytes(status.size, '\0');
        auto* file = zip_fopen_index(zip, index, 0);
        EXPECT_EQ(zip_fread(file, bytes.data(), bytes.size()), zip_int64_t(bytes.size()))
            << status.name;
        char more;
        EXPECT_EQ(zip_fread(file, &more, 1), 0) << status.name << " checksum";
        zip_fclose(file);
        entries.emplace_back(status.name, bytes, status.comp_method == ZIP_CM_STORE);
    }
    zip_close(zip);
    return entries;
}

TEST(CatalogContent, aFolderBookIsZippedWithItsMimetypeFirstAndNothingOutsideIt)
{
    fixtures::TemporaryFolder folder;
    auto book = folder.file("Book.epub");
    const std::map<std::string, std::string> files {
        { "mimetype", "application/epub+zip" },
        { "META-INF/container.xml", "<container/>" },
        { "OEBPS/content.opf", "<package/>" },
        { "OEBPS/text/c1.xhtml", std::string(200000, 'x') },
    };
    for (auto& [name, bytes] : files) {
        std::filesystem::create_directories(std::filesystem::path(book + "/" + name).parent_path());
        std::ofstream(book + "/" + name, std::ios::binary) << bytes;
    }
    std::ofstream(folder.file("secret.txt")) << "outside";
    std::filesystem::create_symlink(folder.file("secret.txt"), book + "/OEBPS/link.txt");
    std::filesystem::create_directory_symlink(folder.path(), book + "/OEBPS/up");

    auto zip = host::FolderZip::plan(book);
    ASSERT_TRUE(zip) << zip.error().description();
    std::string archive;
    ASSERT_TRUE(zip->stream([&](const char* bytes, std::size_t size) {
        archive.append(bytes, size);
        return true;
    }));
    EXPECT_EQ(archive.size(), zip->size());
    auto entries = entriesOf(archive);
    ASSERT_EQ(entries.size(), files.size());
    EXPECT_EQ(entries.front(),
        std::make_tuple(std::string("mimetype"), std::string("application/epub+zip"), true));
    // The stored mimetype's bytes stand at offset 38, where readers look for them.
    EXPECT_EQ(archive.substr(30, 28), "mimetypeapplication/epub+zip");
    for (auto& [name, bytes, stored] : entries)
        EXPECT_EQ(files.at(name), bytes) << name;

    // Any range is the same bytes as the whole file there, the central directory's and each
    // header's too; a file made again, or after a file's date alone changed, is the same file.
    auto rangeOf = [&](const host::FolderZip& from, std::uint64_t offset, std::uint64_t length) {
        std::string part;
        EXPECT_TRUE(from.send(offset, length, [&](const char* bytes, std::size_t size) {
            part.append(bytes, size);
            return true;
        }));
        return part;
    };
    const auto size = archive.size();
    for (std::uint64_t offset = 0; offset < size;
         offset += (offset < 400 || offset > size - 400) ? 1 : 997) {
        for (std::uint64_t length : { 1, 29, 70000 })
            ASSERT_EQ(rangeOf(*zip, offset, length), archive.substr(offset, length))
                << offset << "+" << length;
    }
    std::filesystem::last_write_time(
        book + "/OEBPS/content.opf", std::filesystem::file_time_type::clock::now());
    auto again = host::FolderZip::plan(book);
    ASSERT_TRUE(again);
    EXPECT_EQ(rangeOf(*again, 0, size), archive);
    EXPECT_NE(again->stamp(), zip->stamp());

    // A file changed after the plan ends the answer short rather than sending a wrong book.
    std::ofstream(book + "/OEBPS/content.opf", std::ios::app) << "more";
    EXPECT_FALSE(zip->stream([](const char*, std::size_t) { return true; }));
}

}
