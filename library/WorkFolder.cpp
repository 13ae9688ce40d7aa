// Work folders made with mkdtemp and locked with flock; the renames the library changes by.
#include "library/WorkFolder.h"

#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

using foundation::fileError;

foundation::Result<WorkFolder> WorkFolder::create(
    const std::string& library, std::string_view prefix)
{
    std::string pattern = library + "/" + std::string(prefix) + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return fileError(library, errno);
    int lock = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lock < 0) {
        int error = errno;
        ::rmdir(pattern.c_str());
        return fileError(pattern, error);
    }
    // A file system without locks on folders (some network ones) still imports and deletes; only
    // another Pagewyn starting on the same library meanwhile could then take the folder for a
    // leftover, which costs that import, never a book.
    (void)::flock(lock, LOCK_EX | LOCK_NB);
    return WorkFolder(std::move(pattern), lock);
}

WorkFolder::WorkFolder(WorkFolder&& other) noexcept
    : m_path(std::move(other.m_path))
    , m_lock(std::exchange(other.m_lock, -1))
    , m_kept(other.m_kept)
{
}

WorkFolder::~WorkFolder()
{
    if (m_lock < 0)
        return;
    if (!m_kept) {
        libraryStep("remove work folder");
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ::close(m_lock);
}

foundation::Result<void> WorkFolder::syncToDisk() const
{
    if (::syncfs(m_lock) != 0)
        return fileError(m_path, errno);
    return {};
}

bool isWorkFolderName(std::string_view name)
{
    std::string_view suffix;
    if (name.starts_with(WorkFolder::importPrefix))
        suffix = name.substr(WorkFolder::importPrefix.size());
    else if (name.starts_with(WorkFolder::deletePrefix))
        suffix = name.substr(WorkFolder::deletePrefix.size());
    else
        return false;
    // mkdtemp's six letters and digits, so that a book named ".import-notes.epub" is never one.
    return suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c));
    });
}

foundation::Result<bool> exchangeItems(const std::string& first, const std::string& second)
{
    if (!libraryWorkSeams().tryExchange)
        return false;
    if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    // File systems without the exchange say so in one of these ways.
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
        return false;
    return fileError(first, errno);
}

foundation::Result<void> renameItem(const std::string& from, const std::string& to)
{
    // Where the file system knows no "no replace", the plain rename is the best there is.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return fileError(from, errno);
    if (::rename(from.c_str(), to.c_str()) != 0)
        return fileError(from, errno);
    return {};
}

LibraryWorkSeams& libraryWorkSeams()
{
    static LibraryWorkSeams seams;
    return seams;
}

void libraryStep(std::string_view step)
{
    if (auto& seams = libraryWorkSeams(); seams.beforeStep)
        seams.beforeStep(step);
}
