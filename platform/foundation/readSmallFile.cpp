// One open, one look at what was opened, one read: a file swapped in between is not read.
#include "platform/foundation/readSmallFile.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace foundation {

Result<std::optional<std::string>> readSmallFile(const std::string& path, std::uint64_t largest)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.isOpen()) {
        if (errno == ENOENT)
            return std::optional<std::string>();
        return fileError(path, errno);
    }
    struct stat status { };
    if (::fstat(file.get(), &status) != 0)
        return fileError(path, errno);
    if (!S_ISREG(status.st_mode))
        return Error(path + " is not a file");
    if (std::uint64_t(status.st_size) > largest)
        return Error(path + " is too large");
    std::string bytes(std::size_t(status.st_size), '\0');
    if (!readAllAt(file.get(), bytes.data(), bytes.size(), 0))
        return Error(path + " could not be read whole");
    return std::optional<std::string>(std::move(bytes));
}

}
