// KnownItemStatus: the status of a book item that its caller has just read, so that checking the
// book's stamp on the same thread does not ask the file system for it a second time.
#pragma once

#include <string>
#include <sys/stat.h>

namespace folioreader {

class KnownItemStatus {
public:
    // While it lives, currentStamp of path on this thread takes status as the item's own. The
    // status of a symbolic link (lstat) says nothing of what it points to and is not taken.
    KnownItemStatus(const std::string& path, const struct stat& status);
    ~KnownItemStatus();
    KnownItemStatus(const KnownItemStatus&) = delete;
    KnownItemStatus& operator=(const KnownItemStatus&) = delete;

    // The status known on this thread for path, into status; false when none is.
    static bool find(const std::string& path, struct stat& status);

private:
    const std::string& m_path;
    struct stat m_status;
    KnownItemStatus* m_outer;
    bool m_installed;
};

}
