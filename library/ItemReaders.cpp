// ItemReaders: workers claim items in listing order and park each result in a ring of slots that
// the scan empties in the same order; a worker waits while the ring is full.
#include "library/ItemReaders.h"

#include "frameworks/folioreader/FolioReader.h"
#include "library/BookList.h"
#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<std::size_t> configuredWorkers { 0 };

}

std::size_t scanWorkerCount()
{
    if (std::size_t workers = configuredWorkers.load())
        return workers;
    // Bounded: past a few threads the disk, not the cores, sets the pace.
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
}

void setScanWorkerCount(std::size_t workers)
{
    configuredWorkers.store(workers);
}

ItemRead readItem(const std::string& path, bool readMetadata)
{
    ItemRead item;
    auto attributes = foundation::FileManager::defaultManager()->attributesOfItemAtPath(path);
    if (!attributes) {
        item.unreadable = attributes.error();
        return item;
    }
    // The platform dates every file and folder; an item without a date can be neither placed nor
    // compared, so it is treated like any other unreadable item.
    auto modified = attributes->modificationDate();
    if (!modified) {
        item.unreadable = foundation::Error("\"" + path + "\": no modification date");
        return item;
    }
    item.modified = *modified;
    if (!readMetadata)
        return item;
    item.title = FolioReader::getTitle(path);
    if (*item.title)
        item.author = FolioReader::getAuthorName(path);
    // Folded here, on the reading thread, rather than in the scan's one thread.
    if (*item.title && *item.author)
        item.searchKey = BookList::searchKeyOf(**item.title, **item.author);
    return item;
}

ItemReaders::ItemReaders(std::string folder, const std::vector<std::string>& names, std::vector<char> readMetadata, std::size_t workers)
    : m_folder(std::move(folder)), m_names(names), m_readMetadata(std::move(readMetadata))
{
    if (workers <= 1)
        return;
    m_ready.resize(window);
    for (std::size_t n = 0; n < workers; ++n)
        m_workers.emplace_back([this] { work(); });
}

ItemReaders::~ItemReaders()
{
    cancel();
    for (auto& worker : m_workers)
        worker.join();
}

void ItemReaders::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_spaceFreed.notify_all();
    m_itemsReady.notify_all();
}

void ItemReaders::work()
{
    std::vector<ItemRead> read;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_spaceFreed.wait(lock, [&] { return m_cancelled || m_next >= m_names.size() || m_next + chunk <= m_taken + window; });
        if (m_cancelled || m_next >= m_names.size())
            return;
        const std::size_t first = m_next;
        const std::size_t end = std::min(first + chunk, m_names.size());
        m_next = end;
        lock.unlock();
        read.clear();
        for (std::size_t index = first; index < end; ++index)
            read.push_back(readItem(m_folder + "/" + m_names[index], m_readMetadata[index]));
        lock.lock();
        for (std::size_t index = first; index < end; ++index)
            m_ready[index % window] = std::move(read[index - first]);
        m_itemsReady.notify_one();
    }
}

ItemRead ItemReaders::take(std::size_t index)
{
    if (m_workers.empty())
        return readItem(m_folder + "/" + m_names[index], m_readMetadata[index]);
    std::unique_lock lock(m_mutex);
    auto& slot = m_ready[index % window];
    m_itemsReady.wait(lock, [&] { return slot.has_value(); });
    ItemRead item = std::move(*slot);
    slot.reset();
    m_taken = index + 1;
    if (m_taken % chunk == 0)
        m_spaceFreed.notify_all();
    return item;
}
