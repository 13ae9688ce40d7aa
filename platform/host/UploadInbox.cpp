// Streaming an upload to a private file, with its limits.
#include "platform/host/UploadInbox.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/host/PrivateFolders.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace host {

namespace {

constexpr std::string_view folderPrefix = "upload-";

// The program that made an upload folder, from its name "upload-<pid>-XXXXXX".
std::optional<pid_t> ownerOf(std::string_view name)
{
    if (!name.starts_with(folderPrefix))
        return std::nullopt;
    name.remove_prefix(folderPrefix.size());
    pid_t owner = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), owner);
    std::string_view rest(end, static_cast<std::size_t>(name.data() + name.size() - end));
    if (error != std::errc() || owner <= 0 || rest.size() != 7 || rest.front() != '-')
        return std::nullopt;
    return owner;
}

// A program killed half way through an upload leaves its folder: it is removed once that
// program is gone. Only this user's folders, never links.
void removeAbandonedUploads(const std::string& inboxFolder)
{
    DIR* directory = ::opendir(inboxFolder.c_str());
    if (!directory)
        return;
    std::vector<std::string> abandoned;
    while (dirent* entry = ::readdir(directory)) {
        auto owner = ownerOf(entry->d_name);
        if (!owner || *owner == ::getpid() || ::kill(*owner, 0) == 0 || errno != ESRCH)
            continue;
        std::string path = inboxFolder + "/" + entry->d_name;
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid())
            abandoned.push_back(path);
    }
    ::closedir(directory);
    for (auto& path : abandoned) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

std::string megabytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + " MB";
}

UploadFailure tooLarge(std::uintmax_t limit)
{
    return { 413, "the file is larger than the library's disk can take (" + megabytes(limit) + " to spare)" };
}

}

foundation::Result<std::unique_ptr<UploadInbox>> UploadInbox::open(const std::string& inboxFolder)
{
    if (auto made = makePrivateFolder(inboxFolder); !made)
        return made.error();
    removeAbandonedUploads(inboxFolder);
    std::string pattern = inboxFolder + "/" + std::string(folderPrefix) + std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return foundation::Error(inboxFolder + ": " + std::strerror(errno));
    return std::unique_ptr<UploadInbox>(new UploadInbox(pattern));
}

UploadInbox::~UploadInbox()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::optional<UploadFailure> UploadInbox::receive(const std::string& name, std::optional<std::uintmax_t> declaredLength,
    std::uintmax_t limit, const BodyReader& read)
{
    if (declaredLength && *declaredLength > limit)
        return tooLarge(limit);
    const std::string path = m_folder + "/" + name;
    foundation::FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.isOpen())
        return UploadFailure { 500, "the upload cannot be stored: " + std::string(std::strerror(errno)) };

    // Pieces from the network are small; collecting them saves most of the writes.
    std::vector<char> buffer;
    buffer.reserve(256 * 1024);
    std::uintmax_t received = 0;
    bool overLimit = false;
    int writeError = 0;
    auto flush = [&] {
        if (!buffer.empty() && !foundation::writeAll(file.get(), buffer.data(), buffer.size()))
            writeError = errno ? errno : EIO;
        buffer.clear();
        return writeError == 0;
    };
    bool complete = read([&](const char* data, std::size_t length) {
        if (received + length > limit) {
            overLimit = true;
            return false;
        }
        received += length;
        if (buffer.size() + length > buffer.capacity() && !flush())
            return false;
        if (length < buffer.capacity()) {
            buffer.insert(buffer.end(), data, data + length);
            return true;
        }
        if (!foundation::writeAll(file.get(), data, length))
            writeError = errno ? errno : EIO;
        return writeError == 0;
    });
    if (complete)
        flush();
    if (!file.close() && writeError == 0 && complete)
        writeError = errno;

    std::optional<UploadFailure> failure;
    if (overLimit)
        failure = tooLarge(limit);
    else if (writeError == ENOSPC || writeError == EDQUOT)
        failure = UploadFailure { 507, "the upload cannot be stored: the disk of the inbox is full" };
    else if (writeError != 0)
        failure = UploadFailure { 500, "the upload cannot be stored: " + std::string(std::strerror(writeError)) };
    else if (!complete || (declaredLength && received != *declaredLength))
        failure = UploadFailure { 400, "the upload ended before the whole file arrived; nothing was imported" };
    if (failure) {
        ::unlink(path.c_str());
        return failure;
    }
    m_file = path;
    return std::nullopt;
}

}
