// descriptorZipSource: libzip's source callbacks over a descriptor and the archive's kept tail.
#include "frameworks/folioreader/epub/descriptorZipSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace folioreader {

namespace {

// The end of a zip: its end record, a comment of at most 65,535 bytes, and the directory before.
constexpr zip_uint64_t tailSize = 64 << 10;

struct DescriptorSource {
    foundation::FileDescriptor descriptor;
    zip_uint64_t size = 0;
    time_t modified = 0;
    zip_uint64_t offset = 0;
    std::string tail; // the archive's last bytes, from tailStart; empty until first read
    zip_uint64_t tailStart = 0;
    zip_error_t error {};

    ~DescriptorSource() { zip_error_fini(&error); }

    // Reads length bytes at offset into into; false with the error set.
    bool readAt(char* into, zip_uint64_t length, zip_uint64_t at)
    {
        if (foundation::readAllAt(descriptor.get(), into, std::size_t(length), at))
            return true;
        // A file cut short while it is read reads as damaged, as a short read does through a stream.
        zip_error_set(&error, errno ? ZIP_ER_READ : ZIP_ER_INCONS, errno);
        return false;
    }

    zip_int64_t read(void* data, zip_uint64_t length)
    {
        if (offset >= size)
            return 0;
        length = std::min(length, size - offset);
        if (tail.empty() && size > 0) {
            tailStart = size - std::min(size, tailSize);
            tail.resize(std::size_t(size - tailStart));
            if (!readAt(tail.data(), tail.size(), tailStart)) {
                tail.clear();
                return -1;
            }
        }
        char* into = static_cast<char*>(data);
        if (offset >= tailStart)
            std::memcpy(into, tail.data() + (offset - tailStart), std::size_t(length));
        else if (!readAt(into, length, offset))
            return -1;
        offset += length;
        return zip_int64_t(length);
    }
};

zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<DescriptorSource*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->offset = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return source->read(data, length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) {
            zip_error_set(&source->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto* status = static_cast<zip_stat_t*>(data);
        zip_stat_init(status);
        status->size = source->size;
        status->mtime = source->modified;
        status->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_SEEK: {
        zip_int64_t offset = zip_source_seek_compute_offset(source->offset, source->size, data, length, &source->error);
        if (offset < 0)
            return -1;
        source->offset = zip_uint64_t(offset);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return zip_int64_t(source->offset);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

}

zip_source_t* descriptorZipSource(foundation::FileDescriptor descriptor, const struct stat& status, zip_error_t* error)
{
    auto* state = new DescriptorSource;
    state->descriptor = std::move(descriptor);
    state->size = zip_uint64_t(status.st_size);
    state->modified = status.st_mtim.tv_sec;
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(callback, state, error);
    if (!source)
        delete state;
    return source;
}

}
