// A book put aside by one rename, then removed.
#include "library/removeLibraryItem.h"

#include "library/WorkFolder.h"
#include "platform/foundation/FileManager.h"

#include <sys/stat.h>

bool isPlainItemName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

foundation::Result<void> removeLibraryItem(
    const std::string& libraryFolder, const std::string& name)
{
    const std::string path = libraryFolder + "/" + name;
    // A missing item is reported as itself, not as a failed rename.
    struct stat status { };
    if (::lstat(path.c_str(), &status) != 0)
        return foundation::fileError(path, errno);
    auto aside = WorkFolder::create(libraryFolder, WorkFolder::deletePrefix);
    if (!aside)
        return foundation::Error(
            "\"" + path + "\" cannot be put aside: " + aside.error().description());
    libraryStep("move book aside");
    TRY(renameItem(path, aside->path() + "/" + std::string(unpackedBookName)));
    return {};
}
