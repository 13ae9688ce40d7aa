// The scan of the documents folder that brings the book list up to date.
#include "library/scanLibrary.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/DescriptionPass.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "frameworks/folioreader/textindex/TextIndexer.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/ItemReaders.h"
#include "library/ScanProgress.h"
#include "library/SortOrder.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cstdint>
#include <malloc.h>
#include <numeric>
#include <unordered_map>

namespace {

constexpr std::string_view bookEnding = ".epub";

bool namesBook(const std::string& name)
{
    return name.size() >= bookEnding.size()
        && name.compare(name.size() - bookEnding.size(), bookEnding.size(), bookEnding) == 0;
}

// The list must read as if it had been stably re-sorted newest first after every single added
// book and every raised date. Sorting once per change would cost n^2 log n on a first scan, so
// each book gets a rank that breaks ties the way those sorts would, and the list is sorted once
// at the end by date and rank. The first change sorts the list as it stands, so ties keep their
// current positions. From then on the list is in recency order, every book a change ties with
// stands before it, and the stable sort puts the changed book after them all: a fresh, highest
// rank. Unchanged books keep their mutual order.
class RecencyResort {
public:
    explicit RecencyResort(BookList& books)
        : m_books(books)
    {
    }

    void changed(std::size_t index)
    {
        if (!m_anyChange) {
            m_anyChange = true;
            m_ranks.resize(m_books.size());
            std::iota(m_ranks.begin(), m_ranks.end(), std::uint64_t { 0 });
            m_nextRank = m_books.size();
            return;
        }
        if (index >= m_ranks.size())
            m_ranks.resize(index + 1);
        m_ranks[index] = m_nextRank++;
    }

    void finish()
    {
        if (!m_anyChange)
            return;
        std::vector<std::size_t> order(m_books.size());
        std::iota(order.begin(), order.end(), std::size_t { 0 });
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            if (m_books[a].added != m_books[b].added)
                return m_books[a].added > m_books[b].added;
            return m_ranks[a] < m_ranks[b];
        });
        m_books.reorder(order);
        sortOrder() = SortOrder::recentlyOpened;
    }

private:
    BookList& m_books;
    std::vector<std::uint64_t> m_ranks;
    std::uint64_t m_nextRank = 0;
    bool m_anyChange = false;
};

void cantRead(const foundation::Error& error)
{
    foundation::console("Can't read: " + error.description());
}

// For each name not known at the start, the first such name canonically equal to it (itself when
// none is); empty when no name can have another spelling. A name's book, when the scan adds it,
// is the one its first equal name added: the only books the scan's own additions can match.
std::vector<std::size_t> firstEqualNames(
    const std::vector<std::string>& names, const std::vector<char>& newToList)
{
    std::vector<std::size_t> first;
    auto spelledOtherwise
        = [&](std::size_t k) { return newToList[k] && !text::isKnownNFC(names[k]); };
    std::size_t k = 0;
    while (k < names.size() && !spelledOtherwise(k))
        ++k;
    if (k == names.size())
        return first; // listed names differ in their bytes, so NFC names differ canonically too
    first.resize(names.size());
    std::unordered_map<std::string, std::size_t> firstByCanonical;
    firstByCanonical.reserve(names.size());
    for (k = 0; k < names.size(); ++k) {
        if (newToList[k])
            first[k] = firstByCanonical.emplace(text::nfc(names[k]), k).first->second;
    }
    return first;
}

}

void scanLibrary(const BackgroundWork& work)
{
    auto fileManager = foundation::FileManager::defaultManager();
    const std::string folderPath = documentsFolder().path();
    auto listing = fileManager->contentsOfDirectoryAtPath(folderPath);
    if (!listing) {
        cantRead(listing.error());
        return;
    }
    // The listing's names are moved, not copied: a folder of 100,000 books is listed once.
    std::vector<std::string> names = std::move(*listing);
    names.erase(std::remove_if(names.begin(), names.end(),
                    [](const std::string& name) { return !namesBook(name); }),
        names.end());
    // In name order: books of the same date stand in the same order on every run, and the metadata
    // store, which keeps its entries in name order, is read and written alongside, a window at a
    // time.
    std::sort(names.begin(), names.end());
    BookList& books = bookList();
    RecencyResort resort(books);

    // The list as the scan found it: only items it does not hold yet are read, on every core when
    // there are many. The list itself changes only here, in name order, so whatever the workers
    // do the scan adds, raises and reports exactly as if it read one item after the other.
    // Each book's place in the list plus one, 0 for none: four bytes a name.
    std::vector<std::uint32_t> knownAtStart(names.size());
    std::vector<char> readMetadata(names.size(), 1);
    std::size_t newItems = names.size();
    if (!books.empty()) {
        newItems = 0;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (auto known = books.find(names[k]))
                knownAtStart[k] = std::uint32_t(*known + 1);
            readMetadata[k] = !knownAtStart[k];
            newItems += readMetadata[k];
        }
    }
    // The list grows once, to at most every new item, rather than doubling as it fills.
    books.reserve(books.size() + newItems);
    // A book the scan adds is found again by later equal spellings of its name, without a lookup
    // in the list: these books are new to it.
    const std::vector<std::size_t> firstEqual = firstEqualNames(names, readMetadata);
    std::unordered_map<std::size_t, std::size_t> addedByFirstEqual;
    // Threads pay off only when there are books to read; a rescan only looks at dates.
    constexpr std::size_t newItemsForWorkers = 16;
    auto metadata = folioreader::FolioReader::beginScan(folderPath, names, readMetadata);
    ItemReaders readers(folderPath, names, std::move(readMetadata), metadata.get(),
        newItems >= newItemsForWorkers ? scanWorkerCount() : 1);

    // Whoever watches learns how far the scan has come every so many books.
    constexpr std::size_t progressInterval = 64;
    const std::size_t found = names.size();
    reportScanProgress(0, found);
    for (std::size_t k = 0; k < names.size(); ++k) {
        // A stop asked for (the program is ending) ends the scan here; the workers stop with the
        // readers.
        if (scanStopRequested())
            break;
        if ((k + 1) % progressInterval == 0)
            reportScanProgress(k + 1, found);
        ItemRead item = readers.take(k);
        if (metadata)
            metadata->taken(k + 1);
        if (item.unreadable) {
            cantRead(*item.unreadable);
            continue;
        }
        // A book known at the start is still at its place: the scan only appends. Another
        // spelling of a name listed earlier may have joined the list since.
        std::optional<std::size_t> known;
        if (knownAtStart[k])
            known = knownAtStart[k] - 1;
        if (!known && !firstEqual.empty() && firstEqual[k] != k) {
            if (auto added = addedByFirstEqual.find(firstEqual[k]);
                added != addedByFirstEqual.end())
                known = added->second;
        }
        if (known) {
            if (books[*known].added < item.modified) {
                books.setAdded(*known, item.modified);
                resort.changed(*known);
            }
            continue;
        }
        if (!*item.title) {
            cantRead(item.title->error());
            continue;
        }
        if (!*item.author) {
            cantRead(item.author->error());
            continue;
        }
        books.append(
            Book { std::move(**item.title), std::move(**item.author), names[k], item.modified },
            std::move(item.searchKey), std::move(item.details));
        resort.changed(books.size() - 1);
        if (!firstEqual.empty())
            addedByFirstEqual.emplace(firstEqual[k], books.size() - 1);
    }
    resort.finish();
    // The books' descriptions are read after the scan, which the person waits for, and apart
    // from it: only the catalog shows them. Their text is indexed after it too.
    bool entriesWritten = metadata && metadata->finish();
    if (metadata && work.descriptions)
        work.descriptions->request(metadata->store(), folderPath, entriesWritten);
    if (work.textIndexer && !scanStopRequested())
        work.textIndexer->request(folderPath, names);
    reportScanProgress(found, found);
    // What the scan's threads held meanwhile (paths, packages, the store's windows) lies freed
    // between the list's books: given back to the system, a start on 100,000 books keeps the
    // resident size of its list rather than of its peak.
    ::malloc_trim(0);
}
