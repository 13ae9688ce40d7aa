// The temporary file is made by mkstemp beside the target, so the rename never crosses a file
// system; one left by a kill before the rename is a stray "NAME.saving-XXXXXX" that nothing reads.
#include "frameworks/folioreader/StoreFile.h"

#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace folioreader {

namespace {

// Makes the rename itself durable; a folder that cannot be opened or synced only loses that.
void syncFolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    (void)::fsync(descriptor);
    ::close(descriptor);
}

}

foundation::Result<StoreFileContents> readStoreFile(const std::string& path, std::uint64_t largest)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return StoreFileContents {};
        return foundation::fileError(path, errno);
    }
    if (!S_ISREG(status.st_mode))
        return foundation::Error(path + " is not a file");
    if (std::uint64_t(status.st_size) > largest)
        return foundation::Error(path + " is too large");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return foundation::fileError(path, errno);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return StoreFileContents { true, bytes.str() };
}

foundation::Result<void> replaceFile(const std::string& path, std::string_view bytes)
{
    std::string temporary = path + ".saving-XXXXXX";
    int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        return foundation::fileError(temporary, errno);
    std::size_t written = 0;
    int number = 0;
    while (written < bytes.size()) {
        ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            number = count < 0 ? errno : ENOSPC;
            break;
        }
        written += std::size_t(count);
    }
    bool complete = written == bytes.size() && ::fsync(descriptor) == 0;
    if (!complete && number == 0)
        number = errno ? errno : EIO;
    ::fchmod(descriptor, 0644);
    ::close(descriptor);
    if (complete && ::rename(temporary.c_str(), path.c_str()) != 0) {
        complete = false;
        number = errno;
    }
    if (!complete) {
        ::unlink(temporary.c_str());
        return foundation::fileError(path, number ? number : EIO);
    }
    syncFolderOf(path);
    return {};
}

}
