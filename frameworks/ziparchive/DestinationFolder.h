// DestinationFolder: the folder an archive is unpacked into. It creates folders and files inside it
// without ever following a symbolic link, remembers everything it created, and removes all of it
// again unless the unpacking is kept.
#pragma once

#include "platform/foundation/Result.h"

#include <string>
#include <utility>
#include <vector>

namespace ziparchive {

class DestinationFolder {
public:
    // Opens the folder at path, creating it and any missing parents. The folder itself must not be
    // a symbolic link; links among its parents are the user's own layout and are followed.
    static foundation::Result<DestinationFolder> open(const std::string& path);

    DestinationFolder(DestinationFolder&& other) noexcept;
    DestinationFolder& operator=(DestinationFolder&&) = delete;
    DestinationFolder(const DestinationFolder&) = delete;
    DestinationFolder& operator=(const DestinationFolder&) = delete;
    // Removes what was created, unless keep() was called.
    ~DestinationFolder();

    // Creates the folder at a relative "/"-separated path whose parent exists. A folder already
    // there is used as it is; anything else there (a file, a link) is an error.
    foundation::Result<void> makeFolder(const std::string& relativePath);
    // Creates a new file (mode 0644 less the umask) at a relative path whose parent exists and
    // answers its descriptor, which the caller closes. Anything already there is an error: no
    // file is overwritten and no link is followed.
    foundation::Result<int> createFile(const std::string& relativePath);

    // The unpacking succeeded: what was created stays.
    void keep()
    {
        m_created.clear();
        m_createdFolders.clear();
    }

private:
    DestinationFolder(int descriptor, std::string path, std::vector<std::string> createdFolders);

    // A descriptor of the folder at a relative path, walked one segment at a time without
    // following links; owned by the cache, valid until the next call.
    foundation::Result<int> folderAt(const std::string& relativePath);
    void forgetCachedFolder();
    void removeCreated();

    int m_descriptor = -1;
    std::string m_path;
    // Absolute folders this object made on the way to and including the destination, outermost
    // first.
    std::vector<std::string> m_createdFolders;
    // Relative paths created inside, in order; true for folders.
    std::vector<std::pair<std::string, bool>> m_created;
    std::string m_cachedPath;
    int m_cachedDescriptor = -1;
};

}
