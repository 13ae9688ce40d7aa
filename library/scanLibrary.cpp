// The scan of the documents folder that brings the book list up to date.
#include "library/scanLibrary.h"

#include "frameworks/folioreader/FolioReader.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/ScanProgress.h"
#include "library/SortOrder.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

constexpr std::string_view bookEnding = ".epub";

bool namesBook(const std::string& name)
{
    return name.size() >= bookEnding.size() && name.compare(name.size() - bookEnding.size(), bookEnding.size(), bookEnding) == 0;
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
    explicit RecencyResort(BookList& books) : m_books(books) {}

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

}

void scanLibrary()
{
    auto fileManager = foundation::FileManager::defaultManager();
    const std::string folderPath = documentsFolder().path();
    auto names = fileManager->contentsOfDirectoryAtPath(folderPath);
    if (!names) {
        cantRead(names.error());
        return;
    }
    BookList& books = bookList();
    RecencyResort resort(books);
    // Whoever watches learns how far the scan has come every so many books.
    constexpr std::size_t progressInterval = 64;
    const auto found = static_cast<std::size_t>(std::count_if(names->begin(), names->end(), namesBook));
    std::size_t read = 0;
    reportScanProgress(0, found);
    for (const std::string& name : *names) {
        if (scanStopRequested())
            break;
        if (!namesBook(name))
            continue;
        if (++read % progressInterval == 0)
            reportScanProgress(read, found);
        const std::string path = folderPath + "/" + name;
        auto attributes = fileManager->attributesOfItemAtPath(path);
        if (!attributes) {
            cantRead(attributes.error());
            continue;
        }
        // The platform dates every file and folder; an item without a date can be neither
        // placed nor compared, so it is treated like any other unreadable item.
        auto modified = attributes->modificationDate();
        if (!modified) {
            cantRead(foundation::Error("\"" + path + "\": no modification date"));
            continue;
        }
        if (auto known = books.find(name)) {
            if (books[*known].added < *modified) {
                books[*known].added = *modified;
                resort.changed(*known);
            }
            continue;
        }
        auto title = FolioReader::getTitle(path);
        if (!title) {
            cantRead(title.error());
            continue;
        }
        auto author = FolioReader::getAuthorName(path);
        if (!author) {
            cantRead(author.error());
            continue;
        }
        books.append(Book { std::move(*title), std::move(*author), name, *modified });
        resort.changed(books.size() - 1);
    }
    resort.finish();
    reportScanProgress(found, found);
}
