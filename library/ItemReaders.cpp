// ItemReaders: workers claim items in listing order and park each result in a ring of slots that
// the scan empties in the same order; a worker waits while the ring is full.
#include "library/ItemReaders.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/KnownItemStatus.h"
#include "library/BookList.h"
#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

ItemRead ItemReaders::read(std::size_t index) const
{
    ItemRead item;
    const std::string path = m_folder + "/" + m_names[index];
    // The item's attributes, as the file manager gives them (a symbolic link is not followed).
    struct stat status {};
    int failed = m_folderDescriptor >= 0 ? ::fstatat(m_folderDescriptor, m_names[index].c_str(), &status, AT_SYMLINK_NOFOLLOW)
                                         : ::lstat(path.c_str(), &status);
    if (failed != 0) {
        item.unreadable = foundation::fileError(path, errno);
        return item;
    }
    item.modified = foundation::Date(foundation::Date::TimePoint(std::chrono::seconds(status.st_mtim.tv_sec)
        + std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
    if (!m_readMetadata[index])
        return item;
    // The reader engine checks its stored titles against this same status instead of asking again.
    folioreader::KnownItemStatus known(path, status);
    item.title = FolioReader::getTitle(path);
    if (*item.title)
        item.author = FolioReader::getAuthorName(path);
    if (!*item.title || !*item.author)
        return item;
    // Folded here, on the reading thread, rather than in the scan's one thread.
    item.searchKey = BookList::searchKeyOf(**item.title, **item.author);
    // From the package just read, or the store: they fail only where the book changed meanwhile,
    // and then the book is listed without them, as its title and author say.
    if (auto identifier = FolioReader::getIdentifier(path))
        item.details.identifier = std::move(*identifier);
    if (auto language = FolioReader::getLanguage(path))
        item.details.language = std::move(*language);
    return item;
}

ItemReaders::ItemReaders(std::string folder, const std::vector<std::string>& names, std::vector<char> readMetadata, std::size_t workers)
    : m_folder(std::move(folder))
    , m_folderDescriptor(::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))
    , m_names(names)
    , m_readMetadata(std::move(readMetadata))
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
    if (m_folderDescriptor >= 0)
        ::close(m_folderDescriptor);
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
    std::vector<ItemRead> items;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_spaceFreed.wait(lock, [&] { return m_cancelled || m_next >= m_names.size() || m_next + chunk <= m_taken + window; });
        if (m_cancelled || m_next >= m_names.size())
            return;
        readChunk(lock, items);
        m_itemsReady.notify_one();
    }
}

void ItemReaders::readChunk(std::unique_lock<std::mutex>& lock, std::vector<ItemRead>& items)
{
    const std::size_t first = m_next;
    const std::size_t end = std::min(first + chunk, m_names.size());
    m_next = end;
    lock.unlock();
    items.clear();
    for (std::size_t index = first; index < end; ++index)
        items.push_back(read(index));
    lock.lock();
    for (std::size_t index = first; index < end; ++index)
        m_ready[index % window] = std::move(items[index - first]);
}

ItemRead ItemReaders::take(std::size_t index)
{
    if (m_workers.empty())
        return read(index);
    std::unique_lock lock(m_mutex);
    auto& slot = m_ready[index % window];
    // While its item is not read yet, the scan reads the next chunk itself, where the window has
    // room, instead of waiting idle for a worker: on a busy machine a worker can take longer to be
    // scheduled than the reading takes.
    std::vector<ItemRead> items;
    while (!slot) {
        if (!m_cancelled && m_next < m_names.size() && m_next + chunk <= m_taken + window)
            readChunk(lock, items);
        else
            m_itemsReady.wait(lock);
    }
    ItemRead item = std::move(*slot);
    slot.reset();
    m_taken = index + 1;
    if (m_taken % chunk == 0)
        m_spaceFreed.notify_all();
    return item;
}
