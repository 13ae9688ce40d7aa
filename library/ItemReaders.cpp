// ItemReaders: what the scan needs of each item, read in listing order by foundation::OrderedWork.
#include "library/ItemReaders.h"

#include "frameworks/folioreader/FolioReader.h"
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
    struct stat status { };
    int failed = m_folderDescriptor.isOpen()
        ? ::fstatat(m_folderDescriptor.get(), m_names[index].c_str(), &status, AT_SYMLINK_NOFOLLOW)
        : ::lstat(path.c_str(), &status);
    if (failed != 0) {
        item.unreadable = foundation::fileError(path, errno);
        return item;
    }
    item.modified
        = foundation::Date(foundation::Date::TimePoint(std::chrono::seconds(status.st_mtim.tv_sec)
            + std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
    if (!m_readMetadata[index])
        return item;
    // The reader engine checks its stored titles against this same status instead of asking again.
    auto metadata = folioreader::FolioReader::readMetadata(m_scan, path, &status);
    if (!metadata) {
        item.title = metadata.error();
        return item;
    }
    item.title = std::move(metadata->title);
    item.author = std::move(metadata->author);
    // Folded here, on the reading thread, rather than in the scan's one thread.
    item.searchKey = BookList::searchKeyOf(**item.title, **item.author);
    item.details.identifier = std::move(metadata->identifier);
    item.details.language = std::move(metadata->language);
    return item;
}

ItemReaders::ItemReaders(std::string folder, const std::vector<std::string>& names,
    std::vector<char> readMetadata, folioreader::MetadataScan* scan, std::size_t workers)
    : m_folder(std::move(folder))
    , m_folderDescriptor(::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))
    , m_names(names)
    , m_readMetadata(std::move(readMetadata))
    , m_scan(scan)
    , m_reads(names.size(), shape(workers), [this](std::size_t index) { return read(index); })
{
}

ItemReaders::~ItemReaders() = default;
