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

}

// The book's sampled digest: from the metadata cache when it holds one for this version of the
// book, else read from the book and kept there. Empty when the book cannot be read.
std::string LibrarySync::digestOf(
    const std::string& file, const std::string& path, const std::string& version)
{
    auto store = folioreader::FolioReader::metadataStore();
    const std::string& folder = documentsFolder().path();
    if (store && !version.empty()) {
        if (auto kept = store->documentDigestOf(folder, file, version))
            return *kept;
    }
    auto digest = host::documentDigest(path);
    if (!digest)
        return {};
    if (store && !version.empty())
        store->storeDocumentDigest(folder, file, version, *digest);
    return *digest;
}

std::optional<std::string> LibrarySync::bookFor(const std::string& document)
{
    std::lock_guard lock(m_mutex);
    auto version
        = m_loop.performAndWait([this] { return m_books.changeCount(); }, ui::TaskKind::look);
    if (!version)
        return std::nullopt;
    if (*version != m_madeAt) {
        auto files = m_loop.performAndWait(
            [this] {
                std::vector<std::string> files;
                for (std::size_t position = 0; position < m_books.size(); ++position)
                    files.push_back(m_books[position].file);
                return files;
            },
            ui::TaskKind::look);
        if (!files)
            return std::nullopt;
        m_bookByDocument.clear();
        for (const auto& file : *files) {
            m_bookByDocument.emplace(host::fileNameDigest(file), file);
            auto path = bookPath(file);
            auto stamp = versionOf(path);
            auto& known = m_digests[path];
            if (known.stamp != stamp || known.digest.empty())
                known = { stamp, digestOf(file, path, stamp) };
            if (!known.digest.empty())
                m_bookByDocument.emplace(known.digest, file);
        }
        m_madeAt = *version;
    }
    auto found = m_bookByDocument.find(document);
    if (found == m_bookByDocument.end())
        return std::nullopt;
    return found->second;
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
