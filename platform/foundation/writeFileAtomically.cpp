// The temporary file is made by mkstemp beside the target, so the rename never crosses a file
// system, and it is readable by this user only until it is complete.
#include "platform/foundation/writeFileAtomically.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

void syncFolder(const std::string& folder)
{
    FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.isOpen())
        (void)::fsync(descriptor.get());
}

Result<void> writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode)
{
    std::string temporary = path + ".saving-XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    // The error names the file being replaced: the temporary name means nothing to a person.
    if (!file.isOpen())
        return fileError(path, errno);
    bool complete = writeAll(file.get(), bytes.data(), bytes.size()) && ::fsync(file.get()) == 0
        && ::fchmod(file.get(), mode) == 0;
    int number = complete ? 0 : errno;
    if (!file.close() && complete) {
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
    std::size_t slash = path.rfind('/');
    syncFolder(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
    return {};
}

}
