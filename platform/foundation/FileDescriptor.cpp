// Closing a descriptor, and reading and writing whole spans through it.
#include "platform/foundation/FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

namespace foundation {

bool FileDescriptor::close()
{
    if (m_descriptor < 0)
        return true;
    return ::close(std::exchange(m_descriptor, -1)) == 0;
}

void FileDescriptor::closeQuietly()
{
    if (m_descriptor >= 0)
        ::close(std::exchange(m_descriptor, -1));
}

bool writeAll(int descriptor, const char* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

bool readAllAt(int descriptor, char* into, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        ssize_t got = ::pread(descriptor, into, size, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0) {
            errno = 0;
            return false;
        }
        into += got;
        size -= std::size_t(got);
        offset += std::uint64_t(got);
    }
    return true;
}

}
