// KnownItemStatus: one status per thread, the innermost that was given.
#include "frameworks/folioreader/epub/KnownItemStatus.h"

namespace folioreader {

namespace {
thread_local KnownItemStatus* innermost = nullptr;
}

KnownItemStatus::KnownItemStatus(const std::string& path, const struct stat& status)
    : m_path(path), m_status(status), m_outer(innermost), m_installed(!S_ISLNK(status.st_mode))
{
    if (m_installed)
        innermost = this;
}

KnownItemStatus::~KnownItemStatus()
{
    if (m_installed)
        innermost = m_outer;
}

bool KnownItemStatus::find(const std::string& path, struct stat& status)
{
    if (!innermost || innermost->m_path != path)
        return false;
    status = innermost->m_status;
    return true;
}

}
