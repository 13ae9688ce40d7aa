// DestinationFolder on openat and friends: every path inside is walked one segment at a time with
// O_NOFOLLOW, files are made with O_CREAT | O_EXCL, and a journal of what was made drives removal.
#include "frameworks/ziparchive/DestinationFolder.h"

#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziparchive {

using foundation::Error;
using foundation::fileError;
using foundation::Result;

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::pair<std::string, std::string> splitParent(const std::string& relativePath)
{
    auto slash = relativePath.rfind('/');
    if (slash == std::string::npos)
        return { "", relativePath };
    return { relativePath.substr(0, slash), relativePath.substr(slash + 1) };
}

void removeFolders(const std::vector<std::string>& outermostFirst)
{
    for (auto folder = outermostFirst.rbegin(); folder != outermostFirst.rend(); ++folder)
        ::rmdir(folder->c_str());
}

Error inTheWay(const std::string& path, int errorNumber)
{
    if (errorNumber == ELOOP)
        return Error("\"" + path + "\" is a symbolic link");
    if (errorNumber == ENOTDIR)
        return Error("\"" + path + "\" is not a folder");
    return fileError(path, errorNumber);
}

}

Result<DestinationFolder> DestinationFolder::open(const std::string& givenPath)
{
    std::string path = givenPath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty())
        return Error("the destination has no path");

    // The missing folders from the destination outwards, up to the first one that exists.
    std::vector<std::string> missing;
    for (std::string probe = path;;) {
        struct stat info;
        if (::lstat(probe.c_str(), &info) == 0)
            break;
        if (errno != ENOENT)
            return fileError(probe, errno);
        missing.push_back(probe);
        auto slash = probe.find_last_of('/');
        if (slash == std::string::npos)
            break;
        probe = slash == 0 ? "/" : probe.substr(0, slash);
    }
    std::reverse(missing.begin(), missing.end());

    std::vector<std::string> created;
    for (const std::string& folder : missing) {
        if (::mkdir(folder.c_str(), 0755) == 0) {
            created.push_back(folder);
        } else if (errno != EEXIST) {
            int error = errno;
            removeFolders(created);
            return fileError(folder, error);
        }
    }

    int descriptor = ::open(path.c_str(), folderFlags);
    if (descriptor < 0) {
        int error = errno;
        removeFolders(created);
        return inTheWay(path, error);
    }
    return DestinationFolder(descriptor, path, std::move(created));
}

DestinationFolder::DestinationFolder(
    int descriptor, std::string path, std::vector<std::string> createdFolders)
    : m_descriptor(descriptor)
    , m_path(std::move(path))
    , m_createdFolders(std::move(createdFolders))
{
}

DestinationFolder::DestinationFolder(DestinationFolder&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_path(std::move(other.m_path))
    , m_createdFolders(std::exchange(other.m_createdFolders, {}))
    , m_created(std::exchange(other.m_created, {}))
    , m_cachedPath(std::move(other.m_cachedPath))
    , m_cachedDescriptor(std::exchange(other.m_cachedDescriptor, -1))
{
}

DestinationFolder::~DestinationFolder()
{
    if (m_descriptor < 0)
        return;
    removeCreated();
    forgetCachedFolder();
    ::close(m_descriptor);
    removeFolders(m_createdFolders);
}

Result<int> DestinationFolder::folderAt(const std::string& relativePath)
{
    if (relativePath.empty())
        return m_descriptor;
    if (m_cachedDescriptor >= 0 && m_cachedPath == relativePath)
        return m_cachedDescriptor;
    forgetCachedFolder();

    int current = m_descriptor;
    for (std::size_t start = 0; start <= relativePath.size();) {
        std::size_t end = relativePath.find('/', start);
        if (end == std::string::npos)
            end = relativePath.size();
        std::string segment = relativePath.substr(start, end - start);
        int next = ::openat(current, segment.c_str(), folderFlags);
        int error = errno;
        if (current != m_descriptor)
            ::close(current);
        if (next < 0)
            return inTheWay(m_path + "/" + relativePath.substr(0, end), error);
        current = next;
        start = end + 1;
    }
    m_cachedPath = relativePath;
    m_cachedDescriptor = current;
    return current;
}

void DestinationFolder::forgetCachedFolder()
{
    if (m_cachedDescriptor >= 0)
        ::close(m_cachedDescriptor);
    m_cachedDescriptor = -1;
    m_cachedPath.clear();
}

Result<void> DestinationFolder::makeFolder(const std::string& relativePath)
{
    auto [parentPath, name] = splitParent(relativePath);
    int parent = TRY(folderAt(parentPath));
    if (::mkdirat(parent, name.c_str(), 0755) == 0) {
        m_created.emplace_back(relativePath, true);
        return {};
    }
    if (errno != EEXIST)
        return fileError(m_path + "/" + relativePath, errno);
    struct stat info;
    if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return fileError(m_path + "/" + relativePath, errno);
    if (S_ISLNK(info.st_mode))
        return inTheWay(m_path + "/" + relativePath, ELOOP);
    if (!S_ISDIR(info.st_mode))
        return inTheWay(m_path + "/" + relativePath, ENOTDIR);
    return {};
}

Result<int> DestinationFolder::createFile(const std::string& relativePath)
{
    auto [parentPath, name] = splitParent(relativePath);
    int parent = TRY(folderAt(parentPath));
    int descriptor = ::openat(
        parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        if (errno == EEXIST)
            return Error("\"" + m_path + "/" + relativePath + "\" is already there");
        return fileError(m_path + "/" + relativePath, errno);
    }
    m_created.emplace_back(relativePath, false);
    return descriptor;
}

void DestinationFolder::removeCreated()
{
    // Newest first, so each folder is empty of our own files by the time its turn comes. Whatever
    // someone else put inside meanwhile stays, and so does the folder that holds it.
    for (auto item = m_created.rbegin(); item != m_created.rend(); ++item) {
        auto [parentPath, name] = splitParent(item->first);
        if (item->second)
            forgetCachedFolder();
        auto parent = folderAt(parentPath);
        if (parent)
            ::unlinkat(*parent, name.c_str(), item->second ? AT_REMOVEDIR : 0);
    }
    m_created.clear();
}

}
