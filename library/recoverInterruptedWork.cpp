// Start-up recovery of work folders: locked ones belong to a running Pagewyn and are left alone.
#include "library/recoverInterruptedWork.h"

#include "library/WorkFolder.h"
#include "library/removeLibraryItem.h"
#include "platform/foundation/Console.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An import that had moved the old book aside to place the new one: when the book's name is
// free, the old book goes back to it. False when it stays where it is.
bool putBackPrevious(const std::string& library, const std::string& folder)
{
    std::error_code error;
    const std::string previous = folder + "/" + std::string(previousBookName);
    if (!std::filesystem::exists(std::filesystem::symlink_status(previous, error)))
        return true;
    std::string name;
    std::getline(std::ifstream(folder + "/" + std::string(bookNameFile)), name);
    if (!isPlainItemName(name) || isWorkFolderName(name))
        return false;
    const std::string destination = library + "/" + name;
    struct stat status { };
    if (::lstat(destination.c_str(), &status) == 0)
        return true; // the new book took its place: the old one is what is left to remove
    auto moved = renameItem(previous, destination);
    if (!moved)
        foundation::console("Can't import: " + moved.error().description());
    return bool(moved);
}

}

void recoverInterruptedWork(const std::string& library)
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry(library, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!isWorkFolderName(name))
            continue;
        const std::string folder = entry->path().string();
        int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (lock < 0)
            continue;
        // A folder another Pagewyn holds is work in progress, not a leftover. Where folders cannot
        // be locked at all, it is taken for a leftover.
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
            bool removable
                = !name.starts_with(WorkFolder::importPrefix) || putBackPrevious(library, folder);
            std::error_code ignored;
            if (removable)
                std::filesystem::remove_all(folder, ignored);
        }
        ::close(lock);
    }
}
