// The temporary file is made by mkstemp beside the target, so the rename never crosses a file
// system, and it is readable by this user only until it is complete.
#include "platform/foundation/writeFileAtomically.h"

#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

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

Result<void> writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode)
{
    std::string temporary = path + ".saving-XXXXXX";
    int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        return fileError(temporary, errno);
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
    bool complete = written == bytes.size() && ::fsync(descriptor) == 0 && ::fchmod(descriptor, mode) == 0;
    if (!complete && number == 0)
        number = errno ? errno : EIO;
    if (::close(descriptor) != 0 && complete) {
        complete = false;
        number = errno;
    }
    if (complete && ::rename(temporary.c_str(), path.c_str()) != 0) {
        complete = false;
        number = errno;
    }
    if (!complete) {
        ::unlink(temporary.c_str());
        return fileError(path, number ? number : EIO);
    }
    syncFolderOf(path);
    return {};
}

}
