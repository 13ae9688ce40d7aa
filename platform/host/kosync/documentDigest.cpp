// Sampling a book's file, or the archive a folder book is sent as, a few kilobytes in all.
#include "platform/host/kosync/documentDigest.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Md5.h"
#include "platform/host/opds/FolderZip.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace host {

namespace {

constexpr std::uint64_t sampleSize = 1024;

}

std::vector<std::uint64_t> documentSampleOffsets(std::uint64_t size)
{
    std::vector<std::uint64_t> offsets;
    for (int i = -1; i <= 10; ++i) {
        std::uint64_t offset = i < 0 ? 0 : sampleSize << (2 * i);
        if (offset >= size)
            break;
        offsets.push_back(offset);
    }
    return offsets;
}

foundation::Result<std::string> documentDigest(const std::string& path)
{
    int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    foundation::FileDescriptor item(::open(path.c_str(), flags));
    struct stat status { };
    if (!item.isOpen() || ::fstat(item.get(), &status) != 0)
        return foundation::fileError(path, errno);
    foundation::Md5 digest;
    std::string sample;
    if (S_ISREG(status.st_mode)) {
        auto size = std::uint64_t(status.st_size);
        for (auto offset : documentSampleOffsets(size)) {
            sample.resize(std::min(sampleSize, size - offset));
            if (!foundation::readAllAt(item.get(), sample.data(), sample.size(), offset))
                return foundation::fileError(path, errno ? errno : EIO);
            digest.add(sample);
        }
        return digest.hex();
    }
    if (!S_ISDIR(status.st_mode))
        return foundation::Error(path + " is neither a file nor a folder");
    auto zip = FolderZip::plan(path);
    if (!zip)
        return zip.error();
    for (auto offset : documentSampleOffsets(zip->size())) {
        sample.clear();
        auto keep = [&sample](const char* bytes, std::size_t size) {
            sample.append(bytes, size);
            return true;
        };
        bool sent = zip->send(offset, std::min(sampleSize, zip->size() - offset), keep);
        if (!sent)
            return foundation::Error(path + " changed while it was read");
        digest.add(sample);
    }
    return digest.hex();
}

std::string fileNameDigest(const std::string& name)
{
    return foundation::Md5::hexOf(name);
}

}
