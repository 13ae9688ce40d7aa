// This user's cache and runtime folders, and folders only this user can enter.
#include "platform/desktop/PrivateFolders.h"

#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {
std::optional<std::string> absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || *value != '/')
        return std::nullopt;
    return std::string(value);
}
}

namespace {
// Pagewyn's folder in the user's folder of a kind: $variable/pagewyn, else ~/underHome/pagewyn,
// else under the system's temporary folder, named after the user.
std::string userFolder(const char* variable, const char* underHome, const char* temporaryName)
{
    if (auto chosen = absoluteVariable(variable))
        return *chosen + "/pagewyn";
    if (auto home = absoluteVariable("HOME"))
        return *home + "/" + underHome + "/pagewyn";
    return std::filesystem::temp_directory_path().string() + "/" + temporaryName
        + std::to_string(::getuid());
}
}

std::string pagewynCacheFolder()
{
    return userFolder("XDG_CACHE_HOME", ".cache", "pagewyn-");
}

std::string pagewynConfigFolder()
{
    return userFolder("XDG_CONFIG_HOME", ".config", "pagewyn-config-");
}

std::optional<std::string> pagewynRuntimeFolder()
{
    if (auto runtime = absoluteVariable("XDG_RUNTIME_DIR"))
        return *runtime + "/pagewyn";
    return std::nullopt;
}

foundation::Result<void> makePrivateFolder(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        return foundation::Error(path + ": " + error.message());
    struct stat status { };
    if (::lstat(path.c_str(), &status) != 0)
        return foundation::fileError(path, errno);
    if (!S_ISDIR(status.st_mode))
        return foundation::Error(path + ": not a folder");
    if (status.st_uid != ::getuid())
        return foundation::Error(path + ": the folder belongs to another user");
    if ((status.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        return foundation::fileError(path, errno);
    return {};
}

}
