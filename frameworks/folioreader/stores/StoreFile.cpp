// Reading a store file whole, bounded; writing one goes through foundation::writeFileAtomically.
#include "frameworks/folioreader/stores/StoreFile.h"

#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace folioreader {

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

}
