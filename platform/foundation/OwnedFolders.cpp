// Reading the owner from a folder's name, and removing the folders of processes that are gone.
#include "platform/foundation/OwnedFolders.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace foundation {

namespace {

// What mkdtemp puts after the owner's "-".
constexpr std::size_t uniqueLength = 6;

}

std::string ownedFolderPattern(const std::string& parent, std::string_view prefix)
{
    return parent + "/" + std::string(prefix) + std::to_string(::getpid()) + "-"
        + std::string(uniqueLength, 'X');
}

std::optional<pid_t> ownerOfFolder(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix))
        return std::nullopt;
    name.remove_prefix(prefix.size());
    pid_t owner = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), owner);
    std::string_view rest(end, static_cast<std::size_t>(name.data() + name.size() - end));
    if (error != std::errc() || owner <= 0 || rest.size() != uniqueLength + 1
        || rest.front() != '-')
        return std::nullopt;
    return owner;
}

void removeAbandonedFolders(const std::string& parent, std::string_view prefix)
{
    DIR* directory = ::opendir(parent.c_str());
    if (!directory)
        return;
    std::vector<std::string> abandoned;
    while (dirent* entry = ::readdir(directory)) {
        auto owner = ownerOfFolder(entry->d_name, prefix);
        if (!owner || *owner == ::getpid() || ::kill(*owner, 0) == 0 || errno != ESRCH)
            continue;
        std::string path = parent + "/" + entry->d_name;
        struct stat status { };
        if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)
            && status.st_uid == ::getuid())
            abandoned.push_back(path);
    }
    ::closedir(directory);
    for (auto& path : abandoned) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

}
