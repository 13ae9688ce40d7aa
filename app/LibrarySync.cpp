// Matching documents to books, and carrying places between the devices' terms and the reader's.
#include "app/LibrarySync.h"

#include "app/ViewController.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "frameworks/folioreader/sync/SyncedPlace.h"
#include "library/DocumentsFolder.h"
#include "platform/foundation/Console.h"
#include "platform/host/kosync/documentDigest.h"
#include "platform/host/opds/FolderZip.h"
#include "platform/ui/ScreenChange.h"

#include <sys/stat.h>
#include <vector>

namespace {

// What changes with any version of the book's bytes as the catalog sends them: the file's
// identity, size and time, or for a folder book the names, sizes and times of its files.
std::string versionOf(const std::string& path)
{
    struct stat status { };
    if (::lstat(path.c_str(), &status) != 0)
        return {};
    if (S_ISDIR(status.st_mode)) {
        auto zip = host::FolderZip::plan(path);
        return zip ? "folder " + std::to_string(zip->stamp()) : std::string();
    }
    return std::to_string(status.st_ino) + " " + std::to_string(status.st_size) + " "
        + std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec);
}

// Past this many, the documents known to match no book are forgotten and looked for again.
constexpr std::size_t mostUnmatched = 10000;

}

LibrarySync::BookReading LibrarySync::bookFiles()
{
    return { versionOf, host::documentDigest };
}

bool LibrarySync::followList()
{
    auto version
        = m_loop.performAndWait([this] { return m_books.changeCount(); }, ui::TaskKind::look);
    if (!version)
        return false;
    if (*version == m_madeAt)
        return true;
    auto files = m_loop.performAndWait(
        [this] {
            std::vector<std::string> files;
            files.reserve(m_books.size());
            for (const auto& book : m_books)
                files.push_back(book.file);
            return files;
        },
        ui::TaskKind::look);
    if (!files)
        return false;
    m_files = std::move(*files);
    m_bookByName.clear();
    for (const auto& file : m_files)
        m_bookByName.emplace(host::fileNameDigest(file), file);
    m_bookByDigest.clear();
    m_walked = 0;
    m_unmatched.clear();
    m_madeAt = *version;
    return true;
}

std::optional<std::string> LibrarySync::cachedBookFor(const std::string& document)
{
    auto store = folioreader::FolioReader::metadataStore();
    if (!store)
        return std::nullopt;
    for (const auto& kept : store->booksOfDocumentDigest(documentsFolder().path(), document)) {
        // A book of the list under its current version: its name names it too.
        auto listed = m_bookByName.find(host::fileNameDigest(kept.name));
        if (listed == m_bookByName.end() || listed->second != kept.name)
            continue;
        if (!kept.version.empty() && m_reading.versionOf(bookPath(kept.name)) == kept.version)
            return kept.name;
    }
    return std::nullopt;
}

std::string LibrarySync::digestOf(
    const std::string& file, std::vector<folioreader::MetadataStore::DigestedBook>& read)
{
    auto store = folioreader::FolioReader::metadataStore();
    std::string path = bookPath(file);
    std::string version = m_reading.versionOf(path);
    if (store && !version.empty()) {
        if (auto kept = store->documentDigestOf(documentsFolder().path(), file, version))
            return *kept;
    }
    auto digest = m_reading.digestOf(path);
    if (!digest)
        return {};
    if (!version.empty())
        read.push_back({ file, version, *digest });
    return *digest;
}

std::optional<std::string> LibrarySync::walkFor(
    const std::string& document, std::vector<folioreader::MetadataStore::DigestedBook>& read)
{
    // An ask cut short answers no book (a push is kept all the same), and the next goes on.
    auto until = std::chrono::steady_clock::now() + m_budget;
    while (m_walked < m_files.size()) {
        const std::string& file = m_files[m_walked++];
        auto digest = digestOf(file, read);
        if (!digest.empty())
            m_bookByDigest.emplace(digest, file);
        if (digest == document)
            return file;
        if (std::chrono::steady_clock::now() >= until)
            return std::nullopt;
    }
    if (m_unmatched.size() >= mostUnmatched)
        m_unmatched.clear();
    m_unmatched.insert(document);
    return std::nullopt;
}

std::optional<std::string> LibrarySync::bookFor(const std::string& document)
{
    std::lock_guard lock(m_mutex);
    if (!followList())
        return std::nullopt;
    if (auto named = m_bookByName.find(document); named != m_bookByName.end())
        return named->second;
    if (auto known = m_bookByDigest.find(document); known != m_bookByDigest.end())
        return known->second;
    if (m_unmatched.contains(document))
        return std::nullopt;
    if (auto cached = cachedBookFor(document)) {
        m_bookByDigest.emplace(document, *cached);
        return cached;
    }
    std::vector<folioreader::MetadataStore::DigestedBook> read;
    auto found = walkFor(document, read);
    // Kept in one transaction: one per book cost more than reading the book.
    if (auto store = folioreader::FolioReader::metadataStore())
        store->storeDocumentDigests(documentsFolder().path(), read);
    return found;
}

std::optional<host::SyncPlace> LibrarySync::keptPlace(const std::string& book)
{
    auto place = folioreader::readingPlace(bookPath(folioreader::readingPlacesName), book);
    if (!place || place->keptAt == 0)
        return std::nullopt;
    auto named = folioreader::devicePlaceOf(bookPath(book), *place);
    if (!named)
        return std::nullopt;
    return host::SyncPlace { named->progress, named->percentage, place->keptAt };
}

void LibrarySync::placePushed(
    const std::string& book, const host::SyncPlace& pushed, const std::string& device)
{
    std::string store = bookPath(folioreader::readingPlacesName);
    auto kept = folioreader::readingPlace(store, book);
    // Only a push newer than the reader's own place moves it.
    if (kept && kept->keptAt > pushed.timestamp)
        return;
    auto place
        = folioreader::readingPlaceOf(bookPath(book), { pushed.progress, pushed.percentage }, kept);
    if (!place) {
        foundation::console("Can't take the place " + device + " pushed for " + book + ": "
            + place.error().description());
        return;
    }
    place->keptAt = pushed.timestamp;
    place->device = device;
    // Kept on the main loop, where the reader keeps its own places: one writer of the file. The
    // rows in view show the book's new progress.
    auto keep = [&] {
        auto result = folioreader::keepReadingPlace(store, book, *place);
        for (auto& screen : libraryScreens())
            screen->tableView()->reloadData();
        ui::screenChanged();
        return result;
    };
    auto written = m_loop.performAndWait(keep);
    if (!written || !*written)
        foundation::console("Can't keep the place " + device + " pushed for " + book);
}
