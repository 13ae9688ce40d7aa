// Books are read as files (EpubContainer), never unpacked: only the documents that hold
// highlights are read, and each once.
#include "frameworks/folioreader/highlights/exportHighlights.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/stores/HighlightStore.h"

#include <algorithm>
#include <map>

namespace folioreader {

namespace {

std::vector<std::string> spineEntryNames(const PackageDocument& package)
{
    std::vector<std::string> names;
    for (const SpineItem& itemref : package.spine) {
        const ManifestItem* item = package.item(itemref.idref);
        if (auto name = item ? package.resolve(item->href) : std::nullopt)
            names.push_back(std::move(*name));
    }
    return names;
}

// An item name that names something inside the folder and nothing else.
bool isItemName(const std::string& file)
{
    return !file.empty() && file != "." && file != ".." && file.find('/') == std::string::npos
        && file.find('\0') == std::string::npos;
}

}

BookHighlights readBookHighlights(
    const std::string& path, const std::string& file, std::vector<Highlight> highlights)
{
    BookHighlights book {
        .title = {}, .author = {}, .file = file, .problem = {}, .highlights = {}
    };
    auto keepAll = [&](std::string problem) {
        book.problem = std::move(problem);
        book.highlights = placeHighlights(std::move(highlights), {}, {}, {});
        return book;
    };
    auto container = EpubContainer::open(path);
    if (!container)
        return keepAll(container.error().description());
    auto package = readPackage(*container);
    if (!package)
        return keepAll(package.error().description());
    book.title = package->title;
    book.author = package->creator;
    // A book without a usable table of contents still has its highlights, without chapters.
    auto contents = readTableOfContents(*container, *package);
    book.highlights = placeHighlights(std::move(highlights), spineEntryNames(*package),
        contents ? *contents : std::vector<TocEntry> {},
        [&](const std::string& name) { return container->read(name, maximumDocumentSize); });
    return book;
}

foundation::Result<ui::ExportedFile> exportLibraryHighlights(
    Realm::Configuration database, const std::string& folder)
{
    database.readOnly = true;
    auto store = TRY(HighlightStore::open(database));
    std::map<std::string, std::vector<Highlight>> byBook;
    for (const auto& highlight : store->highlights())
        byBook[highlight.book].push_back(highlight);

    std::vector<BookHighlights> books;
    for (auto& [file, highlights] : byBook) {
        if (isItemName(file))
            books.push_back(readBookHighlights(folder + "/" + file, file, std::move(highlights)));
        else
            books.push_back({ .title = {},
                .author = {},
                .file = file,
                .problem = "it is not a book of the library",
                .highlights = placeHighlights(std::move(highlights), {}, {}, {}) });
    }
    auto sortTitle = [](const BookHighlights& book) {
        std::string title = book.title.empty() ? book.file : book.title;
        std::transform(title.begin(), title.end(), title.begin(),
            [](unsigned char c) { return std::tolower(c); });
        return title;
    };
    std::stable_sort(
        books.begin(), books.end(), [&](const BookHighlights& a, const BookHighlights& b) {
            return sortTitle(a) < sortTitle(b);
        });
    return ui::ExportedFile { .fileName = "Pagewyn highlights.md",
        .mediaType = markdownMediaType,
        .bytes = libraryHighlightsMarkdown(books) };
}

}
