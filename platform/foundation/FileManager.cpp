// FileManager on POSIX calls: nanosecond modification dates, no symbolic link followed on removal.
#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace {

std::optional<std::string>& documentsOverride()
{
    static std::optional<std::string> path;
    return path;
}

Date dateFromTimespec(const timespec& time)
{
    return Date(Date::TimePoint(
        std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec)));
}

std::string userDocumentsPath()
{
    if (auto& override = documentsOverride())
        return *override;
    std::string dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        dataHome = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        dataHome = std::string(home) + "/.local/share";
    else
        dataHome = "/tmp";
    return dataHome + "/pagewyn/Documents";
}

}

Error fileError(const std::string& path, int errorNumber)
{
    return Error("\"" + path + "\": " + std::strerror(errorNumber));
}

void FileAttributes::set(std::string_view key, FileAttributeValue value)
{
    for (auto& entry : m_entries) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(key, std::move(value));
}

const FileAttributeValue* FileAttributes::find(std::string_view key) const
{
    for (auto& entry : m_entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

std::optional<Date> FileAttributes::modificationDate() const
{
    auto* value = find(FileAttributeKey::modificationDate);
    if (!value || !std::holds_alternative<Date>(*value))
        return std::nullopt;
    return std::get<Date>(*value);
}

std::shared_ptr<FileManager> FileManager::defaultManager()
{
    static auto shared = std::make_shared<FileManager>();
    return shared;
}

void FileManager::setDocumentsDirectoryOverride(std::optional<std::string> path)
{
    documentsOverride() = std::move(path);
}

Result<URL> FileManager::urlForDirectory(
    SearchPathDirectory, SearchPathDomainMask, const std::optional<URL>&, bool create) const
{
    auto path = userDocumentsPath();
    if (create) {
        TRY(createDirectoryAtPath(path, true));
    }
    return URL::fileURLWithPath(path).standardizedFileURL();
}

std::vector<URL> FileManager::urlsForDirectory(SearchPathDirectory, SearchPathDomainMask) const
{
    return { URL::fileURLWithPath(userDocumentsPath()).standardizedFileURL() };
}

Result<std::vector<std::string>> FileManager::contentsOfDirectoryAtPath(
    const std::string& path) const
{
    DIR* directory = opendir(path.c_str());
    if (!directory)
        return fileError(path, errno);
    std::vector<std::string> names;
    errno = 0;
    while (dirent* entry = readdir(directory)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
        errno = 0;
    }
    int readError = errno;
    closedir(directory);
    if (readError)
        return fileError(path, readError);
    return names;
}

Result<FileAttributes> FileManager::attributesOfItemAtPath(const std::string& path) const
{
    struct stat status { };
    if (lstat(path.c_str(), &status) != 0)
        return fileError(path, errno);
    FileAttributes attributes;
    attributes.set(FileAttributeKey::modificationDate, dateFromTimespec(status.st_mtim));
    attributes.set(FileAttributeKey::size, static_cast<std::uint64_t>(status.st_size));
    std::string_view type = S_ISREG(status.st_mode) ? FileAttributeType::regular
        : S_ISDIR(status.st_mode)                   ? FileAttributeType::directory
        : S_ISLNK(status.st_mode)                   ? FileAttributeType::symbolicLink
                                                    : FileAttributeType::other;
    attributes.set(FileAttributeKey::type, type);
    return attributes;
}

Result<void> FileManager::setAttributes(
    const FileAttributes& attributes, const std::string& path) const
{
    auto date = attributes.modificationDate();
    if (!date)
        return {};
    auto sinceEpoch = date->timePoint().time_since_epoch();
    auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = seconds.count();
    times[1].tv_nsec
        = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count();
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return fileError(path, errno);
    return {};
}

Result<void> FileManager::removeItemAtPath(const std::string& path) const
{
    struct stat status { };
    if (lstat(path.c_str(), &status) != 0)
        return fileError(path, errno);
    std::error_code error;
    // remove_all does not follow symbolic links: a link is removed, never what it points to.
    std::filesystem::remove_all(path, error);
    if (error)
        return Error("\"" + path + "\": " + error.message());
    return {};
}

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const
{
    struct stat status { };
    if (stat(path.c_str(), &status) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(status.st_mode);
    return true;
}

Result<void> FileManager::createDirectoryAtPath(
    const std::string& path, bool withIntermediateDirectories) const
{
    if (withIntermediateDirectories) {
        std::error_code error;
        std::filesystem::create_directories(path, error);
        if (error)
            return Error("\"" + path + "\": " + error.message());
        bool isDirectory = false;
        if (!fileExistsAtPath(path, &isDirectory) || !isDirectory)
            return Error("\"" + path + "\": not a folder");
        return {};
    }
    if (mkdir(path.c_str(), 0777) != 0)
        return fileError(path, errno);
    return {};
}

Result<void> FileManager::moveItemAtPath(
    const std::string& source, const std::string& destination) const
{
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0)
        return fileError(destination, errno);
    return {};
}

}
