// FileDescriptor: the one owner of an open file descriptor, closed when the owner goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace foundation {

class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes the descriptor, which may be -1 when the open failed.
    explicit FileDescriptor(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_descriptor(std::exchange(other.m_descriptor, -1))
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            closeQuietly();
            m_descriptor = std::exchange(other.m_descriptor, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { closeQuietly(); }

    bool isOpen() const { return m_descriptor >= 0; }
    int get() const { return m_descriptor; }
    // Gives the descriptor to the caller, who closes it.
    int release() { return std::exchange(m_descriptor, -1); }
    // Closes now and answers whether the close succeeded: for a file just written, a failed close
    // can be the first word of a failed write. False with errno set.
    bool close();

private:
    void closeQuietly();

    int m_descriptor = -1;
};

// Writes all of size bytes, through interruptions and partial writes. False with errno set on
// failure (ENOSPC when the file takes no more).
bool writeAll(int descriptor, const char* bytes, std::size_t size);
// Reads all of size bytes at offset, through interruptions and short reads. False with errno set
// on failure, or with errno 0 when the file ends first.
bool readAllAt(int descriptor, char* into, std::size_t size, std::uint64_t offset);

}
