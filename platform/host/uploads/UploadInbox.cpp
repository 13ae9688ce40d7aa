// Streaming an upload to a private file, with its limits.
#include "platform/host/uploads/UploadInbox.h"

#include "platform/desktop/PrivateFolders.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/OwnedFolders.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace host {

namespace {

constexpr std::string_view folderPrefix = "upload-";

std::string megabytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + " MB";
}

UploadFailure tooLarge(std::uintmax_t limit)
{
    return { 413,
        "the file is larger than the library's disk can take (" + megabytes(limit) + " to spare)" };
}

}

foundation::Result<std::unique_ptr<UploadInbox>> UploadInbox::open(const std::string& inboxFolder)
{
    TRY(desktop::makePrivateFolder(inboxFolder));
    removeAbandoned(inboxFolder);
    std::string pattern = foundation::ownedFolderPattern(inboxFolder, folderPrefix);
    if (!::mkdtemp(pattern.data()))
        return foundation::Error(inboxFolder + ": " + std::strerror(errno));
    return std::unique_ptr<UploadInbox>(new UploadInbox(pattern));
}

void UploadInbox::removeAbandoned(const std::string& inboxFolder)
{
    // A program killed half way through an upload leaves its folder: it is removed once that
    // program is gone.
    foundation::removeAbandonedFolders(inboxFolder, folderPrefix);
}

UploadInbox::~UploadInbox()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::optional<UploadFailure> UploadInbox::receive(const std::string& name,
    std::optional<std::uintmax_t> declaredLength, std::uintmax_t limit, const BodyReader& read)
{
    if (declaredLength && *declaredLength > limit)
        return tooLarge(limit);
    const std::string path = m_folder + "/" + name;
    foundation::FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.isOpen())
        return UploadFailure { 500,
            "the upload cannot be stored: " + std::string(std::strerror(errno)) };

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
        failure
            = UploadFailure { 507, "the upload cannot be stored: the disk of the inbox is full" };
    else if (writeError != 0)
        failure = UploadFailure { 500,
            "the upload cannot be stored: " + std::string(std::strerror(writeError)) };
    else if (!complete || (declaredLength && received != *declaredLength))
        failure = UploadFailure { 400,
            "the upload ended before the whole file arrived; nothing was imported" };
    if (failure) {
        ::unlink(path.c_str());
        return failure;
    }
    m_file = path;
    return std::nullopt;
}

}
