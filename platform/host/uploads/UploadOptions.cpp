// The inbox's place and the free space of the library's disk.
#include "platform/host/uploads/UploadOptions.h"

#include "platform/desktop/PrivateFolders.h"
#include "platform/foundation/FileManager.h"

#include <filesystem>

namespace host {

std::string defaultInboxFolder()
{
    return desktop::pagewynCacheFolder() + "/inbox";
}

std::optional<std::uintmax_t> documentsDiskFreeSpace()
{
    namespace fs = std::filesystem;
    auto folders = foundation::FileManager().urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    if (folders.empty())
        return std::nullopt;
    fs::path folder = folders.front().path();
    std::error_code error;
    while (!fs::exists(folder, error) && folder.has_parent_path() && folder != folder.parent_path())
        folder = folder.parent_path();
    auto space = fs::space(folder, error);
    if (error)
        return std::nullopt;
    return space.available;
}

}
